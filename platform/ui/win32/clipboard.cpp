// Text on the clipboard (CF_UNICODETEXT).
#include "platform/ui/clipboard.h"

#include <cstring>

#include "platform/base/win_types.h"

namespace platform {
namespace {

// The clipboard is open for the life of the scope.
class OpenedClipboard {
 public:
  OpenedClipboard() : open_(::OpenClipboard(nullptr) != FALSE) {}
  ~OpenedClipboard() {
    if (open_) ::CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

}  // namespace

bool SetClipboardText(std::u16string_view text) {
  OpenedClipboard clipboard;
  if (!clipboard.open() || !::EmptyClipboard()) return false;
  const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!block) return false;
  void* memory = ::GlobalLock(block);
  if (!memory) {
    ::GlobalFree(block);
    return false;
  }
  std::memcpy(memory, text.data(), text.size() * sizeof(char16_t));
  static_cast<char16_t*>(memory)[text.size()] = u'\0';
  ::GlobalUnlock(block);
  if (!::SetClipboardData(CF_UNICODETEXT, block)) {
    ::GlobalFree(block);  // still ours: the clipboard did not take it
    return false;
  }
  return true;
}

std::optional<std::u16string> GetClipboardText() {
  OpenedClipboard clipboard;
  if (!clipboard.open()) return std::nullopt;
  HANDLE block = ::GetClipboardData(CF_UNICODETEXT);
  if (!block) return std::nullopt;
  const auto* memory = static_cast<const char16_t*>(::GlobalLock(block));
  if (!memory) return std::nullopt;
  // The text ends at its terminator, or at the end of the block, whichever comes first.
  const std::size_t units = ::GlobalSize(block) / sizeof(char16_t);
  std::size_t length = 0;
  while (length < units && memory[length] != u'\0') ++length;
  std::u16string text(memory, length);
  ::GlobalUnlock(block);
  return text;
}

bool HasClipboardText() { return ::IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; }

}  // namespace platform
