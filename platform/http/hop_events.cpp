// One hop of a transfer on the wire: sending it, and what its events do to the
// transfer (the receiver's calls, the redirect to follow, the end).
#include <utility>

#include "platform/http/redirects.h"
#include "platform/http/session_core.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kMaxRedirectPage = 64 * 1024;

// The wire's events of one hop, handed on to the session with the hop's number.
class HopEvents final : public WireEvents {
 public:
  HopEvents(std::shared_ptr<HttpTransfer::State> state, int hop) : state_(std::move(state)), hop_(hop) {}

  bool OnAnswer(const WireAnswer& answer) override { return state_->session->OnAnswer(*state_, hop_, answer); }
  bool OnBody(std::span<const std::uint8_t> block) override { return state_->session->OnBody(*state_, hop_, block); }
  void OnEnd(const std::optional<std::string>& failure) override { state_->session->OnEnd(state_, hop_, failure); }
  Clock::time_point NextBodyAt() override { return state_->session->NextBodyAt(*state_, hop_); }

 private:
  const std::shared_ptr<HttpTransfer::State> state_;
  const int hop_;
};

// The same headers on every hop: never from a cache, and the Range asked for.
std::vector<std::string> RequestHeaders(const HttpRequest& request) {
  std::vector<std::string> headers = {"Pragma: no-cache", "Cache-Control: no-cache"};
  if (request.range) headers.push_back("Range: " + *request.range);
  return headers;
}

}  // namespace

bool HttpSession::Impl::Send(const StatePtr& state, const std::string& url) {
  int hop = 0;
  {
    std::lock_guard lock(mutex);
    if (state->done) return true;
    hop = ++state->hop;
    state->url = url;
    state->redirecting = false;
    state->redirect_page_bytes = 0;
    const Clock::time_point now = Clock::now();
    if (hop == 1) state->first_sent = now;
    state->clock.Sent(now);
  }
  watch_.notify_all();
  const WireRequest request{.url = url,
                            .user_agent = state->request.user_agent,
                            .headers = RequestHeaders(state->request),
                            .limits = state->request.limits,
                            .fresh_connection = options_.fresh_connections,
                            .block_bytes = budget_ ? budget_->BlockBytes() : 0};
  std::shared_ptr<WireHop> opened = wire_->Open(request, std::make_shared<HopEvents>(state, hop));
  if (!opened) return false;
  {
    std::lock_guard lock(mutex);
    if (IsCurrent(*state, hop)) {
      state->wire_hop = opened;
      return true;
    }
  }
  opened->Cancel();  // ended while it was being sent
  return true;
}

bool HttpSession::Impl::OnAnswer(HttpTransfer::State& state, int hop, const WireAnswer& answer) {
  std::unique_lock callbacks(state.callback_mutex);
  std::optional<std::string> refusal;
  {
    std::lock_guard lock(mutex);
    if (!IsCurrent(state, hop)) return false;
    state.result.status = answer.status;
    state.clock.Answered(Clock::now());
    if (IsFollowedRedirect(answer)) {
      refusal = RedirectRefusal(state.url, answer, state.result.redirects, options_.max_redirects);
      if (!refusal) {
        state.redirecting = true;  // its own page is nobody's body
        state.next_url = answer.location;
        return true;
      }
    }
  }
  const bool go_on = !refusal && state.receiver->OnResponse(answer.status);
  callbacks.unlock();
  if (refusal) End(state, HttpOutcome::kFailed, std::move(*refusal));
  else if (!go_on) End(state, HttpOutcome::kCancelled, "cancelled by the receiver");
  return go_on;
}

bool HttpSession::Impl::OnBody(HttpTransfer::State& state, int hop, std::span<const std::uint8_t> block) {
  std::unique_lock callbacks(state.callback_mutex);
  bool refused = false;
  {
    std::lock_guard lock(mutex);
    if (!IsCurrent(state, hop)) return false;
    // A redirect's own page is read to its end, so that the connection can be kept, but
    // it is nobody's progress: one that drips forever ends by the stall limits or here.
    if (state.redirecting) {
      state.redirect_page_bytes += block.size();
      if (state.redirect_page_bytes <= kMaxRedirectPage) return true;
      refused = true;
    } else {
      const Clock::time_point now = Clock::now();
      state.clock.Arrived(now, block.size());
      state.body_bytes += block.size();
      if (budget_) {
        state.next_body_at = budget_->Take(block.size(), now);
        state.clock.HeldBack(now, state.next_body_at);
      }
    }
  }
  if (refused) {
    callbacks.unlock();
    End(state, HttpOutcome::kFailed, "the redirect's page is larger than 64 KiB");
    return false;
  }
  const bool go_on = state.receiver->OnBody(block);
  callbacks.unlock();
  if (!go_on) End(state, HttpOutcome::kCancelled, "cancelled by the receiver");
  return go_on;
}

Clock::time_point HttpSession::Impl::NextBodyAt(HttpTransfer::State& state, int hop) {
  if (!budget_) return {};
  std::lock_guard lock(mutex);
  return IsCurrent(state, hop) ? state.next_body_at : Clock::time_point{};
}

void HttpSession::Impl::OnEnd(const StatePtr& state, int hop, const std::optional<std::string>& failure) {
  std::string next;
  {
    std::lock_guard lock(mutex);
    if (!IsCurrent(*state, hop)) return;
    if (!failure && state->redirecting) {
      ++state->result.redirects;
      next = state->next_url;
      state->wire_hop.reset();  // the wire is done with it
    }
  }
  if (failure) return End(*state, HttpOutcome::kFailed, *failure);
  if (next.empty()) return End(*state, HttpOutcome::kComplete, {});
  if (!Send(state, next)) End(*state, HttpOutcome::kFailed, "the transfer cannot be started");
}

}  // namespace platform
