#include "platform/io/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <utility>

#include "platform/io/linux/open_checks.h"
#include "platform/base/utf.h"

namespace platform {
namespace {

// Maximum bytes one read or write call transfers (the kernel's own limit is just under 2 GiB).
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

// Bytes one write call hands to the page cache. The cache takes folios as large as the
// write (up to 2 MiB), and those come from the largest free blocks of memory: in a
// virtual machine the very blocks that were handed back to the host and must be
// faulted in again, on a fragmented machine blocks that need compaction first. On a
// virtual machine 4 MiB pieces written whole took up to three times the kernel time
// of the same pieces in 64 KiB writes, and 16 KiB writes took a fifth less again.
constexpr std::size_t kWriteStep = std::size_t{16} << 10;

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

// A full disk, or a full quota of the user's.
bool IsOutOfSpace(int error) { return error == ENOSPC || error == EDQUOT; }

}  // namespace

namespace posix {

int OpenFlags(File::Mode mode) {
  switch (mode) {
    case File::Mode::kRead:
      return O_RDONLY;
    case File::Mode::kCreate:
      return O_WRONLY | O_CREAT;  // emptied only after the lock is held
    case File::Mode::kAppend:
      return O_WRONLY | O_CREAT;
    case File::Mode::kUpdate:
      return O_RDWR;
    case File::Mode::kTruncate:
      return O_WRONLY;
  }
  return O_RDONLY;
}

bool SettleOpened(int fd, File::Mode mode) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const int lock = mode == File::Mode::kRead ? LOCK_SH : LOCK_EX;
  if (::flock(fd, lock | LOCK_NB) != 0) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
  return mode != File::Mode::kCreate || ::ftruncate(fd, 0) == 0;  // emptied only once the lock is held
}

}  // namespace posix

std::string NativePath(std::u16string_view path) {
  std::u16string slashed(path);
  std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
  return Utf16ToUtf8(slashed);
}

std::optional<FileAttributes> GetFileAttributes(std::u16string_view path) {
  struct stat st {};
  if (::stat(NativePath(path).c_str(), &st) != 0) return std::nullopt;
  return FileAttributes{.directory = S_ISDIR(st.st_mode), .read_only = (st.st_mode & S_IWUSR) == 0};
}

std::string PathUtf8(const std::filesystem::path& path) { return path.generic_string(); }

std::u16string AbsolutePath(std::u16string_view path) {
  if (path.empty()) return {};
  std::error_code error;
  std::string absolute = std::filesystem::absolute(NativePath(path), error).lexically_normal().string();
  if (error) return {};
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  return Utf8ToUtf16(absolute);
}

bool CreateDirectory(std::u16string_view path) {
  const std::string native = NativePath(path);
  if (::mkdir(native.c_str(), 0777) == 0) return true;
  struct stat st {};
  return errno == EEXIST && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<File> File::Open(std::u16string_view path, Mode mode) {
  // O_NONBLOCK keeps a FIFO from blocking the open; SettleOpened refuses it.
  const int fd = ::open(NativePath(path).c_str(), posix::OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return std::nullopt;
  File file(fd);
  if (!posix::SettleOpened(fd, mode)) return std::nullopt;
  return file;
}

std::optional<File> File::CreateNew(std::u16string_view path) {
  // O_EXCL with O_NOFOLLOW fails on any name that exists, a dangling link included; the
  // mode is the file's from its creation (a umask can only narrow it).
  const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return std::nullopt;
  File file(fd);
  if (!posix::SettleOpened(fd, Mode::kAppend)) return std::nullopt;
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
  if (handle_ >= 0) ::close(Fd(handle_));
  handle_ = -1;
}

std::optional<std::uint64_t> File::Size() const {
  struct stat st {};
  if (handle_ < 0 || ::fstat(Fd(handle_), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> data) const {
  std::size_t done = 0;
  while (done < data.size()) {
    const std::size_t want = std::min(data.size() - done, kMaxTransfer);
    const ssize_t got = ::pread(Fd(handle_), data.data() + done, want, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const std::size_t want = std::min(data.size() - done, kWriteStep);
    const ssize_t put = ::pwrite(Fd(handle_), data.data() + done, want, static_cast<off_t>(offset + done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return Failed(put < 0 && IsOutOfSpace(errno));
    done += static_cast<std::size_t>(put);
  }
  return true;
}

bool File::Append(std::span<const std::uint8_t> data) {
  const std::optional<std::uint64_t> size = Size();
  return size && WriteAt(*size, data);
}

bool File::Resize(std::uint64_t size) {
  if (handle_ < 0) return Failed(false);
  return ::ftruncate(Fd(handle_), static_cast<off_t>(size)) == 0 || Failed(IsOutOfSpace(errno));
}

bool File::ExtendWithZeros(std::uint64_t size) {
  const std::optional<std::uint64_t> current = Size();
  if (!current) return Failed(false);
  if (*current >= size) return true;
  const int result = ::posix_fallocate(Fd(handle_), static_cast<off_t>(*current), static_cast<off_t>(size - *current));
  if (result == 0) return true;
  // A file system without space reservation still takes a plain extension.
  if (result == EOPNOTSUPP || result == EINVAL) return Resize(size);
  return Failed(IsOutOfSpace(result));
}

void File::ReadAhead(std::uint64_t offset, std::uint64_t length) const {
  if (handle_ >= 0) ::posix_fadvise(Fd(handle_), static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

void File::DropCached() const {
  if (handle_ < 0) return;
  ::fdatasync(Fd(handle_));
  ::posix_fadvise(Fd(handle_), 0, 0, POSIX_FADV_DONTNEED);
}

}  // namespace platform
