// Encoded test pictures made in memory with the same libraries the decoders use.
#pragma once

#include <cstdint>
#include <vector>

namespace LOOM::test {

using Bytes = std::vector<std::uint8_t>;

// Straight RGBA in, PNG out.
Bytes EncodePng(unsigned w, unsigned h, const std::vector<std::uint8_t>& rgba);
Bytes SolidPng(unsigned w, unsigned h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);
Bytes SolidJpeg(unsigned w, unsigned h, std::uint8_t grey);
// An animated GIF of solid frames (palette index per frame) with the given delays in
// hundredths of a second.
Bytes AnimatedGif(unsigned w, unsigned h, const std::vector<int>& colour_index, const std::vector<int>& delays);
// An animated PNG: frames are (rgba of the full canvas, delay numerator, denominator,
// blend operation); the default image is the first frame.
struct ApngFrame {
  std::vector<std::uint8_t> rgba;
  std::uint16_t num, den;
  std::uint8_t blend;
};
Bytes AnimatedPng(unsigned w, unsigned h, const std::vector<ApngFrame>& frames);

}  // namespace LOOM::test
