// Colour palettes of the icon's 4- and 8-bit images and the nearest-colour choice.
#pragma once

#include <array>
#include <cstdint>

namespace artgen {

struct PaletteColour {
  std::uint8_t r, g, b;
};

// The sixteen standard colours of 4-bit icons.
const std::array<PaletteColour, 16>& StandardPalette16();
// 216 evenly spaced colours (6 x 6 x 6) and 40 greys.
const std::array<PaletteColour, 256>& Palette256();

// Index of the palette colour nearest to the colour (weighted for the eye).
template <std::size_t N>
int Nearest(const std::array<PaletteColour, N>& palette, int r, int g, int b) {
  int best = 0;
  long best_distance = -1;
  for (std::size_t i = 0; i < N; ++i) {
    long dr = r - palette[i].r, dg = g - palette[i].g, db = b - palette[i].b;
    long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
    if (best_distance < 0 || d < best_distance) best_distance = d, best = static_cast<int>(i);
  }
  return best;
}

}  // namespace artgen
