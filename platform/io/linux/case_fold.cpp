#include "platform/io/case_fold.h"

#include <unicase.h>

namespace platform {
namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendCodePoint(std::u16string& out, ucs4_t code_point) {
  if (code_point < 0x10000) {
    out += static_cast<char16_t>(code_point);
    return;
  }
  code_point -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (code_point >> 10));
  out += static_cast<char16_t>(0xDC00 + (code_point & 0x3FF));
}

}  // namespace

std::u16string FoldCase(std::u16string_view name) {
  std::u16string folded;
  folded.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i];
    if (IsHighSurrogate(unit) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
      const ucs4_t code_point = 0x10000 + ((static_cast<ucs4_t>(unit) - 0xD800) << 10) + (name[i + 1] - 0xDC00u);
      AppendCodePoint(folded, uc_toupper(code_point));
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      folded += unit;  // a lone surrogate names no character to map
    } else {
      AppendCodePoint(folded, uc_toupper(unit));
    }
  }
  return folded;
}

}  // namespace platform
