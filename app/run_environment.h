// What the environment asks of the window's runs. KRDN_LIMIT_RATE caps the rate of
// every run (repair/limit_rate.h: "500K", "2M", ...); unset or empty, there is no cap.
// The console front-end takes the same as --limit-rate instead.
#pragma once

#include <cstdint>
#include <string>

#include "repair/run_settings.h"

namespace krdn::app {

inline constexpr char kLimitRateVariable[] = "KRDN_LIMIT_RATE";

// The cap a value of KRDN_LIMIT_RATE asks for (null: the variable is unset), 0 for
// none. A value that is no rate asks for none, and `problem` says why.
std::uint64_t LimitRateFromVariable(const char* value, std::string& problem);

// The process's variables applied to `settings`; a value that will not do is reported
// on standard error, and the run goes on without it (the window has nobody to ask).
void ApplyRunEnvironment(RunSettings& settings);

}  // namespace krdn::app
