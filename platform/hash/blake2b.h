// BLAKE2b with a 256-bit digest (RFC 7693, no key), the strong hash of the chunk index:
// libsodium's crypto_generichash on every platform, the library the release
// signatures use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace platform {

using Blake2bDigest = std::array<std::uint8_t, 32>;

// Digest of a whole buffer.
Blake2bDigest Blake2b256(std::span<const std::uint8_t> data);

// Incremental digest, for data that arrives in blocks.
class Blake2bStream {
 public:
  Blake2bStream();
  ~Blake2bStream();
  Blake2bStream(const Blake2bStream&) = delete;
  Blake2bStream& operator=(const Blake2bStream&) = delete;

  void Update(std::span<const std::uint8_t> data);
  Blake2bDigest Finish();  // the stream starts over afterwards

 private:
  struct State;  // the library's state, kept out of this header
  std::unique_ptr<State> state_;
};

}  // namespace platform
