// Content-defined chunking with a gear hash (the FastCDC scheme): boundaries depend on
// the bytes around them, not on their offset, so an insertion or a deletion moves only
// the boundaries near it and every chunk further on is found again, shifted.
//
// The rolling hash is h = (h << 1) + gear[byte]: bit k of h depends on the last k + 1
// bytes, so the top bits that the masks test see a window of the last 64 bytes. The
// first `min - 1` bytes of a chunk are skipped unhashed (no chunk is shorter than
// `min`); from then on a chunk ends after the first byte where the hash has all the
// masked bits zero, or at `max`. Normalised chunking: below `average` bytes the mask
// tests `log2(average) + normalisation` bits, from `average` on `log2(average) -
// normalisation` bits, which gathers chunk lengths near the average.
//
// The gear table is not a table in the code but made from a seed: entry i is the
// (i + 1)-th output of SplitMix64 started at the seed (state += 0x9E3779B97F4A7C15;
// z = state; z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9; z = (z ^ (z >> 27)) *
// 0x94D049BB133111EB; output z ^ (z >> 31)). The seed is kept with the chunks that it
// cut (the chunk index), so whoever chunks a file again uses the same table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace krdn {

// "krdn-cdc" in ASCII, read as a big-endian number.
inline constexpr std::uint64_t kGearSeed = 0x6B72646E2D636463;

struct ChunkerParams {
  std::uint32_t min = 16u << 10;
  std::uint32_t average = 64u << 10;  // a power of two
  std::uint32_t max = 256u << 10;
  std::uint8_t normalisation = 2;  // 0: one mask throughout
  std::uint64_t gear_seed = kGearSeed;

  friend bool operator==(const ChunkerParams&, const ChunkerParams&) = default;
};

// The longest chunk any parameters may ask for: it bounds what a reader allocates for
// one chunk.
inline constexpr std::uint32_t kLongestChunk = 16u << 20;

// Whether the parameters describe a chunker: 1 <= min <= average <= max <=
// kLongestChunk, average a power of two from 2^2 to 2^24, and masks of 1 to 63 bits.
bool IsUsable(const ChunkerParams& params);

using GearTable = std::array<std::uint64_t, 256>;
GearTable MakeGearTable(std::uint64_t seed);

// Cuts a stream fed in blocks of any size into the same chunks as the whole at once.
class Chunker {
 public:
  // The parameters must be usable (IsUsable); others are taken as the defaults.
  explicit Chunker(const ChunkerParams& params = {});

  struct Scan {
    std::size_t consumed = 0;  // bytes of the block that belong to the current chunk
    bool boundary = false;     // the current chunk ends after them
  };
  // Takes bytes from the front of `block` up to the next boundary, or all of it.
  // Call again with the rest of the block after a boundary.
  Scan Next(std::span<const std::uint8_t> block);

  // Ends the stream: the length of the last chunk (0 when the stream ended on a
  // boundary or was empty). The chunker then starts over.
  std::uint64_t Finish();

  const ChunkerParams& params() const { return params_; }

 private:
  void StartChunk();

  ChunkerParams params_;
  GearTable gear_;
  std::uint64_t mask_below_average_ = 0;
  std::uint64_t mask_from_average_ = 0;
  std::uint64_t hash_ = 0;
  std::uint32_t length_ = 0;  // of the current chunk so far
};

// The chunk lengths of a whole buffer, for tests and small files.
std::vector<std::uint32_t> ChunkLengths(std::span<const std::uint8_t> bytes, const ChunkerParams& params = {});

}  // namespace krdn
