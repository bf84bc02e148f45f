// Set-up of the windowing system (SDL2 video). The first thread that creates a
// window on screen (or calls InitWindowing) becomes the windowing thread: it owns
// every on-screen window, and its message loop reads the display's events. The
// video driver is SDL's choice, or SDL_VIDEODRIVER (tests use "offscreen").
#pragma once

#include <string>

namespace platform {

// Idempotent; false when no video driver can be opened or when called on a thread
// other than the windowing thread.
bool InitWindowing();
bool IsWindowingThread();
// "x11", "wayland", "offscreen", ...; empty before InitWindowing.
std::string VideoDriverName();

}  // namespace platform
