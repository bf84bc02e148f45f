// Internal to the window layer: everything that talks to SDL's video subsystem.
// Called on the windowing thread only, except PushWakeup.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/linux/window_system.h"
#include "platform/ui/linux/x11_roles.h"

namespace platform::detail::video {

bool Ready();
// True when the driver delivers events from a display (x11, wayland): the windowing
// thread then waits in SDL; otherwise (offscreen) it waits on its own queue.
bool HasEventSource();
void PushWakeup();

SDL_Window* CreateNativeWindow(const RECT& rect, DWORD ex_style, x11::Roles::Kind kind);
void DestroyNativeWindow(SDL_Window* window);
std::uint32_t NativeId(SDL_Window* window);
void ShowNative(SDL_Window* window, bool visible);
void MoveNative(SDL_Window* window, const RECT& rect);
void RaiseNative(SDL_Window* window);
void MinimizeNative(SDL_Window* window);
void RestoreNative(SDL_Window* window);
void SetNativeTitle(SDL_Window* window, const std::u16string& title);
// The window's icons, every size of both (the big one first).
void SetNativeIcons(SDL_Window* window, HICON big, HICON small);
// What the window manager is told of the window: before it is mapped, or while it is.
void ApplyNativeRoles(SDL_Window* window, const x11::Roles& roles, bool mapped);
void SetNativeOpacity(SDL_Window* window, BYTE alpha);

// Copies `rect` (client coordinates) of the window's store to the screen.
void Present(Window& top, const RECT& rect);
// Inverts the colours shown in `rect` (the caret) and updates the screen there.
void InvertOnScreen(Window& top, const RECT& rect, bool update_screen);
void CaptureMouse(bool capture);
// What the screen shows of the window, in premultiplied BGRA (alpha 255 where the
// screen has none).
std::vector<std::uint32_t> ReadScreen(Window& top, int* width, int* height);

// Reads every pending display event, turning input into raw input of `self` and
// window events into messages.
void PumpEvents(ThreadState& self);
// Blocks until a display event or a wakeup arrives, or the timeout (ms; -1: none).
void WaitForEvents(int timeout_ms);

void ApplyCursor(HCURSOR cursor);
void SetTextInputArea(const RECT& screen_rect);
std::optional<POINT> GlobalPointer();

struct Display {
  RECT bounds{};
  RECT work{};
};
std::vector<Display> Displays();

bool SetClipboard(const std::string& utf8);
std::optional<std::string> GetClipboard();
bool HasClipboard();

}  // namespace platform::detail::video

namespace platform::detail {

// The role of a top-level window for the window manager, from its platform styles and
// owner: an owned window is a dialog, modal while its owner is disabled; a
// non-activating top-most tool pop-up is a menu when owned, else a tooltip; a tool
// window, or an owned one, has no taskbar button unless it is an application window.
x11::Roles::Kind KindOf(DWORD style, DWORD ex_style, bool owned);
x11::Roles RolesOf(HWND hwnd);
// Tells the window manager again after the window's styles or its owner's state changed.
void RefreshRoles(HWND hwnd);

}  // namespace platform::detail
