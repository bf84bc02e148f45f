#include "app/edit_boxes.h"

#include "core/rich_edit.h"
#include "core/swnd.h"

namespace krdn::app {
namespace {

// The edit engine's messages.
constexpr UINT kSetSel = 0x00B1;          // EM_SETSEL
constexpr UINT kReplaceSel = 0x00C2;      // EM_REPLACESEL
constexpr UINT kSetReadOnly = 0x00CF;     // EM_SETREADONLY
constexpr UINT kExLimitText = WM_USER + 53;  // EM_EXLIMITTEXT
constexpr LPARAM kLargestLimit = 0x7FFFFFFF;

std::u16string TextOf(LOOM::SWindow* edit) {
  if (edit == nullptr) return {};
  const auto length = static_cast<std::size_t>(edit->SendElementMessage(WM_GETTEXTLENGTH));
  std::u16string text(length + 1, u'\0');
  const auto copied = static_cast<std::size_t>(
      edit->SendElementMessage(WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(copied, length));
  return text;
}

void SetTextOf(LOOM::SWindow* edit, std::u16string_view text) {
  if (edit == nullptr) return;
  std::u16string terminated(text);
  edit->SendElementMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(terminated.c_str()));
  edit->MarkDirty();
}

}  // namespace

void DirectoryBox::SetText(std::u16string_view text) { SetTextOf(edit_, text); }
std::u16string DirectoryBox::Text() const { return TextOf(edit_); }

void StatusLog::MakeReadOnlyLog() {
  if (edit_ == nullptr) return;
  edit_->SendElementMessage(kSetReadOnly, 1);
  edit_->SendElementMessage(kExLimitText, 0, kLargestLimit);
}

void StatusLog::Append(std::u16string_view text) {
  if (edit_ == nullptr) return;
  const auto end = edit_->SendElementMessage(WM_GETTEXTLENGTH);
  edit_->SendElementMessage(kSetSel, static_cast<WPARAM>(end), end);
  std::u16string terminated(text);
  edit_->SendElementMessage(kReplaceSel, FALSE, reinterpret_cast<LPARAM>(terminated.c_str()));
  // The box holds the position within its range: -1 shows the first lines.
  if (auto* rich = dynamic_cast<LOOM::SRichEdit*>(edit_)) rich->ScrollTo(true, -1, false);
}

void StatusLog::Clear() { SetTextOf(edit_, u""); }
std::u16string StatusLog::Text() const { return TextOf(edit_); }

}  // namespace krdn::app
