#include "platform/toolkit/module_resources.h"

#include <unistd.h>

#include <array>
#include <climits>

#include "platform/base/utf.h"

// Defined by the source the resource compiler generates for an executable; absent
// (null) in an executable that embeds nothing.
extern "C" const HINSTANCE__ krdn_module_resources __attribute__((weak));

namespace platform {
namespace {

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool EqualsNoCase(const char16_t* stored, std::u16string_view wanted) {
  std::size_t i = 0;
  for (; stored[i] != 0; ++i) {
    if (i >= wanted.size() || Upper(stored[i]) != Upper(wanted[i])) return false;
  }
  return i == wanted.size();
}

HINSTANCE__ empty_module{nullptr, 0};
thread_local DWORD last_error = 0;

}  // namespace

HINSTANCE CurrentModule() {
  if (&krdn_module_resources != nullptr) return const_cast<HINSTANCE>(&krdn_module_resources);
  return &empty_module;
}

std::u16string ModuleFileName(HINSTANCE) {
  std::array<char, PATH_MAX> buf{};
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  return Utf8ToUtf16(std::string_view(buf.data(), static_cast<std::size_t>(n)));
}

std::u16string FolderOfPath(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u'/');
  if (slash == std::u16string_view::npos) return {};
  return std::u16string(slash == 0 ? u"/" : path.substr(0, slash));
}

std::span<const unsigned char> FindModuleResource(HINSTANCE module, std::u16string_view type,
                                                  std::u16string_view name) {
  if (!module || !module->entries) return {};
  for (std::size_t i = 0; i < module->count; ++i) {
    const EmbeddedResource& r = module->entries[i];
    if (EqualsNoCase(r.type, type) && EqualsNoCase(r.name, name)) return {r.data, r.size};
  }
  return {};
}

bool HasModuleResource(HINSTANCE module, std::u16string_view type, std::u16string_view name) {
  if (!module || !module->entries) return false;
  for (std::size_t i = 0; i < module->count; ++i) {
    const EmbeddedResource& r = module->entries[i];
    if (EqualsNoCase(r.type, type) && EqualsNoCase(r.name, name)) return true;
  }
  return false;
}

std::u16string NumericResourceType(int type) { return u"#" + Utf8ToUtf16(std::to_string(type)); }

void SetLastErrorCode(DWORD code) { last_error = code; }
DWORD LastErrorCode() { return last_error; }

}  // namespace platform
