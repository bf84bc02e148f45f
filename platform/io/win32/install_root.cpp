// The install root on Windows. Windows has no call that opens a path beneath a
// directory handle, so a path is walked one component at a time from the root's own
// path: each directory is opened without following a reparse point
// (FILE_FLAG_OPEN_REPARSE_POINT), checked to be a real directory (no symbolic link,
// junction or mount point: reparse_tags.h says which reparse points are links), and held
// open without FILE_SHARE_DELETE until the walk is over, so that nobody can rename or
// replace it meanwhile. The root itself is held the same way for the life of the object.
#include "platform/io/install_root.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cwctype>
#include <utility>
#include <vector>

#include "platform/base/win32/handle.h"
#include "platform/io/win32/open_checks.h"
#include "platform/io/win32/reparse_tags.h"

namespace platform {
namespace {

using win32::IsLinkReparseTag;
using win32::UniqueHandle;

// How often a name that turns out to be a link is cleared before the call gives up: a
// link that reappears as fast as it is removed is someone racing the run.
constexpr int kLinkClearings = 3;

// Directories on the way are held with their contents readable, which is what makes the
// missing FILE_SHARE_DELETE keep renames out (sharing binds only opens with data access).
constexpr DWORD kDirectoryAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kDirectoryShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kNoFollow = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

bool IsIllegalCharacter(char16_t c) {
  return c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'/' || c == u'\\' || c == u'|' ||
         c == u'?' || c == u'*';
}

// CON, PRN, AUX, NUL, COM1..9 and LPT1..9 name devices in every folder, with any
// extension ("nul.txt" too).
bool IsDeviceName(std::u16string_view name) {
  const std::u16string_view stem = name.substr(0, name.find(u'.'));
  std::u16string upper;
  for (const char16_t c : stem) upper.push_back(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c);
  static constexpr std::array<std::u16string_view, 4> kPlain = {u"CON", u"PRN", u"AUX", u"NUL"};
  for (const std::u16string_view device : kPlain) {
    if (upper == device) return true;
  }
  return upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT")) && upper[3] >= u'1' &&
         upper[3] <= u'9';
}

// A component Windows stores as the very name given: no illegal character, no device,
// no trailing dot or space (which the system would drop, naming another file).
bool IsPlainName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (const char16_t c : name) {
    if (IsIllegalCharacter(c)) return false;
  }
  if (name.back() == u'.' || name.back() == u' ') return false;
  return !IsDeviceName(name);
}

// The components of a relative path; nothing when the path is refused.
std::optional<std::vector<std::wstring>> SplitRelative(std::u16string_view path) {
  if (!path.empty() && (path.front() == u'\\' || path.front() == u'/')) path.remove_prefix(1);
  std::vector<std::wstring> components;
  if (path.empty()) return components;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < path.size() && path[end] != u'\\' && path[end] != u'/') ++end;
    const std::u16string_view name = path.substr(start, end - start);
    if (!IsPlainName(name)) return std::nullopt;
    components.emplace_back(name.begin(), name.end());
    if (end == path.size()) return components;
    start = end + 1;
  }
}

std::optional<BY_HANDLE_FILE_INFORMATION> InfoOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(handle, &info) == 0) return std::nullopt;
  return info;
}

bool IsReparsePoint(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// The tag of the reparse point a handle opened without following it; 0 for none.
std::optional<DWORD> ReparseTagOf(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) == 0) return std::nullopt;
  return IsReparsePoint(tag.FileAttributes) ? tag.ReparseTag : 0;
}

// Whether the opened item, with these attributes, is a symbolic link or a mount point.
// A reparse point whose tag cannot be read counts as one: it is then refused, never
// followed.
bool IsLinkReparsePoint(HANDLE handle, DWORD attributes) {
  if (!IsReparsePoint(attributes)) return false;
  const auto tag = ReparseTagOf(handle);
  return !tag || IsLinkReparseTag(*tag);
}

// A file with another hard link besides this name: that name may lie outside the
// install directory, so the file is treated as a link and never used.
bool HasOtherNames(const BY_HANDLE_FILE_INFORMATION& info) {
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && info.nNumberOfLinks > 1;
}

bool IsLink(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
  return IsLinkReparsePoint(handle, info.dwFileAttributes) || HasOtherNames(info);
}

bool IsRealDirectory(HANDLE handle) {
  const auto info = InfoOf(handle);
  return info && (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         !IsLinkReparsePoint(handle, info->dwFileAttributes);
}

UniqueHandle OpenNoFollow(const std::wstring& path, DWORD access, DWORD share) {
  return UniqueHandle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, kNoFollow, nullptr));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The tag of the reparse point at the path (0 for none); nothing when it cannot be read.
std::optional<DWORD> ReparseTagAt(const std::wstring& path) {
  const UniqueHandle item = OpenNoFollow(path, FILE_READ_ATTRIBUTES, kShareAll);
  return item ? ReparseTagOf(item.get()) : std::nullopt;
}

// A real directory at the path, held; empty when anything else is there.
UniqueHandle HoldDirectory(const std::wstring& path) {
  UniqueHandle directory = OpenNoFollow(path, kDirectoryAccess, kDirectoryShare);
  return directory && IsRealDirectory(directory.get()) ? std::move(directory) : UniqueHandle();
}

// The directories of a walk, held until it ends, and the path reached.
struct Walk {
  std::vector<UniqueHandle> held;
  std::wstring path;
};

// Walks the first `count` components below the root as real directories.
std::optional<Walk> WalkDirectories(const std::wstring& root, const std::vector<std::wstring>& components,
                                    std::size_t count) {
  Walk walk{.held = {}, .path = root};
  for (std::size_t i = 0; i < count; ++i) {
    walk.path += L'\\';
    walk.path += components[i];
    UniqueHandle directory = HoldDirectory(walk.path);
    if (!directory) return std::nullopt;
    walk.held.push_back(std::move(directory));
  }
  return walk;
}

// FileDispositionInfoEx and its flags (Windows 10 1809 on), which the SDK's headers show
// only to builds for that version; an older system refuses the call, and the removal
// of a read-only second name fails.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;
struct DispositionInfoEx {
  DWORD flags;
};

// Removes one hard link of a file, the name at the path and none of its others. The
// read-only attribute belongs to the file, not to the name, so it is ignored by the
// removal rather than cleared (clearing it would change the file under its other names).
bool RemoveSecondName(const std::wstring& path) {
  const UniqueHandle item = OpenNoFollow(path, DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  const auto info = item ? InfoOf(item.get()) : std::nullopt;
  if (!info || !HasOtherNames(*info) || IsLinkReparsePoint(item.get(), info->dwFileAttributes)) return false;
  FILE_DISPOSITION_INFO plain{};
  plain.DeleteFile = TRUE;
  if (::SetFileInformationByHandle(item.get(), FileDispositionInfo, &plain, sizeof plain) != 0) return true;
  DispositionInfoEx ignoring_read_only{kDispositionDelete | kDispositionPosixSemantics | kDispositionIgnoreReadOnly};
  return ::SetFileInformationByHandle(item.get(), kFileDispositionInfoEx, &ignoring_read_only,
                                      sizeof ignoring_read_only) != 0;
}

// Removes the link at the path itself (a directory link or junction by RemoveDirectoryW,
// a file link by DeleteFileW, a further hard link by RemoveSecondName), never its
// target. True when the name is free afterwards. Any other reparse point (a cloud
// placeholder) is a file, removed only as a further hard link; one whose tag cannot be
// read is left alone.
bool RemoveLink(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  const auto tag = IsReparsePoint(attributes) ? ReparseTagAt(path) : std::optional<DWORD>(0);
  if (!tag) return false;
  if (!IsLinkReparseTag(*tag)) {
    if (!RemoveSecondName(path)) return false;
    return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ::RemoveDirectoryW(path.c_str()) != 0
                                                                   : ::DeleteFileW(path.c_str()) != 0;
  return removed || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Whether what is at the path is a link, for a name that did not open as a file: a
// directory link cannot be opened as one at all, a read-only file with other names
// not for writing.
bool IsLinkAt(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const UniqueHandle item = OpenNoFollow(path, FILE_READ_ATTRIBUTES, kShareAll);
  const auto info = item ? InfoOf(item.get()) : std::nullopt;
  if (!info) return IsReparsePoint(attributes);  // a reparse point that cannot be judged counts as a link
  return IsLink(item.get(), *info);
}

FileAttributes AttributesOf(DWORD attributes) {
  return FileAttributes{.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                        .read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0};
}

// The root's path in the form that takes any length: "\\?\C:\..." or "\\?\UNC\...".
std::wstring LongPathOf(const std::wstring& full) {
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring FullPathOf(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return {};
  full.resize(written);
  while (!full.empty() && full.back() == L'\\') full.pop_back();
  return full;
}

// Where the opened root really is, links in the given path resolved once, so that
// later walks start from the directory that was opened.
std::wstring FinalPathOf(HANDLE handle, const std::wstring& fallback) {
  const DWORD needed = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (needed == 0) return fallback;
  std::wstring final_path(needed, L'\0');
  const DWORD written =
      ::GetFinalPathNameByHandleW(handle, final_path.data(), needed, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (written == 0 || written >= needed) return fallback;
  final_path.resize(written);
  while (!final_path.empty() && final_path.back() == L'\\') final_path.pop_back();
  return LongPathOf(final_path);
}

}  // namespace

InstallRoot InstallRoot::Open(std::u16string_view directory, Resolution) {
  const std::wstring full = FullPathOf(win32::WidePath(directory));
  if (full.empty()) return InstallRoot();
  const std::wstring path = LongPathOf(full);
  // The user chose this path: links in it are followed.
  HANDLE handle = ::CreateFileW(path.c_str(), kDirectoryAccess, kDirectoryShare, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return InstallRoot();
  const auto info = InfoOf(handle);
  if (!info || (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handle);
    return InstallRoot();
  }
  const std::wstring resolved = FinalPathOf(handle, path);
  return InstallRoot(reinterpret_cast<std::intptr_t>(handle), Resolution::kComponentWise,
                     std::u16string(resolved.begin(), resolved.end()));
}

InstallRoot::InstallRoot(InstallRoot&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), resolution_(other.resolution_), path_(std::move(other.path_)) {}

InstallRoot& InstallRoot::operator=(InstallRoot&& other) noexcept {
  if (this != &other) {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = std::exchange(other.handle_, -1);
    resolution_ = other.resolution_;
    path_ = std::move(other.path_);
  }
  return *this;
}

InstallRoot::~InstallRoot() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool InstallRoot::is_open() const { return handle_ != -1; }

std::optional<FileAttributes> InstallRoot::Attributes(std::u16string_view relative) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components) return std::nullopt;
  if (components->empty()) {
    const auto info = InfoOf(reinterpret_cast<HANDLE>(handle_));
    if (!info) return std::nullopt;
    return AttributesOf(info->dwFileAttributes);
  }
  const std::wstring root(path_.begin(), path_.end());
  const auto walk = WalkDirectories(root, *components, components->size() - 1);
  if (!walk) return std::nullopt;
  const UniqueHandle item = OpenNoFollow(walk->path + L'\\' + components->back(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  const auto info = item ? InfoOf(item.get()) : std::nullopt;
  if (!info || IsLink(item.get(), *info)) return std::nullopt;
  return AttributesOf(info->dwFileAttributes);
}

std::optional<File> InstallRoot::OpenFile(std::u16string_view relative, File::Mode mode) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components || components->empty()) return std::nullopt;
  const std::wstring root(path_.begin(), path_.end());
  const auto walk = WalkDirectories(root, *components, components->size() - 1);
  if (!walk) return std::nullopt;
  const std::wstring path = walk->path + L'\\' + components->back();
  const win32::OpenSpec spec = win32::OpenSpecOf(mode);
  const bool replaces_links = mode == File::Mode::kCreate || mode == File::Mode::kAppend;
  for (int clearing = 0; clearing <= kLinkClearings; ++clearing) {
    // A link at the name is opened itself, and judged before anything is written.
    HANDLE handle = ::CreateFileW(path.c_str(), spec.access, spec.share, nullptr, spec.disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      File file(win32::AsFileHandle(handle));
      const auto info = InfoOf(handle);
      if (!info) return std::nullopt;
      if (!IsLink(handle, *info)) {
        if (!win32::SettleOpened(handle, mode)) return std::nullopt;
        return file;
      }
    } else if (!IsLinkAt(path)) {
      return std::nullopt;
    }
    if (!replaces_links || !RemoveLink(path)) return std::nullopt;
  }
  return std::nullopt;
}

InstallRoot::ReadOpen InstallRoot::OpenForReading(std::u16string_view relative) const {
  // Windows has no cheaper way to tell a link from a missing file than to look first.
  if (!Attributes(relative)) return {};
  std::optional<File> file = OpenFile(relative, File::Mode::kRead);
  if (!file) return {.state = ReadOpen::State::kUnopened, .file = std::nullopt, .size = 0};
  const std::uint64_t size = file->Size().value_or(0);
  return {.state = ReadOpen::State::kOpened, .file = std::move(file), .size = size};
}

bool InstallRoot::ClearReadOnly(std::u16string_view relative) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components) return false;
  const std::wstring root(path_.begin(), path_.end());
  std::optional<Walk> walk;
  std::wstring path = root;
  if (!components->empty()) {
    walk = WalkDirectories(root, *components, components->size() - 1);
    if (!walk) return false;
    path = walk->path + L'\\' + components->back();
  }
  const UniqueHandle item = OpenNoFollow(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  const auto info = item ? InfoOf(item.get()) : std::nullopt;
  if (!info || IsLink(item.get(), *info)) return false;
  if ((info->dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) return false;
  FILE_BASIC_INFO basic{};
  if (::GetFileInformationByHandleEx(item.get(), FileBasicInfo, &basic, sizeof basic) == 0) return false;
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileInformationByHandle(item.get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

bool InstallRoot::Replace(std::u16string_view relative, std::u16string_view replacement) const {
  const auto target = SplitRelative(relative);
  const auto source = SplitRelative(replacement);
  if (!is_open() || !target || !source || target->empty() || target->size() != source->size() ||
      !std::equal(target->begin(), target->end() - 1, source->begin())) {
    return false;
  }
  const std::wstring root(path_.begin(), path_.end());
  const auto walk = WalkDirectories(root, *source, source->size() - 1);
  if (!walk) return false;
  const UniqueHandle item = OpenNoFollow(walk->path + L'\\' + source->back(), DELETE | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  const auto info = item ? InfoOf(item.get()) : std::nullopt;
  if (!info || IsLink(item.get(), *info) || (info->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return false;
  }
  // The rename goes through the opened file, so it moves the file that was checked.
  const std::wstring to = walk->path + L'\\' + target->back();
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(WCHAR));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  if (rename == nullptr) return false;  // never, but the compiler cannot know the vector is not empty
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(to.size() * sizeof(WCHAR));
  std::copy(to.begin(), to.end(), rename->FileName);
  return ::SetFileInformationByHandle(item.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

bool InstallRoot::CreateDirectories(std::u16string_view relative) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components) return false;
  const std::wstring root(path_.begin(), path_.end());
  if (components->empty()) return true;
  // Most calls find the directories there already.
  if (WalkDirectories(root, *components, components->size())) return true;
  Walk walk{.held = {}, .path = root};
  for (const std::wstring& name : *components) {
    walk.path += L'\\';
    walk.path += name;
    UniqueHandle directory;
    for (int clearing = 0; clearing <= kLinkClearings && !directory; ++clearing) {
      directory = HoldDirectory(walk.path);
      if (directory) break;
      const DWORD attributes = ::GetFileAttributesW(walk.path.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (::CreateDirectoryW(walk.path.c_str(), nullptr) == 0 && ::GetLastError() != ERROR_ALREADY_EXISTS) {
          return false;
        }
      } else if (IsReparsePoint(attributes)) {
        if (!RemoveLink(walk.path)) return false;
      } else {
        return false;  // a file of that name is the user's, not ours to remove
      }
    }
    if (!directory) return false;
    walk.held.push_back(std::move(directory));
  }
  return true;
}

}  // namespace platform
