// Text streamed into an edit box (EM_STREAMIN): reading the caller's stream, and
// turning plain bytes or an RTF document into the box's UTF-16 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/text/text_defs.h"

namespace platform::text {

// A stream that never ends is cut here.
inline constexpr std::size_t kMaxStreamBytes = std::size_t{512} << 20;

struct StreamBytes {
  std::string bytes;
  DWORD error = 0;  // the callback's non-zero answer, if it stopped the stream
};
// Calls the stream's callback until it reports an error or no more bytes, or
// `max_bytes` have come.
StreamBytes ReadStream(EDITSTREAM& stream, std::size_t max_bytes = kMaxStreamBytes);

// Plain text in a code page: 0 and 65001 are UTF-8, 1200 is UTF-16 (little-endian),
// others go through iconv ("CP<n>"). Undecodable bytes become U+FFFD.
std::u16string DecodeCodePage(std::string_view bytes, UINT code_page);

// True for a document that begins (after blanks) with "{\rtf".
bool LooksLikeRtf(std::string_view bytes);
// The plain text of an RTF document: paragraphs (\par, \line) become breaks, \tab a
// tab, characters come from the text, \'hh in the document's code page (\ansicpg) and
// \uN; destination groups (font and colour tables, styles, pictures, \* groups...) are
// skipped. The break of the last paragraph is not kept. Malformed input yields what
// could be read; nothing is fatal.
std::u16string RtfToText(std::string_view rtf);

}  // namespace platform::text
