// Keyboard, mouse, focus and scroll input, and the selection they move.
#include <algorithm>

#include "platform/text/linux/text_engine.h"

namespace platform::text {
namespace {

enum class CharClass { kBlank, kBreak, kPunctuation, kIdeograph, kWord };

CharClass ClassOf(char16_t c) {
  if (c == kBreak) return CharClass::kBreak;
  if (c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x3000) return CharClass::kBlank;
  if (c < 0x80) {
    const bool word = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
    return word ? CharClass::kWord : CharClass::kPunctuation;
  }
  if ((c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xAC00 && c <= 0xD7AF)) {
    return CharClass::kIdeograph;
  }
  if ((c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFF0F) || (c >= 0x2000 && c <= 0x206F)) {
    return CharClass::kPunctuation;
  }
  return CharClass::kWord;
}

}  // namespace

// ---- selection ---------------------------------------------------------------------------

void TextEngine::SetSelection(TextPos anchor, TextPos caret) {
  anchor = doc_.Snap(anchor);
  caret = doc_.Snap(caret);
  if (anchor == anchor_ && caret == caret_) return;
  const TextPos old_start = SelStart();
  const TextPos old_end = SelEnd();
  anchor_ = anchor;
  caret_ = caret;
  pending_high_ = 0;
  undo_.CloseMerging();
  InvalidateSelectionChange(old_start, old_end);
  UpdateCaret();
  NotifySelectionChange();
}

void TextEngine::NotifySelectionChange() {
  if (!host_ || !(event_mask_ & ENM_SELCHANGE)) return;
  SELCHANGE change;
  change.nmhdr.code = EN_SELCHANGE;
  change.chrg = {SelStart(), SelEnd()};
  change.seltyp = !HasSelection()              ? SEL_EMPTY
                  : SelEnd() - SelStart() == 1 ? SEL_TEXT
                                               : static_cast<WORD>(SEL_TEXT | SEL_MULTICHAR);
  host_->TxNotify(EN_SELCHANGE, &change);
}

void TextEngine::MoveCaret(TextPos to, bool extend) {
  SetSelection(extend ? anchor_ : to, to);
  ScrollCaretIntoView();
}

TextPos TextEngine::WordStartBefore(TextPos pos) const {
  if (pos <= 0) return 0;
  // A password is one word: its characters must not show where its words are.
  if (Password()) {
    const TextPos start = doc_.ParagraphStart(doc_.ParagraphOf(pos));
    return start == pos ? pos - 1 : start;
  }
  if (doc_.At(pos - 1) == kBreak) return pos - 1;
  while (pos > 0 && ClassOf(doc_.At(pos - 1)) == CharClass::kBlank) --pos;
  if (pos == 0 || doc_.At(pos - 1) == kBreak) return pos;
  const CharClass run = ClassOf(doc_.At(pos - 1));
  while (pos > 0 && ClassOf(doc_.At(pos - 1)) == run) --pos;
  return doc_.Snap(pos);
}

TextPos TextEngine::WordEndAfter(TextPos pos) const {
  const TextPos length = doc_.Length();
  if (Password()) {
    const TextPos end = doc_.ParagraphEnd(doc_.ParagraphOf(pos));
    return end == pos && pos < length ? pos + 1 : end;
  }
  if (pos >= length) return length;
  if (doc_.At(pos) == kBreak) return pos + 1;
  const CharClass run = ClassOf(doc_.At(pos));
  if (run != CharClass::kBlank) {
    while (pos < length && ClassOf(doc_.At(pos)) == run) ++pos;
  }
  while (pos < length && ClassOf(doc_.At(pos)) == CharClass::kBlank) ++pos;
  return doc_.Snap(pos);
}

std::pair<TextPos, TextPos> TextEngine::WordAround(TextPos pos) const {
  const TextPos length = doc_.Length();
  if (Password()) {
    const TextPos paragraph = doc_.ParagraphOf(pos);
    return {doc_.ParagraphStart(paragraph), doc_.ParagraphEnd(paragraph)};
  }
  if (length == 0) return {0, 0};
  // The character under the point, or the one before at the end of a line.
  TextPos at = std::min(pos, length - 1);
  if ((at == length || doc_.At(at) == kBreak) && at > 0 && doc_.At(at - 1) != kBreak) --at;
  if (doc_.At(at) == kBreak) return {pos, pos};
  const CharClass run = ClassOf(doc_.At(at));
  TextPos start = at;
  TextPos end = at + 1;
  while (start > 0 && ClassOf(doc_.At(start - 1)) == run) --start;
  while (end < length && ClassOf(doc_.At(end)) == run) ++end;
  // A word takes the blanks after it with it, as double clicks do.
  if (run != CharClass::kBlank) {
    while (end < length && ClassOf(doc_.At(end)) == CharClass::kBlank) ++end;
  }
  return {doc_.Snap(start), doc_.Snap(end)};
}

// ---- keyboard ----------------------------------------------------------------------------

bool TextEngine::KeyDown(WPARAM vk) {
  const bool shift = KeyIsDown(VK_SHIFT);
  const bool ctrl = KeyIsDown(VK_CONTROL);
  const int height = std::max(1, layout_.LineHeight());
  auto vertical = [&](TextPos lines) {
    const TextPos line = layout_.LineOfPosition(caret_);
    if (desired_x_ < 0) desired_x_ = layout_.XOfPosition(caret_);
    const TextPos count = layout_.LineCount();
    const TextPos target = static_cast<TextPos>(std::clamp<std::int64_t>(std::int64_t{line} + lines, 0, count - 1));
    TextPos to = caret_;
    if (target == line) {
      to = lines < 0 ? 0 : doc_.Length();  // past the first or last line: to the text's end
    } else {
      to = layout_.PositionAt(target, desired_x_);
    }
    const int keep = desired_x_;
    MoveCaret(to, shift);
    desired_x_ = keep;
  };
  switch (static_cast<int>(vk)) {
    case VK_LEFT:
      if (HasSelection() && !shift) {
        MoveCaret(SelStart(), false);
      } else {
        MoveCaret(ctrl ? WordStartBefore(caret_) : doc_.PreviousPosition(caret_), shift);
      }
      return true;
    case VK_RIGHT:
      if (HasSelection() && !shift) {
        MoveCaret(SelEnd(), false);
      } else {
        MoveCaret(ctrl ? WordEndAfter(caret_) : doc_.NextPosition(caret_), shift);
      }
      return true;
    case VK_UP:
      vertical(-1);
      return true;
    case VK_DOWN:
      vertical(1);
      return true;
    case VK_PRIOR:
    case VK_NEXT: {
      // The view moves a page and the caret with it.
      const TextPos page = std::max(1, ViewHeight() / height);
      const std::int64_t step = (vk == VK_NEXT ? 1 : -1) * std::int64_t{page} * height;
      ScrollTo(scroll_x_, static_cast<int>(std::clamp<std::int64_t>(std::int64_t{scroll_y_} + step, 0, 0x3FFFFFFF)));
      vertical(vk == VK_NEXT ? page : -page);
      return true;
    }
    case VK_HOME:
      if (ctrl) {
        MoveCaret(0, shift);
      } else {
        MoveCaret(layout_.Line(layout_.LineOfPosition(caret_)).start, shift);
      }
      return true;
    case VK_END:
      if (ctrl) {
        MoveCaret(doc_.Length(), shift);
      } else {
        const VisualLine span = layout_.Line(layout_.LineOfPosition(caret_));
        TextPos end = span.end;
        // A wrapped line ends where the next begins; stay before its trailing blank.
        if (!span.ends_paragraph && end > span.start && ClassOf(doc_.At(end - 1)) == CharClass::kBlank) --end;
        MoveCaret(end, shift);
      }
      return true;
    case VK_DELETE:
      if (shift && !ctrl) {
        Cut();
      } else {
        DeleteForward(ctrl);
        ScrollCaretIntoView();
      }
      return true;
    case VK_INSERT:
      if (ctrl && !shift) Copy();
      if (shift && !ctrl) Paste();
      return ctrl || shift;
    default:
      break;
  }
  if (!ctrl || KeyIsDown(VK_MENU)) return false;
  switch (static_cast<int>(vk)) {
    case 'A':
      SetSelection(0, doc_.Length());
      return true;
    case 'C':
      Copy();
      return true;
    case 'X':
      Cut();
      return true;
    case 'V':
      Paste();
      return true;
    case 'Z':
      if (!ReadOnly() && (shift ? undo_.CanRedo() : undo_.CanUndo())) ApplyUndoStep(shift);
      return true;
    case 'Y':
      if (!ReadOnly() && undo_.CanRedo()) ApplyUndoStep(true);
      return true;
    default:
      return false;
  }
}

bool TextEngine::Char(char16_t ch) {
  if (ch == 0x08 || ch == 0x7F) {
    DeleteBackward(ch == 0x7F || KeyIsDown(VK_CONTROL));
    ScrollCaretIntoView();
    return true;
  }
  if (ch == u'\r' || ch == u'\n') {
    if (!Multiline()) return false;
  } else if (ch < 0x20 && ch != u'\t') {
    return false;  // Ctrl+letter and other controls type nothing
  }
  if (ReadOnly()) return true;
  // The two halves of a character outside the BMP come one by one: hold the first.
  if (IsHighSurrogate(ch)) {
    pending_high_ = ch;
    return true;
  }
  char16_t unit[2] = {ch, 0};
  std::u16string_view typed(unit, 1);
  char16_t pair[2] = {pending_high_, ch};
  if (pending_high_ && IsLowSurrogate(ch)) typed = std::u16string_view(pair, 2);
  pending_high_ = 0;
  InsertText(typed, HasSelection() ? UndoKind::kOther : UndoKind::kTyping, true);
  ScrollCaretIntoView();
  return true;
}

// ---- mouse -------------------------------------------------------------------------------

TextPos TextEngine::PositionAtPoint(POINT pt) {
  const RECT view = ViewRect();
  const int height = std::max(1, layout_.LineHeight());
  const std::int64_t y = std::int64_t{pt.y} - view.top + scroll_y_;
  const TextPos line = static_cast<TextPos>(std::clamp<std::int64_t>(y < 0 ? -1 : y / height, -1, layout_.LineCount()));
  if (line < 0) return 0;
  if (line >= layout_.LineCount()) return doc_.Length();
  return layout_.PositionAt(line, static_cast<int>(std::int64_t{pt.x} - view.left + scroll_x_));
}

void TextEngine::MouseDown(POINT pt, WPARAM flags, bool double_click) {
  if (host_ && !focused_) host_->TxSetFocus();
  const TextPos pos = PositionAtPoint(pt);
  last_mouse_ = pt;
  dragging_ = true;
  if (host_) host_->TxSetCapture(TRUE);
  if (double_click) {
    auto [start, end] = WordAround(pos);
    word_drag_ = true;
    drag_word_start_ = start;
    drag_word_end_ = end;
    SetSelection(start, end);
  } else {
    word_drag_ = false;
    SetSelection((flags & MK_SHIFT) ? anchor_ : pos, pos);
  }
  desired_x_ = -1;
  ScrollCaretIntoView();
}

void TextEngine::MouseMove(POINT pt) {
  if (!dragging_) return;
  last_mouse_ = pt;
  const TextPos pos = PositionAtPoint(pt);
  if (word_drag_) {
    auto [start, end] = WordAround(pos);
    if (pos < drag_word_start_) {
      SetSelection(drag_word_end_, start);
    } else {
      SetSelection(drag_word_start_, std::max(end, drag_word_end_));
    }
  } else {
    SetSelection(anchor_, pos);
  }
  ScrollCaretIntoView();
  const RECT view = ViewRect();
  const bool outside = pt.y < view.top || pt.y >= view.bottom || pt.x < view.left || pt.x >= view.right;
  if (outside && !timer_running_ && host_) {
    timer_running_ = host_->TxSetTimer(kAutoScrollTimer, kAutoScrollMs) != FALSE;
  } else if (!outside && timer_running_ && host_) {
    host_->TxKillTimer(kAutoScrollTimer);
    timer_running_ = false;
  }
}

void TextEngine::MouseUp() {
  if (!dragging_) return;
  dragging_ = false;
  word_drag_ = false;
  if (host_) {
    if (timer_running_) host_->TxKillTimer(kAutoScrollTimer);
    host_->TxSetCapture(FALSE);
  }
  timer_running_ = false;
}

void TextEngine::AutoScrollTick() {
  if (!dragging_) {
    if (timer_running_ && host_) host_->TxKillTimer(kAutoScrollTimer);
    timer_running_ = false;
    return;
  }
  // The caret follows the pointer past the edge; keeping it in view scrolls.
  MouseMove(last_mouse_);
}

// ---- the message switch ------------------------------------------------------------------

bool TextEngine::InputMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  switch (msg) {
    case WM_KEYDOWN:
      return KeyDown(wp);
    case WM_KEYUP:
      return false;
    case WM_CHAR:
    case WM_IME_CHAR:
      return Char(static_cast<char16_t>(wp & 0xFFFF));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      MouseDown(pt, wp, msg == WM_LBUTTONDBLCLK);
      return true;
    case WM_MOUSEMOVE:
      MouseMove(pt);
      return dragging_;
    case WM_LBUTTONUP:
      MouseUp();
      return true;
    case WM_CAPTURECHANGED:
      if (dragging_) MouseUp();
      return true;
    case WM_TIMER:
      if (wp != kAutoScrollTimer) return false;
      AutoScrollTick();
      return true;
    case WM_MOUSEWHEEL: {
      if (!Multiline()) return false;
      const int notches = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA;
      ScrollTo(scroll_x_, static_cast<int>(std::clamp<std::int64_t>(
                              std::int64_t{scroll_y_} - std::int64_t{notches} * 3 * layout_.LineHeight(), 0, 0x3FFFFFFF)));
      return true;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
      const bool vertical = msg == WM_VSCROLL;
      const int line = vertical ? layout_.LineHeight() : std::max(1, layout_.BreakWidth() * 4);
      const int page = std::max(1, vertical ? ViewHeight() : ViewWidth());
      const int now = vertical ? scroll_y_ : scroll_x_;
      const int end = vertical ? MaxScrollY() : MaxScrollX();
      std::int64_t to = now;
      switch (ScrollCodeOf(wp)) {
        case SB_LINEUP: to = std::int64_t{now} - line; break;
        case SB_LINEDOWN: to = std::int64_t{now} + line; break;
        case SB_PAGEUP: to = std::int64_t{now} - page; break;
        case SB_PAGEDOWN: to = std::int64_t{now} + page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: to = ScrollPositionOf(wp); break;
        case SB_TOP: to = 0; break;
        case SB_BOTTOM: to = end; break;
        default: return true;  // SB_ENDSCROLL
      }
      const int clamped = static_cast<int>(std::clamp<std::int64_t>(to, 0, 0x3FFFFFFF));
      if (vertical) {
        ScrollTo(scroll_x_, clamped);
      } else {
        ScrollTo(clamped, scroll_y_);
      }
      return true;
    }
    case WM_SETFOCUS:
      if (!focused_) {
        focused_ = true;
        if (HasSelection() && (props_ & TXTBIT_HIDESELECTION)) InvalidatePositions(SelStart(), SelEnd());
        UpdateCaret();
      }
      return true;
    case WM_KILLFOCUS:
      if (focused_) {
        focused_ = false;
        pending_high_ = 0;
        undo_.CloseMerging();
        MouseUp();
        ShowCaret(false);
        if (HasSelection() && (props_ & TXTBIT_HIDESELECTION)) InvalidatePositions(SelStart(), SelEnd());
      }
      return true;
    default:
      return false;
  }
}

}  // namespace platform::text
