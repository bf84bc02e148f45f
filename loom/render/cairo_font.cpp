#include <algorithm>

#include "cairo_backend.h"
#include "platform/base/utf.h"

namespace LOOM {
namespace {
constexpr std::size_t kMaxCachedExtents = 4096;
}

SFont_Cairo::SFont_Cairo(SRenderFactory_Cairo* f, const SLogFont& lf) : TRenderObj(f), cairo_factory_(f), lf_(lf) {
  Build();
}

SFont_Cairo::~SFont_Cairo() {
  if (desc_) pango_font_description_free(desc_);
  if (attrs_) pango_attr_list_unref(attrs_);
}

void SFont_Cairo::Build() {
  if (desc_) pango_font_description_free(desc_);
  if (attrs_) pango_attr_list_unref(attrs_);
  extents_.clear();
  desc_ = pango_font_description_new();
  std::u16string face = lf_.face.substr(0, 31);
  pango_font_description_set_family(desc_, face.empty() ? "sans-serif" : platform::Utf16ToUtf8(face).c_str());
  int px = lf_.height < 0 ? -lf_.height : lf_.height;
  pango_font_description_set_absolute_size(desc_, (px > 0 ? px : 12) * static_cast<double>(PANGO_SCALE));
  int weight = lf_.weight > 0 ? std::clamp(static_cast<int>(lf_.weight), 100, 1000) : 400;
  pango_font_description_set_weight(desc_, static_cast<PangoWeight>(weight));
  pango_font_description_set_style(desc_, lf_.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  attrs_ = pango_attr_list_new();
  if (lf_.underline) pango_attr_list_insert(attrs_, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (lf_.strike_out) pango_attr_list_insert(attrs_, pango_attr_strikethrough_new(TRUE));
}

int SFont_Cairo::UpdateFont(const SLogFont& lf) {
  lf_ = lf;
  Build();
  return 1;
}

PangoLayout* SFont_Cairo::NewLayout(std::u16string_view text, bool single_line) const {
  PangoContext* ctx = cairo_factory_->TextContext();
  if (!ctx) return nullptr;
  PangoLayout* layout = pango_layout_new(ctx);
  pango_layout_set_font_description(layout, desc_);
  pango_layout_set_attributes(layout, attrs_);
  pango_layout_set_single_paragraph_mode(layout, single_line);
  std::string utf8 = platform::Utf16ToUtf8(text);
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
  return layout;
}

SIZE SFont_Cairo::Measure(std::u16string_view text) const {
  if (text.empty()) return {0, lf_.height < 0 ? -lf_.height : lf_.height};
  std::u16string key(text);
  if (auto it = extents_.find(key); it != extents_.end()) return it->second;
  PangoLayout* layout = NewLayout(text, true);
  SIZE size{};
  if (layout) {
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    size = {w, h};
    g_object_unref(layout);
  }
  if (extents_.size() >= kMaxCachedExtents) extents_.clear();
  extents_.emplace(std::move(key), size);
  return size;
}

}  // namespace LOOM
