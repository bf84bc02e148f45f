#include "platform/text/linux/text_document.h"

#include <algorithm>

namespace platform::text {

TextPos TextDocument::ParagraphEnd(TextPos paragraph) const {
  if (paragraph + 1 < ParagraphCount()) return starts_[static_cast<std::size_t>(paragraph) + 1] - 1;
  return Length();
}

TextPos TextDocument::ParagraphOf(TextPos pos) const {
  auto it = std::upper_bound(starts_.begin(), starts_.end(), pos);
  return static_cast<TextPos>(it - starts_.begin()) - 1;
}

std::u16string_view TextDocument::Slice(TextPos pos, TextPos length) const {
  return std::u16string_view(text_).substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(length));
}

ParagraphSplice TextDocument::Replace(TextPos pos, TextPos length, std::u16string_view text) {
  const TextPos first = ParagraphOf(pos);
  const TextPos last = ParagraphOf(pos + length);
  std::vector<TextPos> fresh;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kBreak) fresh.push_back(pos + static_cast<TextPos>(i) + 1);
  }
  // Everything that can fail to allocate happens before the text changes, so a
  // failure leaves text and index as they were.
  // The index grows geometrically: reserving the exact size would copy it on every
  // appended line.
  const std::size_t needed = starts_.size() + fresh.size();
  if (needed > starts_.capacity()) starts_.reserve(std::max(needed, 2 * starts_.capacity()));
  text_.replace(static_cast<std::size_t>(pos), static_cast<std::size_t>(length), text);
  auto from = starts_.begin() + first + 1;
  from = starts_.erase(from, starts_.begin() + last + 1);
  from = starts_.insert(from, fresh.begin(), fresh.end());
  // Appending at the end leaves nothing behind the new paragraphs to move.
  const TextPos delta = static_cast<TextPos>(text.size()) - length;
  if (delta != 0) {
    for (auto it = from + static_cast<std::ptrdiff_t>(fresh.size()); it != starts_.end(); ++it) *it += delta;
  }
  return {first, last - first + 1, static_cast<TextPos>(fresh.size()) + 1, pos};
}

TextPos TextDocument::Snap(TextPos pos) const {
  pos = std::clamp(pos, TextPos{0}, Length());
  if (pos > 0 && pos < Length() && IsLowSurrogate(At(pos)) && IsHighSurrogate(At(pos - 1))) --pos;
  return pos;
}

TextPos TextDocument::NextPosition(TextPos pos) const {
  if (pos >= Length()) return Length();
  if (IsHighSurrogate(At(pos)) && pos + 1 < Length() && IsLowSurrogate(At(pos + 1))) return pos + 2;
  return pos + 1;
}

TextPos TextDocument::PreviousPosition(TextPos pos) const {
  if (pos <= 0) return 0;
  if (IsLowSurrogate(At(pos - 1)) && pos >= 2 && IsHighSurrogate(At(pos - 2))) return pos - 2;
  return pos - 1;
}

std::u16string NormalizeInput(std::u16string_view text, bool single_line) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\0') continue;
    if (c == u'\r' || c == u'\n') {
      if (single_line) break;
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out.push_back(kBreak);
      continue;
    }
    out.push_back(c);
  }
  return out;
}

std::u16string WithCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), kBreak)));
  for (char16_t c : text) {
    out.push_back(c);
    if (c == kBreak) out.push_back(u'\n');
  }
  return out;
}

}  // namespace platform::text
