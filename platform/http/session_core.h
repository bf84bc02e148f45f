// The HTTP session's core, the same on every platform: the admission queue (connections
// per host, urgent requests first, hold and release, abort), the transfers' ends and
// results, the redirects a transfer follows and the limits of each hop. Requests travel
// over the platform's wire (wire.h), one hop at a time.
//
// Threads. Transfers are started, held, released and aborted from any thread. The
// wire's events arrive on its threads (libcurl: the one thread that drives the multi
// handle; WinInet: one thread per hop). One watcher thread of the session ends hops that
// break their limits. The next hop of a redirect and the next transfer waiting for a
// connection are put on the wire from whichever thread ended the one before, at once.
//
// A session's proxy is an option the wire reads (MakeWire takes the options). The
// observer is told of a transfer by the call of Finish that ends it, with the transfer's
// `callback_mutex` held and `mutex` not, just before the transfer is done.
//
// Locks. `mutex` guards the queue, the counts and every field of a transfer marked so;
// a transfer's `callback_mutex` is held while its receiver is called and while it is
// ended, so that no callback runs after the end (taken before `mutex`, never the other
// way). Neither is held while a wire's Open or Cancel runs.
//
// The rate cap is a budget of the session (RateBudget), paid in OnBody for every block
// as it arrives; the time the hop may read again is the transfer's, which the wire asks
// for (wire.h says how each wire waits for it). Failover between hosts is decided above
// the session, from HttpResult.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/http/hop_clock.h"
#include "platform/http/http.h"
#include "platform/http/rate_budget.h"
#include "platform/http/wire.h"

namespace platform {

struct HttpTransfer::State {
  State(std::shared_ptr<HttpSession::Impl> owner, const HttpRequest& asked, HttpReceiver& to, bool keeps_connect)
      : session(std::move(owner)), request(asked), receiver(&to), clock(asked.limits, keeps_connect) {}

  const std::shared_ptr<HttpSession::Impl> session;
  const HttpRequest request;
  HttpReceiver* const receiver;
  std::mutex callback_mutex;

  // Under the session's mutex.
  bool done = false;
  HttpResult result;
  std::string host_key;     // the host it waits for, and whose connection it holds while it runs
  int hop = 0;              // the current hop's number, from 1; 0 while it waits
  std::string url;          // of the current hop
  std::string next_url;     // where the current hop's redirect leads, once it is one
  bool redirecting = false;  // the current hop's answer is a redirect being followed
  std::uint64_t redirect_page_bytes = 0;  // of that redirect's own page, so far
  std::uint64_t body_bytes = 0;           // handed to the receiver
  std::chrono::steady_clock::time_point first_sent{};  // of hop 1, for the observer
  std::chrono::steady_clock::time_point next_body_at{};  // the rate cap's: when the hop may read again
  HopClock clock;
  std::shared_ptr<WireHop> wire_hop;
};

class HttpSession::Impl : public std::enable_shared_from_this<HttpSession::Impl> {
 public:
  using StatePtr = std::shared_ptr<HttpTransfer::State>;

  explicit Impl(const HttpSessionOptions& options);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  bool WireKeepsConnectTimeout() const { return wire_->KeepsConnectTimeout(); }

  void Submit(const StatePtr& state);
  void Abort(HttpTransfer::State& state);
  void SetHeld(bool held);
  void AbortAll();
  // Aborts every transfer, ends the watcher and stops the wire.
  void Shutdown();

  // The wire's events of hop `hop` of a transfer (hop_events.cpp); those of a hop that
  // is no longer the transfer's current one are ignored.
  bool OnAnswer(HttpTransfer::State& state, int hop, const WireAnswer& answer);
  bool OnBody(HttpTransfer::State& state, int hop, std::span<const std::uint8_t> block);
  void OnEnd(const StatePtr& state, int hop, const std::optional<std::string>& failure);
  std::chrono::steady_clock::time_point NextBodyAt(HttpTransfer::State& state, int hop);

  std::mutex mutex;
  std::condition_variable ended;

 private:
  // Moves waiting transfers onto the wire while their hosts have connections to spare.
  void Admit();
  // Puts a hop of the transfer on the wire; false when the wire cannot take it.
  bool Send(const StatePtr& state, const std::string& url);
  // Ends a transfer once (later calls do nothing) and cancels its hop on the wire.
  void Finish(HttpTransfer::State& state, HttpOutcome outcome, std::string error);
  // What the session's observer is told of a transfer that ends now; under mutex.
  std::optional<HttpRequestReport> Report(const HttpTransfer::State& state, HttpOutcome outcome,
                                          const std::string& error) const;
  // Finish, then admits what the freed connection lets through.
  void End(HttpTransfer::State& state, HttpOutcome outcome, std::string error);
  bool IsCurrent(const HttpTransfer::State& state, int hop) const { return !state.done && state.hop == hop; }
  void Watch();

  const HttpSessionOptions options_;
  const std::unique_ptr<Wire> wire_;
  const std::unique_ptr<RateBudget> budget_;  // null without a cap

  // Under mutex.
  std::deque<StatePtr> waiting_;
  std::vector<StatePtr> running_;
  std::map<std::string, int> per_host_;
  bool held_ = false;
  bool aborting_ = false;
  bool stopping_ = false;
  std::condition_variable watch_;

  // Serialises admissions, so that transfers go on the wire in the order admitted.
  std::mutex admit_mutex_;
  std::thread watcher_;
};

}  // namespace platform
