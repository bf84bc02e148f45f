#include "transfer/chunker.h"

#include <algorithm>
#include <bit>

namespace krdn {
namespace {

// Masks of the top `bits` bits: those depend on the last 64 bytes, the low ones on a
// few bytes only.
std::uint64_t TopBits(unsigned bits) { return bits == 0 ? 0 : ~std::uint64_t{0} << (64 - bits); }

}  // namespace

bool IsUsable(const ChunkerParams& p) {
  if (p.min < 1 || p.min > p.average || p.average > p.max || p.max > kLongestChunk) return false;
  if (!std::has_single_bit(p.average) || p.average < 4 || p.average > (1u << 24)) return false;
  const unsigned bits = static_cast<unsigned>(std::countr_zero(p.average));
  return p.normalisation < bits && bits + p.normalisation <= 63;
}

GearTable MakeGearTable(std::uint64_t seed) {
  GearTable table{};
  std::uint64_t state = seed;
  for (std::uint64_t& entry : table) {
    state += 0x9E3779B97F4A7C15;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    entry = z ^ (z >> 31);
  }
  return table;
}

Chunker::Chunker(const ChunkerParams& params)
    : params_(IsUsable(params) ? params : ChunkerParams{}), gear_(MakeGearTable(params_.gear_seed)) {
  const unsigned bits = static_cast<unsigned>(std::countr_zero(params_.average));
  mask_below_average_ = TopBits(bits + params_.normalisation);
  mask_from_average_ = TopBits(bits - params_.normalisation);
}

void Chunker::StartChunk() {
  hash_ = 0;
  length_ = 0;
}

Chunker::Scan Chunker::Next(std::span<const std::uint8_t> block) {
  std::size_t i = 0;
  // The bytes before the shortest boundary are never hashed.
  if (length_ + 1 < params_.min) {
    const std::size_t skip = std::min<std::size_t>(block.size(), params_.min - 1 - length_);
    length_ += static_cast<std::uint32_t>(skip);
    i = skip;
  }
  for (; i < block.size(); ++i) {
    hash_ = (hash_ << 1) + gear_[block[i]];
    ++length_;
    const std::uint64_t mask = length_ < params_.average ? mask_below_average_ : mask_from_average_;
    if ((hash_ & mask) == 0 || length_ == params_.max) {
      StartChunk();
      return {.consumed = i + 1, .boundary = true};
    }
  }
  return {.consumed = block.size(), .boundary = false};
}

std::uint64_t Chunker::Finish() {
  const std::uint64_t last = length_;
  StartChunk();
  return last;
}

std::vector<std::uint32_t> ChunkLengths(std::span<const std::uint8_t> bytes, const ChunkerParams& params) {
  Chunker chunker(params);
  std::vector<std::uint32_t> lengths;
  std::uint32_t current = 0;
  while (!bytes.empty()) {
    const Chunker::Scan scan = chunker.Next(bytes);
    current += static_cast<std::uint32_t>(scan.consumed);
    bytes = bytes.subspan(scan.consumed);
    if (scan.boundary) {
      lengths.push_back(current);
      current = 0;
    }
  }
  if (const std::uint64_t last = chunker.Finish(); last != 0) lengths.push_back(static_cast<std::uint32_t>(last));
  return lengths;
}

}  // namespace krdn
