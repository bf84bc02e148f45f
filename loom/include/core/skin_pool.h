// Skin tables: (name, scale) to skin, and the manager that asks them from the most
// recently pushed to the built-in table.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/skin.h"
#include "core/xml.h"

namespace LOOM {

class SSkinPool final : public TObjRefImpl<IObjRef> {
 public:
  // Creates one skin per child element that has a non-empty "name"; returns the count.
  int LoadSkins(const SXmlNode& table);
  // Keeps the first skin entered under a key; false when the key was taken.
  bool AddSkin(ISkinObj* skin);
  // The lookup by name and scale, making a scaled copy where needed; borrowed.
  ISkinObj* GetSkin(std::u16string_view name, int scale);
  std::size_t Size() const { return skins_.size(); }
  template <class Fn>
  void ForEachSkin(Fn fn) const {
    for (const auto& [key, skin] : skins_) fn(skin.get());
  }

 private:
  ISkinObj* Exact(std::u16string_view name, int scale) const;
  std::map<std::pair<std::u16string, int>, SAutoRefPtr<ISkinObj>, std::less<>> skins_;
};

// The largest supported scale (100, 125, 150, 200, 250, 300) not above scale.
int NormaliseScale(int scale);

class SSkinPoolMgr {
 public:
  SSkinPoolMgr();
  void Push(SSkinPool* pool) { pools_.emplace_back(pool); }
  // Pops the last pushed table; the built-in table stays.
  void Pop();
  // Takes out the most recent push of that table (never the built-in one); false when
  // it is not there.
  bool Remove(SSkinPool* pool);
  SSkinPool* BuiltinPool() const { return pools_.front().get(); }
  ISkinObj* GetSkin(std::u16string_view name, int scale) const;
  std::size_t PoolCount() const { return pools_.size(); }

 private:
  std::vector<SAutoRefPtr<SSkinPool>> pools_;
};

inline constexpr int kSystemSkinCount = 35;
// The name of system skin index (nullptr outside 0-34).
const char16_t* SystemSkinName(int index);
ISkinObj* SystemSkinByIndex(int index, int scale = 100);

}  // namespace LOOM
