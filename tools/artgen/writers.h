// File writers of the art generator: PNG (8-bit RGBA, or RGB for opaque surfaces),
// JPEG, and Windows icon files with palette and true-colour images and a PNG entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

namespace artgen {

// Writes the surface as PNG: an ARGB32 surface as 8-bit RGBA, an RGB24 one as 8-bit RGB.
void WritePng(const Surface& surface, const std::string& path);
std::vector<std::uint8_t> EncodePng(const Surface& surface);
// Writes an RGB24 (or ARGB32, flattened on black) surface as a baseline JPEG.
void WriteJpeg(const Surface& surface, const std::string& path, int quality);

// One image of an icon file: a square ARGB32 surface stored at a bit depth (4, 8 or
// 32 bits per pixel with an AND mask), or as PNG (bits 0).
struct IconImage {
  const Surface* surface;
  int bits;
};
void WriteIcon(const std::vector<IconImage>& images, const std::string& path);

}  // namespace artgen
