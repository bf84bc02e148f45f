// The chunk index of a release ("<version>_chunks", beside the manifest): every file of
// the manifest cut into content-defined chunks (transfer/chunker.h), each with its
// length and its BLAKE2b-256. A chunk is found again wherever its bytes lie (another
// offset, another file), which is what a client needs to build a piece from bytes it
// already has. The byte layout is in docs/chunk-index.md.
//
// The index is an addition: a release without one, or with one that fails to read,
// is repaired exactly as without it, and every piece is still judged by the manifest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/hash/blake2b.h"
#include "platform/hash/md5.h"
#include "transfer/chunker.h"

namespace krdn {

struct Manifest;

// What an index may be at most: beyond it the index is refused unread. 256 MiB hold
// about 7.4 million chunks, some 470 GiB of client at the average chunk length.
inline constexpr std::size_t kLargestChunkIndex = std::size_t{256} << 20;

inline constexpr std::uint16_t kChunkIndexVersion = 1;

struct IndexedChunk {
  std::uint64_t offset = 0;  // in its file
  std::uint32_t length = 0;
  platform::Blake2bDigest hash{};

  friend bool operator==(const IndexedChunk&, const IndexedChunk&) = default;
};

struct ChunkIndex {
  ChunkerParams params;
  platform::Md5Digest manifest_digest{};  // of the manifest the index describes
  std::vector<IndexedChunk> chunks;       // file after file, in manifest order
  std::vector<std::size_t> file_starts;   // file i has chunks [file_starts[i], file_starts[i + 1])

  std::size_t file_count() const { return file_starts.empty() ? 0 : file_starts.size() - 1; }
  std::span<const IndexedChunk> ChunksOf(std::size_t file) const;
};

// Builds an index file by file from the bytes of each, fed in blocks of any size.
class ChunkIndexBuilder {
 public:
  explicit ChunkIndexBuilder(const ChunkerParams& params = {});

  void StartFile();
  void Feed(std::span<const std::uint8_t> bytes);
  void FinishFile();

  // The index of the files finished so far, for the manifest with this digest.
  ChunkIndex Take(const platform::Md5Digest& manifest_digest);

 private:
  void EndChunk();

  ChunkIndex index_;
  Chunker chunker_;
  platform::Blake2bStream hash_;
  std::uint64_t file_offset_ = 0;
  std::uint32_t chunk_length_ = 0;
};

// The bytes of "<version>_chunks".
std::vector<std::uint8_t> SerializeChunkIndex(const ChunkIndex& index);

// Reads an index for this manifest. Nothing for anything but a whole, well-formed
// index of the known version whose own checksum holds, made for this manifest (its
// digest, its file count, and per file chunks that add up to the file's size, every
// one from 1 to the maximum length and all but a file's last at least the minimum).
// Nothing is allocated from a count before the bytes that it counts are known to be
// there.
std::optional<ChunkIndex> ParseChunkIndex(std::span<const std::uint8_t> bytes, const Manifest& manifest);

// "<version>_chunks", the name the release gives the index (and signs it under).
std::u16string ChunkIndexFileName(const std::u16string& version_text);

// "/krdn/repair/<version>/<version>_chunks"
std::u16string ChunkIndexUrlPath(const std::u16string& version_text);

}  // namespace krdn
