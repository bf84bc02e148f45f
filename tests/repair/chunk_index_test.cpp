// The chunk index reads back what was written for its manifest, and a reader refuses
// every index that is not whole, not of its version, or not of this manifest.
#include "repair/chunk_index.h"

#include <gtest/gtest.h>


#include "repair/manifest.h"
#include "tests/support/temp_dir.h"

namespace krdn::testing {
namespace {

// Little-endian field writes into an index, and its trailing checksum made anew, so
// that a test reaches the checks behind the checksum.
void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void Reseal(std::vector<std::uint8_t>& bytes) {
  const auto checksum = platform::Blake2b256(std::span(bytes).first(bytes.size() - 32));
  std::copy(checksum.begin(), checksum.end(), bytes.end() - 32);
}

// Offsets of the format (docs/chunk-index.md).
constexpr std::size_t kVersionAt = 8, kReservedAt = 10, kMinAt = 12, kMaxAt = 20, kDigestAt = 36,
                      kFileCountAt = 52, kChunkCountAt = 56, kFirstFileAt = 64;

class ChunkIndexFiles : public ::testing::Test {
 protected:
  ChunkIndexFiles() {
    contents = {RandomBytes(700'000, 1), {}, RandomBytes(100, 2), RandomBytes(1u << 20, 3)};
    manifest.digest = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ChunkIndexBuilder builder;
    for (const auto& content : contents) {
      manifest.files.push_back({.path = u"\\f", .pieces = {}, .total_size = content.size()});
      builder.StartFile();
      // In blocks of a piece's size, as the publisher reads a file.
      for (std::size_t at = 0; at < content.size(); at += 65'000) {
        builder.Feed(std::span(content).subspan(at, std::min<std::size_t>(65'000, content.size() - at)));
      }
      builder.FinishFile();
    }
    index = builder.Take(manifest.digest);
    bytes = SerializeChunkIndex(index);
  }
  std::vector<std::vector<std::uint8_t>> contents;
  Manifest manifest;
  ChunkIndex index;
  std::vector<std::uint8_t> bytes;
};

TEST_F(ChunkIndexFiles, ReadsBackTheChunksOfEveryFileWithTheirHashes) {
  const std::optional<ChunkIndex> read = ParseChunkIndex(bytes, manifest);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->params, ChunkerParams{});
  EXPECT_EQ(read->manifest_digest, manifest.digest);
  ASSERT_EQ(read->file_count(), contents.size());
  EXPECT_EQ(read->chunks, index.chunks);
  EXPECT_EQ(bytes.size(), 64 + 4 * contents.size() + 36 * index.chunks.size() + 32);
  for (std::size_t file = 0; file < contents.size(); ++file) {
    const auto lengths = ChunkLengths(contents[file]);
    const auto chunks = read->ChunksOf(file);
    ASSERT_EQ(chunks.size(), lengths.size()) << file;
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      EXPECT_EQ(chunks[i].offset, offset);
      EXPECT_EQ(chunks[i].length, lengths[i]);
      EXPECT_EQ(chunks[i].hash, platform::Blake2b256(std::span(contents[file]).subspan(offset, lengths[i])));
      offset += lengths[i];
    }
  }
  EXPECT_TRUE(read->ChunksOf(1).empty()) << "an empty file has no chunk";

  // A release of no files has an index of its header and checksum only.
  ChunkIndexBuilder empty;
  const auto none = SerializeChunkIndex(empty.Take(manifest.digest));
  EXPECT_EQ(none.size(), 96u);
  Manifest no_files;
  no_files.digest = manifest.digest;
  ASSERT_TRUE(ParseChunkIndex(none, no_files));
  EXPECT_EQ(ParseChunkIndex(none, no_files)->file_count(), 0u);
}

TEST_F(ChunkIndexFiles, RefusesAnIndexThatIsNotWholeOrNotOfItsVersion) {
  for (const std::size_t cut : {std::size_t{1}, std::size_t{36}, bytes.size() - 95, bytes.size()}) {
    EXPECT_FALSE(ParseChunkIndex(std::span(bytes).first(bytes.size() - cut), manifest)) << "cut by " << cut;
  }
  auto longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(ParseChunkIndex(longer, manifest));
  Reseal(longer);
  EXPECT_FALSE(ParseChunkIndex(longer, manifest)) << "a byte beyond the counts";
  for (const std::size_t at : {std::size_t{0}, std::size_t{70}, bytes.size() / 2, bytes.size() - 1}) {
    auto flipped = bytes;
    flipped[at] ^= 0x10;
    EXPECT_FALSE(ParseChunkIndex(flipped, manifest)) << "a byte changed at " << at;
  }
  struct Field {
    const char* what;
    std::size_t at, width;
    std::uint64_t value;
  };
  for (const Field& field : {Field{"magic", 0, 1, 'k'}, Field{"a later version", kVersionAt, 2, 2},
                             Field{"version 0", kVersionAt, 2, 0}, Field{"reserved bits", kReservedAt, 2, 1},
                             Field{"reserved byte", 25, 1, 1}, Field{"minimum 0", kMinAt, 4, 0},
                             Field{"maximum below the average", kMaxAt, 4, 1000}}) {
    auto changed = bytes;
    Put(changed, field.at, field.value, field.width);
    Reseal(changed);
    EXPECT_FALSE(ParseChunkIndex(changed, manifest)) << field.what;
  }
}

TEST_F(ChunkIndexFiles, RefusesAnIndexOfAnotherManifest) {
  Manifest other = manifest;
  other.digest[0] ^= 1;
  EXPECT_FALSE(ParseChunkIndex(bytes, other)) << "another manifest's digest";
  other = manifest;
  other.files.pop_back();
  EXPECT_FALSE(ParseChunkIndex(bytes, other)) << "fewer files";
  other = manifest;
  other.files.push_back(other.files[1]);
  EXPECT_FALSE(ParseChunkIndex(bytes, other)) << "more files";
  for (const std::size_t file : {0u, 1u, 2u}) {
    for (const std::int64_t change : {-1, 1}) {
      other = manifest;
      other.files[file].total_size += static_cast<std::uint64_t>(change);
      EXPECT_FALSE(ParseChunkIndex(bytes, other)) << "file " << file << " of another size, " << change;
    }
  }
}

TEST_F(ChunkIndexFiles, RefusesCountsAndLengthsBeyondTheirBoundsWithoutAllocatingFromThem) {
  auto changed = bytes;
  const auto resealed = [&](std::size_t at, std::uint64_t value, std::size_t width) {
    changed = bytes;
    Put(changed, at, value, width);
    Reseal(changed);
    return ParseChunkIndex(changed, manifest);
  };
  // Counts that the bytes at hand cannot hold: refused before anything is reserved for
  // them (an allocation of 2^64 / 36 chunks would end the test).
  EXPECT_FALSE(resealed(kChunkCountAt, UINT64_MAX, 8));
  EXPECT_FALSE(resealed(kChunkCountAt, index.chunks.size() + 1, 8));
  EXPECT_FALSE(resealed(kFileCountAt, UINT32_MAX, 4));
  EXPECT_FALSE(resealed(kFirstFileAt, UINT32_MAX, 4)) << "the first file claims every chunk and more";
  EXPECT_FALSE(resealed(kFirstFileAt, index.ChunksOf(0).size() + 1, 4)) << "a chunk borrowed from the next file";
  EXPECT_FALSE(resealed(kFirstFileAt + 4 + 36 * index.ChunksOf(0).size(), 1, 4)) << "chunks for an empty file";

  // A chunk's length: 0, above the maximum, or below the minimum where it is not its
  // file's last; its next chunk takes up the difference, so the sum still holds.
  const std::size_t first_chunk = kFirstFileAt + 4;
  const std::uint32_t first = index.chunks[0].length, second = index.chunks[1].length;
  const auto moved = [&](std::uint32_t length) {
    changed = bytes;
    Put(changed, first_chunk, length, 4);
    Put(changed, first_chunk + 36, first + second - length, 4);
    Reseal(changed);
    return ParseChunkIndex(changed, manifest);
  };
  EXPECT_TRUE(moved(first)) << "the unchanged lengths read";
  EXPECT_FALSE(moved(ChunkerParams{}.min - 1));
  if (first + second > ChunkerParams{}.max) {
    EXPECT_FALSE(moved(ChunkerParams{}.max + 1));
  }
  EXPECT_FALSE(resealed(first_chunk, 0, 4));
  // The last chunk of the 100-byte file is below the minimum, as a file's last may be.
  EXPECT_EQ(index.ChunksOf(2).size(), 1u);
  EXPECT_EQ(index.ChunksOf(2)[0].length, 100u);
}

}  // namespace
}  // namespace krdn::testing
