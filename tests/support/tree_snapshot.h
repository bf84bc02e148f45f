// Everything a directory tree holds, as one comparable value: each entry's type, its
// permission bits, and its bytes (a file) or its target (a symbolic link). Links are
// recorded, never followed, so a snapshot sees what a test has placed.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "tests/support/temp_dir.h"

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

// The pieces of each file of `client` that are wrong (missing, short or other bytes)
// in `install`, as "path first-last" with byte offsets.
inline std::set<std::string> WrongPieces(const std::filesystem::path& client, const std::filesystem::path& install,
                                         std::size_t piece) {
  namespace fs = std::filesystem;
  std::set<std::string> wrong;
  for (const auto& entry : fs::recursive_directory_iterator(client)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = fs::relative(entry.path(), client).generic_string();
    const auto want = ReadFile(entry.path());
    const auto have = ReadFile(install / relative);
    for (std::size_t first = 0; first < want.size(); first += piece) {
      const std::size_t last = std::min(want.size(), first + piece) - 1;
      const bool same = have.size() > last && std::equal(want.begin() + static_cast<std::ptrdiff_t>(first),
                                                         want.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                                                         have.begin() + static_cast<std::ptrdiff_t>(first));
      if (!same) wrong.insert(relative + " " + std::to_string(first) + "-" + std::to_string(last));
    }
  }
  return wrong;
}

}  // namespace krdn::testing
