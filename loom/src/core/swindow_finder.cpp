#include "core/swindow_finder.h"

namespace LOOM {

SWND SWindowFinder::Lookup(SWND parent, Kind kind, std::u16string_view name, int id, int depth) const {
  auto p = cache_.find(parent);
  if (p == cache_.end()) return 0;
  auto it = p->second.find(Key(kind, std::u16string(name), id, depth));
  return it == p->second.end() ? 0 : it->second;
}

void SWindowFinder::Store(SWND parent, Kind kind, std::u16string_view name, int id, int depth, SWND found) {
  cache_[parent][Key(kind, std::u16string(name), id, depth)] = found;
}

void SWindowFinder::Drop(SWND parent, Kind kind, std::u16string_view name, int id, int depth) {
  auto p = cache_.find(parent);
  if (p == cache_.end()) return;
  p->second.erase(Key(kind, std::u16string(name), id, depth));
  if (p->second.empty()) cache_.erase(p);
}

std::size_t SWindowFinder::Size() const {
  std::size_t n = 0;
  for (const auto& [parent, entries] : cache_) n += entries.size();
  return n;
}

}  // namespace LOOM
