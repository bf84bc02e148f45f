#include "tools/repair-cli/json_output.h"

#include <algorithm>
#include <cmath>

#include "tools/repair-cli/console_stream.h"
#include "tools/repair-cli/json_text.h"

namespace krdn::cli {
namespace {

std::string WholeOrNull(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return "null";
  return std::to_string(static_cast<unsigned long long>(std::llround(std::max(0.0, *value))));
}

}  // namespace

void JsonOutput::Status(std::string_view text) { Line(R"({"type":"status","text":)" + JsonString(text) + "}"); }

void JsonOutput::Transient(std::string_view text, Clock::time_point /*now*/) {
  Line(R"({"type":"transient","text":)" + JsonString(WithoutLineEnd(text)) + "}");
}

void JsonOutput::Bytes(std::uint64_t received, std::uint64_t total, Clock::time_point now) {
  time_left_.Update(received, total, now);
  const bool due = !last_progress_ || now - *last_progress_ >= kProgressInterval;
  if (!due && received != total) return;
  last_progress_ = now;
  const std::optional<double> seconds = time_left_.seconds();
  Line(R"({"type":"progress","done":)" + std::to_string(received) + R"(,"total":)" + std::to_string(total) +
       R"(,"rate":)" + WholeOrNull(time_left_.rate()) + R"(,"seconds_left":)" +
       WholeOrNull(seconds ? std::optional<double>(std::ceil(*seconds)) : std::nullopt) + "}");
}

void JsonOutput::Dialog(std::string_view dialog_text, unsigned long attempt, std::string_view failure) {
  Line(R"({"type":"dialog","text":)" + JsonString(dialog_text) + R"(,"attempt":)" + std::to_string(attempt) +
       R"(,"failure":)" + JsonString(WithoutLineEnd(failure)) + "}");
  out_.Flush();
}

void JsonOutput::End(int exit_code, std::string_view error, std::string_view log_path) {
  const std::string message = WithoutLineEnd(error);
  Line(R"({"type":"end","exit_code":)" + std::to_string(exit_code) + R"(,"error":)" +
       (message.empty() ? std::string("null") : JsonString(message)) +
       (log_path.empty() ? std::string() : R"(,"log":)" + JsonString(log_path)) + "}");
  out_.Flush();
}

}  // namespace krdn::cli
