// The message loop: quit codes, filters, idle handling, Quit requests and messages sent
// from other threads.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/msg_loop.h"
#include "core/simple_wnd.h"
#include "platform/testing/test_input.h"
#include "platform/ui/windowing.h"

namespace LOOM {
namespace {

std::vector<std::string>& Events() {
  static std::vector<std::string> events;
  return events;
}

class ScriptedWnd : public CSimpleWnd {
 public:
  BOOL ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT& result, DWORD) override {
    auto it = on.find(msg);
    if (it == on.end()) return FALSE;
    return RunHandler(result, [&] { it->second(wp); });
  }
  std::map<UINT, std::function<void(WPARAM)>> on;
};

class NamedFilter final : public IMessageFilter {
 public:
  NamedFilter(std::string name, UINT consumes) : name_(std::move(name)), consumes_(consumes) {}
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message >= WM_USER) Events().push_back(name_ + ":" + std::to_string(msg->message - WM_USER));
    return msg->message == consumes_;
  }

 private:
  std::string name_;
  UINT consumes_;
};

class CountingIdle final : public IIdleHandler {
 public:
  BOOL OnIdle() override {
    ++calls;
    Events().push_back("idle");
    if (on_idle) on_idle(calls);
    return TRUE;  // asks for more; the loop still makes one pass only
  }
  int calls = 0;
  std::function<void(int)> on_idle;
};

class MsgLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitWindowing());
    Events().clear();
    hwnd_ = wnd_.Create(u"", WS_POPUP, 0, 0, 0, 10, 10, nullptr);
    ASSERT_NE(hwnd_, nullptr);
  }
  void TearDown() override {
    wnd_.DestroyWindow();
    platform::test::DrainMessages();
    MSG quit;
    while (platform::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  void Record(UINT msg) {
    wnd_.on[msg] = [msg](WPARAM) { Events().push_back("wnd:" + std::to_string(msg - WM_USER)); };
  }

  CSimpleWndHelper helper_{platform::CurrentModule(), u"LOOMHOST", false};
  ScriptedWnd wnd_;
  HWND hwnd_ = nullptr;
  SMessageLoop loop_;
};

TEST_F(MsgLoopTest, FiltersSeeEachMessageNewestFirstAndTheRunReturnsTheQuitCode) {
  NamedFilter first("first", 0);
  NamedFilter second("second", WM_USER + 2);
  loop_.AddMessageFilter(&first);
  loop_.AddMessageFilter(&second);
  Record(WM_USER + 1);
  Record(WM_USER + 2);
  platform::PostMessageW(hwnd_, WM_USER + 1, 0, 0);
  platform::PostMessageW(hwnd_, WM_USER + 2, 0, 0);
  platform::PostQuitMessage(7);
  EXPECT_FALSE(loop_.IsRunning());
  EXPECT_EQ(loop_.Run(), 7);
  EXPECT_FALSE(loop_.IsRunning());
  EXPECT_EQ(Events(), (std::vector<std::string>{"second:1", "first:1", "wnd:1", "second:2"}));
}

TEST_F(MsgLoopTest, QuitStopsAfterTheMessageBeingHandledAndIsIgnoredWhileNotRunning) {
  loop_.Quit();  // not running: no effect on the next run
  Record(WM_USER + 2);
  wnd_.on[WM_USER + 1] = [this](WPARAM) {
    Events().push_back("wnd:1");
    loop_.Quit();
  };
  platform::PostMessageW(hwnd_, WM_USER + 1, 33, 0);
  platform::PostMessageW(hwnd_, WM_USER + 2, 0, 0);
  EXPECT_EQ(loop_.Run(), 33);  // the wParam of the last message fetched
  EXPECT_EQ(Events(), (std::vector<std::string>{"wnd:1"}));
  // The rest stays queued for whoever looks next.
  platform::test::DrainMessages();
  EXPECT_EQ(Events(), (std::vector<std::string>{"wnd:1", "wnd:2"}));
  // The loop can run again.
  platform::PostQuitMessage(4);
  EXPECT_EQ(loop_.Run(), 4);
}

TEST_F(MsgLoopTest, IdleHandlersRunWhenTheQueueEmptiesButNotAgainAfterMouseMoves) {
  CountingIdle idle;
  loop_.AddIdleHandler(&idle);
  std::thread later;
  idle.on_idle = [&](int call) {
    if (call == 1) platform::PostMessageW(hwnd_, WM_MOUSEMOVE, 0, 0);
    if (call == 2) loop_.Quit();  // a request made while idle ends the run at once
  };
  // After the move the loop waits; a key posted from another thread later turns idle
  // processing on again.
  wnd_.on[WM_MOUSEMOVE] = [&](WPARAM) {
    Events().push_back("move");
    later = std::thread([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      platform::PostMessageW(hwnd_, WM_KEYDOWN, VK_F1, 0);
    });
  };
  wnd_.on[WM_KEYDOWN] = [](WPARAM) { Events().push_back("key"); };
  loop_.Run();
  later.join();
  EXPECT_EQ(idle.calls, 2);
  EXPECT_EQ(Events(), (std::vector<std::string>{"idle", "move", "key", "idle"}));
  EXPECT_TRUE(loop_.RemoveIdleHandler(&idle));
  EXPECT_FALSE(loop_.RemoveIdleHandler(&idle));
}

TEST_F(MsgLoopTest, AMessageSentFromAnotherThreadIsHandledInTheLoopWithoutPassingTheFilters) {
  NamedFilter filter("filter", 0);
  loop_.AddMessageFilter(&filter);
  LRESULT answer = 0;
  wnd_.on[WM_USER + 60] = [&](WPARAM wp) {
    Events().push_back("wnd:60");
    platform::PostQuitMessage(static_cast<int>(wp));
  };
  std::thread sender([&] { answer = platform::SendMessageW(hwnd_, WM_USER + 60, 9, 0); });
  EXPECT_EQ(loop_.Run(), 9);
  sender.join();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(Events(), (std::vector<std::string>{"wnd:60"}));
}

TEST_F(MsgLoopTest, FilterListsKeepDuplicatesAndRemoveTheFirstEqualEntry) {
  NamedFilter a("a", 0);
  EXPECT_FALSE(loop_.RemoveMessageFilter(&a));
  EXPECT_TRUE(loop_.AddMessageFilter(&a));
  EXPECT_TRUE(loop_.AddMessageFilter(&a));
  EXPECT_TRUE(loop_.RemoveMessageFilter(&a));
  MSG msg{};
  msg.hwnd = hwnd_;
  msg.message = WM_USER + 3;
  EXPECT_FALSE(loop_.PreTranslateMessage(&msg));
  EXPECT_EQ(Events(), (std::vector<std::string>{"a:3"}));  // one entry left
  EXPECT_TRUE(loop_.RemoveMessageFilter(&a));
  EXPECT_FALSE(loop_.RemoveMessageFilter(&a));
}

TEST_F(MsgLoopTest, TheFactoryMakesFreshLoopsAndTakesThemBack) {
  auto factory = SAutoRefPtr<SDefMsgLoopFactory>::Adopt(new SDefMsgLoopFactory());
  IMessageLoop* loop = factory->CreateMsgLoop();
  ASSERT_NE(loop, nullptr);
  EXPECT_FALSE(loop->IsRunning());
  platform::PostQuitMessage(2);
  EXPECT_EQ(loop->Run(), 2);
  factory->DestroyMsgLoop(loop);
  factory->DestroyMsgLoop(nullptr);
}

}  // namespace
}  // namespace LOOM
