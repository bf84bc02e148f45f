#include "transfer/digest.h"

namespace krdn {
namespace {

template <typename Char>
std::basic_string<Char> ToHex(const Md5Digest& digest) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::basic_string<Char> text;
  text.reserve(digest.size() * 2);
  for (const std::uint8_t byte : digest) {
    text.push_back(static_cast<Char>(kHex[byte >> 4]));
    text.push_back(static_cast<Char>(kHex[byte & 15]));
  }
  return text;
}

}  // namespace

std::string DigestToHex(const Md5Digest& digest) { return ToHex<char>(digest); }
std::u16string DigestToWideHex(const Md5Digest& digest) { return ToHex<char16_t>(digest); }
std::string Md5Hex(std::span<const std::uint8_t> data) { return DigestToHex(platform::Md5(data)); }
std::u16string Md5WideHex(std::span<const std::uint8_t> data) { return DigestToWideHex(platform::Md5(data)); }

}  // namespace krdn
