// Everything a directory tree holds, as one comparable value: each entry's type, its
// permission bits, and its bytes (a file) or its target (a symbolic link). Links are
// recorded, never followed, so a snapshot sees what a test has placed.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace krdn::testing {

struct TreeEntry {
  char type = '?';  // 'f' file, 'd' directory, 'l' link, 'o' anything else
  unsigned mode = 0;
  std::string content;  // a file's bytes or a link's target

  friend bool operator==(const TreeEntry&, const TreeEntry&) = default;
};

using TreeSnapshot = std::map<std::string, TreeEntry>;

inline TreeEntry SnapshotEntry(const std::filesystem::path& path) {
  TreeEntry entry;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return entry;
  entry.mode = st.st_mode & 07777;
  if (S_ISLNK(st.st_mode)) {
    entry.type = 'l';
    entry.content = std::filesystem::read_symlink(path).string();
  } else if (S_ISDIR(st.st_mode)) {
    entry.type = 'd';
  } else if (S_ISREG(st.st_mode)) {
    entry.type = 'f';
    entry.content.resize(static_cast<std::size_t>(st.st_size));
    std::ifstream in(path, std::ios::binary);
    in.read(entry.content.data(), static_cast<std::streamsize>(entry.content.size()));
    if (!in) entry.content = "<unreadable>";
  } else {
    entry.type = 'o';
  }
  return entry;
}

// The tree below root (root itself as ""), keyed by relative path.
inline TreeSnapshot Snapshot(const std::filesystem::path& root) {
  TreeSnapshot snapshot;
  snapshot[""] = SnapshotEntry(root);
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    snapshot[std::filesystem::relative(it->path(), root).string()] = SnapshotEntry(it->path());
  }
  return snapshot;
}

}  // namespace krdn::testing
