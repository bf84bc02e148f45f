// Internal to the window layer: what the X window manager is told of a top-level
// window, in the terms it understands (EWMH and ICCCM), where SDL has no call for it.
// Windows of another video driver (offscreen, wayland) are left alone. Called on the
// windowing thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/icon.h"

struct SDL_Window;

namespace platform::detail::x11 {

// The window's role, from its platform styles and owner (see RolesOf in window_state.cpp).
struct Roles {
  enum class Kind { kNormal, kDialog, kTooltip, kPopupMenu };
  Kind kind = Kind::kNormal;
  SDL_Window* owner = nullptr;  // the window it is transient for
  bool skip_taskbar = false;    // and the pager
  bool modal = false;
  bool above = false;
};

// Before the window is mapped: the type, WM_TRANSIENT_FOR and the whole _NET_WM_STATE.
// While it is mapped: WM_TRANSIENT_FOR and the states, asked of the window manager.
void ApplyRoles(SDL_Window* window, const Roles& roles, bool mapped);
// WM_CLASS (instance and class name) of a new window.
void SetClass(SDL_Window* window, const std::string& name);
// _NET_WM_ICON with every image given (one per size).
void SetIcons(SDL_Window* window, const std::vector<const IconImage*>& images);
// The X window id (0 for a window of another driver).
std::uint64_t WindowId(SDL_Window* window);
// The desktop's scale from the X resources (Xft.dpi / 96), 0 when none is set.
double ResourceScale();

}  // namespace platform::detail::x11
