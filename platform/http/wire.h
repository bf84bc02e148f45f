// The wire under the HTTP session: what a platform's HTTP library does for one hop (one
// request and its answer). Everything else of a transfer (admission, redirects, limits,
// holds, aborts, the receiver, the result) is the session core's, the same on every
// platform (session_core.h). libcurl's multi handle and WinInet's blocking calls each
// implement this interface in their platform's folder.
//
// What a wire guarantees:
// - Open sends the request exactly as given: a GET of `url` with `user_agent` as the
//   User-Agent and `headers` in order, no cookie, no credential, no cache, no dialog,
//   and never follows a redirect itself. With `fresh_connection` the request gets a
//   connection of its own that is closed after the answer; otherwise connections are
//   kept and reused where the library can.
// - Events of one hop come from one thread at a time, in order: OnAnswer once, when the
//   head of the final answer (not a 1xx) is in; then OnBody for each block of its body,
//   in order; then OnEnd once. Nothing more follows an event that returned false, nor
//   OnEnd. Events may begin before Open has returned, on another thread. They must not
//   be called with a lock held that Open or Cancel take.
// - A wire that keeps the connect timeout itself (KeepsConnectTimeout) fails a hop whose
//   connection is not made within `limits.connect_timeout`. Every other limit is the
//   core's; a wire may use them only to bound its library's own waits.
// - Cancel never waits for the network: the hop's resources go as soon as the wire can
//   let them go. An event already under way may still arrive; the core ignores it.
//   Cancelling a hop that has ended does nothing; the core cancels every hop it ends.
// - Stop, once the core has ended every hop, waits a bounded time for the wire's
//   threads; no hop is opened afterwards.
//
// - The rate cap: after each OnBody that returned true, NextBodyAt tells when the hop may
//   take its next block. A wire that reads on a thread of its own (WinInet) waits until
//   then before the next read (Cancel ends the wait); one driven by callbacks (libcurl)
//   pauses the hop and resumes it then. A request with `block_bytes` reads at most that
//   many bytes at once. Without a cap NextBodyAt is always in the past and `block_bytes`
//   0, and the wire reads as it always has.
//
// The session's proxy (HttpSessionOptions::proxy) goes to the library for every hop; without
// one the library's own rule stands (libcurl the usual variables, WinInet the system's
// settings).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/http/http.h"

namespace platform {

struct WireRequest {
  std::string url;                   // absolute http or https URL
  std::string user_agent;            // sent exactly as given
  std::vector<std::string> headers;  // whole header lines without their line end, in order
  HttpLimits limits{};
  bool fresh_connection = false;
  // The most bytes to read at once; 0: the wire's own block size.
  std::size_t block_bytes = 0;
};

struct WireAnswer {
  long status = 0;
  bool has_location = false;  // the answer carries a Location header
  std::string location{};     // its absolute URL, resolved against the request's; empty when unusable
};

// What a wire reports of one hop; the session core implements it.
class WireEvents {
 public:
  virtual ~WireEvents() = default;
  // The head of the final answer is in. False: the hop is to end here.
  virtual bool OnAnswer(const WireAnswer& answer) = 0;
  // A block of the answer's body. False: the hop is to end here.
  virtual bool OnBody(std::span<const std::uint8_t> block) = 0;
  // When the hop may take its next block of the body (the session's rate cap); a time
  // that has passed: at once.
  virtual std::chrono::steady_clock::time_point NextBodyAt() = 0;
  // The hop has ended: the body arrived to its end (no failure), or what went wrong.
  virtual void OnEnd(const std::optional<std::string>& failure) = 0;
};

// The wire's handle on one hop that is on its way.
class WireHop {
 public:
  virtual ~WireHop() = default;
  virtual void Cancel() = 0;
};

class Wire {
 public:
  virtual ~Wire() = default;
  virtual bool KeepsConnectTimeout() const = 0;
  // Puts the request on its way; null when the wire cannot take it (nothing is sent and
  // no event follows).
  virtual std::shared_ptr<WireHop> Open(const WireRequest& request, std::shared_ptr<WireEvents> events) = 0;
  virtual void Stop() = 0;
};

// The platform's wire for a session with these options.
std::unique_ptr<Wire> MakeWire(const HttpSessionOptions& options);

}  // namespace platform
