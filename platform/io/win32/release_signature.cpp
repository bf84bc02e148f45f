// The Windows build has no Ed25519 yet (CNG offers none, and the build carries no
// crypto library of its own), so it can neither make nor check release signatures: a
// key it is handed is no key, and a run with one trusts nothing, which fails safe.
// CMake refuses a Windows build configured with a publisher key.
#include "platform/io/release_signature.h"

namespace platform {

std::optional<ReleasePublicKey> ReadReleasePublicKey(std::string_view) { return std::nullopt; }

bool VerifyReleaseSignature(const ReleasePublicKey&, std::string_view, std::span<const std::uint8_t>,
                            std::span<const std::uint8_t>) {
  return false;
}

std::optional<ReleaseKeyPair> MakeReleaseKeyPair() { return std::nullopt; }

std::optional<ReleaseSignature> SignRelease(std::string_view, std::string_view, std::span<const std::uint8_t>) {
  return std::nullopt;
}

}  // namespace platform
