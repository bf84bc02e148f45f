#include "platform/hash/blake2b.h"

#include <sodium.h>

#include <stdexcept>

namespace platform {

static_assert(crypto_generichash_BYTES == std::tuple_size_v<Blake2bDigest>);

struct Blake2bStream::State {
  crypto_generichash_state library;
};

namespace {

void Start(crypto_generichash_state& state) {
  // sodium_init is idempotent and cheap once done; it picks the fastest compression code.
  if (sodium_init() < 0 || crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES) != 0) {
    throw std::runtime_error("libsodium cannot start a BLAKE2b digest");
  }
}

}  // namespace

Blake2bDigest Blake2b256(std::span<const std::uint8_t> data) {
  Blake2bStream stream;
  stream.Update(data);
  return stream.Finish();
}

Blake2bStream::Blake2bStream() : state_(std::make_unique<State>()) { Start(state_->library); }

Blake2bStream::~Blake2bStream() = default;

void Blake2bStream::Update(std::span<const std::uint8_t> data) {
  if (!data.empty()) crypto_generichash_update(&state_->library, data.data(), data.size());
}

Blake2bDigest Blake2bStream::Finish() {
  Blake2bDigest digest{};
  crypto_generichash_final(&state_->library, digest.data(), digest.size());
  Start(state_->library);
  return digest;
}

}  // namespace platform
