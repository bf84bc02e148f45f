// The C++ library's waits, as the engine and the window layer use them across
// threads: semaphores, latches, stop callbacks ended while their callback runs on
// another thread, and condition waits ended by a stop request. A lost wake-up makes
// one of these sleep for ever, so every case runs under a watchdog that ends the
// test with a message instead of letting it hang. The watchdog looks for progress,
// not for an end in time: on a loaded machine the hand-overs go slowly, but they go.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <mutex>
#include <semaphore>
#include <stop_token>
#include <thread>

namespace {

// Ends the process when the case has made no progress (no call of Progress) for
// `limit`.
class Watchdog {
 public:
  explicit Watchdog(const char* what, std::chrono::seconds limit = std::chrono::seconds(30))
      : thread_([this, what, limit] {
          std::unique_lock lock(mutex_);
          for (long seen = -1; !ended_cv_.wait_for(lock, limit, [this] { return ended_; });) {
            const long now = progress_.load();
            if (now != seen) {
              seen = now;
              continue;
            }
            std::fprintf(stderr, "%s made no progress for %llds: a wake-up was lost\n", what,
                         static_cast<long long>(limit.count()));
            std::fflush(stderr);
            std::_Exit(1);
          }
        }) {}
  void Progress() { progress_.fetch_add(1); }
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    ended_cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_cv_;
  bool ended_ = false;
  std::atomic<long> progress_{0};
  std::thread thread_;
};

// A short busy wait of varying length, so that the other thread meets every point
// of its own wait.
void BusyWhile(unsigned& seed) {
  seed = seed * 1103515245u + 12345u;
  for (unsigned spin = (seed >> 16) % 20000; spin > 0; spin = spin - 1) {
    std::atomic_signal_fence(std::memory_order_seq_cst);
  }
}

constexpr int kRounds = 20000;        // a round: two semaphore hand-overs
constexpr int kThreadRounds = 400;    // a round: a thread started and joined

TEST(LibraryWaitsTest, SemaphoresAndLatchesWakeTheirWaitersEveryTime) {
  Watchdog watchdog("the semaphore ping-pong");
  std::binary_semaphore ping{0}, pong{0};
  std::thread other([&] {
    unsigned seed = 7;
    for (int i = 0; i < kRounds; ++i) {
      ping.acquire();
      BusyWhile(seed);
      pong.release();
    }
  });
  int answered = 0;
  for (int i = 0; i < kRounds; ++i) {
    ping.release();
    pong.acquire();
    ++answered;
    watchdog.Progress();
  }
  other.join();
  EXPECT_EQ(answered, kRounds);

  for (int i = 0; i < kThreadRounds; ++i) {
    std::latch both{2};
    std::thread counter([&] { both.count_down(); });
    both.arrive_and_wait();
    counter.join();
    watchdog.Progress();
  }
}

TEST(LibraryWaitsTest, AStopCallbackEndsWhileItsCallbackRunsOnTheStoppingThread) {
  // What a cancellable send does: the stopping thread runs the callback, which
  // releases the waiting thread, and that thread at once ends the callback's
  // registration, which must wait for the callback to have returned.
  Watchdog watchdog("ending a stop callback during its run");
  unsigned seed = 11;
  for (int i = 0; i < kThreadRounds; ++i) {
    std::stop_source source;
    std::atomic<bool> ran{false};
    std::atomic<bool> registered{false};
    std::thread waiter([&] {
      unsigned callback_seed = seed;
      std::stop_callback on_stop(source.get_token(), [&] {
        ran.store(true);
        BusyWhile(callback_seed);  // still running while the registration ends
      });
      registered.store(true);
      while (!ran.load()) std::this_thread::yield();
    });
    while (!registered.load()) std::this_thread::yield();
    BusyWhile(seed);
    source.request_stop();
    waiter.join();
    ASSERT_TRUE(ran.load());
    watchdog.Progress();
  }
}

TEST(LibraryWaitsTest, AConditionWaitEndsWhenItsStopIsRequestedFromAnotherThread) {
  Watchdog watchdog("a condition wait ended by a stop request");
  unsigned seed = 13;
  for (int i = 0; i < kThreadRounds; ++i) {
    std::mutex mutex;
    std::condition_variable_any changed;
    std::stop_source source;
    bool woke_for_stop = false;
    std::thread waiter([&] {
      std::unique_lock lock(mutex);
      woke_for_stop = !changed.wait(lock, source.get_token(), [] { return false; });
    });
    BusyWhile(seed);
    source.request_stop();
    waiter.join();
    ASSERT_TRUE(woke_for_stop);
    watchdog.Progress();
  }
}

}  // namespace
