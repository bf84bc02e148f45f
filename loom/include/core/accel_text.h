// Key combinations written as text ("ctrl+shift+f5", "alt+x", "num 3"), as buttons take
// them from their "accel" attribute and from an "(&X)" mark in their text.
#pragma once

#include <string_view>

#include "core/focus_manager.h"

namespace LOOM {

// Longest accelerator text accepted (in characters, exclusive).
inline constexpr std::size_t kMaxAccelTextLength = 100;

// The code of a key combination: (modifiers << 16) | key code, modifiers Alt 1, Ctrl 2,
// Shift 4. Parts are split at "+" and compared without regard to case; the first part
// that is not a modifier names the key. Unknown keys give key 0; an empty text or one
// of kMaxAccelTextLength characters or more gives 0.
DWORD ParseAcceleratorText(std::u16string_view text);

// The key code of one key name ("esc", "f5", "a", "num 3", ...); 0 when unknown.
WORD KeyCodeOfName(std::u16string_view name);

inline SAccelerator AcceleratorOfCode(DWORD code) {
  return {static_cast<WORD>(code & 0xFFFF), static_cast<WORD>(code >> 16)};
}

// The character of an "(&X)" mark closing a text ("Open(&O)" gives 'O'), or 0: the
// text ends with ")" and its last "(" is followed by "&" and a character other than
// that closing ")".
char16_t AcceleratorMarkOf(std::u16string_view text);

}  // namespace LOOM
