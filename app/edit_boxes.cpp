#include "app/edit_boxes.h"

#include "core/rich_edit.h"
#include "platform/text_defs.h"

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
  // EM_SETSEL directly: the box's own range packing holds 16-bit positions only.
  const LONG end = edit_->TextLength();
  edit_->SendElementMessage(EM_SETSEL, static_cast<WPARAM>(end), end);
  edit_->ReplaceSelection(text, false);
  // The box holds the position within its range: -1 shows the first lines.
  edit_->ScrollTo(true, -1, false);
}

void StatusLog::Clear() {
  if (edit_ != nullptr) edit_->SetWindowText(u"");
}

std::u16string StatusLog::Text() const { return edit_ != nullptr ? edit_->GetWindowText() : std::u16string(); }

}  // namespace krdn::app
