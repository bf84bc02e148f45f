#include "app/edit_boxes.h"

#include "core/rich_edit.h"
#include "platform/text/text_defs.h"

namespace krdn::app {

DirectoryBox::DirectoryBox(LOOM::SWindow* edit) : edit_(dynamic_cast<LOOM::SRichEdit*>(edit)) {}

void DirectoryBox::SetText(std::u16string_view text) {
  if (edit_ != nullptr) edit_->SetWindowText(text);
}

std::u16string DirectoryBox::Text() const { return edit_ != nullptr ? edit_->GetWindowText() : std::u16string(); }

StatusLog::StatusLog(LOOM::SWindow* edit) : edit_(dynamic_cast<LOOM::SRichEdit*>(edit)) {}

void StatusLog::MakeReadOnlyLog() {
  if (edit_ == nullptr) return;
  edit_->SetReadOnly(true);
  edit_->SetTextLimit(0x7FFFFFFF);
}

void StatusLog::Append(std::u16string_view text) {
  if (edit_ == nullptr) return;
  // The view can only be above where the last append left it if the user scrolled up
  // (appending never moves it); at or below it they are at the end.
  const bool follow = ViewOffset() >= followed_offset_;
  // EM_SETSEL directly: the box's own range packing holds 16-bit positions only.
  const LONG end = edit_->TextLength();
  edit_->SendElementMessage(EM_SETSEL, static_cast<WPARAM>(end), end);
  edit_->ReplaceSelection(text, false);
  // The box shows no scroll bars, so its own scroll record stays at zero: the engine is
  // asked to go to its end directly.
  if (follow) {
    edit_->SendElementMessage(WM_VSCROLL, SB_BOTTOM, 0);
    followed_offset_ = ViewOffset();
  }
}

bool StatusLog::AppendLater(std::u16string_view text) {
  const bool first = waiting_.empty();
  waiting_.append(text);
  return first && !waiting_.empty();
}

void StatusLog::AppendWaiting() {
  if (waiting_.empty()) return;
  const std::u16string text = std::move(waiting_);
  waiting_.clear();
  Append(text);
}

void StatusLog::Clear() {
  waiting_.clear();
  if (edit_ != nullptr) edit_->SetWindowText(u"");
  followed_offset_ = 0;
}

int StatusLog::ViewOffset() const {
  if (edit_ == nullptr) return 0;
  POINT scrolled{};
  edit_->SendElementMessage(EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scrolled));
  return scrolled.y;
}

std::u16string StatusLog::Text() const {
  return (edit_ != nullptr ? edit_->GetWindowText() : std::u16string()) + waiting_;
}

}  // namespace krdn::app
