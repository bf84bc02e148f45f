// The session's queue: admission, holds, aborts, the end of a transfer, the watcher of
// the limits.
#include "platform/http/session_core.h"

#include <algorithm>
#include <new>

#include "platform/http/url_parts.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// How long the watcher sleeps at most; it is woken for every hop sent.
constexpr auto kWatchAtMost = std::chrono::seconds(1);

template <typename Container>
bool EraseState(Container& states, const HttpTransfer::State& state) {
  const auto it = std::find_if(states.begin(), states.end(), [&](const auto& p) { return p.get() == &state; });
  if (it == states.end()) return false;
  states.erase(it);
  return true;
}

}  // namespace

HttpSession::Impl::Impl(const HttpSessionOptions& options)
    : options_(options),
      wire_(MakeWire(options)),
      budget_(options.max_bytes_per_second > 0 ? std::make_unique<RateBudget>(options.max_bytes_per_second)
                                               : nullptr) {
  watcher_ = std::thread([this] { Watch(); });
}

// The watcher was joined and the wire stopped by Shutdown.
HttpSession::Impl::~Impl() = default;

void HttpSession::Impl::Submit(const StatePtr& state) {
  const char* refusal = nullptr;
  {
    std::lock_guard lock(mutex);
    if (aborting_) {
      refusal = "the session was aborted";
    } else if (!IsHttpUrl(state->request.url)) {
      refusal = "not an http or https URL";
    } else {
      // Found once: admitting looks at the host of every transfer that waits, at every
      // start and end, and many small pieces may wait.
      state->host_key = HostKey(state->request.url);
      if (state->request.urgent) {
        waiting_.push_front(state);
      } else {
        waiting_.push_back(state);
      }
    }
    if (refusal != nullptr) {
      state->done = true;
      state->result = HttpResult{.outcome = aborting_ ? HttpOutcome::kCancelled : HttpOutcome::kFailed,
                                 .error = refusal};
    }
  }
  if (refusal != nullptr) return ended.notify_all();
  Admit();
}

void HttpSession::Impl::Abort(HttpTransfer::State& state) { End(state, HttpOutcome::kCancelled, "cancelled"); }

void HttpSession::Impl::SetHeld(bool held) {
  {
    std::lock_guard lock(mutex);
    held_ = held;
  }
  if (!held) Admit();
}

void HttpSession::Impl::AbortAll() {
  std::vector<StatePtr> ending;
  {
    std::lock_guard lock(mutex);
    aborting_ = true;
    // One by one: GCC 12 at -O3 sees a null dereference in the range assign and insert
    // of these two containers that cannot happen.
    for (const StatePtr& state : waiting_) ending.push_back(state);
    for (const StatePtr& state : running_) ending.push_back(state);
  }
  for (const StatePtr& state : ending) Finish(*state, HttpOutcome::kCancelled, "cancelled");
}

void HttpSession::Impl::Shutdown() {
  AbortAll();
  {
    std::lock_guard lock(mutex);
    stopping_ = true;
  }
  watch_.notify_all();
  if (watcher_.joinable() && watcher_.get_id() != std::this_thread::get_id()) watcher_.join();
  wire_->Stop();
}

void HttpSession::Impl::Admit() {
  std::lock_guard admitting(admit_mutex_);
  const int connections = std::max(1, options_.connections_per_host);
  for (;;) {
    StatePtr next;
    {
      std::lock_guard lock(mutex);
      if (held_ || aborting_) return;
      const auto it = std::find_if(waiting_.begin(), waiting_.end(), [&](const StatePtr& state) {
        return per_host_[state->host_key] < connections;
      });
      if (it == waiting_.end()) return;
      next = *it;
      waiting_.erase(it);
      ++per_host_[next->host_key];
      running_.push_back(next);
    }
    if (!Send(next, next->request.url)) Finish(*next, HttpOutcome::kFailed, "the transfer cannot be started");
  }
}

void HttpSession::Impl::Finish(HttpTransfer::State& state, HttpOutcome outcome, std::string error) {
  std::shared_ptr<WireHop> hop;
  {
    // Held throughout: no callback of the transfer runs, and no other Finish of it, until
    // it is done.
    std::lock_guard callbacks(state.callback_mutex);
    std::optional<HttpRequestReport> report;
    {
      std::lock_guard lock(mutex);
      if (state.done) return;
      if (options_.observer != nullptr && state.hop > 0) report = Report(state, outcome, error);
    }
    // Before the transfer is done, so that its waiter returns only after the observer
    // has been told.
    if (report) options_.observer->OnRequestEnded(*report);
    std::lock_guard lock(mutex);
    state.done = true;
    state.result.outcome = outcome;
    state.result.error = std::move(error);
    hop = std::move(state.wire_hop);
    if (EraseState(running_, state)) --per_host_[state.host_key];
    EraseState(waiting_, state);
  }
  if (hop) hop->Cancel();
  ended.notify_all();
}

std::optional<HttpRequestReport> HttpSession::Impl::Report(const HttpTransfer::State& state, HttpOutcome outcome,
                                                           const std::string& error) const {
  try {
    return HttpRequestReport{
        .url = state.request.url,
        .outcome = outcome,
        .status = state.result.status,
        .bytes = state.body_bytes,
        .took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - state.first_sent),
        .redirects = state.result.redirects,
        .error = outcome == HttpOutcome::kComplete ? std::string() : error};
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // a report is not worth failing a transfer's end for
  }
}

void HttpSession::Impl::End(HttpTransfer::State& state, HttpOutcome outcome, std::string error) {
  Finish(state, outcome, std::move(error));
  Admit();
}

void HttpSession::Impl::Watch() {
  std::unique_lock lock(mutex);
  while (!stopping_) {
    const Clock::time_point now = Clock::now();
    Clock::time_point next_check = now + kWatchAtMost;
    std::vector<std::pair<StatePtr, std::string>> broken;
    for (const StatePtr& state : running_) {
      if (state->hop == 0) continue;  // admitted, not yet sent
      if (const auto rule = state->clock.Check(now)) {
        broken.emplace_back(state, std::string(*rule));
      } else {
        next_check = std::min(next_check, state->clock.NextCheck());
      }
    }
    if (broken.empty()) {
      watch_.wait_until(lock, next_check);
      continue;
    }
    lock.unlock();
    for (const auto& [state, rule] : broken) End(*state, HttpOutcome::kFailed, rule);
    lock.lock();
  }
}

}  // namespace platform
