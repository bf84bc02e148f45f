// EWMH and ICCCM properties of our X windows, through the display SDL opened.
#include "platform/ui/linux/x11_roles.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

namespace platform::detail::x11 {
namespace {

struct Native {
  Display* display = nullptr;
  ::Window window = 0;
};

Native NativeOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return {};
  return {info.info.x11.display, info.info.x11.window};
}

Atom AtomOf(Display* display, const char* name) { return XInternAtom(display, name, False); }

// The window manager changes the state of a mapped window on request (EWMH).
void RequestState(const Native& n, Atom state, bool on) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = n.window;
  event.xclient.message_type = AtomOf(n.display, "_NET_WM_STATE");
  event.xclient.format = 32;
  event.xclient.data.l[0] = on ? 1 : 0;
  event.xclient.data.l[1] = static_cast<long>(state);
  event.xclient.data.l[3] = 1;  // from an application
  XSendEvent(n.display, DefaultRootWindow(n.display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
}

}  // namespace

void ApplyRoles(SDL_Window* window, const Roles& roles, bool mapped) {
  const Native n = NativeOf(window);
  if (n.display == nullptr) return;
  const Native owner = NativeOf(roles.owner);
  if (owner.window != 0) {
    XSetTransientForHint(n.display, n.window, owner.window);
  } else {
    XDeleteProperty(n.display, n.window, XA_WM_TRANSIENT_FOR);
  }
  // Tooltips and menus got their type from SDL when they were made.
  if (!mapped && (roles.kind == Roles::Kind::kNormal || roles.kind == Roles::Kind::kDialog)) {
    Atom type = AtomOf(n.display, roles.kind == Roles::Kind::kDialog ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL");
    XChangeProperty(n.display, n.window, AtomOf(n.display, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
  }
  const std::pair<const char*, bool> states[] = {{"_NET_WM_STATE_SKIP_TASKBAR", roles.skip_taskbar},
                                                 {"_NET_WM_STATE_SKIP_PAGER", roles.skip_taskbar},
                                                 {"_NET_WM_STATE_MODAL", roles.modal},
                                                 {"_NET_WM_STATE_ABOVE", roles.above}};
  if (mapped) {
    for (const auto& [name, on] : states) RequestState(n, AtomOf(n.display, name), on);
  } else {
    std::vector<Atom> set;
    for (const auto& [name, on] : states) {
      if (on) set.push_back(AtomOf(n.display, name));
    }
    XChangeProperty(n.display, n.window, AtomOf(n.display, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(set.data()), static_cast<int>(set.size()));
  }
  XFlush(n.display);
}

void SetClass(SDL_Window* window, const std::string& name) {
  const Native n = NativeOf(window);
  if (n.display == nullptr || name.empty()) return;
  XClassHint hint;
  std::string instance = name, class_name = name;
  hint.res_name = instance.data();
  hint.res_class = class_name.data();
  XSetClassHint(n.display, n.window, &hint);
  XFlush(n.display);
}

void SetIcons(SDL_Window* window, const std::vector<const IconImage*>& images) {
  const Native n = NativeOf(window);
  if (n.display == nullptr) return;
  // Width, height, then ARGB pixels with straight alpha, each in a long (format 32).
  std::vector<unsigned long> data;
  for (const IconImage* image : images) {
    if (image == nullptr || image->pixels.empty()) continue;
    data.push_back(static_cast<unsigned long>(image->width));
    data.push_back(static_cast<unsigned long>(image->height));
    for (std::uint32_t bgra : image->pixels) {
      const std::uint32_t a = bgra >> 24;
      auto straight = [&](int shift) {
        const std::uint32_t c = (bgra >> shift) & 0xFF;
        return a == 0 ? 0u : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
      };
      data.push_back((a << 24) | (straight(16) << 16) | (straight(8) << 8) | straight(0));
    }
  }
  if (data.empty()) return;
  XChangeProperty(n.display, n.window, AtomOf(n.display, "_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
  XFlush(n.display);
}

std::uint64_t WindowId(SDL_Window* window) { return NativeOf(window).window; }

double ResourceScale() {
  // A connection of its own, asked once at start-up: SDL's is reached only through a window.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  double scale = 0;
  if (char* resources = XResourceManagerString(display)) {
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(resources);
    char* type = nullptr;
    XrmValue value{};
    if (database != nullptr && XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) == True &&
        value.addr != nullptr) {
      scale = std::atof(value.addr) / 96.0;
    }
    if (database != nullptr) XrmDestroyDatabase(database);
  }
  XCloseDisplay(display);
  return scale;
}

}  // namespace platform::detail::x11
