// The handles of the session and its transfers.
#include "platform/http/session_core.h"

namespace platform {

HttpTransfer::HttpTransfer(HttpTransfer&& other) noexcept : state_(std::move(other.state_)) {}

HttpTransfer& HttpTransfer::operator=(HttpTransfer&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::move(other.state_);
  }
  return *this;
}

HttpTransfer::~HttpTransfer() { Release(); }

void HttpTransfer::Release() {
  if (!state_) return;
  if (!Finished()) {
    Abort();
    Wait();
  }
  state_.reset();
}

bool HttpTransfer::Finished() const {
  if (!state_) return true;
  std::lock_guard lock(state_->session->mutex);
  return state_->done;
}

HttpResult HttpTransfer::Wait(const std::function<bool()>& idle, std::chrono::milliseconds tick) {
  if (!state_) return HttpResult{.error = "no transfer"};
  HttpSession::Impl& session = *state_->session;
  bool asking = static_cast<bool>(idle);
  std::unique_lock lock(session.mutex);
  while (!state_->done) {
    if (!asking) {
      session.ended.wait(lock, [this] { return state_->done; });
      break;
    }
    if (session.ended.wait_for(lock, tick, [this] { return state_->done; })) break;
    lock.unlock();
    if (!idle()) {
      session.Abort(*state_);
      asking = false;
    }
    lock.lock();
  }
  return state_->result;
}

void HttpTransfer::Abort() {
  if (state_) state_->session->Abort(*state_);
}

HttpSession::HttpSession(const HttpSessionOptions& options)
    : options_(options), impl_(std::make_shared<Impl>(options)) {}

HttpSession::~HttpSession() { impl_->Shutdown(); }

HttpTransfer HttpSession::Start(const HttpRequest& request, HttpReceiver& receiver) {
  auto state = std::make_shared<HttpTransfer::State>(impl_, request, receiver, impl_->WireKeepsConnectTimeout());
  impl_->Submit(state);
  return HttpTransfer(std::move(state));
}

HttpResult HttpSession::Get(const HttpRequest& request, HttpReceiver& receiver, const std::function<bool()>& idle) {
  HttpTransfer transfer = Start(request, receiver);
  return transfer.Wait(idle);
}

void HttpSession::Hold() { impl_->SetHeld(true); }
void HttpSession::Release() { impl_->SetHeld(false); }
void HttpSession::Abort() { impl_->AbortAll(); }

}  // namespace platform
