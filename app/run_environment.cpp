#include "app/run_environment.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "repair/limit_rate.h"

namespace krdn::app {

std::uint64_t LimitRateFromVariable(const char* value, std::string& problem) {
  if (value == nullptr || *value == '\0') return 0;
  const std::optional<std::uint64_t> rate = ParseLimitRate(value);
  if (rate) return *rate;
  problem = std::string(kLimitRateVariable) + "=" + value + " is no rate (" + kLimitRateSpelling + "); no cap";
  return 0;
}

void ApplyRunEnvironment(RunSettings& settings) {
  std::string problem;
  settings.limit_rate = LimitRateFromVariable(std::getenv(kLimitRateVariable), problem);
  if (!problem.empty()) {
    std::fprintf(stderr, "krdn-repair: %s\n", problem.c_str());
    std::fflush(stderr);
  }
}

}  // namespace krdn::app
