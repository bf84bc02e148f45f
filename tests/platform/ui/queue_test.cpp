// The message queue of one thread: order of retrieval, synthesised WM_PAINT and
// WM_TIMER, filters, quitting nested loops, dropped messages.
#include <ctime>
#include <thread>

#include "tests/platform/ui/window_fixture.h"

namespace window_test {
namespace {

using namespace platform;

constexpr UINT kPing = WM_USER + 1;
constexpr UINT kPong = WM_USER + 2;

class QueueTest : public WindowTest {};

TEST_F(QueueTest, PostedMessagesKeepTheirOrderAndCarryTheirParameters) {
  HWND hwnd = Make();
  Log().clear();
  platform::PostMessageW(hwnd, kPing, 1, 10);
  platform::PostMessageW(hwnd, kPong, 2, 20);
  platform::PostMessageW(hwnd, kPing, 3, 30);
  test::DrainMessages();
  auto pings = MessagesOf(hwnd, {kPing, kPong});
  ASSERT_EQ(pings, (std::vector<UINT>{kPing, kPong, kPing}));
  auto seen = Received(hwnd, kPing);
  EXPECT_EQ(seen[0].wparam, 1u);
  EXPECT_EQ(seen[1].lparam, 30);
}

TEST_F(QueueTest, PaintAndTimerComeOnlyWhenNothingElseWaits) {
  HWND hwnd = Make(WS_POPUP | WS_VISIBLE);
  test::DrainMessages();
  platform::SetTimer(hwnd, 7, 10, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the timer is due before anything is read
  platform::InvalidateRect(hwnd, nullptr, FALSE);
  platform::PostMessageW(hwnd, kPing, 0, 0);
  platform::PostMessageW(hwnd, kPong, 0, 0);

  MSG msg;
  std::vector<UINT> order;
  for (int i = 0; i < 4 && platform::GetMessageW(&msg, nullptr, 0, 0); ++i) {
    order.push_back(msg.message);
    platform::DispatchMessageW(&msg);
  }
  platform::KillTimer(hwnd, 7);
  EXPECT_EQ(order, (std::vector<UINT>{kPing, kPong, WM_PAINT, WM_TIMER}));
}

TEST_F(QueueTest, ManyInvalidationsCostOnePaintOfTheirBoundingArea) {
  HWND hwnd = Make(WS_POPUP | WS_VISIBLE);
  test::DrainMessages();
  Log().clear();
  RECT a{10, 10, 20, 20};
  RECT b{50, 40, 60, 45};
  platform::InvalidateRect(hwnd, &a, FALSE);
  platform::InvalidateRect(hwnd, &b, FALSE);
  RECT paint_area{};
  On(hwnd, [&](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    platform::BeginPaint(h, &ps);
    paint_area = ps.rcPaint;
    platform::EndPaint(h, &ps);
    return 0;
  });
  test::DrainMessages();
  EXPECT_EQ(MessagesOf(hwnd, {WM_PAINT}).size(), 1u);
  EXPECT_EQ(paint_area, (RECT{10, 10, 60, 45}));
  RECT left{};
  EXPECT_FALSE(platform::GetUpdateRect(hwnd, &left, FALSE));
}

TEST_F(QueueTest, PaintStaysUntilValidatedAndHiddenWindowsGetNone) {
  HWND hidden = Make(WS_POPUP);
  platform::InvalidateRect(hidden, nullptr, FALSE);
  MSG msg;
  EXPECT_FALSE(platform::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));

  HWND shown = Make(WS_POPUP | WS_VISIBLE);
  test::DrainMessages();
  platform::InvalidateRect(shown, nullptr, FALSE);
  ASSERT_TRUE(platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  ASSERT_TRUE(platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // not validated: it comes again
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  platform::ValidateRect(shown, nullptr);
  EXPECT_FALSE(platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(QueueTest, FiltersSelectByWindowAndRangeWithoutLosingTheRest) {
  HWND first = Make();
  HWND second = Make();
  platform::PostMessageW(first, kPing, 0, 0);
  platform::PostMessageW(second, kPong, 0, 0);
  MSG msg;
  ASSERT_TRUE(platform::PeekMessageW(&msg, second, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, kPong);
  ASSERT_TRUE(platform::PeekMessageW(&msg, nullptr, kPing, kPing, PM_NOREMOVE));
  EXPECT_EQ(msg.hwnd, first);
  ASSERT_TRUE(platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // still there after the peek
  EXPECT_EQ(msg.message, kPing);
  EXPECT_FALSE(platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(platform::GetMessageW(&msg, reinterpret_cast<HWND>(std::intptr_t{0x4242}), 0, 0), -1);
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST_F(QueueTest, AFilteredWaitSleepsWhileOtherMessagesWait) {
  HWND hwnd = Make();
  HWND other = Make();
  platform::PostMessageW(other, kPing, 0, 0);  // never taken by the filtered wait below
  platform::SetTimer(hwnd, 2, 150, nullptr);
  double cpu_before = ThreadCpuSeconds();
  MSG msg;
  ASSERT_TRUE(platform::GetMessageW(&msg, hwnd, WM_TIMER, WM_TIMER));
  double cpu_used = ThreadCpuSeconds() - cpu_before;
  platform::KillTimer(hwnd, 2);
  EXPECT_LT(cpu_used, 0.075);  // a spinning wait would burn the whole 150 ms
  ASSERT_TRUE(platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, kPing);
}

TEST_F(QueueTest, ThreadMessagesAndTimerProceduresAreDispatchedWithoutAWindow) {
  static int ticks = 0;
  ticks = 0;
  UINT_PTR id = platform::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
  ASSERT_NE(id, 0u);
  EXPECT_TRUE(test::PumpUntil([] { return ticks >= 2; }, 2000));
  EXPECT_TRUE(platform::KillTimer(nullptr, id));

  platform::PostMessageW(nullptr, kPing, 5, 0);
  MSG msg;
  ASSERT_TRUE(platform::PeekMessageW(&msg, reinterpret_cast<HWND>(std::intptr_t{-1}), 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(QueueTest, AForgedTimerMessageNeverCallsAnUnregisteredProcedure) {
  static bool called = false;
  MSG forged{};
  forged.message = WM_TIMER;
  forged.wParam = 99;
  forged.lParam = reinterpret_cast<LPARAM>(+[](HWND, UINT, UINT_PTR, DWORD) { called = true; });
  platform::DispatchMessageW(&forged);
  EXPECT_FALSE(called);
}

TEST_F(QueueTest, QuitEndsNestedLoopsInnermostFirst) {
  HWND hwnd = Make();
  std::vector<std::string> trace;
  // The outer loop dispatches kPing; its handler runs an inner loop, in which kPong
  // posts the quit. The inner loop ends with the code and posts it again, as a modal
  // loop does, so the outer loop ends too.
  On(hwnd, [&](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == kPing) {
      platform::PostMessageW(h, kPong, 0, 0);
      MSG inner;
      while (platform::GetMessageW(&inner, nullptr, 0, 0)) platform::DispatchMessageW(&inner);
      trace.push_back("inner ended " + std::to_string(inner.wParam));
      platform::PostQuitMessage(static_cast<int>(inner.wParam));
      return 0;
    }
    if (message == kPong) {
      platform::PostQuitMessage(3);
      platform::PostMessageW(h, kPong + 1, 0, 0);  // posted after the quit: still delivered first
      return 0;
    }
    if (message == kPong + 1) trace.push_back("late post");
    return std::nullopt;
  });
  platform::PostMessageW(hwnd, kPing, 0, 0);
  MSG outer;
  while (platform::GetMessageW(&outer, nullptr, 0, 0)) platform::DispatchMessageW(&outer);
  trace.push_back("outer ended " + std::to_string(outer.wParam));
  EXPECT_EQ(trace, (std::vector<std::string>{"late post", "inner ended 3", "outer ended 3"}));
}

TEST_F(QueueTest, MessagesToADestroyedWindowAreDropped) {
  HWND hwnd = Make();
  platform::PostMessageW(hwnd, kPing, 0, 0);
  platform::DestroyWindow(hwnd);
  Log().clear();
  EXPECT_EQ(test::DrainMessages(), 0);
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(platform::PostMessageW(hwnd, kPing, 0, 0));
  EXPECT_EQ(platform::SendMessageW(hwnd, kPing, 0, 0), 0);
  MSG stale{};
  stale.hwnd = hwnd;
  stale.message = kPing;
  EXPECT_EQ(platform::DispatchMessageW(&stale), 0);
  EXPECT_TRUE(Log().empty());
}

TEST_F(QueueTest, TimersFoldMissedExpirationsAndStopWhenKilled) {
  HWND hwnd = Make();
  platform::SetTimer(hwnd, 1, 10, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // several intervals pass unread
  Log().clear();
  test::DrainMessages();
  EXPECT_EQ(Received(hwnd, WM_TIMER).size(), 1u);
  EXPECT_TRUE(platform::KillTimer(hwnd, 1));
  EXPECT_FALSE(platform::KillTimer(hwnd, 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Log().clear();
  test::DrainMessages();
  EXPECT_TRUE(Received(hwnd, WM_TIMER).empty());
}

TEST_F(QueueTest, DestroyingAWindowKillsItsTimers) {
  HWND hwnd = Make();
  platform::SetTimer(hwnd, 1, 10, nullptr);
  platform::DestroyWindow(hwnd);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  MSG msg;
  EXPECT_FALSE(platform::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

}  // namespace
}  // namespace window_test
