// The platform message box: a caption, an icon, a text and OK, OK/Cancel or Yes/No
// buttons, usable before any toolkit object exists: on Windows MessageBoxW itself, on
// Linux drawn by the layer (cairo and pango). Modal over its owner: the owner is disabled while it runs and
// active again afterwards. Enter chooses the focused button (at first the first one),
// Esc and closing the box answer No (Yes/No), Cancel (OK/Cancel) or OK (OK alone);
// Tab and the arrow keys move between the buttons, Y and N choose Yes and No.
#pragma once

#include <string>

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

namespace platform {

// Answers IDOK, IDCANCEL, IDYES or IDNO. Without a display (or off the windowing
// thread) the caption and text go to standard error and the box answers as Esc does.
// A WM_QUIT that arrives while the box runs ends it the same way and is posted again.
int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type);

namespace test {
// The message box this thread shows now, or nullptr; and a button's rectangle in the
// box's client coordinates (empty when the box has no such button).
HWND CurrentMessageBox();
RECT MessageBoxButtonRect(HWND box, int id);
// The text a message box shows (empty for another window).
std::u16string MessageBoxText(HWND box);
}  // namespace test

}  // namespace platform
