// The detached signature of a program file: valid, missing, short, altered, signed by
// another key, unreadable.
#include <openssl/evp.h>

#include <fstream>
#include <memory>

#include "platform/shell/signature.h"
#include "shell_fixture.h"

namespace shell_test {
namespace {

using platform::SignatureCheck;

struct KeyPair {
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key{nullptr, EVP_PKEY_free};
  platform::SignaturePublicKey public_key{};
};

KeyPair NewKey() {
  KeyPair pair;
  EVP_PKEY* raw = nullptr;
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr),
                                                                    EVP_PKEY_CTX_free);
  EVP_PKEY_keygen_init(ctx.get());
  EVP_PKEY_keygen(ctx.get(), &raw);
  pair.key.reset(raw);
  std::size_t length = pair.public_key.size();
  EVP_PKEY_get_raw_public_key(raw, pair.public_key.data(), &length);
  return pair;
}

void Sign(const KeyPair& pair, const std::string& path) {
  auto digest = platform::SignedDigest(path);
  ASSERT_TRUE(digest.has_value());
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  unsigned char signature[64];
  std::size_t length = sizeof signature;
  ASSERT_EQ(EVP_DigestSignInit(md.get(), nullptr, nullptr, nullptr, pair.key.get()), 1);
  ASSERT_EQ(EVP_DigestSign(md.get(), signature, &length, digest->data(), digest->size()), 1);
  std::ofstream(platform::SignaturePathFor(path), std::ios::binary).write(reinterpret_cast<char*>(signature), 64);
}

class SignatureTest : public TempDirTest {};

TEST_F(SignatureTest, ASignedFileIsValidUntilAByteChanges) {
  KeyPair pair = NewKey();
  std::string program = Write("tool", std::string(3 << 20, 'x') + "tail");  // larger than one read block
  Sign(pair, program);
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kValid);

  std::fstream f(program, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(1 << 20);
  f.put('y');
  f.close();
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kInvalid);

  Write("tool", std::string(3 << 20, 'x') + "tail" + "!");  // one byte appended
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kInvalid);
}

TEST_F(SignatureTest, AnotherKeysSignatureIsInvalid) {
  KeyPair ours = NewKey(), theirs = NewKey();
  std::string program = Write("tool", "program bytes");
  Sign(theirs, program);
  EXPECT_EQ(platform::CheckDetachedSignature(program, ours.public_key), SignatureCheck::kInvalid);
}

TEST_F(SignatureTest, MissingShortOrOverlongSignaturesCountAsNone) {
  KeyPair pair = NewKey();
  std::string program = Write("tool", "program bytes");
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kMissing);
  Write("tool.sig", std::string(63, '\1'));
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kMissing);
  Write("tool.sig", std::string(65, '\1'));
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kMissing);
  Write("tool.sig", std::string(64, '\1'));
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kInvalid);
}

TEST_F(SignatureTest, AnUnreadableProgramIsReportedAsSuch) {
  KeyPair pair = NewKey();
  EXPECT_EQ(platform::CheckDetachedSignature((dir_ / "absent").string(), pair.public_key), SignatureCheck::kUnreadable);
  std::string program = Write("tool", "program bytes");
  Sign(pair, program);
  std::filesystem::remove(program);
  std::filesystem::create_directory(program);  // a directory where the program was
  EXPECT_EQ(platform::CheckDetachedSignature(program, pair.public_key), SignatureCheck::kUnreadable);
}

}  // namespace
}  // namespace shell_test
