// Recolouring for skins: lightness kept, hue and saturation taken from a colour.
#include <algorithm>
#include <cmath>

#include "core/skin.h"

namespace LOOM {
namespace {

struct Hsl {
  double h, s, l;
};

Hsl ToHsl(double r, double g, double b) {
  double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double l = (mx + mn) / 2, h = 0, s = 0;
  double d = mx - mn;
  if (d > 1e-9) {
    s = l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
    if (mx == r) h = (g - b) / d + (g < b ? 6 : 0);
    else if (mx == g) h = (b - r) / d + 2;
    else h = (r - g) / d + 4;
    h /= 6;
  }
  return {h, s, l};
}

double HueToRgb(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

void FromHsl(const Hsl& c, double& r, double& g, double& b) {
  if (c.s <= 0) {
    r = g = b = c.l;
    return;
  }
  double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s;
  double p = 2 * c.l - q;
  r = HueToRgb(p, q, c.h + 1.0 / 3);
  g = HueToRgb(p, q, c.h);
  b = HueToRgb(p, q, c.h - 1.0 / 3);
}

// Recolours one straight colour (0-1 channels).
void Recolour(double& r, double& g, double& b, const Hsl& tint, double weight) {
  Hsl src = ToHsl(r, g, b);
  double tr, tg, tb;
  FromHsl({tint.h, tint.s, src.l}, tr, tg, tb);
  r = r + (tr - r) * weight;
  g = g + (tg - g) * weight;
  b = b + (tb - b) * weight;
}

double WeightOf(COLORREF color) {
  BYTE a = ColorAlpha(color);
  return a == 0 ? 0.8 : a / 255.0;
}

}  // namespace

COLORREF ColorizeColor(COLORREF original, COLORREF color) {
  Hsl tint = ToHsl(GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
  double r = GetRValue(original) / 255.0, g = GetGValue(original) / 255.0, b = GetBValue(original) / 255.0;
  Recolour(r, g, b, tint, WeightOf(color));
  auto byte = [](double v) { return static_cast<BYTE>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  return RGB(byte(r), byte(g), byte(b)) | (original & 0xFF000000u);
}

void ColorizePixels(std::uint32_t* pixels, std::size_t count, COLORREF color) {
  Hsl tint = ToHsl(GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
  double weight = WeightOf(color);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t p = pixels[i];
    unsigned a = p >> 24;
    if (a == 0) continue;
    double r = ((p >> 16) & 0xFF) / static_cast<double>(a), g = ((p >> 8) & 0xFF) / static_cast<double>(a),
           b = (p & 0xFF) / static_cast<double>(a);
    Recolour(r, g, b, tint, weight);
    auto ch = [a](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * a)); };
    pixels[i] = (a << 24) | (ch(r) << 16) | (ch(g) << 8) | ch(b);
  }
}

}  // namespace LOOM
