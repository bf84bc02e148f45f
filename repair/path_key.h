// The identity of the file a manifest path names on a disk that ignores case, as the
// Windows build's disks do and as a Linux user's case-insensitive mounts do: two paths
// with the same key would land in one file, which then never settles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krdn {

// The path's components, split at "\" and "/", without trailing dots and spaces (which
// Windows drops), without empty and "." components, each folded as Windows folds case
// (platform/io/case_fold.h), joined with "\". "\Bin\\./a.DLL " and "\bin\A.dll"
// share the key "BIN\A.DLL".
std::u16string PathKey(std::u16string_view manifest_path);

// The files, and the directories above them, that a list of paths names, by key: each
// key must stay one thing. Memory grows with the total length of the keys claimed: the
// names form a tree, each component stored once, whatever the depth.
class PathClaims {
 public:
  PathClaims();

  // Claims the path as a file. Nothing when it is new; otherwise the earlier path it
  // collides with: the same file by key, or a file where one of them needs a directory.
  std::optional<std::u16string> Claim(std::u16string_view path);

 private:
  static constexpr std::uint32_t kNoNode = UINT32_MAX;

  // One component of a key below its parent (the root is node 0).
  struct Node {
    std::uint32_t parent = 0;
    std::uint32_t name_at = 0;  // in names_
    std::uint32_t name_size = 0;
    std::uint32_t claimant = 0;  // the path that made it, in claimants_
    bool file = false;
  };

  std::u16string_view NameOf(const Node& node) const;
  std::u16string_view ClaimantOf(const Node& node) const;
  std::size_t Hash(std::uint32_t parent, std::u16string_view name) const;
  std::uint32_t Find(std::uint32_t parent, std::u16string_view name) const;
  std::uint32_t Add(std::uint32_t parent, std::u16string_view name, std::uint32_t claimant, bool file);
  void Grow();

  std::vector<Node> nodes_;
  std::vector<std::uint32_t> slots_;  // open addressing over nodes_, kNoNode where free
  std::u16string names_;              // every node's component, one after another
  std::u16string claimants_;          // every claimed path, one after another
  std::vector<std::uint32_t> claimant_at_;  // where each claimed path starts; its end is the next one's start
};

}  // namespace krdn
