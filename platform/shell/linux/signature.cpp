#include "platform/shell/signature.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/base/utf.h"

namespace platform {
namespace {

constexpr char kDomain[16] = {'k', 'r', 'd', 'n', '-', 's', 'i', 'g', 'n', 'e', 'd', '-', 'v', '1', '\0', '\0'};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};

std::optional<std::vector<std::uint8_t>> ReadSmallFile(const std::string& path, std::size_t limit) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> bytes(limit + 1);
  std::size_t n = std::fread(bytes.data(), 1, bytes.size(), file.get());
  bytes.resize(n);
  return bytes;
}

}  // namespace

std::string SignaturePathFor(std::string_view file_path) { return std::string(file_path) + ".sig"; }

std::optional<std::array<std::uint8_t, 80>> SignedDigest(std::string_view file_path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(std::string(file_path).c_str(), "rb"));
  if (!file) return std::nullopt;
  std::unique_ptr<EVP_MD_CTX, MdContextFree> md(EVP_MD_CTX_new());
  if (!md || EVP_DigestInit_ex(md.get(), EVP_sha512(), nullptr) != 1) return std::nullopt;
  std::vector<unsigned char> block(1 << 20);
  for (;;) {
    std::size_t n = std::fread(block.data(), 1, block.size(), file.get());
    if (n > 0 && EVP_DigestUpdate(md.get(), block.data(), n) != 1) return std::nullopt;
    if (n < block.size()) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  std::array<std::uint8_t, 80> signed_digest{};
  std::memcpy(signed_digest.data(), kDomain, sizeof kDomain);
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(md.get(), signed_digest.data() + sizeof kDomain, &length) != 1 || length != 64) return std::nullopt;
  return signed_digest;
}

SignatureCheck CheckDetachedSignature(std::string_view file_path, const SignaturePublicKey& public_key) {
  auto signature = ReadSmallFile(SignaturePathFor(file_path), kSignatureSize);
  if (!signature || signature->size() != kSignatureSize) {
    // A signature of the wrong size is as good as none, but an unreadable program is
    // worse: tell the two apart by the program file.
    return SignedDigest(file_path) ? SignatureCheck::kMissing : SignatureCheck::kUnreadable;
  }
  auto digest = SignedDigest(file_path);
  if (!digest) return SignatureCheck::kUnreadable;
  std::unique_ptr<EVP_PKEY, PkeyFree> key(
      EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, public_key.data(), public_key.size()));
  std::unique_ptr<EVP_MD_CTX, MdContextFree> md(EVP_MD_CTX_new());
  if (!key || !md || EVP_DigestVerifyInit(md.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
    return SignatureCheck::kInvalid;
  }
  int ok = EVP_DigestVerify(md.get(), signature->data(), signature->size(), digest->data(), digest->size());
  return ok == 1 ? SignatureCheck::kValid : SignatureCheck::kInvalid;
}

}  // namespace platform

namespace platform {

bool IsProgramFileTrusted(std::u16string_view path, const SignaturePublicKey& key) {
  return CheckDetachedSignature(Utf16ToUtf8(path), key) == SignatureCheck::kValid;
}

}  // namespace platform
