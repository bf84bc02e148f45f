// Signed releases. With a publisher key in the run's settings, the version file and the
// manifest are trusted only with the publisher's detached signature beside each
// ("<file>.sig"), fetched right after the file and checked before anything of the file
// is used. Without a key nothing more is fetched and nothing is checked.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace krdn {

class Run;
struct RunSettings;

bool ReleasesSigned(const RunSettings& settings);

// Fetches the signature of a file (its URL with ".sig") with the file's agent string
// and checks it over the file's bytes under the name the release gives the file. False
// when the signature does not arrive whole with a 2xx status, is not 64 bytes, or does
// not match, and when the configured key is not an Ed25519 public key.
bool SignatureTrusts(Run& run, const std::string& file_url, const std::string& user_agent, std::string_view name,
                     std::span<const std::uint8_t> bytes);

}  // namespace krdn
