// The digest a manifest gives a piece, held in the 16 bytes it stands for.
//
// The manifest writes it as 32 characters, and a piece is intact when they equal the
// upper-case hexadecimal text of the digest computed from its bytes, all 32 exactly.
// Only upper-case hexadecimal text can ever equal one, so it is kept as its bytes, a
// third of the text's size and compared without writing the computed digest out;
// any other text is kept as a digest that matches nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/hash/md5.h"

namespace krdn {

class PieceDigest {
 public:
  // 32 characters as the manifest writes them.
  static PieceDigest FromText(std::u16string_view text);
  // The digest of bytes at hand.
  static PieceDigest Of(const platform::Md5Digest& digest);

  // Whether a digest computed from the piece's bytes is the one the manifest gives.
  bool Matches(const platform::Md5Digest& computed) const { return upper_hex_ && bytes_ == computed; }

  // The 32 upper-case hexadecimal characters, or nothing for a text that matches nothing.
  std::u16string Text() const;

  friend bool operator==(const PieceDigest&, const PieceDigest&) = default;

 private:
  platform::Md5Digest bytes_{};
  bool upper_hex_ = false;
};

}  // namespace krdn
