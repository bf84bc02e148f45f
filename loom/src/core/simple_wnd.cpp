// Binding native windows to their objects: the helper's window class and handle
// table, creation and subclassing, and the common window procedure.
#include "core/simple_wnd.h"

#include "core/swnd_defs.h"
#include "platform/base/icon.h"
#include "platform/base/wide_text.h"

namespace LOOM {

// ---- the helper ------------------------------------------------------------------------

CSimpleWndHelper::CSimpleWndHelper(HINSTANCE instance, std::u16string_view class_name, bool enable_ime)
    : instance_(instance), class_name_(class_name) {
  RegisterInstance(this);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  if (enable_ime) wc.style |= CS_HREDRAW | CS_VREDRAW | CS_IME;
  wc.lpfnWndProc = &CSimpleWndHelper::StartWindowProc;
  wc.hInstance = instance;
  wc.hCursor = platform::LoadSystemCursor(kIdcArrow);
  wc.lpszClassName = AsWideText(class_name_.c_str());
  atom_ = platform::RegisterClassExW(&wc);
}

CSimpleWndHelper::~CSimpleWndHelper() {
  if (atom_ != 0) platform::UnregisterClassW(class_name_.c_str(), instance_);
}

CSimpleWnd* CSimpleWndHelper::ObjectOf(HWND hwnd) const {
  std::lock_guard lock(table_lock_);
  auto it = bound_.find(hwnd);
  return it == bound_.end() ? nullptr : it->second;
}

void CSimpleWndHelper::Bind(HWND hwnd, CSimpleWnd* object) {
  std::lock_guard lock(table_lock_);
  bound_[hwnd] = object;
}

void CSimpleWndHelper::Unbind(HWND hwnd) {
  std::lock_guard lock(table_lock_);
  bound_.erase(hwnd);
}

// The class procedure: the first message of a new window finds the object recorded by
// Create, binds it and installs the common procedure for every later message.
LRESULT CSimpleWndHelper::StartWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CSimpleWndHelper* helper = Instance();
  CSimpleWnd* object = nullptr;
  if (helper) {
    std::lock_guard lock(helper->creation_lock_);
    object = std::exchange(helper->creating_, nullptr);
  }
  if (!object) return platform::DefWindowProcW(hwnd, msg, wp, lp);
  object->hwnd_ = hwnd;
  object->previous_proc_ = &platform::DefWindowProcW;
  helper->Bind(hwnd, object);
  platform::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSimpleWnd::CommonWindowProc));
  return CSimpleWnd::CommonWindowProc(hwnd, msg, wp, lp);
}

// ---- binding ---------------------------------------------------------------------------

CSimpleWnd::~CSimpleWnd() {
  if (!hwnd_) return;
  HWND hwnd = hwnd_;
  // Messages of the dying window must not reach this half-destroyed object.
  if (CSimpleWndHelper* helper = CSimpleWndHelper::Instance()) helper->Unbind(hwnd);
  if (platform::IsWindow(hwnd)) {
    if (previous_proc_ && previous_proc_ != &platform::DefWindowProcW)
      platform::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc_));
    else
      platform::DestroyWindow(hwnd);
  }
}

HWND CSimpleWnd::Create(std::u16string_view window_name, DWORD style, DWORD ex_style, int x, int y, int width,
                        int height, HWND parent, void* create_param) {
  CSimpleWndHelper* helper = CSimpleWndHelper::Instance();
  if (!helper || helper->atom_ == 0 || hwnd_) return nullptr;
  std::u16string name(window_name);
  HWND hwnd = nullptr;
  {
    std::lock_guard lock(helper->creation_lock_);
    helper->creating_ = this;
    hwnd = platform::CreateWindowExW(ex_style, helper->class_name_.c_str(), name.c_str(), style, x, y, width, height,
                                     parent, nullptr, helper->instance_, create_param);
    // A creation that failed before the first message leaves the record behind.
    if (helper->creating_ == this) helper->creating_ = nullptr;
  }
  return hwnd;
}

bool CSimpleWnd::SubclassWindow(HWND hwnd) {
  CSimpleWndHelper* helper = CSimpleWndHelper::Instance();
  if (!helper || hwnd_ || !platform::IsWindow(hwnd) || helper->ObjectOf(hwnd)) return false;
  if (platform::GetWindowThreadProcessId(hwnd, nullptr) != platform::GetCurrentThreadId()) return false;
  hwnd_ = hwnd;
  helper->Bind(hwnd, this);
  LONG_PTR old = platform::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CommonWindowProc));
  if (old == 0) {
    helper->Unbind(hwnd);
    hwnd_ = nullptr;
    return false;
  }
  previous_proc_ = reinterpret_cast<WNDPROC>(old);
  return true;
}

void CSimpleWnd::EndBinding() {
  HWND hwnd = std::exchange(hwnd_, nullptr);
  if (CSimpleWndHelper* helper = CSimpleWndHelper::Instance()) helper->Unbind(hwnd);
  current_ = nullptr;
  destroyed_ = false;
  previous_proc_ = nullptr;
  OnFinalMessage(hwnd);
}

LRESULT CSimpleWnd::CommonWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CSimpleWndHelper* helper = CSimpleWndHelper::Instance();
  CSimpleWnd* object = helper ? helper->ObjectOf(hwnd) : nullptr;
  if (!object) return platform::DefWindowProcW(hwnd, msg, wp, lp);
  return object->Dispatch(hwnd, msg, wp, lp);
}

LRESULT CSimpleWnd::Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  MSG message{};
  message.hwnd = hwnd;
  message.message = msg;
  message.wParam = wp;
  message.lParam = lp;
  MessageRecord record{message, true, current_};
  current_ = &record;
  LRESULT result = 0;
  BOOL handled = ProcessWindowMessage(hwnd, msg, wp, lp, result, 0);
  if (msg == WM_NCDESTROY) {
    if (!handled) result = platform::CallWindowProcW(previous_proc_, hwnd, msg, wp, lp);
    WNDPROC installed = reinterpret_cast<WNDPROC>(platform::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (previous_proc_ != &platform::DefWindowProcW && installed == &CommonWindowProc)
      platform::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc_));
    // Set whether or not the map handled WM_NCDESTROY: the window is gone either way,
    // and a binding that outlived it would point at a dead handle for ever.
    destroyed_ = true;
  } else if (!handled) {
    result = platform::CallWindowProcW(previous_proc_, hwnd, msg, wp, lp);
  }
  if (destroyed_ && record.previous == nullptr) {
    EndBinding();  // the object may be deleted by its final-message hook
  } else {
    current_ = const_cast<MessageRecord*>(record.previous);
  }
  return result;
}

BOOL CSimpleWnd::ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&, DWORD) { return FALSE; }

void CSimpleWnd::OnFinalMessage(HWND) {}

LRESULT CSimpleWnd::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (!hwnd_) return 0;
  WNDPROC proc = previous_proc_ ? previous_proc_ : &platform::DefWindowProcW;
  return platform::CallWindowProcW(proc, hwnd_, msg, wp, lp);
}

LRESULT CSimpleWnd::DefWindowProc() {
  if (!current_) return 0;
  return DefWindowProc(current_->msg.message, current_->msg.wParam, current_->msg.lParam);
}

const MSG* CSimpleWnd::CurrentMessage() const { return current_ ? &current_->msg : nullptr; }

bool CSimpleWnd::IsWindowMsgHandled() const { return current_ ? current_->handled : false; }

void CSimpleWnd::SetWindowMsgHandled(bool handled) {
  if (current_) current_->handled = handled;
}

// ---- conveniences ----------------------------------------------------------------------

DWORD CSimpleWnd::WindowStyle() const { return static_cast<DWORD>(platform::GetWindowLongPtrW(hwnd_, GWL_STYLE)); }

DWORD CSimpleWnd::WindowExStyle() const { return static_cast<DWORD>(platform::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)); }

LRESULT CSimpleWnd::SendWindowMessage(UINT msg, WPARAM wp, LPARAM lp) const {
  return platform::SendMessageW(hwnd_, msg, wp, lp);
}

bool CSimpleWnd::PostWindowMessage(UINT msg, WPARAM wp, LPARAM lp) const {
  return platform::PostMessageW(hwnd_, msg, wp, lp) != FALSE;
}

bool CSimpleWnd::ShowWindow(int command) const { return platform::ShowWindow(hwnd_, command) != FALSE; }

bool CSimpleWnd::DestroyWindow() { return hwnd_ && platform::DestroyWindow(hwnd_) != FALSE; }

RECT CSimpleWnd::WindowClientRect() const {
  RECT rc{};
  platform::GetClientRect(hwnd_, &rc);
  return rc;
}

RECT CSimpleWnd::WindowRect() const {
  RECT rc{};
  platform::GetWindowRect(hwnd_, &rc);
  return rc;
}

}  // namespace LOOM
