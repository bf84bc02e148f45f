// The module's resources are its resource section: found with FindResourceW (names
// and named types without regard to case, numeric ones written "#<n>"), handed out in
// place through LoadResource and LockResource.
#include "platform/module_resources.h"

#include <string>

#include "platform/utf.h"
#include "platform/wide_text.h"

namespace platform {

HINSTANCE CurrentModule() { return ::GetModuleHandleW(nullptr); }

std::u16string ModuleFileName(HINSTANCE module) {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(module, AsWideText(path.data()), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};  // longer than any path the platform has
    path.resize(path.size() * 2);
  }
}

std::span<const unsigned char> FindModuleResource(HINSTANCE module, std::u16string_view type,
                                                  std::u16string_view name) {
  if (type.empty() || name.empty()) return {};
  const std::u16string type_text(type), name_text(name);
  HRSRC found = ::FindResourceW(module, AsWideText(name_text.c_str()), AsWideText(type_text.c_str()));
  if (!found) return {};
  const DWORD size = ::SizeofResource(module, found);
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const unsigned char*>(bytes), size};
}

bool HasModuleResource(HINSTANCE module, std::u16string_view type, std::u16string_view name) {
  if (type.empty() || name.empty()) return false;
  const std::u16string type_text(type), name_text(name);
  return ::FindResourceW(module, AsWideText(name_text.c_str()), AsWideText(type_text.c_str())) != nullptr;
}

std::u16string NumericResourceType(int type) { return u"#" + Utf8ToUtf16(std::to_string(type)); }

void SetLastErrorCode(DWORD code) { ::SetLastError(code); }
DWORD LastErrorCode() { return ::GetLastError(); }

}  // namespace platform
