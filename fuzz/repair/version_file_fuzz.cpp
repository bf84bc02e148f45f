// The version-file reader on arbitrary bytes: a version exactly when there are 254
// bytes or more, taken from offsets 240 to 242 and 252 to 253.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "repair/client_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto version = krdn::ParseVersionFile(std::span(data, size));
  if (version.has_value() != (size >= krdn::kVersionFileMinSize)) std::abort();
  if (version) {
    if (version->first != data[240] || version->second != data[241] || version->third != data[242]) std::abort();
    if (version->mode_word != (data[252] | (data[253] << 8))) std::abort();
    const std::u16string text = version->Text();
    if (text.size() < 5 || text.size() > 11) std::abort();
  }
  return 0;
}
