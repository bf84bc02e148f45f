#include "palette.h"

namespace artgen {

const std::array<PaletteColour, 16>& StandardPalette16() {
  static const std::array<PaletteColour, 16> kPalette = {{
      {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
      {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
  }};
  return kPalette;
}

const std::array<PaletteColour, 256>& Palette256() {
  static const std::array<PaletteColour, 256> kPalette = [] {
    std::array<PaletteColour, 256> p{};
    int i = 0;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          p[i++] = {static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51), static_cast<std::uint8_t>(b * 51)};
    for (int k = 0; k < 40; ++k) {
      auto v = static_cast<std::uint8_t>((k + 1) * 255 / 41);
      p[i++] = {v, v, v};
    }
    return p;
  }();
  return kPalette;
}

}  // namespace artgen
