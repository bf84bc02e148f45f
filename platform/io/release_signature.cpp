// Ed25519 through libsodium, the same code on every platform. The keys' PEM texts are
// the fixed DER forms an Ed25519 key has (RFC 8410): a public key is 12 bytes of
// SubjectPublicKeyInfo header and the 32-byte key, a private key 16 bytes of PKCS#8
// header and the 32-byte seed. These are the texts the openssl command reads and
// writes for such keys, so keys made before stay good.
#include "platform/io/release_signature.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kLabel{"krdn-release-v1\0", 16};

constexpr std::uint8_t kPublicKeyHeader[] = {0x30, 0x2a, 0x30, 0x05, 0x06, 0x03,
                                             0x2b, 0x65, 0x70, 0x03, 0x21, 0x00};
constexpr std::uint8_t kPrivateKeyHeader[] = {0x30, 0x2e, 0x02, 0x01, 0x00, 0x30, 0x05, 0x06,
                                              0x03, 0x2b, 0x65, 0x70, 0x04, 0x22, 0x04, 0x20};
constexpr std::string_view kPublicLabel = "PUBLIC KEY";
constexpr std::string_view kPrivateLabel = "PRIVATE KEY";
constexpr std::size_t kSeedSize = crypto_sign_SEEDBYTES;
static_assert(crypto_sign_PUBLICKEYBYTES == std::tuple_size_v<ReleasePublicKey>);
static_assert(crypto_sign_BYTES == std::tuple_size_v<ReleaseSignature>);

// Wipes what it holds when it goes, for the private halves.
template <std::size_t N>
struct Secret {
  std::array<std::uint8_t, N> bytes{};
  Secret() = default;
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
  ~Secret() { sodium_memzero(bytes.data(), bytes.size()); }
};

bool Ready() { return sodium_init() >= 0; }

std::vector<std::uint8_t> SignedMessage(std::string_view name, std::span<const std::uint8_t> bytes) {
  std::vector<std::uint8_t> message(kLabel.size() + name.size() + 1 + bytes.size(), 0);
  std::uint8_t* at = message.data();
  std::memcpy(at, kLabel.data(), kLabel.size());
  at += kLabel.size();
  if (!name.empty()) std::memcpy(at, name.data(), name.size());
  at += name.size() + 1;  // and the 0 byte after the name
  if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
  return message;
}

// The DER bytes of the one PEM block labelled `label`, when it decodes to exactly
// `header` followed by `body.size()` bytes, which it copies into `body`.
bool ReadPemBody(std::string_view pem, std::string_view label, std::span<const std::uint8_t> header,
                 std::span<std::uint8_t> body) {
  if (pem.size() > 1 << 16) return false;  // a key is a few hundred bytes
  const std::string begin = "-----BEGIN " + std::string(label) + "-----";
  const std::string end = "-----END " + std::string(label) + "-----";
  const std::size_t from = pem.find(begin);
  if (from == std::string_view::npos) return false;
  const std::size_t text_from = from + begin.size();
  const std::size_t to = pem.find(end, text_from);
  if (to == std::string_view::npos) return false;
  const std::string_view text = pem.substr(text_from, to - text_from);

  std::vector<std::uint8_t> der(header.size() + body.size() + 1);
  std::size_t length = 0;
  const char* text_end = nullptr;
  if (sodium_base642bin(der.data(), der.size(), text.data(), text.size(), " \t\r\n", &length, &text_end,
                        sodium_base64_VARIANT_ORIGINAL) != 0 ||
      text_end != text.data() + text.size() || length != header.size() + body.size() ||
      !std::equal(header.begin(), header.end(), der.begin())) {
    sodium_memzero(der.data(), der.size());
    return false;
  }
  std::copy_n(der.begin() + static_cast<std::ptrdiff_t>(header.size()), body.size(), body.begin());
  sodium_memzero(der.data(), der.size());
  return true;
}

// One PEM block as openssl writes it: base64 in lines of 64 characters.
std::string WritePem(std::string_view label, std::span<const std::uint8_t> header,
                     std::span<const std::uint8_t> body) {
  std::vector<std::uint8_t> der(header.begin(), header.end());
  der.insert(der.end(), body.begin(), body.end());
  std::string base64(sodium_base64_ENCODED_LEN(der.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(base64.data(), base64.size(), der.data(), der.size(), sodium_base64_VARIANT_ORIGINAL);
  sodium_memzero(der.data(), der.size());
  base64.resize(std::strlen(base64.c_str()));

  std::string pem = "-----BEGIN " + std::string(label) + "-----\n";
  for (std::size_t at = 0; at < base64.size(); at += 64) pem += base64.substr(at, 64) + "\n";
  pem += "-----END " + std::string(label) + "-----\n";
  sodium_memzero(base64.data(), base64.size());
  return pem;
}

}  // namespace

std::optional<ReleasePublicKey> ReadReleasePublicKey(std::string_view pem) {
  ReleasePublicKey key{};
  if (!ReadPemBody(pem, kPublicLabel, kPublicKeyHeader, key)) return std::nullopt;
  return key;
}

bool VerifyReleaseSignature(const ReleasePublicKey& public_key, std::string_view name,
                            std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> signature) {
  if (signature.size() != ReleaseSignature{}.size() || !Ready()) return false;
  const std::vector<std::uint8_t> message = SignedMessage(name, bytes);
  return crypto_sign_verify_detached(signature.data(), message.data(), message.size(), public_key.data()) == 0;
}

std::optional<ReleaseKeyPair> MakeReleaseKeyPair() {
  if (!Ready()) return std::nullopt;
  ReleasePublicKey public_key{};
  Secret<crypto_sign_SECRETKEYBYTES> secret;
  if (crypto_sign_keypair(public_key.data(), secret.bytes.data()) != 0) return std::nullopt;
  // libsodium's secret key is the seed followed by the public key; PKCS#8 holds the seed.
  const std::span<const std::uint8_t> seed(secret.bytes.data(), kSeedSize);
  return ReleaseKeyPair{.private_pem = WritePem(kPrivateLabel, kPrivateKeyHeader, seed),
                        .public_pem = WritePem(kPublicLabel, kPublicKeyHeader, public_key)};
}

std::optional<ReleaseSignature> SignRelease(std::string_view private_pem, std::string_view name,
                                            std::span<const std::uint8_t> bytes) {
  Secret<kSeedSize> seed;
  if (!Ready() || !ReadPemBody(private_pem, kPrivateLabel, kPrivateKeyHeader, seed.bytes)) return std::nullopt;
  ReleasePublicKey public_key{};
  Secret<crypto_sign_SECRETKEYBYTES> secret;
  if (crypto_sign_seed_keypair(public_key.data(), secret.bytes.data(), seed.bytes.data()) != 0) return std::nullopt;
  const std::vector<std::uint8_t> message = SignedMessage(name, bytes);
  ReleaseSignature signature{};
  if (crypto_sign_detached(signature.data(), nullptr, message.data(), message.size(), secret.bytes.data()) != 0) {
    return std::nullopt;
  }
  return signature;
}

}  // namespace platform
