// The engine's edit messages: text, selection, lines, formats, clipboard, undo and
// streaming.
#include <algorithm>
#include <cstring>

#include "platform/ui/clipboard.h"
#include "platform/text/linux/text_engine.h"
#include "platform/text/linux/text_stream.h"
#include "platform/base/utf.h"

namespace platform::text {
namespace {

LONG AsLong(WPARAM v) { return static_cast<LONG>(static_cast<std::int64_t>(v)); }
LONG AsLong(LPARAM v) { return static_cast<LONG>(v); }

template <class T>
T* Pointer(WPARAM v) {
  return reinterpret_cast<T*>(v);
}
template <class T>
T* Pointer(LPARAM v) {
  return reinterpret_cast<T*>(v);
}

std::u16string_view Terminated(const char16_t* text) {
  return text ? std::u16string_view(text) : std::u16string_view();
}

// Copies at most `capacity` - 1 units of the text with its breaks as "\r\n" and ends
// it with NUL; answers how many units it copied.
LRESULT CopyWithCrLf(std::u16string_view text, char16_t* out, std::size_t capacity) {
  if (!out || capacity == 0) return 0;
  std::size_t n = 0;
  for (char16_t c : text) {
    if (c == kBreak) {
      if (n + 2 > capacity - 1) break;
      out[n++] = u'\r';
      out[n++] = u'\n';
    } else {
      if (n + 1 > capacity - 1) break;
      out[n++] = c;
    }
  }
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

std::string RtfOf(std::u16string_view text, std::u16string_view face) {
  auto escape = [](std::string& out, std::u16string_view s) {
    for (char16_t c : s) {
      if (c == kBreak) {
        out += "\\par\r\n";
      } else if (c == u'\t') {
        out += "\\tab ";
      } else if (c == u'\\' || c == u'{' || c == u'}') {
        out.push_back('\\');
        out.push_back(static_cast<char>(c));
      } else if (c >= 0x20 && c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else {
        out += "\\u" + std::to_string(static_cast<short>(c)) + "?";
      }
    }
  };
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 ";
  escape(out, face);
  out += ";}}\\f0 ";
  escape(out, text);
  out += "}";
  return out;
}

}  // namespace

// ---- text and selection --------------------------------------------------------------

bool TextEngine::TextMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_GETTEXTLENGTH:
      result = static_cast<LRESULT>(doc_.Length()) + doc_.BreakCount();
      return true;
    case EM_GETTEXTLENGTHEX: {
      const auto* how = Pointer<const GETTEXTLENGTHEX>(wp);
      const bool crlf = how && (how->flags & GTL_USECRLF);
      result = static_cast<LRESULT>(doc_.Length()) + (crlf ? doc_.BreakCount() : 0);
      return true;
    }
    case WM_GETTEXT:
      result = CopyWithCrLf(doc_.Text(), Pointer<char16_t>(lp), wp);
      return true;
    case WM_SETTEXT:
      SetAllText(Terminated(Pointer<const char16_t>(lp)));
      result = TRUE;
      return true;
    case EM_GETSEL: {
      const auto start = static_cast<DWORD>(SelStart());
      const auto end = static_cast<DWORD>(SelEnd());
      if (auto* out = Pointer<DWORD>(wp)) *out = start;
      if (auto* out = Pointer<DWORD>(lp)) *out = end;
      result = start > 0xFFFF || end > 0xFFFF ? -1 : MAKELONG(static_cast<WORD>(start), static_cast<WORD>(end));
      return true;
    }
    case EM_SETSEL:
    case EM_EXSETSEL: {
      LONG start = 0;
      LONG end = 0;
      if (msg == EM_SETSEL) {
        start = AsLong(wp);
        end = AsLong(lp);
      } else if (auto* range = Pointer<const CHARRANGE>(lp)) {
        start = range->cpMin;
        end = range->cpMax;
      } else {
        return true;
      }
      if (start == -1) {
        SetSelection(caret_, caret_);  // -1 removes the selection and leaves the caret
      } else {
        const TextPos length = doc_.Length();
        const TextPos from = std::clamp<TextPos>(start, 0, length);
        const TextPos to = end < 0 ? length : std::min<TextPos>(end, length);
        SetSelection(doc_.Snap(from), doc_.Snap(to));
      }
      result = msg == EM_EXSETSEL ? SelEnd() : 0;
      return true;
    }
    case EM_EXGETSEL:
      if (auto* range = Pointer<CHARRANGE>(lp)) {
        range->cpMin = SelStart();
        range->cpMax = SelEnd();
      }
      result = 0;
      return true;
    case EM_REPLACESEL:
      InsertText(Terminated(Pointer<const char16_t>(lp)), UndoKind::kOther, wp != 0);
      if (focused_) ScrollCaretIntoView();
      result = 0;
      return true;
    case EM_SCROLLCARET:
      ScrollCaretIntoView();
      result = 0;
      return true;
    case EM_GETTEXTRANGE: {
      auto* range = Pointer<TEXTRANGEW>(lp);
      result = 0;
      if (!range || !range->lpstrText) return true;
      const TextPos length = doc_.Length();
      const TextPos from = std::clamp<TextPos>(range->chrg.cpMin, 0, length);
      const TextPos to = range->chrg.cpMax < 0 ? length : std::clamp<TextPos>(range->chrg.cpMax, from, length);
      std::u16string_view part = doc_.Slice(from, to - from);
      std::copy(part.begin(), part.end(), range->lpstrText);
      range->lpstrText[part.size()] = 0;
      result = static_cast<LRESULT>(part.size());
      return true;
    }
    case EM_GETLIMITTEXT:
      result = MaxLength();
      return true;
    case EM_GETMODIFY:
      result = modified_ ? TRUE : FALSE;
      return true;
    case EM_SETMODIFY:
      modified_ = wp != 0;
      result = 0;
      return true;
    case EM_STREAMIN:
      result = StreamIn(wp, Pointer<EDITSTREAM>(lp));
      return true;
    case EM_STREAMOUT:
      result = StreamOut(wp, Pointer<EDITSTREAM>(lp));
      return true;
    default:
      return false;
  }
}

// ---- lines and positions ----------------------------------------------------------------

bool TextEngine::LineMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  const RECT view = ViewRect();
  const int height = layout_.LineHeight();
  auto line_of = [&](LONG pos) {
    return layout_.LineOfPosition(pos < 0 ? caret_ : std::min<TextPos>(pos, doc_.Length()));
  };
  switch (msg) {
    case EM_GETLINECOUNT:
      result = layout_.LineCount();
      return true;
    case EM_LINEINDEX: {
      const LONG line = AsLong(wp);
      const TextPos target = line < 0 ? layout_.LineOfPosition(caret_) : line;
      result = target < layout_.LineCount() ? layout_.Line(target).start : -1;
      return true;
    }
    case EM_LINELENGTH: {
      const VisualLine span = layout_.Line(line_of(AsLong(wp)));
      result = span.end - span.start;
      return true;
    }
    case EM_LINEFROMCHAR:
      result = line_of(AsLong(wp));
      return true;
    case EM_EXLINEFROMCHAR:
      result = line_of(AsLong(lp));
      return true;
    case EM_GETFIRSTVISIBLELINE:
      result = height > 0 ? scroll_y_ / height : 0;
      return true;
    case EM_POSFROMCHAR: {
      const TextPos pos = std::clamp<TextPos>(AsLong(lp), 0, doc_.Length());
      POINT at{view.left + layout_.XOfPosition(pos) - scroll_x_,
               static_cast<LONG>(view.top + std::int64_t{layout_.LineOfPosition(pos)} * height - scroll_y_)};
      if (auto* out = Pointer<POINT>(wp)) {
        *out = at;
        result = 0;
      } else {
        result = MAKELONG(static_cast<WORD>(at.x), static_cast<WORD>(at.y));
      }
      return true;
    }
    case EM_CHARFROMPOS: {
      const auto* pt = Pointer<const POINT>(lp);
      result = pt ? PositionAtPoint(*pt) : 0;
      return true;
    }
    case EM_GETLINE: {
      auto* buffer = Pointer<char16_t>(lp);
      result = 0;
      if (!buffer) return true;
      WORD capacity = 0;
      std::memcpy(&capacity, buffer, sizeof(capacity));
      const LONG line = AsLong(wp);
      if (line < 0 || line >= layout_.LineCount()) return true;
      const VisualLine span = layout_.Line(line);
      const auto count = std::min<std::size_t>(capacity, static_cast<std::size_t>(span.end - span.start));
      std::u16string_view part = doc_.Slice(span.start, static_cast<TextPos>(count));
      std::copy(part.begin(), part.end(), buffer);
      result = static_cast<LRESULT>(count);
      return true;
    }
    case EM_LINESCROLL: {
      // wParam counts characters (a blank's width each), lParam lines.
      auto clamp = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, 0, 0x3FFFFFFF)); };
      ScrollTo(clamp(std::int64_t{scroll_x_} + std::int64_t{AsLong(wp)} * layout_.BreakWidth()),
               clamp(std::int64_t{scroll_y_} + std::int64_t{AsLong(lp)} * height));
      result = TRUE;
      return true;
    }
    case EM_SCROLL: {
      const int before = scroll_y_;
      LRESULT ignored = 0;
      InputMessage(WM_VSCROLL, wp & 0xFFFF, 0, ignored);
      const int lines = height > 0 ? (scroll_y_ - before) / height : 0;
      result = MAKELONG(static_cast<WORD>(lines), 1);
      return true;
    }
    case EM_GETSCROLLPOS:
      if (auto* out = Pointer<POINT>(lp)) *out = {scroll_x_, scroll_y_};
      result = 1;
      return true;
    case EM_SETSCROLLPOS:
      if (const auto* to = Pointer<const POINT>(lp)) ScrollTo(to->x, to->y);
      result = 1;
      return true;
    case EM_GETRECT:
      if (auto* out = Pointer<RECT>(lp)) *out = view;
      result = 0;
      return true;
    default:
      return false;
  }
}

// ---- formats and options ------------------------------------------------------------------

bool TextEngine::FormatMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case EM_SETCHARFORMAT: {
      const auto* cf = Pointer<const CHARFORMATW>(lp);
      if (!cf || (cf->cbSize != sizeof(CHARFORMATW) && cf->cbSize != sizeof(CHARFORMAT2W))) {
        result = 0;
        return true;
      }
      // Plain text has one format: every scope sets the look of the whole text.
      ApplyCharFormat(cf);
      result = 1;
      return true;
    }
    case EM_GETCHARFORMAT: {
      auto* cf = Pointer<CHARFORMATW>(lp);
      result = 0;
      if (!cf) return true;
      if (cf->cbSize == sizeof(CHARFORMAT2W)) {
        *reinterpret_cast<CHARFORMAT2W*>(cf) = char_format_;
      } else if (cf->cbSize == sizeof(CHARFORMATW)) {
        std::memcpy(reinterpret_cast<char*>(cf) + sizeof(UINT), reinterpret_cast<const char*>(&char_format_) + sizeof(UINT),
                    offsetof(CHARFORMATW, szFaceName) + sizeof(cf->szFaceName) - sizeof(UINT));
      } else {
        return true;
      }
      cf->dwMask = 0xF8000007 | char_format_.dwMask;
      result = cf->dwMask;
      return true;
    }
    case EM_SETPARAFORMAT: {
      const auto* pf = Pointer<const PARAFORMAT>(lp);
      if (!pf || (pf->cbSize != sizeof(PARAFORMAT) && pf->cbSize != sizeof(PARAFORMAT2))) {
        result = 0;
        return true;
      }
      ApplyParaFormat(pf);
      result = 1;
      return true;
    }
    case EM_GETPARAFORMAT: {
      auto* pf = Pointer<PARAFORMAT>(lp);
      result = 0;
      if (!pf) return true;
      if (pf->cbSize == sizeof(PARAFORMAT2)) {
        *reinterpret_cast<PARAFORMAT2*>(pf) = para_format_;
      } else if (pf->cbSize == sizeof(PARAFORMAT)) {
        std::memcpy(reinterpret_cast<char*>(pf) + sizeof(UINT), reinterpret_cast<const char*>(&para_format_) + sizeof(UINT),
                    sizeof(PARAFORMAT) - sizeof(UINT));
      } else {
        return true;
      }
      pf->dwMask = PFM_ALIGNMENT | PFM_TABSTOPS | para_format_.dwMask;
      result = pf->dwMask;
      return true;
    }
    case EM_SETEVENTMASK:
      result = event_mask_;
      event_mask_ = static_cast<DWORD>(lp);
      return true;
    case EM_GETEVENTMASK:
      result = event_mask_;
      return true;
    case EM_SETLANGOPTIONS:
      lang_options_ = static_cast<DWORD>(lp);
      result = 1;
      return true;
    case EM_GETLANGOPTIONS:
      result = lang_options_;
      return true;
    case EM_HIDESELECTION:
      if (selection_hidden_ != (wp != 0)) {
        selection_hidden_ = wp != 0;
        if (HasSelection()) InvalidateView();
      }
      result = 0;
      return true;
    default:
      return false;
  }
}

// ---- clipboard and undo -------------------------------------------------------------------

bool TextEngine::EditMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_COPY:
      Copy();
      return true;
    case WM_CUT:
      Cut();
      return true;
    case WM_PASTE:
      Paste();
      return true;
    case WM_CLEAR:
      if (!ReadOnly() && HasSelection()) InsertText(u"", UndoKind::kOther, true);
      return true;
    case WM_UNDO:
    case EM_UNDO:
      if (ReadOnly() || !undo_.CanUndo()) return true;
      ApplyUndoStep(false);
      result = TRUE;
      return true;
    case EM_REDO:
      if (ReadOnly() || !undo_.CanRedo()) return true;
      ApplyUndoStep(true);
      result = TRUE;
      return true;
    case EM_CANUNDO:
      result = undo_.CanUndo() ? TRUE : FALSE;
      return true;
    case EM_CANREDO:
      result = undo_.CanRedo() ? TRUE : FALSE;
      return true;
    case EM_EMPTYUNDOBUFFER:
      undo_.Clear();
      return true;
    case EM_SETUNDOLIMIT:
      undo_.SetLimit(std::min<WPARAM>(wp, 100000));
      result = static_cast<LRESULT>(undo_.Limit());
      return true;
    case EM_CANPASTE:
      result = HasClipboardText() ? TRUE : FALSE;
      return true;
    default:
      return false;
  }
}

// ---- streaming ---------------------------------------------------------------------------

LRESULT TextEngine::StreamIn(WPARAM format, EDITSTREAM* stream) {
  if (!stream) return 0;
  StreamBytes read = ReadStream(*stream);
  stream->dwError = read.error;
  std::u16string text;
  if (format & SF_RTF) {
    text = LooksLikeRtf(read.bytes) ? RtfToText(read.bytes) : DecodeCodePage(read.bytes, CP_UTF8);
  } else if (format & SF_UNICODE) {
    text = DecodeCodePage(read.bytes, CP_UTF16LE);
  } else if (format & SF_USECODEPAGE) {
    text = DecodeCodePage(read.bytes, HIWORD(format));
  } else {
    text = DecodeCodePage(read.bytes, CP_UTF8);
  }
  if (format & SFF_SELECTION) {
    const TextPos before = doc_.Length() - (SelEnd() - SelStart());
    InsertText(text, UndoKind::kOther, true);
    return doc_.Length() - before;
  }
  SetAllText(text);
  return doc_.Length();
}

LRESULT TextEngine::StreamOut(WPARAM format, EDITSTREAM* stream) {
  if (!stream || !stream->pfnCallback) return 0;
  std::u16string_view text = (format & SFF_SELECTION) ? doc_.Slice(SelStart(), SelEnd() - SelStart()) : doc_.Text();
  std::string bytes;
  if (format & SF_RTF) {
    const WCHAR* face = char_format_.szFaceName;
    bytes = RtfOf(text, std::u16string_view(face, static_cast<std::size_t>(std::find(face, face + LF_FACESIZE, u'\0') - face)));
  } else if (format & SF_UNICODE) {
    std::u16string crlf = WithCrLf(text);
    bytes.resize(crlf.size() * 2);
    for (std::size_t i = 0; i < crlf.size(); ++i) {
      bytes[2 * i] = static_cast<char>(crlf[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<char>(crlf[i] >> 8);
    }
  } else {
    bytes = Utf16ToUtf8(WithCrLf(text));
  }
  std::size_t sent = 0;
  std::vector<BYTE> block(4096);
  while (sent < bytes.size()) {
    const auto n = static_cast<LONG>(std::min(block.size(), bytes.size() - sent));
    std::memcpy(block.data(), bytes.data() + sent, static_cast<std::size_t>(n));
    LONG taken = 0;
    DWORD error = stream->pfnCallback(stream->dwCookie, block.data(), n, &taken);
    if (error != 0) {
      stream->dwError = error;
      break;
    }
    if (taken <= 0) break;
    sent += static_cast<std::size_t>(std::min(taken, n));
  }
  return static_cast<LRESULT>(text.size());
}

}  // namespace platform::text
