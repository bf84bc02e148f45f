// The client's files as the run touches them, always through the run's install root
// and by manifest path, so that nothing outside the install directory is reached.
//
// A file in use is often released within moments, so an open is tried three times, a
// second apart.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/io/files.h"

namespace krdn {

class Run;
struct ManifestPiece;
struct RepairItem;

inline constexpr int kOpenTries = 3;

// Nothing after the third failed try (and its sleep).
std::optional<platform::File> OpenWithRetries(Run& run, const std::u16string& path, platform::File::Mode mode);

// Readies a file of the download list for its pieces: makes its directories (links in
// their place become directories), clears its read-only state, and gives it its
// manifest size, cutting it or extending it with zero bytes (the space reserved). A
// missing file is created even when its manifest size is 0. A failure appends "失败"
// and ends the run; when the disk has no room, with the disk-space text, for which
// bytes_to_write is what the pass still adds on disk from this file on.
void PrepareFile(Run& run, const RepairItem& item, std::uint64_t bytes_to_write);

// Writes a checked piece in place. A failure appends "失败" and ends the run; when the
// disk has no room, with the disk-space text (bytes_to_write as above, with the piece).
void WritePiece(Run& run, const std::u16string& path, const ManifestPiece& piece, std::span<const std::uint8_t> body,
                std::uint64_t bytes_to_write);

// Ends the item's status line with a failure and the run with the final text.
[[noreturn]] void FailItem(Run& run, std::u16string_view final_text);

}  // namespace krdn
