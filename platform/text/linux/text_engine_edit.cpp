// Changing the text: insertion under the maximum length, deletion, replacement of the
// whole text, undo and redo, and the clipboard.
#include <algorithm>
#include <limits>
#include <optional>

#include "platform/ui/clipboard.h"
#include "platform/text/linux/text_engine.h"

namespace platform::text {

bool TextEngine::InsertText(std::u16string_view raw, UndoKind kind, bool undoable) {
  std::u16string text = NormalizeInput(raw, !Multiline());
  const TextPos start = SelStart();
  const TextPos length = SelEnd() - start;
  const TextPos room = std::max<TextPos>(0, MaxLength() - (doc_.Length() - length));
  bool cut = false;
  if (static_cast<std::size_t>(room) < text.size()) {
    TextPos keep = room;
    // Never keep half of a surrogate pair.
    if (keep > 0 && IsHighSurrogate(text[static_cast<std::size_t>(keep) - 1])) --keep;
    text.resize(static_cast<std::size_t>(keep));
    cut = true;
  }
  const bool changed = !text.empty() || length > 0;
  if (changed) {
    // The old selection lay within the replaced text, whose lines are redrawn anyway.
    ReplaceRange(start, length, text, kind, undoable ? UndoMode::kRecord : UndoMode::kClear);
    anchor_ = caret_ = start + static_cast<TextPos>(text.size());
    desired_x_ = -1;
    UpdateCaret();
  }
  if (cut && host_) host_->TxNotify(EN_MAXTEXT, nullptr);
  if (changed) {
    NotifyChange();
    NotifySelectionChange();
  }
  return changed;
}

void TextEngine::ReplaceRange(TextPos pos, TextPos length, std::u16string_view text, UndoKind kind, UndoMode mode) {
  UndoStep step;
  if (mode == UndoMode::kRecord) {
    step = UndoStep{pos, static_cast<TextPos>(text.size()), std::u16string(doc_.Slice(pos, length)), anchor_, caret_,
                    kind};
  }
  const TextPos lines_before = layout_.LineCount();
  const ParagraphSplice splice = doc_.Replace(pos, length, text);
  layout_.ParagraphsChanged(splice);
  if (mode == UndoMode::kRecord) {
    undo_.Record(std::move(step));
  } else if (mode == UndoMode::kClear) {
    // Remembered positions would no longer match the text.
    undo_.Clear();
  }
  modified_ = true;

  // Redraw what moved: the changed lines, or everything below them when lines came or
  // went (a wrapped paragraph may also pull words back onto the line before).
  TextPos first = layout_.LineOfPosition(pos);
  if (layout_.Wraps() && first > 0) --first;
  const bool same_lines = !layout_.Wraps() && splice.added == splice.removed && layout_.LineCount() == lines_before;
  InvalidateLines(first, same_lines ? splice.first + splice.added - 1 : std::numeric_limits<TextPos>::max());
  ScrollTo(scroll_x_, scroll_y_);
  ReportScrollRanges(false);
}

void TextEngine::SetAllText(std::u16string_view raw) {
  std::u16string text = NormalizeInput(raw, !Multiline());
  const TextPos length = doc_.Length();
  pending_high_ = 0;
  if (length > 0 || !text.empty()) ReplaceRange(0, length, text, UndoKind::kOther, UndoMode::kClear);
  undo_.Clear();
  modified_ = false;
  anchor_ = caret_ = 0;
  desired_x_ = -1;
  scroll_x_ = scroll_y_ = 0;
  ScrollTo(0, 0);
  InvalidateView();
  ReportScrollRanges(false);
  UpdateCaret();
  NotifyChange();
}

void TextEngine::DeleteBackward(bool word) {
  if (ReadOnly()) return;
  if (HasSelection()) {
    InsertText(u"", UndoKind::kOther, true);
    return;
  }
  const TextPos from = word ? WordStartBefore(caret_) : doc_.PreviousPosition(caret_);
  if (from >= caret_) return;
  anchor_ = from;
  InsertText(u"", word ? UndoKind::kOther : UndoKind::kBackspace, true);
}

void TextEngine::DeleteForward(bool word) {
  if (ReadOnly()) return;
  if (HasSelection()) {
    InsertText(u"", UndoKind::kOther, true);
    return;
  }
  const TextPos to = word ? WordEndAfter(caret_) : doc_.NextPosition(caret_);
  if (to <= caret_) return;
  anchor_ = to;
  InsertText(u"", word ? UndoKind::kOther : UndoKind::kDelete, true);
}

void TextEngine::ApplyUndoStep(bool redo) {
  std::optional<UndoStep> step = redo ? undo_.TakeRedo() : undo_.TakeUndo();
  if (!step) return;
  const TextPos length = doc_.Length();
  const TextPos pos = std::clamp<TextPos>(step->pos, 0, length);
  const TextPos inserted = std::clamp<TextPos>(step->inserted, 0, length - pos);
  UndoStep reverse{pos, static_cast<TextPos>(step->removed.size()), std::u16string(doc_.Slice(pos, inserted)), anchor_,
                   caret_, UndoKind::kOther};
  const TextPos old_start = SelStart();
  const TextPos old_end = SelEnd();
  // The reverse of the step lands on the other stack.
  ReplaceRange(pos, inserted, step->removed, UndoKind::kOther, UndoMode::kKeep);
  if (redo) {
    undo_.PushUndo(std::move(reverse));
  } else {
    undo_.PushRedo(std::move(reverse));
  }
  // Undo gives back the selection the change started from; redo selects what it put back.
  if (!redo) {
    anchor_ = doc_.Snap(step->sel_anchor);
    caret_ = doc_.Snap(step->sel_active);
  } else {
    anchor_ = caret_ = pos + static_cast<TextPos>(step->removed.size());
  }
  desired_x_ = -1;
  InvalidateSelectionChange(old_start, old_end);
  ScrollCaretIntoView();
  UpdateCaret();
  NotifyChange();
  NotifySelectionChange();
}

bool TextEngine::Copy() {
  if (!HasSelection() || Password()) return false;
  return SetClipboardText(WithCrLf(doc_.Slice(SelStart(), SelEnd() - SelStart())));
}

bool TextEngine::Cut() {
  if (ReadOnly() || !HasSelection() || Password()) return false;
  if (!Copy()) return false;
  InsertText(u"", UndoKind::kOther, true);
  ScrollCaretIntoView();
  return true;
}

bool TextEngine::Paste() {
  if (ReadOnly()) return false;
  std::optional<std::u16string> text = GetClipboardText();
  if (!text) return false;
  undo_.CloseMerging();
  const bool changed = InsertText(*text, UndoKind::kOther, true);
  ScrollCaretIntoView();
  return changed;
}

void TextEngine::NotifyChange() {
  if (!host_) return;
  if (event_mask_ & ENM_UPDATE) host_->TxNotify(EN_UPDATE, nullptr);
  if (event_mask_ & ENM_CHANGE) host_->TxNotify(EN_CHANGE, nullptr);
}

}  // namespace platform::text
