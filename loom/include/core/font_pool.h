// The font pool: font descriptions ("face:微软雅黑,size:12") to font objects, one
// object per distinct description for the life of the pool.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "core/render.h"
#include "core/ui_def.h"

namespace LOOM {

// What a description resolves to, before a font is made.
struct SFontKey {
  std::u16string name;
  std::uint32_t style = 0;
  std::u16string face;
  std::u16string extra;
  // Name does not take part, as the pool compares keys.
  friend bool operator<(const SFontKey& a, const SFontKey& b) {
    return std::tie(a.style, a.face, a.extra) < std::tie(b.style, b.face, b.extra);
  }
};

// Parses a description against a default font at a scale.
SFontKey ParseFontDescription(std::u16string_view description, int scale, const SFontDesc& default_font);
// The logical font record for a key.
SLogFont LogFontForKey(const SFontKey& key);

class SFontPool {
 public:
  explicit SFontPool(IRenderFactory* factory) : factory_(factory) {}
  // A font for the description at the scale; borrowed (the pool keeps it).
  IFont* FontForDescription(std::u16string_view description, int scale = 100);
  std::size_t Size() const { return fonts_.size(); }

 private:
  SAutoRefPtr<IRenderFactory> factory_;
  std::map<SFontKey, SAutoRefPtr<IFont>> fonts_;
};

}  // namespace LOOM
