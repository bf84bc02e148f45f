// Files through CreateFileW and the handle calls. Reads and writes name their offset
// (an OVERLAPPED on a synchronous handle), so threads sharing a File never race over a
// file pointer.
#include "platform/io/files.h"

#include <algorithm>
#include <utility>

#include "platform/base/utf.h"
#include "platform/io/win32/open_checks.h"

namespace platform {
namespace {

// Bytes one ReadFile or WriteFile call transfers (its count is 32 bits).
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

bool IsOutOfSpace(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

bool SetEndOfFileAt(HANDLE handle, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end) != 0;
}

// wine_get_dos_file_name of wine's kernel32: the drive path of a Unix path. Absent on
// Windows itself.
using DosFileNameOfUnix = WCHAR* (*)(const char*);

DosFileNameOfUnix WineDosFileName() {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel != nullptr ? ::GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr;
  return reinterpret_cast<DosFileNameOfUnix>(reinterpret_cast<void (*)()>(proc));
}

// "C:\" and "\\server\share\" keep their separator; any other path loses it.
bool IsRoot(const std::wstring& path) {
  if (path.size() == 3 && path[1] == L':') return true;
  if (path.rfind(L"\\\\", 0) != 0) return false;
  const std::size_t server_end = path.find(L'\\', 2);
  return server_end != std::wstring::npos && path.find(L'\\', server_end + 1) == path.size() - 1;
}

}  // namespace

namespace win32 {

OpenSpec OpenSpecOf(File::Mode mode) {
  switch (mode) {
    case File::Mode::kRead:
      return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
    case File::Mode::kCreate:
      return {GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, OPEN_ALWAYS};  // emptied once the type is checked
    case File::Mode::kAppend:
      return {GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, OPEN_ALWAYS};
    case File::Mode::kUpdate:
      return {GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING};
    case File::Mode::kTruncate:
      return {GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, OPEN_EXISTING};
  }
  return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING};
}

bool SettleOpened(HANDLE handle, File::Mode mode) {
  if (::GetFileType(handle) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(handle, &info) == 0) return false;
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return false;
  return mode != File::Mode::kCreate || SetEndOfFileAt(handle, 0);
}

std::wstring WidePath(std::u16string_view path) {
  std::wstring wide(path.begin(), path.end());
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

}  // namespace win32

std::string NativePath(std::u16string_view path) {
  std::u16string slashed(path);
  std::replace(slashed.begin(), slashed.end(), u'/', u'\\');
  return Utf16ToUtf8(slashed);
}

std::string PathUtf8(const std::filesystem::path& path) { return Utf16ToUtf8(path.generic_u16string()); }

std::optional<FileAttributes> GetFileAttributes(std::u16string_view path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return FileAttributes{.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                        .read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0};
}

bool CreateDirectory(std::u16string_view path) {
  const std::wstring wide = win32::WidePath(path);
  if (::CreateDirectoryW(wide.c_str(), nullptr) != 0) return true;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::u16string AbsolutePath(std::u16string_view path) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return {};
  std::wstring wide = win32::WidePath(path);
  // A Unix path under wine: "/x" but not "//server".
  if (path.front() == u'/' && (path.size() == 1 || path[1] != u'/')) {
    if (const DosFileNameOfUnix dos_name = WineDosFileName()) {
      WCHAR* mapped = dos_name(Utf16ToUtf8(path).c_str());
      if (mapped == nullptr) return {};
      wide = mapped;
      ::HeapFree(::GetProcessHeap(), 0, mapped);
    }
  }
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return {};
  full.resize(written);
  while (full.size() > 1 && full.back() == L'\\' && !IsRoot(full)) full.pop_back();
  return std::u16string(full.begin(), full.end());
}

std::optional<File> File::Open(std::u16string_view path, Mode mode) {
  const win32::OpenSpec spec = win32::OpenSpecOf(mode);
  HANDLE handle = ::CreateFileW(win32::WidePath(path).c_str(), spec.access, spec.share, nullptr, spec.disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  File file(win32::AsFileHandle(handle));
  if (!win32::SettleOpened(handle, mode)) return std::nullopt;
  return file;
}

std::optional<File> File::CreateNew(std::u16string_view path) {
  // CREATE_NEW fails on any name that exists, a link included, and opens no link.
  HANDLE handle = ::CreateFileW(win32::WidePath(path).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  File file(win32::AsFileHandle(handle));
  if (!win32::SettleOpened(handle, Mode::kAppend)) return std::nullopt;
  return file;
}

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), failed_for_space_(std::exchange(other.failed_for_space_, false)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    failed_for_space_ = std::exchange(other.failed_for_space_, false);
  }
  return *this;
}

File::~File() { Close(); }

void File::Close() {
  if (handle_ != -1) ::CloseHandle(win32::AsHandle(handle_));
  handle_ = -1;
}

std::optional<std::uint64_t> File::Size() const {
  LARGE_INTEGER size{};
  if (handle_ == -1 || ::GetFileSizeEx(win32::AsHandle(handle_), &size) == 0) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> data) const {
  std::size_t done = 0;
  while (handle_ != -1 && done < data.size()) {
    const auto want = static_cast<DWORD>(std::min(data.size() - done, kMaxTransfer));
    OVERLAPPED at = At(offset + done);
    DWORD got = 0;
    // The end of the file fails the call with ERROR_HANDLE_EOF: fewer bytes, as promised.
    if (::ReadFile(win32::AsHandle(handle_), data.data() + done, want, &got, &at) == 0 || got == 0) break;
    done += got;
  }
  return done;
}

bool File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    if (handle_ == -1) return Failed(false);
    const auto want = static_cast<DWORD>(std::min(data.size() - done, kMaxTransfer));
    OVERLAPPED at = At(offset + done);
    DWORD put = 0;
    if (::WriteFile(win32::AsHandle(handle_), data.data() + done, want, &put, &at) == 0) {
      return Failed(IsOutOfSpace(::GetLastError()));
    }
    if (put == 0) return Failed(false);
    done += put;
  }
  return true;
}

bool File::Append(std::span<const std::uint8_t> data) {
  const std::optional<std::uint64_t> size = Size();
  return size && WriteAt(*size, data);
}

bool File::Resize(std::uint64_t size) {
  if (handle_ == -1) return Failed(false);
  return SetEndOfFileAt(win32::AsHandle(handle_), size) || Failed(IsOutOfSpace(::GetLastError()));
}

bool File::ExtendWithZeros(std::uint64_t size) {
  const std::optional<std::uint64_t> current = Size();
  if (!current) return Failed(false);
  if (*current >= size) return true;
  // Reserving the clusters first makes a full disk fail here; the new end then reads as
  // zeros (the file system keeps the valid data length below it).
  FILE_ALLOCATION_INFO allocation{};
  allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
  if (::SetFileInformationByHandle(win32::AsHandle(handle_), FileAllocationInfo, &allocation, sizeof allocation) == 0) {
    if (IsOutOfSpace(::GetLastError())) return Failed(true);
  }
  return Resize(size);
}

// The cache manager reads ahead of sequential reads by itself; a handle has no call to
// ask for a range in advance, so the hint is not passed on.
void File::ReadAhead(std::uint64_t, std::uint64_t) const {}

// Windows has no call that drops one file's cached pages; what is dirty is written back.
void File::DropCached() const {
  if (handle_ != -1) ::FlushFileBuffers(win32::AsHandle(handle_));
}

}  // namespace platform
