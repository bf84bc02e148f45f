#include "platform/io/install_root.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/io/linux/open_checks.h"
#include "platform/base/utf.h"

namespace platform {
namespace {

// How often a name that turns out to be a link is cleared before the call gives up: a
// link that reappears as fast as it is removed is someone racing the run.
constexpr int kLinkClearings = 3;
// How often a whole-path lookup that a concurrent rename interrupted is repeated.
constexpr int kLookupRepeats = 8;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~Descriptor() { reset(); }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_;
};

// The components of a relative path in UTF-8; nothing when the path is refused.
std::optional<std::vector<std::string>> SplitRelative(std::u16string_view path) {
  if (!path.empty() && (path.front() == u'\\' || path.front() == u'/')) path.remove_prefix(1);
  std::vector<std::string> components;
  if (path.empty()) return components;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = start;
    while (end < path.size() && path[end] != u'\\' && path[end] != u'/') ++end;
    const std::u16string_view name = path.substr(start, end - start);
    if (name.empty() || name == u"." || name == u".." || name.find(u'\0') != std::u16string_view::npos) {
      return std::nullopt;
    }
    std::string utf8 = Utf16ToUtf8(name);
    if (Utf8ToUtf16(utf8) != name) return std::nullopt;  // a lone surrogate has no name on disk
    components.push_back(std::move(utf8));
    if (end == path.size()) return components;
    start = end + 1;
  }
}

std::string Join(const std::vector<std::string>& components, std::size_t count) {
  std::string joined;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) joined += '/';
    joined += components[i];
  }
  return joined;
}

int OpenAt2(int dirfd, const std::string& relative, int flags, mode_t mode) {
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags);
  how.mode = (flags & O_CREAT) != 0 ? mode : 0;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  // EAGAIN: a rename elsewhere in the tree raced the lookup, which may then be repeated.
  long fd = -1;
  for (int attempt = 0; attempt < kLookupRepeats; ++attempt) {
    fd = ::syscall(SYS_openat2, dirfd, relative.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != EAGAIN) break;
  }
  return static_cast<int>(fd);
}

// True when the kernel resolves whole paths beneath a directory (Linux 5.6 and later,
// unless a sandbox filters the call).
bool WholePathAvailable(int dirfd) {
  const int fd = OpenAt2(dirfd, ".", O_PATH | O_CLOEXEC, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// Opens the first `count` components beneath dirfd (count > 0), never following a link:
// the directories with O_PATH, the last one with flags (O_NOFOLLOW and O_CLOEXEC added).
Descriptor OpenBeneath(int dirfd, const std::vector<std::string>& components, std::size_t count, int flags,
                       InstallRoot::Resolution resolution) {
  flags |= O_NOFOLLOW | O_CLOEXEC;
  if (resolution == InstallRoot::Resolution::kWholePath) {
    return Descriptor(OpenAt2(dirfd, Join(components, count), flags, 0666));
  }
  Descriptor directory;
  int at = dirfd;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    directory = Descriptor(::openat(at, components[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory) return Descriptor();
    at = directory.get();
  }
  return Descriptor(::openat(at, components[count - 1].c_str(), flags, 0666));
}

// The directory that holds the last component (the root itself for a one-component path).
Descriptor OpenParent(int root, const std::vector<std::string>& components, InstallRoot::Resolution resolution) {
  if (components.size() == 1) return Descriptor(::fcntl(root, F_DUPFD_CLOEXEC, 0));
  return OpenBeneath(root, components, components.size() - 1, O_PATH | O_DIRECTORY, resolution);
}

// A regular file that has another name besides this one: that name may lie outside the
// install directory, so the file is treated as a link and never used.
bool HasOtherNames(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink > 1; }

bool HasOtherNames(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && HasOtherNames(st);
}

// A symbolic link or a file with other names at the name (which may not open at all:
// a read-only file does not open for writing).
bool IsLinkAt(int dirfd, const std::string& name) {
  struct stat st {};
  return ::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && (S_ISLNK(st.st_mode) || HasOtherNames(st));
}

// Opens one name inside a directory, creating it when missing; a link standing there
// (a symbolic link, or a file with other names) is removed, the name and never what it
// leads to, and the open tried again. Opening neither empties nor writes anything: the
// file is judged before it is used.
Descriptor OpenReplacingLink(int dirfd, const std::string& name, int flags) {
  for (int clearing = 0;; ++clearing) {
    Descriptor fd(::openat(dirfd, name.c_str(), flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd) {
      if (!HasOtherNames(fd.get())) return fd;
    } else if (!IsLinkAt(dirfd, name)) {
      return fd;
    }
    fd = Descriptor();
    if (clearing == kLinkClearings) return Descriptor();
    if (::unlinkat(dirfd, name.c_str(), 0) != 0 && errno != ENOENT) return Descriptor();
  }
}

// Opens one directory inside a directory, making it when missing and replacing a link
// that stands there.
Descriptor OpenOrMakeDirectory(int dirfd, const std::string& name) {
  for (int clearing = 0; clearing <= kLinkClearings; ++clearing) {
    Descriptor fd(::openat(dirfd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd) return fd;
    struct stat st {};
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return Descriptor();
      if (::mkdirat(dirfd, name.c_str(), 0777) != 0 && errno != EEXIST) return Descriptor();
    } else if (S_ISLNK(st.st_mode)) {
      if (::unlinkat(dirfd, name.c_str(), 0) != 0 && errno != ENOENT) return Descriptor();
    } else if (!S_ISDIR(st.st_mode)) {
      return Descriptor();  // a file of that name is the user's, not ours to remove
    }
  }
  return Descriptor();
}

FileAttributes AttributesOf(const struct stat& st) {
  return FileAttributes{.directory = S_ISDIR(st.st_mode), .read_only = (st.st_mode & S_IWUSR) == 0};
}

}  // namespace

InstallRoot InstallRoot::Open(std::u16string_view directory, Resolution preferred) {
  Descriptor fd(::open(NativePath(directory).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return InstallRoot();
  const Resolution resolution = preferred == Resolution::kWholePath && WholePathAvailable(fd.get())
                                    ? Resolution::kWholePath
                                    : Resolution::kComponentWise;
  return InstallRoot(fd.release(), resolution);
}

InstallRoot::InstallRoot(InstallRoot&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), resolution_(other.resolution_), path_(std::move(other.path_)) {}

InstallRoot& InstallRoot::operator=(InstallRoot&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = std::exchange(other.handle_, -1);
    resolution_ = other.resolution_;
    path_ = std::move(other.path_);
  }
  return *this;
}

InstallRoot::~InstallRoot() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool InstallRoot::is_open() const { return handle_ >= 0; }

std::optional<FileAttributes> InstallRoot::Attributes(std::u16string_view relative) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components) return std::nullopt;
  const int root = static_cast<int>(handle_);
  struct stat st {};
  if (components->empty()) {
    if (::fstat(root, &st) != 0) return std::nullopt;
    return AttributesOf(st);
  }
  // O_PATH with O_NOFOLLOW opens a link itself rather than failing, so the type decides.
  const Descriptor fd = OpenBeneath(root, *components, components->size(), O_PATH, resolution_);
  if (!fd || ::fstat(fd.get(), &st) != 0 || S_ISLNK(st.st_mode) || HasOtherNames(st)) return std::nullopt;
  return AttributesOf(st);
}

std::optional<File> InstallRoot::OpenFile(std::u16string_view relative, File::Mode mode) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components || components->empty()) return std::nullopt;
  const int root = static_cast<int>(handle_);
  // O_NONBLOCK keeps a FIFO from blocking the open; SettleOpened refuses it.
  const int flags = posix::OpenFlags(mode) | O_NONBLOCK;
  Descriptor fd;
  if (mode == File::Mode::kCreate || mode == File::Mode::kAppend) {
    const Descriptor parent = OpenParent(root, *components, resolution_);
    if (!parent) return std::nullopt;
    fd = OpenReplacingLink(parent.get(), components->back(), flags);
  } else {
    fd = OpenBeneath(root, *components, components->size(), flags, resolution_);
    if (fd && HasOtherNames(fd.get())) return std::nullopt;  // as though nothing were there
  }
  if (!fd) return std::nullopt;
  File file(fd.release());
  if (!posix::SettleOpened(static_cast<int>(file.handle_), mode)) return std::nullopt;
  return file;
}

InstallRoot::ReadOpen InstallRoot::OpenForReading(std::u16string_view relative) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components || components->empty()) return {};
  const int root = static_cast<int>(handle_);
  // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below.
  Descriptor fd = OpenBeneath(root, *components, components->size(), O_RDONLY | O_NONBLOCK, resolution_);
  if (!fd) {
    // Nothing there, a link on the way, or something that does not open: only a look
    // without opening tells the last from the others, and it is rare.
    if (!Attributes(relative)) return {};
    return {.state = ReadOpen::State::kUnopened, .file = std::nullopt, .size = 0};
  }
  // One fstat serves the type, the other names and the size.
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return {.state = ReadOpen::State::kUnopened, .file = std::nullopt, .size = 0};
  if (HasOtherNames(st)) return {};  // as though nothing were there
  // Regular files ignore O_NONBLOCK, but a file system may not: the open's status flags
  // are known, so one call clears it.
  if (!S_ISREG(st.st_mode) || ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 || ::fcntl(fd.get(), F_SETFL, 0) != 0) {
    return {.state = ReadOpen::State::kUnopened, .file = std::nullopt, .size = 0};
  }
  return {.state = ReadOpen::State::kOpened, .file = File(fd.release()), .size = static_cast<std::uint64_t>(st.st_size)};
}

bool InstallRoot::ClearReadOnly(std::u16string_view relative) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components) return false;
  const int root = static_cast<int>(handle_);
  const Descriptor fd = components->empty()
                            ? Descriptor(::openat(root, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
                            : OpenBeneath(root, *components, components->size(), O_RDONLY | O_NONBLOCK, resolution_);
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) || HasOtherNames(st)) {
    return false;
  }
  return ::fchmod(fd.get(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool InstallRoot::Replace(std::u16string_view relative, std::u16string_view replacement) const {
  const auto target = SplitRelative(relative);
  const auto source = SplitRelative(replacement);
  if (!is_open() || !target || !source || target->empty() || target->size() != source->size() ||
      !std::equal(target->begin(), target->end() - 1, source->begin())) {
    return false;
  }
  const Descriptor parent = OpenParent(static_cast<int>(handle_), *source, resolution_);
  struct stat st {};
  if (!parent || ::fstatat(parent.get(), source->back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(st.st_mode) || HasOtherNames(st)) {
    return false;
  }
  // rename replaces the name at the target, whatever it leads to, and never a directory.
  return ::renameat(parent.get(), source->back().c_str(), parent.get(), target->back().c_str()) == 0;
}

bool InstallRoot::CreateDirectories(std::u16string_view relative) const {
  const auto components = SplitRelative(relative);
  if (!is_open() || !components) return false;
  const int root = static_cast<int>(handle_);
  if (components->empty()) return true;
  // Most calls find the directories there already.
  if (OpenBeneath(root, *components, components->size(), O_PATH | O_DIRECTORY, resolution_)) return true;
  Descriptor directory;
  int at = root;
  for (const std::string& name : *components) {
    directory = OpenOrMakeDirectory(at, name);
    if (!directory) return false;
    at = directory.get();
  }
  return true;
}

}  // namespace platform
