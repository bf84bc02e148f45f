#include "repair/chunk_index.h"

#include <algorithm>
#include <cstring>

#include "repair/manifest.h"

namespace krdn {
namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'K', 'R', 'D', 'N', 'C', 'H', 'N', 'K'};
constexpr std::size_t kHeaderSize = 64;
constexpr std::size_t kFileRecordSize = 4;            // its chunk count
constexpr std::size_t kChunkRecordSize = 4 + 32;      // length, BLAKE2b-256
constexpr std::size_t kTrailerSize = 32;              // BLAKE2b-256 of everything before it
constexpr std::size_t kSmallestIndex = kHeaderSize + kTrailerSize;

// Little-endian fields, whatever the machine's order.
class Writer {
 public:
  explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}
  // Byte by byte: GCC 12 at -O2 for mingw takes a range insert after the reserve for a
  // write past the end (-Wstringop-overflow), though none is.
  void Bytes(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) out_.push_back(byte);
  }
  void Number(std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Reads fields from a buffer whose length the caller has checked for all of them.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Number(std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::uint64_t{bytes_[at_ + i]} << (8 * i);
    at_ += width;
    return value;
  }
  template <std::size_t N>
  std::array<std::uint8_t, N> Bytes() {
    std::array<std::uint8_t, N> out{};
    std::memcpy(out.data(), bytes_.data() + at_, N);
    at_ += N;
    return out;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

struct Header {
  ChunkerParams params;
  platform::Md5Digest manifest_digest{};
  std::uint64_t file_count = 0;
  std::uint64_t chunk_count = 0;
};

std::optional<Header> ReadHeader(std::span<const std::uint8_t> bytes) {
  Reader in(bytes);
  if (in.Bytes<kMagic.size()>() != kMagic) return std::nullopt;
  if (in.Number(2) != kChunkIndexVersion || in.Number(2) != 0) return std::nullopt;
  Header header;
  header.params.min = static_cast<std::uint32_t>(in.Number(4));
  header.params.average = static_cast<std::uint32_t>(in.Number(4));
  header.params.max = static_cast<std::uint32_t>(in.Number(4));
  header.params.normalisation = static_cast<std::uint8_t>(in.Number(1));
  if (in.Number(3) != 0) return std::nullopt;
  header.params.gear_seed = in.Number(8);
  header.manifest_digest = in.Bytes<16>();
  header.file_count = in.Number(4);
  header.chunk_count = in.Number(8);
  if (!IsUsable(header.params)) return std::nullopt;
  return header;
}

// Whether the file's length is exactly what the header's counts need. Everything is
// checked against the bytes at hand before it is multiplied, so nothing overflows.
bool CountsFitTheLength(const Header& header, std::size_t length) {
  const std::size_t body = length - kSmallestIndex;
  if (header.file_count > body / kFileRecordSize) return false;
  const std::size_t chunk_bytes = body - header.file_count * kFileRecordSize;
  return chunk_bytes % kChunkRecordSize == 0 && header.chunk_count == chunk_bytes / kChunkRecordSize;
}

// One file's chunks, appended to the index; false unless they tile exactly `size` bytes
// by the lengths the parameters allow.
bool ReadFileChunks(Reader& in, std::uint64_t size, std::uint64_t& chunks_left, ChunkIndex& index) {
  const std::uint64_t count = in.Number(4);
  if (count > chunks_left || (count == 0) != (size == 0)) return false;
  chunks_left -= count;
  std::uint64_t offset = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    IndexedChunk chunk;
    chunk.offset = offset;
    chunk.length = static_cast<std::uint32_t>(in.Number(4));
    chunk.hash = in.Bytes<32>();
    const bool last = i + 1 == count;
    if (chunk.length == 0 || chunk.length > index.params.max || (!last && chunk.length < index.params.min)) {
      return false;
    }
    if (chunk.length > size - offset) return false;
    offset += chunk.length;
    index.chunks.push_back(chunk);
  }
  return offset == size;
}

}  // namespace

std::span<const IndexedChunk> ChunkIndex::ChunksOf(std::size_t file) const {
  return std::span(chunks).subspan(file_starts[file], file_starts[file + 1] - file_starts[file]);
}

ChunkIndexBuilder::ChunkIndexBuilder(const ChunkerParams& params) : chunker_(params) {
  index_.params = chunker_.params();
}

void ChunkIndexBuilder::StartFile() {
  index_.file_starts.push_back(index_.chunks.size());
  file_offset_ = 0;
  chunk_length_ = 0;
  chunker_.Finish();
  hash_.Finish();
}

void ChunkIndexBuilder::Feed(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const Chunker::Scan scan = chunker_.Next(bytes);
    hash_.Update(bytes.first(scan.consumed));
    chunk_length_ += static_cast<std::uint32_t>(scan.consumed);
    bytes = bytes.subspan(scan.consumed);
    if (scan.boundary) EndChunk();
  }
}

void ChunkIndexBuilder::EndChunk() {
  index_.chunks.push_back({.offset = file_offset_, .length = chunk_length_, .hash = hash_.Finish()});
  file_offset_ += chunk_length_;
  chunk_length_ = 0;
}

void ChunkIndexBuilder::FinishFile() {
  if (chunker_.Finish() != 0) EndChunk();
}

ChunkIndex ChunkIndexBuilder::Take(const platform::Md5Digest& manifest_digest) {
  ChunkIndex index = std::move(index_);
  index.file_starts.push_back(index.chunks.size());
  index.manifest_digest = manifest_digest;
  index_ = ChunkIndex{};
  index_.params = chunker_.params();
  return index;
}

std::vector<std::uint8_t> SerializeChunkIndex(const ChunkIndex& index) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kSmallestIndex + index.file_count() * kFileRecordSize + index.chunks.size() * kChunkRecordSize);
  Writer out(bytes);
  out.Bytes(kMagic);
  out.Number(kChunkIndexVersion, 2);
  out.Number(0, 2);
  out.Number(index.params.min, 4);
  out.Number(index.params.average, 4);
  out.Number(index.params.max, 4);
  out.Number(index.params.normalisation, 1);
  out.Number(0, 3);
  out.Number(index.params.gear_seed, 8);
  out.Bytes(index.manifest_digest);
  out.Number(index.file_count(), 4);
  out.Number(index.chunks.size(), 8);
  for (std::size_t file = 0; file < index.file_count(); ++file) {
    const std::span<const IndexedChunk> chunks = index.ChunksOf(file);
    out.Number(chunks.size(), 4);
    for (const IndexedChunk& chunk : chunks) {
      out.Number(chunk.length, 4);
      out.Bytes(chunk.hash);
    }
  }
  out.Bytes(platform::Blake2b256(bytes));
  return bytes;
}

std::optional<ChunkIndex> ParseChunkIndex(std::span<const std::uint8_t> bytes, const Manifest& manifest) {
  if (bytes.size() < kSmallestIndex || bytes.size() > kLargestChunkIndex) return std::nullopt;
  const std::span<const std::uint8_t> body = bytes.first(bytes.size() - kTrailerSize);
  const platform::Blake2bDigest checksum = platform::Blake2b256(body);
  if (!std::equal(checksum.begin(), checksum.end(), bytes.begin() + static_cast<std::ptrdiff_t>(body.size()))) {
    return std::nullopt;
  }
  const std::optional<Header> header = ReadHeader(bytes);
  if (!header || header->manifest_digest != manifest.digest || header->file_count != manifest.files.size() ||
      !CountsFitTheLength(*header, bytes.size())) {
    return std::nullopt;
  }
  ChunkIndex index;
  index.params = header->params;
  index.manifest_digest = header->manifest_digest;
  // Both counts are bounded by the bytes at hand now.
  index.chunks.reserve(static_cast<std::size_t>(header->chunk_count));
  index.file_starts.reserve(manifest.files.size() + 1);
  Reader in(body.subspan(kHeaderSize));
  std::uint64_t chunks_left = header->chunk_count;
  for (const ManifestFile& file : manifest.files) {
    index.file_starts.push_back(index.chunks.size());
    if (!ReadFileChunks(in, file.total_size, chunks_left, index)) return std::nullopt;
  }
  if (chunks_left != 0) return std::nullopt;
  index.file_starts.push_back(index.chunks.size());
  return index;
}

std::u16string ChunkIndexFileName(const std::u16string& version_text) { return version_text + u"_chunks"; }

std::u16string ChunkIndexUrlPath(const std::u16string& version_text) {
  return u"/krdn/repair/" + version_text + u"/" + ChunkIndexFileName(version_text);
}

}  // namespace krdn
