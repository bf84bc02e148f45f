// The clipboard, for text (the platform's CF_UNICODETEXT). Used on the windowing
// thread; elsewhere every call fails.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool SetClipboardText(std::u16string_view text);
std::optional<std::u16string> GetClipboardText();  // nullopt: no text on the clipboard
bool HasClipboardText();

}  // namespace platform
