// The module's resources are its resource section: found with FindResourceW (names
// and named types without regard to case, numeric ones written "#<n>"), handed out in
// place through LoadResource and LockResource.
#include "platform/toolkit/module_resources.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/utf.h"
#include "platform/base/wide_text.h"

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

std::u16string FolderOfPath(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  if (slash == std::u16string_view::npos) return {};
  // "C:\krdn-repair.exe" -> "C:\": a drive's root keeps its separator.
  const bool drive_root = slash == 2 && path[1] == u':';
  return std::u16string(path.substr(0, slash == 0 || drive_root ? slash + 1 : slash));
}

namespace {

std::span<const unsigned char> LoadInPlace(HINSTANCE module, const wchar_t* type, const wchar_t* name) {
  HRSRC found = ::FindResourceW(module, name, type);
  if (!found) return {};
  const DWORD size = ::SizeofResource(module, found);
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const unsigned char*>(bytes), size};
}

std::uint16_t Word(std::span<const unsigned char> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}
void PutDword(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// The resource compiler splits an icon file into a group (the file's directory, each
// entry naming an RT_ICON resource instead of an offset) and one resource per image.
// The icon file is put together again: 6 bytes of header, 16 per entry, the images.
std::vector<unsigned char> IconFileOfGroup(HINSTANCE module, std::span<const unsigned char> group) {
  constexpr std::size_t kHeader = 6, kGroupEntry = 14, kFileEntry = 16;
  if (group.size() < kHeader || Word(group, 2) != 1) return {};
  const std::size_t count = Word(group, 4);
  if (count == 0 || group.size() < kHeader + count * kGroupEntry) return {};
  std::vector<unsigned char> file(kHeader + count * kFileEntry, 0);
  std::copy_n(group.begin(), kHeader, file.begin());
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = kHeader + i * kGroupEntry;
    const std::uint16_t id = Word(group, entry + 12);
    const auto image = LoadInPlace(module, MAKEINTRESOURCEW(kRtIcon), MAKEINTRESOURCEW(id));
    if (image.empty()) return {};
    const std::size_t at = kHeader + i * kFileEntry;
    std::copy_n(group.begin() + static_cast<std::ptrdiff_t>(entry), 8, file.begin() + static_cast<std::ptrdiff_t>(at));
    PutDword(file, at + 8, static_cast<std::uint32_t>(image.size()));
    PutDword(file, at + 12, static_cast<std::uint32_t>(file.size()));
    file.insert(file.end(), image.begin(), image.end());
  }
  return file;
}

}  // namespace

std::span<const unsigned char> FindModuleResource(HINSTANCE module, std::u16string_view type,
                                                  std::u16string_view name) {
  if (type.empty() || name.empty()) return {};
  const std::u16string type_text(type), name_text(name);
  const auto bytes = LoadInPlace(module, AsWideText(type_text.c_str()), AsWideText(name_text.c_str()));
  if (bytes.empty() || type_text != NumericResourceType(kRtGroupIcon)) return bytes;
  // A group icon is handed out as the icon file it was made from, as on Linux; each is
  // put together once and kept for the life of the process (a module's resources stay
  // in place as long).
  static std::mutex mutex;
  static std::map<const unsigned char*, std::vector<unsigned char>> files;
  std::lock_guard lock(mutex);
  auto it = files.find(bytes.data());
  if (it == files.end()) it = files.emplace(bytes.data(), IconFileOfGroup(module, bytes)).first;
  return it->second;
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
