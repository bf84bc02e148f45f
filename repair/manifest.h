// The verification manifest: every file of a client version, cut into pieces with a
// size and an MD5 digest each.
//
// Format: 32 upper-case hexadecimal characters (the MD5 of everything from offset 32
// to the end), then UTF-8 text starting with ",": the header line ",<number>", then
// one line per file, "<path>,<count>,<size1>,<digest1>,<size2>,<digest2>...", up to the
// first empty line. Lines end in "\n" or "\r\n". Paths are relative to the install
// directory, begin with "\" and use "\" as separator.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "repair/piece_digest.h"

namespace krdn {

class Run;
struct ClientVersion;

// The largest piece a manifest may list. The servers cut 4 MiB pieces; the bound keeps
// verification and download at a few pieces of memory whatever a manifest claims.
inline constexpr std::uint32_t kLargestPiece = 64u << 20;

// What a manifest may be at most. Beyond any of these it fails to parse, and is never
// used, however its digest and signature read; within them parsing takes memory linear
// in the manifest's size.
inline constexpr std::size_t kLargestManifest = std::size_t{256} << 20;  // bytes of the whole file
inline constexpr std::size_t kMostManifestFiles = 1'000'000;            // file lines
inline constexpr std::size_t kLongestManifestPath = 1024;               // UTF-8 bytes of one path
inline constexpr std::size_t kDeepestManifestPath = 64;                 // components of one path

// Offsets and sizes are 64-bit: a file may be of 4 GiB and more (game archives often
// are). A manifest that lists such a file is written as any other; only its running
// offsets pass 32 bits.
//
// What a parsed manifest holds: a ManifestFile of 64 bytes per entry (its path's
// characters on the heap beyond a few), and a ManifestPiece of 40 bytes per piece in
// one allocation per file: about 130 bytes per file of one piece beyond its path,
// 40 for every further piece (tests/repair/manifest_memory_test.cpp holds it to 300).
struct ManifestPiece {
  std::uint64_t first_byte = 0;
  std::uint64_t last_byte = 0;  // inclusive
  PieceDigest digest;           // the 32 characters the manifest gives

  std::uint64_t size() const { return last_byte - first_byte + 1; }
  friend bool operator==(const ManifestPiece&, const ManifestPiece&) = default;
};

struct ManifestFile {
  std::u16string path;
  std::vector<ManifestPiece> pieces;  // tiling the file from offset 0
  std::uint64_t total_size = 0;
};

struct Manifest {
  std::uint32_t header_number = 0;
  platform::Md5Digest digest{};  // the manifest's own, its first 32 characters (binds a chunk index to it)
  std::vector<ManifestFile> files;
};

// Parses the received bytes, which end with one appended 0 byte. 0 for a complete
// parse, -1 otherwise; the files of the lines before a failing line stay appended.
// A path that could leave the install directory or that it cannot hold (not starting
// with "\", a "..", "." or empty component, a ":", a control character, no file name)
// fails the parse, as do a
// piece of size 0 or above kLargestPiece, a count or size that does not fit 64 bits, and
// a file whose running offset would pass 64 bits (its pieces would overlap). So does a manifest
// that is not valid UTF-8, or one that names a file twice, also on a disk that ignores
// case (see PathKey), or a file where another line needs a directory, and one beyond
// the bounds above (then before any file is appended).
int ParseManifest(Manifest& manifest, std::span<const std::uint8_t> bytes_with_nul);

// "<version>_download.txt", the name the release gives the manifest (and signs it under).
std::u16string ManifestFileName(const std::u16string& version_text);

// "/krdn/repair/<version>/<version>_download.txt"
std::u16string ManifestUrlPath(const std::u16string& version_text);

// The manifest stage: fetches and parses the manifest, retrying until it holds one. For
// a signed release the manifest's signature is fetched and checked first; a missing or
// wrong one is a failed attempt, like a manifest that does not arrive.
Manifest FetchManifest(Run& run, const std::u16string& version_text);

}  // namespace krdn
