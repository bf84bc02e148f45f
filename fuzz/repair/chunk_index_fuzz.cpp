// ParseChunkIndex on arbitrary bytes. With the first input byte odd, the rest gets a
// correct checksum behind it and a manifest made to agree with what it claims (its
// digest, file count and the sums of the chunk lengths as far as they can be read), so
// that the checks behind the checksum are explored too. Whatever reads must tile each
// file of the manifest with chunks within the bounds of the index's parameters.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/hash/blake2b.h"
#include "repair/chunk_index.h"
#include "repair/manifest.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::uint64_t Field(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width && at + i < bytes.size(); ++i) value |= std::uint64_t{bytes[at + i]} << (8 * i);
  return value;
}

// A manifest of as many files as the header claims (a few at most), each of the size its
// records add up to.
krdn::Manifest ManifestAgreeingWith(const std::vector<std::uint8_t>& bytes) {
  krdn::Manifest manifest;
  if (bytes.size() >= 52) std::memcpy(manifest.digest.data(), bytes.data() + 36, manifest.digest.size());
  const std::uint64_t files = std::min<std::uint64_t>(Field(bytes, 52, 4), 256);
  std::size_t at = 64;
  for (std::uint64_t file = 0; file < files; ++file) {
    const std::uint64_t count = std::min<std::uint64_t>(Field(bytes, at, 4), bytes.size() / 36 + 1);
    at += 4;
    std::uint64_t size = 0;
    for (std::uint64_t i = 0; i < count && at < bytes.size(); ++i, at += 36) size += Field(bytes, at, 4);
    manifest.files.push_back({.path = u"\\f", .pieces = {}, .total_size = size});
  }
  return manifest;
}

void CheckIndex(const krdn::ChunkIndex& index, const krdn::Manifest& manifest) {
  Check(krdn::IsUsable(index.params));
  Check(index.file_count() == manifest.files.size());
  for (std::size_t file = 0; file < index.file_count(); ++file) {
    const auto chunks = index.ChunksOf(file);
    std::uint64_t offset = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      Check(chunks[i].offset == offset && chunks[i].length >= 1 && chunks[i].length <= index.params.max);
      Check(i + 1 == chunks.size() || chunks[i].length >= index.params.min);
      offset += chunks[i].length;
    }
    Check(offset == manifest.files[file].total_size);
  }
  Check(index.file_starts.back() == index.chunks.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  krdn::Manifest manifest;
  if ((data[0] & 1) != 0) {
    const platform::Blake2bDigest checksum = platform::Blake2b256(bytes);
    manifest = ManifestAgreeingWith(bytes);
    bytes.insert(bytes.end(), checksum.begin(), checksum.end());
  }
  if (const std::optional<krdn::ChunkIndex> index = krdn::ParseChunkIndex(bytes, manifest)) CheckIndex(*index, manifest);
  return 0;
}
