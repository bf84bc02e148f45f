// Sends between threads: blocking until handled, delivery inside nested loops and
// outside message filters, ending threads, abandoned runs. Runs under TSan too.
#include <atomic>
#include <latch>
#include <thread>

#include "tests/platform/ui/window_fixture.h"

namespace window_test {
namespace {

using namespace platform;

constexpr UINT kNotify = WM_USER + 100;
constexpr UINT kPosted = WM_USER + 50;
constexpr UINT kInner = WM_USER + 51;

class CrossThreadTest : public WindowTest {};

// A message-only window on a thread of its own; the thread pumps until told to stop.
class WindowThread {
 public:
  WindowThread(const char16_t* class_name, WNDPROC proc) {
    thread_ = std::thread([this, class_name, proc] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = proc;
      wc.lpszClassName = AsWideText(class_name);
      platform::RegisterClassExW(&wc);  // a second registration of the same class fails harmlessly
      hwnd_.store(platform::CreateWindowExW(0, class_name, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
      thread_id_.store(platform::GetCurrentThreadId());
      ready_.count_down();
      MSG msg;
      while (platform::GetMessageW(&msg, nullptr, 0, 0)) platform::DispatchMessageW(&msg);
    });
    ready_.wait();
  }
  ~WindowThread() { Stop(); }
  void Stop() {
    if (!thread_.joinable()) return;
    platform::PostThreadMessageW(thread_id_.load(), WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND hwnd() const { return hwnd_.load(); }

 private:
  std::atomic<HWND> hwnd_{nullptr};
  std::atomic<DWORD> thread_id_{0};
  std::latch ready_{1};
  std::thread thread_;
};

TEST_F(CrossThreadTest, ASendBlocksUntilTheReceivingThreadHasRunTheHandler) {
  HWND hwnd = Make();
  std::thread::id handled_on;
  On(hwnd, [&](HWND, UINT message, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
    if (message != kNotify) return std::nullopt;
    handled_on = std::this_thread::get_id();
    return static_cast<LRESULT>(wparam * 2);
  });
  std::atomic<LRESULT> answer{-1};
  std::thread worker([&] { answer = platform::SendMessageW(hwnd, kNotify, 21, 0); });
  ASSERT_TRUE(test::PumpUntil([&] { return answer.load() != -1; }));
  worker.join();
  EXPECT_EQ(answer.load(), 42);
  EXPECT_EQ(handled_on, std::this_thread::get_id());
}

TEST_F(CrossThreadTest, SentMessagesComeBeforePostedOnesAndNeverThroughGetMessage) {
  HWND hwnd = Make();
  std::atomic<bool> sent_done{false};
  // The worker posts, then sends, while this thread is not reading its queue.
  std::thread worker([&] {
    platform::PostMessageW(hwnd, kPosted, 0, 0);
    platform::SendMessageW(hwnd, kNotify, 0, 0);
    sent_done = true;
  });
  while (Received(hwnd, kNotify).empty()) {
    // The send may not have arrived yet: wait for anything, without taking messages.
    platform::WaitMessage();
    MSG peeked;
    platform::PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE);
  }
  std::vector<UINT> returned;
  MSG msg;
  while (platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    returned.push_back(msg.message);
    platform::DispatchMessageW(&msg);
  }
  worker.join();
  EXPECT_TRUE(sent_done.load());
  EXPECT_EQ(MessagesOf(hwnd, {kNotify, kPosted}), (std::vector<UINT>{kNotify, kPosted}));
  EXPECT_EQ(std::count(returned.begin(), returned.end(), kNotify), 0);  // filters never see a send
}

TEST_F(CrossThreadTest, ASendIsDeliveredInsideANestedModalLoopAndItsOwnModalLoopKeepsTheSenderWaiting) {
  HWND hwnd = Make();
  std::atomic<int> sends_returned{0};
  bool second_send_seen_inside_first = false;
  bool in_first = false;
  std::atomic<bool> end_modal{false};
  std::atomic<bool> modal_running{false};
  On(hwnd, [&](HWND h, UINT message, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
    if (message == kNotify && wparam == 1) {
      // Like a dialog shown by a notification: a modal loop inside the send.
      in_first = true;
      modal_running = true;
      MSG msg;
      while (!end_modal.load() && platform::GetMessageW(&msg, nullptr, 0, 0)) {
        EXPECT_NE(msg.message, kNotify);
        platform::DispatchMessageW(&msg);
      }
      in_first = false;
      return 1;
    }
    if (message == kNotify && wparam == 2) {
      second_send_seen_inside_first = in_first;
      end_modal = true;
      platform::PostMessageW(h, WM_NULL, 0, 0);  // wakes the modal loop to see the request
      return 2;
    }
    return std::nullopt;
  });
  std::thread first([&] {
    EXPECT_EQ(platform::SendMessageW(hwnd, kNotify, 1, 0), 1);
    EXPECT_TRUE(end_modal.load());  // it waited for the whole modal loop
    ++sends_returned;
  });
  std::thread second([&] {
    while (!modal_running.load()) std::this_thread::yield();
    EXPECT_EQ(platform::SendMessageW(hwnd, kNotify, 2, 0), 2);
    ++sends_returned;
  });
  ASSERT_TRUE(test::PumpUntil([&] { return sends_returned.load() == 2; }));
  first.join();
  second.join();
  EXPECT_TRUE(second_send_seen_inside_first);
}

TEST_F(CrossThreadTest, OnlyTheWindowingThreadMakesWindowsOnScreen) {
  HWND on_screen = reinterpret_cast<HWND>(std::intptr_t{1});
  HWND message_only = nullptr;
  bool timer_on_foreign_window = true;
  HWND mine = Make();
  std::thread other([&] {
    on_screen = platform::CreateWindowExW(0, kClassName, u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    message_only = platform::CreateWindowExW(0, kClassName, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    timer_on_foreign_window = platform::SetTimer(mine, 1, 10, nullptr) != 0;
    platform::DestroyWindow(message_only);
  });
  other.join();
  EXPECT_EQ(on_screen, nullptr);
  EXPECT_NE(message_only, nullptr);
  EXPECT_FALSE(timer_on_foreign_window);
  EXPECT_FALSE(platform::DestroyWindow(reinterpret_cast<HWND>(std::intptr_t{0x7777})));
}

TEST_F(CrossThreadTest, ASendToAWindowWhoseThreadHasEndedReturnsAtOnce) {
  HWND orphan = nullptr;
  {
    WindowThread owner(u"RecordingThreadWindow", RecordingProc);
    orphan = owner.hwnd();
    ASSERT_NE(orphan, nullptr);
  }
  EXPECT_FALSE(platform::IsWindow(orphan));
  SendCancellation never;
  LRESULT result = 5;
  EXPECT_EQ(platform::SendMessageCancellable(orphan, kNotify, 0, 0, never, &result), SendStatus::kNoWindow);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(platform::SendMessageW(orphan, kNotify, 0, 0), 0);
}

TEST_F(CrossThreadTest, ASendStillQueuedWhenTheReceiverEndsIsReleased) {
  std::latch created{1};
  std::latch let_go{1};
  std::atomic<HWND> window{nullptr};
  std::thread owner([&] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = AsWideText(u"EndingThreadWindow");
    platform::RegisterClassExW(&wc);
    window = platform::CreateWindowExW(0, AsU16Text(wc.lpszClassName), u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    created.count_down();
    let_go.wait();  // ends without ever reading its queue
  });
  created.wait();
  SendStatus status = SendStatus::kDelivered;
  std::thread sender([&] {
    SendCancellation never;
    LRESULT result = 0;
    status = platform::SendMessageCancellable(window.load(), kNotify, 0, 0, never, &result);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the send queue up
  let_go.count_down();
  owner.join();
  sender.join();
  EXPECT_TRUE(status == SendStatus::kReceiverGone || status == SendStatus::kNoWindow);
}

TEST_F(CrossThreadTest, CancellingFromInsideTheHandlersModalLoopReleasesTheSenderAtOnce) {
  HWND hwnd = Make();
  SendCancellation run;
  std::atomic<bool> sender_back{false};
  std::atomic<int> deliveries{0};
  SendStatus status = SendStatus::kDelivered;
  On(hwnd, [&](HWND h, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == kNotify) {
      ++deliveries;
      // The network-failure dialog: the user ends the run from inside it.
      platform::PostMessageW(h, kInner, 0, 0);
      MSG msg;
      while (!sender_back.load() && platform::GetMessageW(&msg, nullptr, 0, 0)) platform::DispatchMessageW(&msg);
      return 0;
    }
    if (message == kInner) {
      run.Cancel();
      // The sender must come back while this handler is still running.
      EXPECT_TRUE(test::PumpUntil([&] { return sender_back.load(); }, 5000));
      return 0;
    }
    return std::nullopt;
  });
  std::thread worker([&] {
    LRESULT result = 0;
    status = platform::SendMessageCancellable(hwnd, kNotify, 0, 0, run, &result);
    sender_back = true;
    platform::PostMessageW(hwnd, WM_NULL, 0, 0);
    // An abandoned run sends nothing more.
    EXPECT_EQ(platform::SendMessageCancellable(hwnd, kNotify, 0, 0, run, &result), SendStatus::kCancelled);
  });
  ASSERT_TRUE(test::PumpUntil([&] { return sender_back.load(); }));
  worker.join();
  test::DrainMessages();
  EXPECT_EQ(status, SendStatus::kCancelled);
  EXPECT_EQ(deliveries.load(), 1);
}

TEST_F(CrossThreadTest, ASendCancelledBeforeItsHandlerBeganIsNeverDelivered) {
  HWND hwnd = Make();
  SendCancellation run;
  SendStatus status = SendStatus::kDelivered;
  std::thread worker([&] {
    LRESULT result = 0;
    status = platform::SendMessageCancellable(hwnd, kNotify, 0, 0, run, &result);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // queued, this thread not reading
  run.Cancel();
  worker.join();
  EXPECT_EQ(status, SendStatus::kCancelled);
  test::DrainMessages();
  EXPECT_TRUE(Received(hwnd, kNotify).empty());
}

TEST_F(CrossThreadTest, AStopTokenAbandonsTheSendAsACancellationDoes) {
  HWND hwnd = Make();
  std::stop_source run;
  std::atomic<bool> sender_back{false};
  SendStatus status = SendStatus::kDelivered;
  On(hwnd, [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message != kNotify) return std::nullopt;
    run.request_stop();  // ended from inside the notification's handler
    EXPECT_TRUE(test::PumpUntil([&] { return sender_back.load(); }, 5000));
    return 0;
  });
  std::thread worker([&] {
    LRESULT result = 0;
    status = platform::SendMessageCancellable(hwnd, kNotify, 0, 0, run.get_token(), &result);
    sender_back = true;
    platform::PostMessageW(hwnd, WM_NULL, 0, 0);
  });
  ASSERT_TRUE(test::PumpUntil([&] { return sender_back.load(); }));
  worker.join();
  EXPECT_EQ(status, SendStatus::kCancelled);
  LRESULT result = 0;
  EXPECT_EQ(platform::SendMessageCancellable(hwnd, kNotify, 0, 0, run.get_token(), &result), SendStatus::kCancelled);
}

LRESULT EchoBackProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kNotify) {
    // Sends back to the sender's window while the sender waits for this very send.
    return platform::SendMessageW(reinterpret_cast<HWND>(wparam), kInner, 0, 0) + 1;
  }
  return platform::DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST_F(CrossThreadTest, SendsInBothDirectionsDoNotDeadlock) {
  HWND mine = Make();
  On(mine, [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == kInner) return 40;
    return std::nullopt;
  });
  WindowThread other(u"EchoBackWindow", EchoBackProc);
  EXPECT_EQ(platform::SendMessageW(other.hwnd(), kNotify, reinterpret_cast<WPARAM>(mine), 0), 41);
}

TEST_F(CrossThreadTest, ManySendersEachGetTheirOwnAnswer) {
  HWND hwnd = Make();
  On(hwnd, [](HWND, UINT message, WPARAM wparam, LPARAM lparam) -> std::optional<LRESULT> {
    if (message == kNotify) return static_cast<LRESULT>(wparam) * 1000 + lparam;
    return std::nullopt;
  });
  constexpr int kThreads = 4;
  constexpr int kSends = 100;
  std::atomic<int> wrong{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kSends; ++i) {
        if (platform::SendMessageW(hwnd, kNotify, static_cast<WPARAM>(t), i) != t * 1000 + i) ++wrong;
      }
      ++finished;
    });
  }
  ASSERT_TRUE(test::PumpUntil([&] { return finished.load() == kThreads; }, 20000));
  for (auto& sender : senders) sender.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(Received(hwnd, kNotify).size(), static_cast<std::size_t>(kThreads * kSends));
}

}  // namespace
}  // namespace window_test
