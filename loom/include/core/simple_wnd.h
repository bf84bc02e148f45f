// CSimpleWnd: binds one native window to one object. The window's messages go to the
// object's message map (ProcessWindowMessage); what the map leaves alone goes to the
// procedure the binding replaced. The binding begins with the window's first message
// and ends once the outermost message after WM_NCDESTROY has returned, so a message
// sent to the window from inside its own WM_NCDESTROY handling still arrives.
//
// Message maps follow one convention in every window class:
//
//   BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result,
//                             DWORD map_id) override {
//     if (map_id != 0) return FALSE;            // alternate maps: none here
//     switch (msg) {
//       case WM_CLOSE: return RunHandler(result, [&] { OnClose(); return 0; });
//     }
//     return ChainMessageMap<Base>(hwnd, msg, wp, lp, result, map_id);
//   }
//
// RunHandler() sets the handled flag before calling the handler, which may clear it with
// SetWindowMsgHandled(false) to let the message go on; ChainMessageMap() saves and restores
// the flag around the base class's map.
//
// CSimpleWndHelper is the per-application companion: it registers the one window class
// of every toolkit window and keeps the table from window handles to their objects.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "core/singleton.h"
#include "platform/ui/message_queue.h"
#include "platform/toolkit/module_resources.h"
#include "platform/ui/window.h"

namespace LOOM {

class CSimpleWnd {
 public:
  CSimpleWnd() = default;
  // A window still bound when its object goes away is destroyed first, so that no
  // message ever reaches a dead object.
  virtual ~CSimpleWnd();
  CSimpleWnd(const CSimpleWnd&) = delete;
  CSimpleWnd& operator=(const CSimpleWnd&) = delete;

  // Creates a window of the toolkit's class bound to this object. nullptr when the
  // window cannot be created (or this object is already bound).
  HWND Create(std::u16string_view window_name, DWORD style, DWORD ex_style, int x, int y, int width, int height,
              HWND parent, void* create_param = nullptr);
  // Binds an existing window of this thread: its procedure is replaced, the old one
  // becomes the default procedure. False leaves the window as it was.
  bool SubclassWindow(HWND hwnd);

  HWND NativeHandle() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ != nullptr && platform::IsWindow(hwnd_); }

  // The procedure the binding replaced: the platform's default for windows made by
  // Create, the old procedure for subclassed ones.
  LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp);
  // The same for the message being handled.
  LRESULT DefWindowProc();

  // Centres the window on the reference window (nullptr: parent, owner or active
  // window) within the reference's work area; see simple_wnd_util.cpp.
  bool CenterWindow(HWND reference = nullptr);
  // new = (old & ~remove) | add. False when nothing changes. With position flags the
  // frame is refreshed (flags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE).
  bool ModifyStyle(DWORD remove, DWORD add, UINT swp_flags = 0);
  bool ModifyStyleEx(DWORD remove, DWORD add, UINT swp_flags = 0);

  // Passes the notifications of a native child window back to that child as the same
  // message plus OCM__BASE. With ctlcolor_zero_unhandled, a WM_CTLCOLOR* answered 0
  // counts as not handled (the hosts' variant).
  BOOL ReflectNotifications(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, bool ctlcolor_zero_unhandled = false);
  // The child side: answers a reflected notification with the platform default of the
  // original message. False for anything else.
  BOOL DefaultReflectionHandler(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // Sends the notification messages unchanged to the parent window.
  BOOL ForwardNotifications(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

  // The message being handled, or nullptr between messages.
  const MSG* CurrentMessage() const;
  bool IsWindowMsgHandled() const;
  void SetWindowMsgHandled(bool handled);

  // Thin conveniences over the platform calls on the bound window.
  DWORD WindowStyle() const;
  DWORD WindowExStyle() const;
  LRESULT SendWindowMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;
  bool PostWindowMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;
  bool ShowWindow(int command) const;
  bool DestroyWindow();
  RECT WindowClientRect() const;
  RECT WindowRect() const;

  // The message map: true when the message was handled, its answer in result.
  virtual BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id);

 protected:
  // Called once the binding has ended (the window is gone); the object may be reused.
  virtual void OnFinalMessage(HWND hwnd);

  // Runs a handler with the handled flag set; answers the flag as the handler left it.
  template <class Fn>
  BOOL RunHandler(LRESULT& result, Fn&& handler) {
    SetWindowMsgHandled(true);
    if constexpr (std::is_void_v<decltype(handler())>) {
      handler();
      result = 0;
    } else {
      result = static_cast<LRESULT>(handler());
    }
    return IsWindowMsgHandled() ? TRUE : FALSE;
  }
  // The base class's map, with the handled flag kept as it was.
  template <class Base>
  BOOL ChainMessageMap(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) {
    bool saved = IsWindowMsgHandled();
    BOOL handled = static_cast<Base*>(this)->Base::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id);
    SetWindowMsgHandled(saved);
    return handled;
  }

 private:
  friend class CSimpleWndHelper;
  // One message being handled; nested messages form a chain through previous.
  struct MessageRecord {
    MSG msg;
    bool handled;
    const MessageRecord* previous;
  };

  static LRESULT CommonWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // Forgets the window; the helper's table entry goes with it.
  void EndBinding();

  HWND hwnd_ = nullptr;
  MessageRecord* current_ = nullptr;
  WNDPROC previous_proc_ = nullptr;
  bool destroyed_ = false;
};

class CSimpleWndHelper : public SSingleton<CSimpleWndHelper> {
 public:
  // Registers the toolkit's window class (arrow cursor, CS_DBLCLKS; with the input
  // method also CS_HREDRAW, CS_VREDRAW and CS_IME).
  CSimpleWndHelper(HINSTANCE instance, std::u16string_view class_name, bool enable_ime);
  ~CSimpleWndHelper();

  const std::u16string& ClassName() const { return class_name_; }
  ATOM ClassAtom() const { return atom_; }
  HINSTANCE ModuleInstance() const { return instance_; }
  // The object bound to a window, or nullptr.
  CSimpleWnd* ObjectOf(HWND hwnd) const;

 private:
  friend class CSimpleWnd;
  static LRESULT StartWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Bind(HWND hwnd, CSimpleWnd* object);
  void Unbind(HWND hwnd);

  HINSTANCE instance_;
  std::u16string class_name_;
  ATOM atom_ = 0;
  // Held from recording the object being created until the creation call returns, so
  // the start procedure finds the right object whatever other threads create. It is
  // recursive: a window may create another while it is being created.
  std::recursive_mutex creation_lock_;
  CSimpleWnd* creating_ = nullptr;
  mutable std::mutex table_lock_;
  std::unordered_map<HWND, CSimpleWnd*> bound_;
};

}  // namespace LOOM
