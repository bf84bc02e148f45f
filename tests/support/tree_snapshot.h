// Everything a directory tree holds, as one comparable value: each entry's type, its
// permission bits, and its bytes (a file) or its target (a symbolic link). Links are
// recorded, never followed, so a snapshot sees what a test has placed.
#pragma once

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
  namespace fs = std::filesystem;
  TreeEntry entry;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error || !fs::exists(status)) return entry;
  entry.mode = static_cast<unsigned>(status.permissions() & fs::perms::mask);
  if (fs::is_symlink(status)) {
    entry.type = 'l';
    entry.content = fs::read_symlink(path, error).string();
  } else if (fs::is_directory(status)) {
    entry.type = 'd';
  } else if (fs::is_regular_file(status)) {
    entry.type = 'f';
    entry.content.resize(static_cast<std::size_t>(fs::file_size(path, error)));
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
