// The install directory of one run, and the only way the run reaches what lies in it.
//
// A run opens its install directory once (following links in that path: the user chose
// it) and from then on names every file and directory by a path relative to it. No
// such path ever leads out of the directory, whatever the directory holds:
//
// - Resolution never follows a symbolic link, at any component of the path, nor (on
//   Windows) any other reparse point such as a junction or a mount point. A path that
//   meets one is treated as though nothing were there.
// - A regular file with more than one hard link is a link too: its other names may lie
//   outside the directory, and writing or re-permissioning it would change the file
//   there. It counts as nothing there, and is replaced like any other link.
// - Where the run needs a file or a directory to exist (OpenFile with kCreate or
//   kAppend, CreateDirectories), a link standing at that name is removed, the link
//   itself and never what it points to, and a real file or directory is made in its
//   place. A link's target is never read, created, truncated, written or given new
//   permissions.
// - Permissions change through the opened file, never by name.
//
// Relative paths: components separated by "\" or "/". One leading separator is allowed
// (manifest paths begin with "\"); the empty path names the install directory itself.
// A path with an empty component (two separators in a row, a trailing separator), a
// "." or ".." component, or a NUL character is refused: every call fails for it. The
// platform refuses, in the same way, components it cannot store as one plain name
// (on Windows: a ":", characters illegal in file names, device names).
//
// Files opened here follow the sharing and type rules of File::Open (platform/files.h):
// locks taken without waiting, and only regular files ever open.
//
// Every operation is const and may be called from several threads at once; the object
// itself moves but does not copy. A root that failed to open (see Open) fails every
// operation, as a directory that is not there would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/io/files.h"

namespace platform {

class InstallRoot {
 public:
  // How paths beneath the root are resolved. Both give the same results.
  enum class Resolution {
    // The system resolves the whole relative path in one call and itself refuses links
    // and escapes (Linux: openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS).
    kWholePath,
    // One component at a time, each opened without following a link (Linux: openat with
    // O_NOFOLLOW per component; the only way on systems without whole-path resolution).
    kComponentWise,
  };

  // Opens the directory at an absolute path. With kWholePath preferred, a system that
  // cannot resolve whole paths falls back to kComponentWise (see resolution()); tests
  // ask for kComponentWise to exercise it where both are available. The result is
  // closed (is_open() false) when the path is not a directory that can be opened.
  static InstallRoot Open(std::u16string_view directory, Resolution preferred = Resolution::kWholePath);

  InstallRoot() = default;  // closed
  InstallRoot(InstallRoot&& other) noexcept;
  InstallRoot& operator=(InstallRoot&& other) noexcept;
  InstallRoot(const InstallRoot&) = delete;
  InstallRoot& operator=(const InstallRoot&) = delete;
  ~InstallRoot();

  bool is_open() const;
  Resolution resolution() const { return resolution_; }

  // What is at the path. Nothing when nothing is there, when a link stands at the path
  // or at any of its directories, when one of its directories is not a directory, or
  // when the path is refused. The empty path gives the root's own attributes.
  std::optional<FileAttributes> Attributes(std::u16string_view relative) const;

  // Opens the file in the mode of File::Open. Every directory of the path must already
  // be a real directory (CreateDirectories makes them); a link at any of them fails the
  // open. A link at the path itself:
  // - kRead, kUpdate, kTruncate: the open fails, as for a missing file;
  // - kCreate, kAppend: the link is removed and a new, empty regular file created in its
  //   place (then opened as the mode says).
  // Nothing when the file cannot be opened (absent, locked, not a regular file, no
  // access, refused path, a link that keeps coming back).
  std::optional<File> OpenFile(std::u16string_view relative, File::Mode mode) const;

  // What a reader finds at a path, in one look: the verification of many small files
  // opens each of them once, and asks nothing else of it.
  struct ReadOpen {
    enum class State {
      kAbsent,    // nothing there, as Attributes finds nothing
      kUnopened,  // something there that OpenFile with kRead cannot open (locked, no regular file, no access)
      kOpened,    // opened as OpenFile with kRead opens it
    };
    State state = State::kAbsent;
    std::optional<File> file;  // kOpened only
    std::uint64_t size = 0;    // kOpened only: the size when it was opened
  };
  // The outcome Attributes followed by OpenFile(kRead) and File::Size would give, with
  // the fewest calls to the system the platform allows.
  ReadOpen OpenForReading(std::u16string_view relative) const;

  // Gives the owner write permission again, through the opened file (a regular file or
  // a directory). False when the path is missing, a link, or the change fails.
  bool ClearReadOnly(std::u16string_view relative) const;

  // Moves the file at `replacement` to `relative` in one step, replacing whatever file
  // or link is there (a link itself, never its target): a reader finds the old file or
  // the new one, never a part of either, also when the run dies half way. Both names
  // must lie in the same directory. False when a path is refused, the two lie in
  // different directories, the replacement is missing, a link or no regular file, or
  // the move fails (a directory at `relative` is never replaced).
  bool Replace(std::u16string_view relative, std::u16string_view replacement) const;

  // Makes every directory of the path that is missing, and replaces a link at any of
  // them with a real directory. A regular file (or anything else that is neither a
  // directory nor a link) in the way is left alone and fails the call. True when the
  // whole path exists as real directories afterwards; the empty path is the root and
  // succeeds.
  bool CreateDirectories(std::u16string_view relative) const;

 private:
  InstallRoot(std::intptr_t handle, Resolution resolution, std::u16string path = {})
      : handle_(handle), resolution_(resolution), path_(std::move(path)) {}

  std::intptr_t handle_ = -1;  // the opened directory: a descriptor on Linux, a HANDLE on Windows
  Resolution resolution_ = Resolution::kComponentWise;
  // The directory's own path, where names beneath it are resolved from it (Windows,
  // which holds every directory of a path open while it goes down it); else empty.
  std::u16string path_;
};

}  // namespace platform
