// Internal to the window layer: layout and drawing of the message box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

namespace platform::detail {

enum class BoxIcon { kNone, kError, kQuestion, kWarning, kInformation };

struct BoxButton {
  int id = 0;
  std::u16string label;
  RECT rect{};
};

struct BoxLayout {
  SIZE size{};
  RECT caption{};  // the strip that drags the box
  RECT icon{};
  RECT text{};
  std::vector<BoxButton> buttons;
};

struct BoxLook {
  int focused = 0;  // index into the buttons
  int hot = -1;     // under the pointer
  int pressed = -1;
};

BoxIcon IconOfType(UINT type);
std::vector<BoxButton> ButtonsOfType(UINT type);
// Measures the text and places everything; the text wraps at a fixed width.
BoxLayout LayOutBox(const std::u16string& caption, const std::u16string& text, BoxIcon icon,
                    std::vector<BoxButton> buttons);
// Draws the whole box into premultiplied BGRA pixels of layout.size.
std::vector<std::uint32_t> DrawBox(const BoxLayout& layout, const std::u16string& caption, const std::u16string& text,
                                   BoxIcon icon, const BoxLook& look);

}  // namespace platform::detail
