#include "platform/ui/clipboard.h"

#include "platform/ui/linux/sdl_video.h"
#include "platform/base/utf.h"
#include "platform/ui/windowing.h"

namespace platform {

bool SetClipboardText(std::u16string_view text) {
  if (!IsWindowingThread()) return false;
  // The clipboard carries C strings: text ends at its first NUL, as CF_UNICODETEXT does.
  std::u16string_view until_nul = text.substr(0, text.find(u'\0'));
  return detail::video::SetClipboard(Utf16ToUtf8(until_nul));
}

std::optional<std::u16string> GetClipboardText() {
  if (!IsWindowingThread()) return std::nullopt;
  auto text = detail::video::GetClipboard();
  if (!text) return std::nullopt;
  return Utf8ToUtf16(*text);
}

bool HasClipboardText() { return IsWindowingThread() && detail::video::HasClipboard(); }

}  // namespace platform
