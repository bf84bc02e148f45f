#include "repair/path_key.h"

namespace krdn {
namespace {

bool In(char16_t c, char16_t first, char16_t last) { return c >= first && c <= last; }

// Ranges where capital and small letters alternate: with the small letters on odd units
// when capitals are even, and on even units when capitals are odd.
char16_t Paired(char16_t c, bool capitals_even) {
  const bool even = c % 2 == 0;
  return even == capitals_even ? c : static_cast<char16_t>(c - 1);
}

char16_t Shift(char16_t c, int by) { return static_cast<char16_t>(c - by); }

}  // namespace

char16_t UpperCase(char16_t c) {
  if (In(c, u'a', u'z')) return Shift(c, 0x20);
  if (c < 0xE0) return c;
  if (In(c, 0xE0, 0xFE) && c != 0xF7) return Shift(c, 0x20);
  if (c == 0xFF) return 0x178;
  if (In(c, 0x100, 0x12F) || In(c, 0x132, 0x137) || In(c, 0x14A, 0x177)) return Paired(c, true);
  if (In(c, 0x139, 0x148) || In(c, 0x179, 0x17E)) return Paired(c, false);
  if (c == 0x3AC) return 0x386;
  if (In(c, 0x3AD, 0x3AF)) return Shift(c, 0x25);
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (In(c, 0x3B1, 0x3CB)) return Shift(c, 0x20);
  if (c == 0x3CC) return 0x38C;
  if (In(c, 0x3CD, 0x3CE)) return Shift(c, 0x3F);
  if (In(c, 0x430, 0x44F)) return Shift(c, 0x20);
  if (In(c, 0x450, 0x45F)) return Shift(c, 0x50);
  if (In(c, 0x460, 0x481) || In(c, 0x48A, 0x4BF) || In(c, 0x4D0, 0x52F)) return Paired(c, true);
  if (In(c, 0x4C1, 0x4CE)) return Paired(c, false);
  if (c == 0x4CF) return 0x4C0;
  if (In(c, 0x561, 0x586)) return Shift(c, 0x30);
  if (In(c, 0x1E00, 0x1E95) || In(c, 0x1EA0, 0x1EFF)) return Paired(c, true);
  if (In(c, 0xFF41, 0xFF5A)) return Shift(c, 0x20);
  return c;
}

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
      for (const char16_t c : component) key += UpperCase(c);
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
