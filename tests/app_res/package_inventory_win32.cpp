// The executable's resource section, walked type by type, name by name.
#include <windows.h>

#include <cstdint>
#include <string>

#include "package_inventory.h"
#include "platform/base/utf.h"

namespace krdn::app::test {
namespace {

std::u16string IdText(LPCWSTR id) {
  if (IS_INTRESOURCE(id)) return u"#" + platform::Utf8ToUtf16(std::to_string(reinterpret_cast<std::uintptr_t>(id)));
  return std::u16string(reinterpret_cast<const char16_t*>(id));
}
struct Walk {
  std::vector<Entry> entries;
  std::u16string type, name;
};
BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
  auto* walk = reinterpret_cast<Walk*>(param);
  walk->entries.push_back({walk->type, walk->name, language});
  return TRUE;
}
BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
  reinterpret_cast<Walk*>(param)->name = IdText(name);
  ::EnumResourceLanguagesW(module, type, name, OnLanguage, param);
  return TRUE;
}
BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR param) {
  reinterpret_cast<Walk*>(param)->type = IdText(type);
  ::EnumResourceNamesW(module, type, OnName, param);
  return TRUE;
}
}  // namespace

std::vector<Entry> Inventory() {
  Walk walk;
  ::EnumResourceTypesW(::GetModuleHandleW(nullptr), OnType, reinterpret_cast<LONG_PTR>(&walk));
  return walk.entries;
}

}  // namespace krdn::app::test
