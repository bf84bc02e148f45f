// The window's cooperative hold and end of a run, and the worker's side of them.
//
// Stop and Start never freeze the worker at an arbitrary instruction:
//   - Stop sets the hold and clears the running flag in one step (Hold). The worker
//     checks the hold first wherever it would read the running flag (its stop points,
//     after every received block, inside sleeps) and waits there, holding no lock,
//     until Start sets the flags again and releases the hold: the run goes on from the
//     same point.
//   - Abandon ends the run: a wait in the hold or in a sleep wakes, a transfer is
//     aborted, and the worker unwinds without notifying anything or touching the
//     window's flags again. A notification that is being sent when the run is
//     abandoned must return at once (the window's send watches AbandonToken()).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>

namespace krdn {

class RunControl {
 public:
  // Window side. Hold sets the hold and, in the same step as seen by the worker, runs
  // clear_running (which clears the window's running flag).
  void Hold(const std::function<void()>& clear_running = {});
  // Lets a held worker go on; set the running flag before calling it.
  void Release();
  // Ends the run for good; wakes every wait of the worker.
  void Abandon();

  bool Abandoned() const noexcept { return abandon_.stop_requested(); }
  bool Held() const;
  // True while the worker waits in the hold (for tests and diagnostics).
  bool WorkerWaiting() const;
  std::stop_token AbandonToken() const noexcept { return abandon_.get_token(); }

  // Worker side. Told of every Hold (true) and Release (false) in the same step, on the
  // window's thread; set while held, it is told at once. Clear it before it goes.
  void SetHoldListener(std::function<void(bool held)> listener);

  // Worker side. Waits while held, then reads the running flag with read_running.
  // Nothing when the run was abandoned.
  std::optional<bool> Checkpoint(const std::function<bool()>& read_running);
  // Waits while held. False when the run was abandoned.
  bool WaitWhileHeld();
  // Sleeps for the duration, then waits while held. False when the run was abandoned.
  bool Sleep(std::chrono::milliseconds duration);

 private:
  bool WaitLocked(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable_any released_;
  bool held_ = false;
  // held_ as the worker's threads may read it without the lock: verification checks the
  // hold before every read of tens of thousands of small files.
  std::atomic<bool> held_now_{false};
  std::size_t waiting_ = 0;
  std::function<void(bool)> hold_listener_;
  std::stop_source abandon_;
};

}  // namespace krdn
