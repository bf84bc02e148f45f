// One HTTP GET over libcurl, streamed to the caller.
//
// Every call opens its own connection and keeps nothing afterwards: no cache, no
// cookies, no connection reuse. The caller sees each block of the body as it arrives
// and is asked at short intervals whether to go on, so a transfer can be held (the
// callback simply does not return yet) or cancelled at once. A connect that does not
// complete, or a body that stops arriving, for the stall timeout fails the transfer;
// time spent inside the caller's callbacks never counts as a stall.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <string>

namespace platform {

struct HttpRequest {
  std::string url;                   // absolute, UTF-8
  std::string user_agent;            // sent exactly as given
  std::optional<std::string> range;  // value of a Range header, e.g. "bytes=0-99"
  std::chrono::milliseconds connect_timeout{30000};
  std::chrono::milliseconds stall_timeout{30000};
};

class HttpReceiver {
 public:
  virtual ~HttpReceiver() = default;
  // A block of the body. Return false to cancel the transfer.
  virtual bool OnBody(std::span<const std::uint8_t> block) = 0;
  // Called between blocks and while waiting for the network. Return false to cancel.
  virtual bool OnIdle() { return true; }
};

enum class HttpOutcome {
  kComplete,   // the body arrived to its end
  kFailed,     // no connection, a broken or stalled transfer, a protocol error
  kCancelled,  // the receiver or the stop token ended it
};

struct HttpResult {
  HttpOutcome outcome = HttpOutcome::kFailed;
  long status = 0;    // HTTP status of the answer, 0 when none arrived
  std::string error;  // what went wrong, for logs
};

// Runs the request to its end. A stop request wakes the transfer at once and cancels it.
HttpResult HttpGet(const HttpRequest& request, HttpReceiver& receiver, std::stop_token stop = {});

// The URL form of a path: bytes outside the unreserved set and "/" are percent-encoded.
std::string EscapeUrlPath(std::string_view utf8_path);

}  // namespace platform
