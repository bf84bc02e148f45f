#include "platform/io/sleep.h"

#include <condition_variable>
#include <mutex>

namespace platform {

bool SleepFor(std::chrono::milliseconds duration, std::stop_token stop) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  const auto deadline = std::chrono::steady_clock::now() + duration;
  // wait_until returns early only for a stop request (spurious wake-ups loop inside it).
  wake.wait_until(lock, stop, deadline, [] { return false; });
  return !stop.stop_requested();
}

}  // namespace platform
