// Static text: single-line drawing through the render target, and the multi-line
// layout that wraps character by character.
#include "core/static_text.h"

#include <algorithm>
#include <limits>

#include "core/swnd_style.h"
#include "core/text_util.h"

namespace LOOM {

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The length of the character at i: a surrogate pair is one character.
std::size_t CharLength(std::u16string_view text, std::size_t i) {
  return (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ? 2 : 1;
}

LONG ToCoord(long long v) {
  return static_cast<LONG>(std::clamp<long long>(v, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// The length of a line break at i (the two characters "\n", a line feed, or a carriage
// return followed by a line feed), 0 when there is none.
std::size_t BreakLength(std::u16string_view text, std::size_t i) {
  char16_t c = text[i];
  bool has_next = i + 1 < text.size();
  if (c == u'\\' && has_next && text[i + 1] == u'n') return 2;
  if (c == u'\n') return 1;
  if (c == u'\r' && has_next && text[i + 1] == u'\n') return 2;
  return 0;
}

}  // namespace

SStatic::SStatic() {
  Style().align = kAlignLeft;
  SetOwnFlag(kOwnMsgTransparent, true);
}

HRESULT SStatic::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"multiLines")) {
    multi_lines_ = IntOr0(value, true) != 0;
    return AttributeApplied(name, value, loading, S_OK);
  }
  if (EqualsNoCase(name, u"interHeight")) {
    inter_height_ = IntOr0(value, true);
    return AttributeApplied(name, value, loading, S_OK);
  }
  return SWindow::ApplyAttribute(name, value, loading);
}

void SStatic::PaintText(IRenderTarget* rt, std::u16string_view text, RECT rc, UINT format) {
  if (!multi_lines_) {
    SWindow::PaintText(rt, text, rc, format);
    return;
  }
  LayoutLines(rt, text, rc, format & ~static_cast<UINT>(DT_CALCRECT));
}

void SStatic::MeasureText(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format) {
  if (!multi_lines_) {
    SWindow::MeasureText(rt, text, rc, format);
    return;
  }
  LayoutLines(rt, text, rc, format | DT_CALCRECT);
}

void SStatic::PaintTextSegment(IRenderTarget* rt, std::u16string_view text, std::size_t start, std::size_t count,
                               RECT rc, UINT format) {
  if (count == 0 || start >= text.size()) return;
  rt->TextDraw(text.substr(start, count), &rc, format);
}

void SStatic::AlignVertically(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format) {
  RECT measured = rc;
  LayoutLines(rt, text, measured, format | DT_CALCRECT);
  // In 64 bits: a box may span the whole coordinate range.
  long long text_height = static_cast<long long>(measured.bottom) - measured.top;
  long long box_height = static_cast<long long>(rc.bottom) - rc.top;
  if (box_height <= 0 || text_height < 0) return;
  if (Style().valign == kAlignMiddle) {
    long long inset = (box_height - text_height) / 2;
    rc.top = static_cast<LONG>(rc.top + inset);
    rc.bottom = static_cast<LONG>(rc.bottom - inset);
  } else if (Style().valign == kAlignBottom) {
    // The block of lines sits on the bottom edge; the wrapping keeps the whole box.
    rc.top = static_cast<LONG>(rc.bottom - text_height);
  }
}

void SStatic::LayoutLines(IRenderTarget* rt, std::u16string_view text, RECT& rc, UINT format) {
  if (!rt) return;
  const bool measuring = (format & DT_CALCRECT) != 0;
  if (!measuring && (format & (DT_VCENTER | DT_BOTTOM))) AlignVertically(rt, text, rc, format);

  SIZE letter{};
  rt->TextExtent(u"A", &letter);
  const long long line_height = letter.cy;
  const long long step = line_height + inter_height_;
  const LONG right = rc.right;
  const LONG bottom = rc.bottom;
  if (measuring) rc.right = rc.left;

  long long x = rc.left;
  long long y = rc.top;
  std::size_t line_start = 0;
  auto draw_line = [&](std::size_t end) {
    if (measuring) return;
    RECT line{rc.left, ToCoord(y), rc.right, ToCoord(y + line_height)};
    PaintTextSegment(rt, text, line_start, end - line_start, line, format);
  };
  // Starts the next line at y + step; false when it would start below the box.
  auto next_line = [&]() {
    if (y + step > bottom) return false;
    y += step;
    x = rc.left;
    return true;
  };

  for (std::size_t i = 0; i < text.size();) {
    if (std::size_t brk = BreakLength(text, i)) {
      draw_line(i);
      if (!next_line()) {
        if (measuring) rc.bottom = ToCoord(std::min<long long>(y + line_height, bottom));
        return;
      }
      i += brk;
      line_start = i;
      continue;
    }
    std::size_t len = CharLength(text, i);
    SIZE ch{};
    rt->TextExtent(text.substr(i, len), &ch);
    if (x + ch.cx > right && i > line_start) {
      // A line always keeps at least one character; this one begins the next line.
      draw_line(i);
      if (!next_line()) {
        if (measuring) rc.bottom = ToCoord(std::min<long long>(y + line_height, bottom));
        return;
      }
      line_start = i;
    }
    x += ch.cx;
    if (measuring && x > rc.right) rc.right = ToCoord(x);
    i += len;
  }
  draw_line(text.size());
  if (measuring) rc.bottom = ToCoord(std::min<long long>(y + line_height, bottom));
}

}  // namespace LOOM
