#include "repair/piece_digest.h"

#include "transfer/digest.h"

namespace krdn {
namespace {

// 0 to 15 for "0" to "9" and "A" to "F"; nothing else is a digit of the system's digests.
int UpperHexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

PieceDigest PieceDigest::FromText(std::u16string_view text) {
  PieceDigest digest;
  if (text.size() != 2 * digest.bytes_.size()) return digest;
  for (std::size_t i = 0; i < digest.bytes_.size(); ++i) {
    const int high = UpperHexDigit(text[2 * i]);
    const int low = UpperHexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return PieceDigest{};
    digest.bytes_[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  digest.upper_hex_ = true;
  return digest;
}

PieceDigest PieceDigest::Of(const platform::Md5Digest& digest) {
  PieceDigest of;
  of.bytes_ = digest;
  of.upper_hex_ = true;
  return of;
}

std::u16string PieceDigest::Text() const { return upper_hex_ ? DigestToWideHex(bytes_) : std::u16string(); }

}  // namespace krdn
