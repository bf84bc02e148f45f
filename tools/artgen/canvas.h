// Drawing helpers of the art generator: owned cairo surfaces and contexts, colours,
// rounded shapes, gradients and text laid out with pango.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

namespace artgen {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// A transparent ARGB32 surface, or an opaque RGB24 one.
Surface NewSurface(int width, int height, bool alpha = true);
Context NewContext(const Surface& surface);

struct Rgba {
  double r = 0, g = 0, b = 0, a = 1;
};
// "#rrggbb" with an alpha.
Rgba Hex(const char* hex, double alpha = 1.0);
Rgba Mix(Rgba a, Rgba b, double t);
Rgba Lighter(Rgba c, double amount);  // towards white
Rgba Darker(Rgba c, double amount);   // towards black
Rgba Grey(Rgba c);                    // same lightness, no hue
void SetColor(cairo_t* cr, Rgba c);

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// Fills the current path with a top-to-bottom gradient.
void FillVertical(cairo_t* cr, double y0, double y1, Rgba top, Rgba bottom, bool preserve = false);
// A soft glow: the rounded rectangle blurred outwards in `rings` rings.
void Glow(cairo_t* cr, double x, double y, double w, double h, double r, Rgba colour, int rings);

struct TextStyle {
  std::string family = "WenQuanYi Micro Hei";
  double pixel_size = 14;
  bool bold = false;
  double letter_spacing = 0;  // pixels
  Rgba colour{1, 1, 1, 1};
  Rgba shadow{0, 0, 0, 0};    // drawn 1 pixel down when opaque enough
  double shadow_dy = 1;
};
// Text size in pixels (logical extents).
void MeasureText(cairo_t* cr, const std::string& text, const TextStyle& style, double* width, double* height);
// Text centred in a box, or placed at a point (top-left of its logical box).
void CenterText(cairo_t* cr, const std::string& text, const TextStyle& style, double x, double y, double w, double h);
void PlaceText(cairo_t* cr, const std::string& text, const TextStyle& style, double x, double y);
// Text as a path (for gradient fills and outlines), its top-left at (x, y).
void TextPath(cairo_t* cr, const std::string& text, const TextStyle& style, double x, double y);

// A deterministic pseudo-random sequence, so that every run draws the same pictures.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed) {}
  double Next();  // [0, 1)
  double Range(double lo, double hi) { return lo + (hi - lo) * Next(); }

 private:
  std::uint32_t state_;
};

}  // namespace artgen
