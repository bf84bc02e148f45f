// The platform's message box, and how tests find it and its buttons.
#include "platform/ui/message_box.h"

#include <string_view>

#include "platform/base/wide_text.h"

namespace platform {

int MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, UINT type) {
  return ::MessageBoxW(owner, AsWideText(text), AsWideText(caption), type);
}

namespace test {
namespace {

// The platform's dialog class, which its message box is.
bool IsDialogWindow(HWND hwnd) {
  wchar_t name[16]{};
  return ::GetClassNameW(hwnd, name, 16) > 0 && std::wstring_view(name) == L"#32770";
}

}  // namespace

HWND CurrentMessageBox() {
  HWND found = nullptr;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM out) -> BOOL {
        if (!::IsWindowVisible(hwnd) || !IsDialogWindow(hwnd)) return TRUE;
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

RECT MessageBoxButtonRect(HWND box, int id) {
  HWND button = ::GetDlgItem(box, id);
  RECT rect{};
  if (!button || !::GetWindowRect(button, &rect)) return RECT{};
  ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace test
}  // namespace platform
