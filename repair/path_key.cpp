#include "repair/path_key.h"

#include "platform/io/case_fold.h"

namespace krdn {

std::u16string PathKey(std::u16string_view manifest_path) {
  std::u16string key;
  key.reserve(manifest_path.size());
  std::size_t start = 0;
  while (start <= manifest_path.size()) {
    std::size_t end = start;
    while (end < manifest_path.size() && manifest_path[end] != u'\\' && manifest_path[end] != u'/') ++end;
    std::u16string_view component = manifest_path.substr(start, end - start);
    // Windows drops a name's trailing dots and spaces: "a." and "a " are "a" there.
    while (!component.empty() && (component.back() == u'.' || component.back() == u' ') && component != u".") {
      component.remove_suffix(1);
    }
    if (!component.empty() && component != u".") {
      if (!key.empty()) key += u'\\';
      key += platform::FoldCase(component);
    }
    start = end + 1;
  }
  return key;
}

PathClaims::PathClaims() : nodes_(1), slots_(64, kNoNode), claimant_at_{0} {}

std::u16string_view PathClaims::NameOf(const Node& node) const {
  return std::u16string_view(names_).substr(node.name_at, node.name_size);
}

std::u16string_view PathClaims::ClaimantOf(const Node& node) const {
  const std::uint32_t begin = claimant_at_[node.claimant];
  return std::u16string_view(claimants_).substr(begin, claimant_at_[node.claimant + 1] - begin);
}

std::size_t PathClaims::Hash(std::uint32_t parent, std::u16string_view name) const {
  return std::hash<std::u16string_view>{}(name) ^ (std::size_t{parent} * 0x9E3779B97F4A7C15u);
}

std::uint32_t PathClaims::Find(std::uint32_t parent, std::u16string_view name) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = Hash(parent, name) & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t id = slots_[slot];
    if (id == kNoNode) return kNoNode;
    if (nodes_[id].parent == parent && NameOf(nodes_[id]) == name) return id;
  }
}

std::uint32_t PathClaims::Add(std::uint32_t parent, std::u16string_view name, std::uint32_t claimant, bool file) {
  if ((nodes_.size() + 1) * 2 > slots_.size()) Grow();
  const auto id = static_cast<std::uint32_t>(nodes_.size());
  nodes_.push_back(Node{.parent = parent,
                        .name_at = static_cast<std::uint32_t>(names_.size()),
                        .name_size = static_cast<std::uint32_t>(name.size()),
                        .claimant = claimant,
                        .file = file});
  names_ += name;
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = Hash(parent, name) & mask;
  while (slots_[slot] != kNoNode) slot = (slot + 1) & mask;
  slots_[slot] = id;
  return id;
}

void PathClaims::Grow() {
  slots_.assign(slots_.size() * 2, kNoNode);
  const std::size_t mask = slots_.size() - 1;
  for (std::uint32_t id = 1; id < nodes_.size(); ++id) {
    std::size_t slot = Hash(nodes_[id].parent, NameOf(nodes_[id])) & mask;
    while (slots_[slot] != kNoNode) slot = (slot + 1) & mask;
    slots_[slot] = id;
  }
}

std::optional<std::u16string> PathClaims::Claim(std::u16string_view path) {
  const std::u16string key = PathKey(path);
  // The key's components, each found or added below the one before; a key without
  // components is one empty name below the root.
  std::vector<std::u16string_view> components;
  for (std::size_t start = 0;;) {
    const std::size_t end = key.find(u'\\', start);
    components.push_back(std::u16string_view(key).substr(start, end == std::u16string::npos ? end : end - start));
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  std::uint32_t at = 0;
  std::size_t depth = 0;
  for (; depth < components.size(); ++depth) {
    const std::uint32_t next = Find(at, components[depth]);
    if (next == kNoNode) break;
    const Node& node = nodes_[next];
    // A file where this path needs a directory, the very file again, or a directory
    // where this path is a file.
    if (node.file || depth + 1 == components.size()) return std::u16string(ClaimantOf(node));
    at = next;
  }
  const auto claimant = static_cast<std::uint32_t>(claimant_at_.size() - 1);
  claimants_ += path;
  claimant_at_.push_back(static_cast<std::uint32_t>(claimants_.size()));
  for (; depth < components.size(); ++depth) {
    at = Add(at, components[depth], claimant, depth + 1 == components.size());
  }
  return std::nullopt;
}

}  // namespace krdn
