// Set-up of the windowing system. Linux: SDL2 video; the first thread that creates a
// window on screen (or calls InitWindowing) becomes the windowing thread: it owns
// every on-screen window, and its message loop reads the display's events. The
// video driver is SDL's choice, or SDL_VIDEODRIVER (tests use "offscreen").
// Windows: USER32 needs no set-up; the windowing thread is the one that asked first,
// and the driver's name is "win32".
#pragma once

#include <string>

#include "platform/base/win_types.h"

namespace platform {

// Idempotent; false when no video driver can be opened or when called on a thread
// other than the windowing thread.
bool InitWindowing();
bool IsWindowingThread();
// "x11", "wayland", "offscreen", ...; empty before InitWindowing.
std::string VideoDriverName();
// The name the desktop knows the program by: on Windows its application user model id,
// on Linux the WM_CLASS of every window made afterwards, which the program's desktop
// entry names (StartupWMClass). Without it, the executable's file name.
HRESULT SetCurrentProcessExplicitAppUserModelID(const char16_t* id);

// Screen pixels per pixel of the layer: 2 on a high-density desktop (GDK_SCALE=2, or
// Xft.dpi of 192 and up), else 1. Every coordinate and size the layer hands out, and
// every pixel store, stays at the layer's own pixels; windows are shown enlarged, and
// input is mapped back.
int WindowScale();

// Why InitWindowing failed, in the library's words (for example that no display could
// be opened); empty when it did not fail.
std::string WindowingError();

}  // namespace platform
