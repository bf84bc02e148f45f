#include "core/named_id.h"

#include <algorithm>

namespace LOOM {

std::size_t SNamedID::Assign(std::span<const SNamedIdEntry> entries, bool sorted) {
  entries_.clear();
  entries_.reserve(entries.size());
  for (const auto& e : entries) {
    std::u16string_view name(e.name, std::char_traits<char16_t>::length(e.name) < 52
                                         ? std::char_traits<char16_t>::length(e.name)
                                         : 51);
    entries_.push_back({std::u16string(name), e.value});
  }
  // Binary search needs order whatever the caller claims; an already sorted table costs
  // one linear check.
  auto by_name = [](const Entry& a, const Entry& b) { return a.name < b.name; };
  if (!sorted || !std::is_sorted(entries_.begin(), entries_.end(), by_name))
    std::stable_sort(entries_.begin(), entries_.end(), by_name);
  return entries_.size();
}

int SNamedID::Find(std::u16string_view name) const {
  if (name.size() > kMaxNamedIdName) return 0;
  auto it = std::lower_bound(entries_.begin(), entries_.end(), name,
                             [](const Entry& e, std::u16string_view n) { return std::u16string_view(e.name) < n; });
  if (it == entries_.end() || it->name != name) return 0;
  return it->value;
}

}  // namespace LOOM
