// Icon files (the bytes of a group-icon resource here): a directory of images of
// several sizes, each a device-independent bitmap or a PNG.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "decoded_image.h"

namespace LOOM {

// Picks the image closest to size x size (0: 32, the platform's default icon size),
// preferring more colour bits among equal sizes, decodes it and scales it to the
// requested size. False for a malformed or empty directory.
bool DecodeIconFile(std::span<const std::uint8_t> bytes, int size, RgbaImage& out, bool cursor = false,
                    POINT* hot_spot = nullptr);

// The distinct square sizes the directory of an icon file lists, largest first; empty
// for a malformed directory.
std::vector<int> IconFileSizes(std::span<const std::uint8_t> bytes);

}  // namespace LOOM
