// The text of an edit box: UTF-16 code units with paragraphs separated by one break
// character, and an index of where every paragraph starts. Appending at the end costs
// the length of the append; finding the paragraph of a position is a binary search.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::text {

using TextPos = std::int32_t;

// Paragraphs are separated by one '\r', whatever line ends the text came with.
inline constexpr char16_t kBreak = u'\r';
// The most code units the engine holds (positions are 32-bit signed).
inline constexpr TextPos kMaxTextLength = 0x7FFFFFF0;

// What a replacement did to the paragraph list: `removed` paragraphs from `first` on
// were replaced by `added` paragraphs (a change inside one paragraph: 1 by 1).
struct ParagraphSplice {
  TextPos first = 0;
  TextPos removed = 0;
  TextPos added = 0;
  TextPos at = 0;  // where the replaced text began
};

class TextDocument {
 public:
  TextDocument() : starts_{0} {}

  TextPos Length() const { return static_cast<TextPos>(text_.size()); }
  TextPos ParagraphCount() const { return static_cast<TextPos>(starts_.size()); }
  TextPos BreakCount() const { return ParagraphCount() - 1; }
  TextPos ParagraphStart(TextPos paragraph) const { return starts_[static_cast<std::size_t>(paragraph)]; }
  // Where the paragraph's text ends: before its break, or at the end of the text.
  TextPos ParagraphEnd(TextPos paragraph) const;
  // The paragraph holding `pos` (0 <= pos <= Length()); a position just after a break
  // belongs to the next paragraph.
  TextPos ParagraphOf(TextPos pos) const;

  std::u16string_view Text() const { return text_; }
  std::u16string_view Slice(TextPos pos, TextPos length) const;
  char16_t At(TextPos pos) const { return text_[static_cast<std::size_t>(pos)]; }

  // Replaces [pos, pos + length) with `text`, which must already be normalised (see
  // NormalizeInput). The caller keeps positions in range.
  ParagraphSplice Replace(TextPos pos, TextPos length, std::u16string_view text);

  // Snaps a position that falls between the two halves of a surrogate pair back to
  // the pair's start, and clamps it into [0, Length()].
  TextPos Snap(TextPos pos) const;
  // The next and previous code-point boundary (a lone surrogate is one code point).
  TextPos NextPosition(TextPos pos) const;
  TextPos PreviousPosition(TextPos pos) const;

 private:
  std::u16string text_;
  std::vector<TextPos> starts_;  // starts_[i]: first code unit of paragraph i
};

// Text as it enters the engine: NULs dropped, "\r\n", "\n" and "\r" each become one
// break; a single-line box keeps only what comes before the first break.
std::u16string NormalizeInput(std::u16string_view text, bool single_line);
// Text as it leaves the engine: every break becomes "\r\n".
std::u16string WithCrLf(std::u16string_view text);

constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace platform::text
