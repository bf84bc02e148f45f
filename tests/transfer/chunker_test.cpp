// The chunker finds the same boundaries however its input is cut into blocks, keeps
// every chunk within its bounds, and an edit moves only the boundaries near it.
#include "transfer/chunker.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>

#include "platform/hash/blake2b.h"
#include "tests/support/temp_dir.h"

namespace krdn::testing {
namespace {

std::vector<std::uint32_t> LengthsFedInBlocks(std::span<const std::uint8_t> bytes, std::size_t block,
                                              const ChunkerParams& params = {}) {
  Chunker chunker(params);
  std::vector<std::uint32_t> lengths;
  std::uint32_t current = 0;
  for (std::size_t at = 0; at < bytes.size(); at += block) {
    std::span<const std::uint8_t> rest = bytes.subspan(at, std::min(block, bytes.size() - at));
    while (!rest.empty()) {
      const Chunker::Scan scan = chunker.Next(rest);
      current += static_cast<std::uint32_t>(scan.consumed);
      rest = rest.subspan(scan.consumed);
      if (scan.boundary) {
        lengths.push_back(current);
        current = 0;
      }
    }
  }
  if (const std::uint64_t last = chunker.Finish(); last != 0) lengths.push_back(static_cast<std::uint32_t>(last));
  return lengths;
}

// The chunks' contents, as a set of their hashes.
std::multiset<platform::Blake2bDigest> ChunkHashes(std::span<const std::uint8_t> bytes) {
  std::multiset<platform::Blake2bDigest> hashes;
  std::size_t at = 0;
  for (const std::uint32_t length : ChunkLengths(bytes)) {
    hashes.insert(platform::Blake2b256(bytes.subspan(at, length)));
    at += length;
  }
  return hashes;
}

TEST(Chunker, TheGearTableFollowsItsSeedByTheDocumentedRule) {
  // SplitMix64's first outputs from seed 0 are well known.
  const GearTable zero = MakeGearTable(0);
  EXPECT_EQ(zero[0], 0xE220A8397B1DCDAFu);
  EXPECT_EQ(zero[1], 0x6E789E6AA1B965F4u);
  EXPECT_EQ(MakeGearTable(kGearSeed), MakeGearTable(kGearSeed));
  EXPECT_NE(MakeGearTable(kGearSeed), zero);
  EXPECT_EQ(std::set<std::uint64_t>(zero.begin(), zero.end()).size(), zero.size());
}

TEST(Chunker, BoundariesDoNotDependOnTheBlocksFed) {
  const auto bytes = RandomBytes(3u << 20, 1);
  const std::vector<std::uint32_t> whole = ChunkLengths(bytes);
  ASSERT_GT(whole.size(), 10u);
  EXPECT_EQ(std::accumulate(whole.begin(), whole.end(), std::uint64_t{0}), bytes.size());
  for (const std::size_t block : {1u, 7u, 1000u, 16384u, 65536u, 1u << 20}) {
    EXPECT_EQ(LengthsFedInBlocks(bytes, block), whole) << "blocks of " << block;
  }
  // Nor on a stream that ran before: Finish starts over.
  Chunker chunker;
  chunker.Next(std::span(bytes).first(5000));
  EXPECT_EQ(chunker.Finish(), 5000u);
  EXPECT_EQ(chunker.Finish(), 0u);
}

TEST(Chunker, EveryChunkIsWithinTheBoundsAndTheAverageIsNearItsTarget) {
  const auto bytes = RandomBytes(16u << 20, 2);
  const ChunkerParams params;
  const std::vector<std::uint32_t> lengths = ChunkLengths(bytes, params);
  for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
    ASSERT_GE(lengths[i], params.min) << i;
    ASSERT_LE(lengths[i], params.max) << i;
  }
  ASSERT_LE(lengths.back(), params.max);
  const double average = static_cast<double>(bytes.size()) / static_cast<double>(lengths.size());
  EXPECT_GT(average, 40e3);
  EXPECT_LT(average, 100e3);

  // Bytes that never match a mask (a run of one value) are cut at the maximum; a
  // stream shorter than the minimum is one chunk.
  const std::vector<std::uint8_t> zeros(1u << 20, 0);
  for (const std::uint32_t length : ChunkLengths(zeros)) EXPECT_EQ(length, params.max);
  EXPECT_EQ(ChunkLengths(std::span(bytes).first(100)), std::vector<std::uint32_t>{100});
  EXPECT_TRUE(ChunkLengths({}).empty());
}

TEST(Chunker, AnEditChangesOnlyTheChunksNearIt) {
  const auto original = RandomBytes(8u << 20, 3);
  const auto original_hashes = ChunkHashes(original);
  const auto inserted = RandomBytes(1024, 4);
  struct Edit {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Edit> edits;
  edits.push_back({"1 KiB inserted near the start", original});
  edits.back().bytes.insert(edits.back().bytes.begin() + 5000, inserted.begin(), inserted.end());
  edits.push_back({"1 KiB deleted in the middle", original});
  edits.back().bytes.erase(edits.back().bytes.begin() + (4 << 20), edits.back().bytes.begin() + (4 << 20) + 1024);
  edits.push_back({"one byte overwritten", original});
  edits.back().bytes[3 << 20] ^= 0xFF;
  for (const Edit& edit : edits) {
    const auto edited = ChunkHashes(edit.bytes);
    std::size_t kept = 0;
    for (const auto& hash : edited) kept += original_hashes.count(hash) != 0 ? 1 : 0;
    // At most two chunks around the edit are new (the one it lands in, and one whose
    // boundary the chunker finds again a chunk later).
    EXPECT_GE(kept + 3, edited.size()) << edit.what;
    EXPECT_GE(kept + 3, original_hashes.size()) << edit.what;
  }
}

TEST(Chunker, ParametersOutsideTheirRulesAreRefusedAndReplacedByTheDefaults) {
  EXPECT_TRUE(IsUsable({}));
  EXPECT_TRUE(IsUsable({.min = 1, .average = 4, .max = 4, .normalisation = 1}));
  EXPECT_FALSE(IsUsable({.min = 0}));
  EXPECT_FALSE(IsUsable({.min = 100000}));                        // above the average
  EXPECT_FALSE(IsUsable({.average = 60000}));                     // not a power of two
  EXPECT_FALSE(IsUsable({.max = 32768}));                         // below the average
  EXPECT_FALSE(IsUsable({.max = kLongestChunk + 1}));
  EXPECT_FALSE(IsUsable({.normalisation = 16}));                  // no bits left to test
  EXPECT_EQ(Chunker({.min = 0}).params(), ChunkerParams{});

  // Other usable parameters cut other chunks, within their own bounds.
  const auto bytes = RandomBytes(1u << 20, 5);
  const ChunkerParams small{.min = 1024, .average = 4096, .max = 16384, .normalisation = 0};
  const auto lengths = ChunkLengths(bytes, small);
  EXPECT_GT(lengths.size(), 100u);
  for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
    ASSERT_GE(lengths[i], small.min);
    ASSERT_LE(lengths[i], small.max);
  }
  EXPECT_NE(ChunkLengths(bytes, {.gear_seed = 1}), ChunkLengths(bytes));
}

}  // namespace
}  // namespace krdn::testing
