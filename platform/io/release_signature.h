// Detached Ed25519 signatures of a release's published files (the version file and
// the manifests), made by the publisher with its private key and checked by the
// engine against the publisher's public key.
//
// What is signed: the label "krdn-release-v1" and a 0 byte, the file's name as the
// release names it ("tern.sav", "1.9.3_download.txt") and a 0 byte, then the file's
// bytes. The name binds a signature to its role: the version file's signature is
// never one of a manifest, nor one version's manifest signature another's.
// A signature is the 64 bytes Ed25519 makes, nothing else.
//
// Keys travel as PEM: the private key as PKCS#8 ("PRIVATE KEY"), the public key as
// SubjectPublicKeyInfo ("PUBLIC KEY"), both readable by the openssl command.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

using ReleasePublicKey = std::array<std::uint8_t, 32>;
using ReleaseSignature = std::array<std::uint8_t, 64>;

// The key of a PEM public key text; nothing unless it is an Ed25519 public key.
std::optional<ReleasePublicKey> ReadReleasePublicKey(std::string_view pem);

// True only for a signature of exactly 64 bytes, made over (name, bytes) with the
// private half of the key.
bool VerifyReleaseSignature(const ReleasePublicKey& key, std::string_view name, std::span<const std::uint8_t> bytes,
                            std::span<const std::uint8_t> signature);

// The publisher's side.
struct ReleaseKeyPair {
  std::string private_pem;
  std::string public_pem;
};
std::optional<ReleaseKeyPair> MakeReleaseKeyPair();
// Nothing when the text is not an Ed25519 private key or signing fails.
std::optional<ReleaseSignature> SignRelease(std::string_view private_pem, std::string_view name,
                                            std::span<const std::uint8_t> bytes);

}  // namespace platform
