// Trust of a program file: a detached Ed25519 signature beside the file, checked
// against a public key the caller holds (the program compiles its own in).
//
// The signature file is "<file>.sig": 64 bytes, the Ed25519 signature of the file's
// signed digest (SignedDigest below). The digest is computed while the file is read in
// blocks, so a large executable is never held in memory whole.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::size_t kSignatureKeySize = 32;
inline constexpr std::size_t kSignatureSize = 64;
using SignaturePublicKey = std::array<std::uint8_t, kSignatureKeySize>;

enum class SignatureCheck {
  kValid,       // the signature file matches the file and the key
  kMissing,     // no signature file, or one of the wrong size
  kInvalid,     // the signature does not match (file altered, or signed with another key)
  kUnreadable,  // the file itself cannot be read
};

// The signature file that belongs to a file.
std::string SignaturePathFor(std::string_view file_path);

// What is signed: a domain label followed by the SHA-512 digest of the file's bytes.
// Nothing when the file cannot be read.
std::optional<std::array<std::uint8_t, 80>> SignedDigest(std::string_view file_path);

SignatureCheck CheckDetachedSignature(std::string_view file_path, const SignaturePublicKey& public_key);

// Whether the platform trusts the program file at `path`: on Linux its detached
// signature made with `key` (above); on Windows its Authenticode signature, through the
// platform's trust verification, and the key is not used.
bool IsProgramFileTrusted(std::u16string_view path, const SignaturePublicKey& key);

}  // namespace platform
