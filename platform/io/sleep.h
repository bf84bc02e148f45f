// Sleeping that another thread can cut short.
#pragma once

#include <chrono>
#include <stop_token>

namespace platform {

// Sleeps for the duration, or until a stop is requested. True when the full duration passed.
bool SleepFor(std::chrono::milliseconds duration, std::stop_token stop);

}  // namespace platform
