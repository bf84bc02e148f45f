// Internal to the Linux platform layer: the icon of a Windows program, for the desktop
// shortcut that starts it. Reads the first icon group of the executable's resources
// and picks its largest image (more colour bits among equal sizes).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform::detail {

// The picked image as a PNG file, or nothing when the bytes are no PE file, hold no
// icon group, or the image cannot be read. Any input is safe: nothing is read outside
// `executable`.
std::optional<std::vector<std::uint8_t>> ExecutableIconPng(std::span<const std::uint8_t> executable);

// A PNG file of straight-alpha RGBA pixels (width * height * 4 bytes, top row first).
std::vector<std::uint8_t> EncodePng(int width, int height, std::span<const std::uint8_t> rgba);

}  // namespace platform::detail
