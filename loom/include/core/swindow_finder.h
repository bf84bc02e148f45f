// A cache of element lookups by name or id below a parent: (parent handle, by name or
// id, name or id, depth) to the handle found.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <unordered_map>

#include "core/swnd_defs.h"

namespace LOOM {

class SWindowFinder {
 public:
  enum Kind : int { kByName = 0, kById = 1 };

  // The cached handle, or 0.
  SWND Lookup(SWND parent, Kind kind, std::u16string_view name, int id, int depth) const;
  void Store(SWND parent, Kind kind, std::u16string_view name, int id, int depth, SWND found);
  void Drop(SWND parent, Kind kind, std::u16string_view name, int id, int depth);
  // Forgets every lookup below a parent that is gone.
  void ForgetParent(SWND parent) { cache_.erase(parent); }
  std::size_t Size() const;

 private:
  using Key = std::tuple<int, std::u16string, int, int>;
  std::unordered_map<SWND, std::map<Key, SWND>> cache_;
};

}  // namespace LOOM
