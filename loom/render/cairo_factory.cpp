#include <pango/pangofc-fontmap.h>

#include "cairo_backend.h"
#include "cairo_target.h"
#include "platform/toolkit/font_faces.h"

namespace LOOM {

bool BitmapSizeAcceptable(long long width, long long height) {
  return width >= 0 && height >= 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
         width * height <= kMaxBitmapPixels;
}

SRenderFactory_Cairo::SRenderFactory_Cairo() {
  font_map_ = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (font_map_) {
    if (FcConfig* config = platform::ToolkitFontConfig()) pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(font_map_), config);
    context_ = pango_font_map_create_context(font_map_);
  }
  if (context_) {
    // Grey anti-aliasing without hinting: the same text measures and draws the same
    // on every machine.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
  }
}

SRenderFactory_Cairo::~SRenderFactory_Cairo() {
  if (context_) g_object_unref(context_);
  if (font_map_) g_object_unref(font_map_);
}

int SRenderFactory_Cairo::NewTarget(IRenderTarget** out, int width, int height) {
  if (!out || !BitmapSizeAcceptable(width, height)) return 0;
  auto target = SAutoRefPtr<SRenderTarget_Cairo>::Adopt(new SRenderTarget_Cairo(this));
  if (FAILED(target->Init(width, height))) return 0;
  *out = target.detach();
  return 1;
}

int SRenderFactory_Cairo::NewFont(IFont** out, const SLogFont& lf) {
  if (!out) return 0;
  *out = new SFont_Cairo(this, lf);
  return 1;
}

int SRenderFactory_Cairo::NewBitmap(IBitmap** out) {
  if (!out) return 0;
  *out = new SBitmap_Cairo(this);
  return 1;
}

int SRenderFactory_Cairo::NewRegion(IRegion** out) {
  if (!out) return 0;
  *out = new SRegion_Cairo(this);
  return 1;
}

IRenderFactory* NewRenderFactory() { return new SRenderFactory_Cairo(); }

}  // namespace LOOM
