// Named ids: element names with their numeric ids, sorted and searched by exact
// UTF-16 code-unit order.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace LOOM {

inline constexpr std::size_t kMaxNamedIdName = 49;

struct SNamedIdEntry {
  char16_t name[52] = {};
  int value = 0;
};

class SNamedID {
 public:
  // Copies the entries; sorts them unless they already are. Returns the count kept.
  std::size_t Assign(std::span<const SNamedIdEntry> entries, bool sorted);
  // 0 when absent or the name is longer than 49 characters.
  int Find(std::u16string_view name) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    std::u16string name;
    int value;
  };
  std::vector<Entry> entries_;
};

}  // namespace LOOM
