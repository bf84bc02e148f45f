// Undo and redo of an edit box. A step remembers what a change removed and how much it
// inserted, so applying it replaces the inserted text by the removed one; applying a
// step yields the step that reverses it. Typing, Backspace and Delete merge runs of
// single characters into one step, as an editor's user expects.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "platform/text/linux/text_document.h"

namespace platform::text {

enum class UndoKind { kOther, kTyping, kBackspace, kDelete };

struct UndoStep {
  TextPos pos = 0;
  TextPos inserted = 0;      // code units the change put at pos
  std::u16string removed;    // what it took away from pos
  TextPos sel_anchor = 0;    // the selection before the change
  TextPos sel_active = 0;
  UndoKind kind = UndoKind::kOther;
};

class UndoHistory {
 public:
  static constexpr std::size_t kDefaultLimit = 100;

  // A new change: merged into the last step when both are of one kind and adjacent
  // while merging is open; clears what could be redone.
  void Record(UndoStep step);
  // Ends merging: the next change starts a step of its own (caret moved, selection
  // changed, another kind of edit).
  void CloseMerging() { merge_open_ = false; }

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  std::optional<UndoStep> TakeUndo();
  std::optional<UndoStep> TakeRedo();
  // The reverse of an applied step goes on the other stack.
  void PushUndo(UndoStep step);
  void PushRedo(UndoStep step);

  void Clear();
  // 0 turns undo off.
  void SetLimit(std::size_t limit);
  std::size_t Limit() const { return limit_; }

 private:
  bool Merge(const UndoStep& step);
  void Trim();

  std::deque<UndoStep> undo_;
  std::deque<UndoStep> redo_;
  std::size_t limit_ = kDefaultLimit;
  bool merge_open_ = false;
};

}  // namespace platform::text
