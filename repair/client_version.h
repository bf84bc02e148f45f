// The client version the server offers, read from the version file "tern.sav".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace krdn {

class Run;

struct ClientVersion {
  std::uint8_t first = 0;
  std::uint8_t second = 0;
  std::uint8_t third = 0;
  std::uint16_t mode_word = 0;  // how verification treats files of the wrong size

  std::u16string Text() const;  // "%d.%d.%d"
  bool Supported() const { return second >= 9 || first >= 2; }
};

// Offsets in the version file: the three version bytes, the little-endian mode word,
// and the least size a readable file has.
inline constexpr std::size_t kVersionOffset = 240;
inline constexpr std::size_t kModeWordOffset = 252;
inline constexpr std::size_t kVersionFileMinSize = 254;
// The most a version file may bring; a longer body is a failed download.
inline constexpr std::size_t kVersionFileCap = std::size_t{1} << 20;

// Reads the version out of the first bytes of a version file; nothing when it is too short.
std::optional<ClientVersion> ParseVersionFile(std::span<const std::uint8_t> bytes);

inline constexpr char kVersionFilePath[] = "/krdn/barternsav/360/tern.sav";

// The probe stage: downloads the version file into the install directory and reads it,
// retrying every failure by the retry protocol until it has a version.
ClientVersion ProbeClientVersion(Run& run);

}  // namespace krdn
