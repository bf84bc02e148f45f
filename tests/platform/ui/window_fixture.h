// A window class that records every message it receives, and a fixture that makes
// such windows on the windowing thread and cleans up after each test.
#pragma once

#include <cstdlib>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/paint.h"
#include "platform/testing/test_input.h"
#include "platform/ui/timer.h"
#include "platform/ui/window.h"
#include "platform/base/wide_text.h"
#include "platform/ui/windowing.h"

namespace window_test {

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

inline std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}

inline std::map<HWND, Handler>& Handlers() {
  static std::map<HWND, Handler> handlers;
  return handlers;
}

inline LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Log().push_back(Seen{hwnd, message, wparam, lparam});
  auto it = Handlers().find(hwnd);
  if (it != Handlers().end()) {
    Handler handler = it->second;  // a copy: the handler may replace itself
    if (auto answer = handler(hwnd, message, wparam, lparam)) return *answer;
  }
  return platform::DefWindowProcW(hwnd, message, wparam, lparam);
}

inline constexpr char16_t kClassName[] = u"RecordingWindow";
// IDC_ARROW and IDC_HAND as numbers: the platform's macro is a resource pointer on Windows.
inline constexpr int kArrowCursorId = 32512;
inline constexpr int kHandCursorId = 32649;  // IDC_HAND

inline void RegisterRecordingClass() {
  static bool done = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = RecordingProc;
    wc.hCursor = platform::LoadSystemCursor(kArrowCursorId);
    wc.lpszClassName = AsWideText(kClassName);
    return platform::RegisterClassExW(&wc) != 0;
  }();
  ASSERT_TRUE(done);
}

// Messages of one window in the order received, optionally only those listed.
inline std::vector<UINT> MessagesOf(HWND hwnd, std::initializer_list<UINT> only = {}) {
  std::vector<UINT> out;
  for (const Seen& seen : Log()) {
    if (seen.hwnd != hwnd) continue;
    if (only.size() != 0 && std::find(only.begin(), only.end(), seen.message) == only.end()) continue;
    out.push_back(seen.message);
  }
  return out;
}

inline std::vector<Seen> Received(HWND hwnd, UINT message) {
  std::vector<Seen> out;
  for (const Seen& seen : Log()) {
    if (seen.hwnd == hwnd && seen.message == message) out.push_back(seen);
  }
  return out;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitWindowing());
    RegisterRecordingClass();
    Log().clear();
    Handlers().clear();
  }

  void TearDown() override {
    for (HWND hwnd : made_) {
      if (platform::IsWindow(hwnd)) platform::DestroyWindow(hwnd);
    }
    Handlers().clear();
    platform::ReleaseCapture();
    platform::test::DrainMessages();
    MSG quit;
    while (platform::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    Log().clear();
  }

  HWND Make(DWORD style = WS_POPUP, DWORD ex_style = 0, RECT rect = {100, 80, 300, 230}, HWND owner = nullptr,
            const char16_t* title = u"test") {
    HWND hwnd = platform::CreateWindowExW(ex_style, kClassName, title, style, rect.left, rect.top,
                                          rect.right - rect.left, rect.bottom - rect.top, owner, nullptr, nullptr,
                                          nullptr);
    if (hwnd != nullptr) made_.push_back(hwnd);
    return hwnd;
  }

  HWND MakeShown(RECT rect = {100, 80, 300, 230}, HWND owner = nullptr, DWORD ex_style = 0) {
    HWND hwnd = Make(WS_POPUP | WS_VISIBLE, ex_style, rect, owner);
    platform::test::DrainMessages();
    return hwnd;
  }

  void On(HWND hwnd, Handler handler) { Handlers()[hwnd] = std::move(handler); }

  std::vector<HWND> made_;
};

// Windows on a real X server (the suite's Xvfb): skipped without one.
class XServerTest : public WindowTest {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X server";
    WindowTest::SetUp();
    ASSERT_EQ(platform::VideoDriverName(), "x11");
  }
  void TearDown() override {
    if (std::getenv("DISPLAY") != nullptr) WindowTest::TearDown();
  }
};

}  // namespace window_test
