#include "repair/run_control.h"

#include "platform/io/sleep.h"

namespace krdn {

void RunControl::Hold(const std::function<void()>& clear_running) {
  std::lock_guard lock(mutex_);
  held_ = true;
  held_now_ = true;
  if (clear_running) clear_running();
  if (hold_listener_) hold_listener_(true);
}

void RunControl::Release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
    held_now_ = false;
    if (hold_listener_) hold_listener_(false);
  }
  released_.notify_all();
}

void RunControl::SetHoldListener(std::function<void(bool held)> listener) {
  std::lock_guard lock(mutex_);
  hold_listener_ = std::move(listener);
  if (hold_listener_ && held_) hold_listener_(true);
}

void RunControl::Abandon() {
  abandon_.request_stop();
  released_.notify_all();
}

bool RunControl::Held() const {
  std::lock_guard lock(mutex_);
  return held_;
}

bool RunControl::WorkerWaiting() const {
  std::lock_guard lock(mutex_);
  return waiting_ > 0;
}

bool RunControl::WaitLocked(std::unique_lock<std::mutex>& lock) {
  ++waiting_;
  released_.wait(lock, abandon_.get_token(), [this] { return !held_; });
  --waiting_;
  return !Abandoned();
}

std::optional<bool> RunControl::Checkpoint(const std::function<bool()>& read_running) {
  std::unique_lock lock(mutex_);
  if (!WaitLocked(lock)) return std::nullopt;
  return read_running();
}

bool RunControl::WaitWhileHeld() {
  // Not held: nothing to wait for, and no lock to share with the other threads.
  if (!held_now_) return !Abandoned();
  std::unique_lock lock(mutex_);
  return WaitLocked(lock);
}

bool RunControl::Sleep(std::chrono::milliseconds duration) {
  if (!platform::SleepFor(duration, abandon_.get_token())) return false;
  return WaitWhileHeld();
}

}  // namespace krdn
