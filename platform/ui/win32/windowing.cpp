// The platform's windowing needs no set-up; the windowing thread is the first one that
// asks for it (or makes a window through the layer).
#include "platform/ui/windowing.h"

#include <shobjidl.h>

#include <atomic>

#include "platform/base/win_types.h"

namespace platform {
namespace {
std::atomic<DWORD> windowing_thread{0};
}  // namespace

bool InitWindowing() {
  DWORD expected = 0;
  const DWORD self = ::GetCurrentThreadId();
  return windowing_thread.compare_exchange_strong(expected, self) || expected == self;
}

bool IsWindowingThread() { return windowing_thread.load() == ::GetCurrentThreadId(); }

std::string VideoDriverName() { return windowing_thread.load() != 0 ? "win32" : ""; }

HRESULT SetCurrentProcessExplicitAppUserModelID(const char16_t* id) {
  return ::SetCurrentProcessExplicitAppUserModelID(reinterpret_cast<const wchar_t*>(id));
}

// Windows has no display to open: a scale of one, and set-up never fails for want of one.
int WindowScale() { return 1; }
std::string WindowingError() { return {}; }

}  // namespace platform
