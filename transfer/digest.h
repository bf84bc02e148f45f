// MD5 digests as the system writes and compares them: 32 upper-case hexadecimal
// characters, high nibble first, compared exactly (lower-case digits never match).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/hash/md5.h"

namespace krdn {

using platform::BindMd5;
using platform::Md5Digest;

std::string DigestToHex(const Md5Digest& digest);
std::u16string DigestToWideHex(const Md5Digest& digest);

// The digest text of a whole buffer.
std::string Md5Hex(std::span<const std::uint8_t> data);
std::u16string Md5WideHex(std::span<const std::uint8_t> data);

}  // namespace krdn
