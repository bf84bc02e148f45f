// The window layer's costs: a cross-thread send, presenting frames, an idle wait.
// Run with SDL_VIDEODRIVER=offscreen, or on an X server (xvfb-run) for the display's
// own path.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <latch>
#include <thread>
#include <vector>

#include "platform/ui/message_queue.h"
#include "platform/ui/paint.h"
#include "platform/testing/test_input.h"
#include "platform/ui/timer.h"
#include "platform/ui/window.h"
#include "platform/ui/windowing.h"

namespace {

using namespace platform;

constexpr UINT kPing = WM_USER + 1;

LRESULT EchoProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kPing) return static_cast<LRESULT>(wparam + 1);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// The worker's notification: a send from another thread to a window whose thread waits
// in its message loop, on its own queue (a message-only window on a thread of its own).
void BM_CrossThreadSend_QueueWait(benchmark::State& state) {
  std::atomic<HWND> target{nullptr};
  std::atomic<DWORD> thread_id{0};
  std::latch ready{1};
  std::thread receiver([&] {
    WNDCLASSEXW wc{};
    wc.lpfnWndProc = EchoProc;
    wc.lpszClassName = u"BenchEcho";
    RegisterClassExW(&wc);
    target = CreateWindowExW(0, wc.lpszClassName, u"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    thread_id = GetCurrentThreadId();
    ready.count_down();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
  });
  ready.wait();
  WPARAM n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(SendMessageW(target.load(), kPing, n++, 0));
  PostThreadMessageW(thread_id.load(), WM_QUIT, 0, 0);
  receiver.join();
}
BENCHMARK(BM_CrossThreadSend_QueueWait)->UseRealTime();

// The same to an on-screen window of the windowing thread (this one), which waits on
// the display (X) or its queue (offscreen) between messages: a worker sends batches of
// 1000 while this thread runs its loop.
void BM_CrossThreadSend_ToTheWindowingThread(benchmark::State& state) {
  if (!InitWindowing()) {
    state.SkipWithError("no display");
    return;
  }
  WNDCLASSEXW wc{};
  wc.lpfnWndProc = EchoProc;
  wc.lpszClassName = u"BenchScreenEcho";
  RegisterClassExW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, u"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                              nullptr, nullptr);
  test::DrainMessages();
  constexpr int kBatch = 1000;
  for (auto _ : state) {
    std::atomic<bool> done{false};
    auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
      for (int i = 0; i < kBatch; ++i) SendMessageW(hwnd, kPing, static_cast<WPARAM>(i), 0);
      done = true;
      PostMessageW(hwnd, WM_NULL, 0, 0);
    });
    MSG msg;
    while (!done.load() && GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
    worker.join();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  test::DrainMessages();
  DestroyWindow(hwnd);
}
BENCHMARK(BM_CrossThreadSend_ToTheWindowingThread)->UseManualTime()->Unit(benchmark::kMillisecond);

// A host's repaint: WM_PAINT copies the invalid part of a cache into the device and the
// layer presents it.
struct Painted {
  std::vector<std::uint32_t> cache;
  int width = 0;
};

LRESULT PaintProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_PAINT) return DefWindowProcW(hwnd, message, wparam, lparam);
  auto* painted = reinterpret_cast<Painted*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(hwnd, &ps);
  const RECT& r = ps.rcPaint;
  BlitToDC(hdc, r.left, r.top, r.right - r.left, r.bottom - r.top,
           painted->cache.data() + static_cast<std::size_t>(r.top) * painted->width + r.left, painted->width);
  EndPaint(hwnd, &ps);
  return 0;
}

void Present(benchmark::State& state, RECT area) {
  if (!InitWindowing()) {
    state.SkipWithError("no display");
    return;
  }
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.lpfnWndProc = PaintProc;
    wc.lpszClassName = u"BenchPaint";
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
  constexpr int kWidth = 1030;
  constexpr int kHeight = 541;
  Painted painted{std::vector<std::uint32_t>(static_cast<std::size_t>(kWidth) * kHeight, 0xFF336699u), kWidth};
  HWND hwnd = CreateWindowExW(0, u"BenchPaint", u"", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr, nullptr,
                              nullptr);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&painted));
  ShowWindow(hwnd, SW_SHOWNA);
  test::DrainMessages();
  for (auto _ : state) {
    InvalidateRect(hwnd, &area, FALSE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(hwnd);
}

void BM_PresentFullFrame_1030x541(benchmark::State& state) { Present(state, RECT{0, 0, 1030, 541}); }
void BM_PresentRect_30x30(benchmark::State& state) { Present(state, RECT{500, 250, 530, 280}); }
BENCHMARK(BM_PresentFullFrame_1030x541);
BENCHMARK(BM_PresentRect_30x30);

// An idle loop: GetMessage waits 200 ms for a timer. The CPU time it uses meanwhile
// (reported per wait) shows that it sleeps rather than polls.
void BM_IdleWait200ms(benchmark::State& state) {
  if (!InitWindowing()) {
    state.SkipWithError("no display");
    return;
  }
  WNDCLASSEXW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"BenchIdle";
  RegisterClassExW(&wc);
  HWND hwnd = CreateWindowExW(0, u"BenchIdle", u"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                              nullptr);
  test::DrainMessages();
  double cpu_seconds = 0;
  for (auto _ : state) {
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    SetTimer(hwnd, 1, 200, nullptr);
    MSG msg;
    GetMessageW(&msg, hwnd, WM_TIMER, WM_TIMER);
    KillTimer(hwnd, 1);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    cpu_seconds += static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9;
  }
  state.counters["cpu_us_per_wait"] = cpu_seconds * 1e6 / static_cast<double>(state.iterations());
  DestroyWindow(hwnd);
}
BENCHMARK(BM_IdleWait200ms)->Iterations(5)->UseRealTime();

}  // namespace
