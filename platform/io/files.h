// Files addressed by the system's UTF-16 paths. These calls follow links and take any
// path: they serve what the user names (the install directory itself, the desktop, a
// client folder to publish). A run reaches the files inside its install directory
// only through platform/install_root.h. Paths may use "\" as separator (the
// form the manifest carries); each becomes "/" on disk and the path is passed on as
// UTF-8.
//
// Sharing: a file opened for reading takes a shared lock and one opened for writing
// an exclusive lock, both without waiting, so a file that another process holds
// locked cannot be opened here, the way a file in use cannot be opened on a desktop
// system that enforces sharing. Only regular files are ever opened: a directory, a
// FIFO or a device of that name fails to open instead of blocking or misbehaving.
#pragma once

#include "platform/base/win_names.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// The on-disk form of a system path: "\" turned into "/", encoded as UTF-8.
std::string NativePath(std::u16string_view path);

// A std::filesystem path as UTF-8 text with "/" separators: on Linux the path's own
// bytes (which need not be UTF-8), on Windows its UTF-16 name converted.
std::string PathUtf8(const std::filesystem::path& path);

struct FileAttributes {
  bool directory = false;
  bool read_only = false;  // no write permission for the owner (Windows: the read-only attribute)
};

// Attributes of whatever exists at the path (following links); nothing when absent.
std::optional<FileAttributes> GetFileAttributes(std::u16string_view path);

// Creates one directory level (its parent must exist). True when it exists afterwards
// as a directory.
bool CreateDirectory(std::u16string_view path);

// The absolute form of a path the user typed (relative ones against the working
// directory), with "." and ".." resolved lexically and without a trailing separator
// (a root keeps its own). On Windows, where a program runs under wine, a Unix path
// ("/home/...") becomes the drive path wine maps it to ("Z:\home\..."). Empty when
// the path is empty or has no absolute form.
std::u16string AbsolutePath(std::u16string_view path);

class File {
 public:
  enum class Mode {
    kRead,      // existing file, reading
    kCreate,    // created or emptied, writing
    kAppend,    // created when missing, writing, existing content kept
    kUpdate,    // existing file, reading and writing
    kTruncate,  // existing file, writing, for a cut to size
  };

  // Nothing when the file cannot be opened (absent, locked, not a regular file, no access).
  static std::optional<File> Open(std::u16string_view path, Mode mode);

  // Makes a new, empty file for writing that only its owner may read or write from the
  // moment it exists (Linux: mode 0600, never wider at any point; Windows: the rights
  // the folder passes on), for secrets such as a private key. Nothing when anything
  // stands at the path already, a symbolic link included (which is neither followed
  // nor replaced), or when the file cannot be made.
  static std::optional<File> CreateNew(std::u16string_view path);

  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // A descriptor on Linux, a HANDLE on Windows; -1 (INVALID_HANDLE_VALUE there) when closed.
  using Handle = std::intptr_t;

  std::optional<std::uint64_t> Size() const;

  // Reads up to data.size() bytes at the offset; fewer only at the end of the file or
  // on an error. Returns the count read.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> data) const;

  // Writes all of data at the offset. False when not every byte could be written.
  // After a false from it, Append, Resize or ExtendWithZeros: whether the disk (or the
  // user's quota) had no room left, as opposed to any other failure.
  bool failed_for_space() const { return failed_for_space_; }
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data);

  // Appends at the end of the file. False when not every byte could be written.
  bool Append(std::span<const std::uint8_t> data);

  // Cuts or extends (with zero bytes) the file to the size.
  bool Resize(std::uint64_t size);

  // Extends the file to the size with zero bytes, reserving the disk space, so that a
  // full disk shows here rather than in a later write. False when the space is not there.
  bool ExtendWithZeros(std::uint64_t size);

  // Hints that the range will be read soon, so that the system starts fetching it
  // from the disk now. Only a hint: nothing fails.
  void ReadAhead(std::uint64_t offset, std::uint64_t length) const;

  // Writes back what is dirty and lets the system drop the file's cached pages, so the
  // next read comes from the disk (benchmarks start cold with it). Only a hint.
  void DropCached() const;

  void Close();

 private:
  friend class InstallRoot;  // opens files beneath the install directory
  explicit File(Handle handle) : handle_(handle) {}
  // Notes why a write failed and returns false.
  bool Failed(bool for_space) {
    failed_for_space_ = for_space;
    return false;
  }
  Handle handle_ = -1;
  bool failed_for_space_ = false;
};

}  // namespace platform
