#include "platform/text/linux/text_undo.h"

#include <utility>

namespace platform::text {

void UndoHistory::Record(UndoStep step) {
  redo_.clear();
  if (limit_ == 0) return;
  if (merge_open_ && step.kind != UndoKind::kOther && Merge(step)) return;
  merge_open_ = step.kind != UndoKind::kOther;
  undo_.push_back(std::move(step));
  Trim();
}

bool UndoHistory::Merge(const UndoStep& step) {
  if (undo_.empty()) return false;
  UndoStep& last = undo_.back();
  if (last.kind != step.kind) return false;
  switch (step.kind) {
    case UndoKind::kTyping:
      if (!step.removed.empty() || last.pos + last.inserted != step.pos) return false;
      last.inserted += step.inserted;
      return true;
    case UndoKind::kBackspace:
      if (step.inserted != 0 || last.inserted != 0 ||
          step.pos + static_cast<TextPos>(step.removed.size()) != last.pos) {
        return false;
      }
      last.pos = step.pos;
      last.removed.insert(0, step.removed);
      return true;
    case UndoKind::kDelete:
      if (step.inserted != 0 || last.inserted != 0 || step.pos != last.pos) return false;
      last.removed += step.removed;
      return true;
    case UndoKind::kOther:
      return false;
  }
  return false;
}

std::optional<UndoStep> UndoHistory::TakeUndo() {
  merge_open_ = false;
  if (undo_.empty()) return std::nullopt;
  UndoStep step = std::move(undo_.back());
  undo_.pop_back();
  return step;
}

std::optional<UndoStep> UndoHistory::TakeRedo() {
  merge_open_ = false;
  if (redo_.empty()) return std::nullopt;
  UndoStep step = std::move(redo_.back());
  redo_.pop_back();
  return step;
}

void UndoHistory::PushUndo(UndoStep step) {
  undo_.push_back(std::move(step));
  Trim();
}

void UndoHistory::PushRedo(UndoStep step) {
  redo_.push_back(std::move(step));
  while (redo_.size() > limit_) redo_.pop_front();
}

void UndoHistory::Clear() {
  undo_.clear();
  redo_.clear();
  merge_open_ = false;
}

void UndoHistory::SetLimit(std::size_t limit) {
  limit_ = limit;
  Trim();
  while (redo_.size() > limit_) redo_.pop_front();
}

void UndoHistory::Trim() {
  while (undo_.size() > limit_) undo_.pop_front();
}

}  // namespace platform::text
