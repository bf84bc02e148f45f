#include "core/font_pool.h"

#include <map>

#include "core/application.h"
#include "core/render_refs.h"
#include "core/text_util.h"

namespace LOOM {
namespace {

constexpr BYTE kClearTypeQuality = 5;

int PixelsOf(std::u16string_view value, int scale) {
  SApplication* app = SApplication::Instance();
  SLayoutSize size = app ? app->UiDef().ResolveDimension(value) : SLayoutSize{};
  if (!app) ParseDimension(value, size);
  return DimensionToPixels(size, scale);
}

void SetBit(std::uint32_t& style, std::uint32_t bit, std::u16string_view value) {
  if (value == u"0") style &= ~bit;
  else style |= bit;
}

std::u16string XmlEscaped(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'"': out += u"&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

SFontKey ParseFontDescription(std::u16string_view description, int scale, const SFontDesc& default_font) {
  SFontKey key;
  key.style = default_font.style & ~FontStyle::kSizeMask;
  int size = 0, adding = 0;
  std::map<std::u16string, std::u16string> extra;
  auto pieces = Split(ToLower(description), u',');
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    auto kv = Split(*it, u':');
    if (kv.size() != 2) continue;
    const std::u16string& k = kv[0];
    const std::u16string& v = kv[1];
    if (k == u"face") key.face = v;
    else if (k == u"name") key.name = v;
    else if (k == u"size") size = PixelsOf(v, scale);
    else if (k == u"adding") adding = PixelsOf(v, scale);
    else if (k == u"italic") SetBit(key.style, FontStyle::kItalic, v);
    else if (k == u"underline") SetBit(key.style, FontStyle::kUnderline, v);
    else if (k == u"bold") SetBit(key.style, FontStyle::kBold, v);
    else if (k == u"strike") SetBit(key.style, FontStyle::kStrike, v);
    else if (k == u"charset") key.style = (key.style & ~0xFFu) | (static_cast<std::uint32_t>(IntOr0(v, false)) & 0xFF);
    else if (k == u"weight")
      key.style = (key.style & ~0xFF00u) | (((static_cast<std::uint32_t>(IntOr0(v, false)) + 2) / 4 & 0xFF) << 8);
    else extra[k] = v;
  }
  if (size == 0) size = adding + scale * static_cast<int>(FontStyle::Size(default_font.style)) / 100;
  key.style = FontStyle::WithSize(key.style, static_cast<std::uint32_t>(std::max(0, size)));
  if (!extra.empty()) {
    key.extra = u"<font";
    for (const auto& [k, v] : extra) key.extra += u" " + k + u"=\"" + XmlEscaped(v) + u"\"";
    key.extra += u"/>";
  }
  if (key.name.empty()) key.name = default_font.name;
  if (key.face.empty()) key.face = default_font.face;
  return key;
}

SLogFont LogFontForKey(const SFontKey& key) {
  SLogFont lf;
  lf.height = -static_cast<LONG>(FontStyle::Size(key.style));
  std::uint32_t weight = FontStyle::Weight(key.style);
  lf.weight = weight ? static_cast<LONG>(weight) : ((key.style & FontStyle::kBold) ? 700 : 400);
  lf.italic = key.style & FontStyle::kItalic;
  lf.underline = key.style & FontStyle::kUnderline;
  lf.strike_out = key.style & FontStyle::kStrike;
  lf.charset = static_cast<BYTE>(key.style & 0xFF);
  lf.quality = kClearTypeQuality;
  lf.face = key.face.substr(0, 31);
  return lf;
}

IFont* SFontPool::FontForDescription(std::u16string_view description, int scale) {
  SApplication* app = SApplication::Instance();
  static const SFontDesc kFallback;
  const SFontDesc& def = app ? app->UiDef().DefaultFont() : kFallback;
  SFontKey key = ParseFontDescription(description, scale, def);
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second.get();
  auto font = MakeFont(factory_.get(), LogFontForKey(key));
  if (!font) return nullptr;
  font->SetExtraProps(key.extra);
  auto [it, inserted] = fonts_.emplace(std::move(key), std::move(font));
  return it->second.get();
}

}  // namespace LOOM
