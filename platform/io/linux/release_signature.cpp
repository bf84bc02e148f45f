#include "platform/io/release_signature.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstring>
#include <memory>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view kLabel{"krdn-release-v1\0", 16};

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Bio = std::unique_ptr<BIO, BioFree>;

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

Bio ReadOnlyBio(std::string_view text) {
  if (text.size() > 1 << 16) return nullptr;  // a key is a few hundred bytes
  return Bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

std::optional<std::string> Pem(EVP_PKEY* key, bool private_half) {
  Bio out(BIO_new(BIO_s_mem()));
  if (!out) return std::nullopt;
  const int written = private_half ? PEM_write_bio_PrivateKey(out.get(), key, nullptr, nullptr, 0, nullptr, nullptr)
                                   : PEM_write_bio_PUBKEY(out.get(), key);
  if (written != 1) return std::nullopt;
  char* data = nullptr;
  const long length = BIO_get_mem_data(out.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace

std::optional<ReleasePublicKey> ReadReleasePublicKey(std::string_view pem) {
  Bio in = ReadOnlyBio(pem);
  if (!in) return std::nullopt;
  Key key(PEM_read_bio_PUBKEY(in.get(), nullptr, nullptr, nullptr));
  if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) return std::nullopt;
  ReleasePublicKey raw{};
  std::size_t length = raw.size();
  if (EVP_PKEY_get_raw_public_key(key.get(), raw.data(), &length) != 1 || length != raw.size()) return std::nullopt;
  return raw;
}

bool VerifyReleaseSignature(const ReleasePublicKey& public_key, std::string_view name,
                            std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> signature) {
  if (signature.size() != ReleaseSignature{}.size()) return false;
  Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, public_key.data(), public_key.size()));
  std::unique_ptr<EVP_MD_CTX, MdContextFree> context(EVP_MD_CTX_new());
  if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
  const std::vector<std::uint8_t> message = SignedMessage(name, bytes);
  return EVP_DigestVerify(context.get(), signature.data(), signature.size(), message.data(), message.size()) == 1;
}

std::optional<ReleaseKeyPair> MakeReleaseKeyPair() {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr),
                                                                        EVP_PKEY_CTX_free);
  EVP_PKEY* raw = nullptr;
  if (!context || EVP_PKEY_keygen_init(context.get()) != 1 || EVP_PKEY_keygen(context.get(), &raw) != 1) {
    return std::nullopt;
  }
  const Key key(raw);
  std::optional<std::string> private_pem = Pem(key.get(), true);
  std::optional<std::string> public_pem = Pem(key.get(), false);
  if (!private_pem || !public_pem) return std::nullopt;
  return ReleaseKeyPair{.private_pem = std::move(*private_pem), .public_pem = std::move(*public_pem)};
}

std::optional<ReleaseSignature> SignRelease(std::string_view private_pem, std::string_view name,
                                            std::span<const std::uint8_t> bytes) {
  Bio in = ReadOnlyBio(private_pem);
  if (!in) return std::nullopt;
  const Key key(PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr));
  if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) return std::nullopt;
  std::unique_ptr<EVP_MD_CTX, MdContextFree> context(EVP_MD_CTX_new());
  if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return std::nullopt;
  const std::vector<std::uint8_t> message = SignedMessage(name, bytes);
  ReleaseSignature signature{};
  std::size_t length = signature.size();
  if (EVP_DigestSign(context.get(), signature.data(), &length, message.data(), message.size()) != 1 ||
      length != signature.size()) {
    return std::nullopt;
  }
  return signature;
}

}  // namespace platform
