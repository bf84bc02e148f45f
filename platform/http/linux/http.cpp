// The HTTP session over libcurl: one multi handle per session, driven by one thread of
// the session. The multi handle's connection cache keeps the connections between
// requests; curl itself sends a request once more on a new connection when a reused
// one turns out to be closed before any answer arrived.
#include "platform/http/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyFree {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool IsRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

bool IsHttpsUrl(std::string_view url) { return StartsWithNoCase(url, "https://"); }
bool IsHttpUrl(std::string_view url) { return StartsWithNoCase(url, "http://") || IsHttpsUrl(url); }

// "scheme://authority" of a URL, lower case: the key of its host's connections.
std::string HostKey(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  const std::size_t end = url.find_first_of("/?#", start);
  std::string key(url.substr(0, end));
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  return key;
}

}  // namespace

// Shared between the session's thread, the waiters and the handle. Fields marked
// "session thread" are touched only there; the rest under the session's mutex.
struct HttpTransfer::State {
  std::shared_ptr<HttpSession::Impl> session;
  HttpRequest request;
  HttpReceiver* receiver = nullptr;

  // Under the session's mutex.
  bool done = false;
  bool abort_requested = false;
  HttpResult result;

  // Session thread.
  std::unique_ptr<CURL, EasyFree> easy;
  std::unique_ptr<curl_slist, SlistFree> headers;
  std::string url;       // of the current hop
  std::string host_key;  // the host whose connection count it holds
  int redirects = 0;
  bool has_location = false;  // the current answer's headers carry a Location
  bool judged = false;        // the current hop's answer has been classified
  bool redirecting = false;  // ... as a redirect, whose body is dropped
  bool announced = false;    // OnResponse was called
  bool receiver_cancelled = false;
  Clock::time_point last_activity;
  Clock::time_point window_start;
  std::size_t window_bytes = 0;
};

class HttpSession::Impl {
 public:
  explicit Impl(const HttpSessionOptions& options);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  void Submit(const std::shared_ptr<HttpTransfer::State>& state);
  void RequestAbort(HttpTransfer::State& state);
  void SetHeld(bool held);
  void AbortAll();
  void Shutdown();

  std::mutex mutex;
  std::condition_variable ended;

 private:
  using StatePtr = std::shared_ptr<HttpTransfer::State>;

  void Loop();
  void Admit(Clock::time_point now);
  void SendHop(HttpTransfer::State& state, Clock::time_point now);
  bool Configure(HttpTransfer::State& state);
  void OnDone(HttpTransfer::State& state, CURLcode code);
  void CheckLimits(Clock::time_point now);
  void Finish(HttpTransfer::State& state, HttpOutcome outcome, std::string error);
  void Wake() { curl_multi_wakeup(multi_); }

  static size_t OnWrite(char* data, size_t size, size_t count, void* user);
  static size_t OnHeader(char* data, size_t size, size_t count, void* user);

  const HttpSessionOptions options_;
  CURLM* multi_ = nullptr;

  // Under mutex.
  std::deque<StatePtr> waiting_;
  bool held_ = false;
  bool aborting_ = false;
  bool stopping_ = false;

  // Session thread.
  std::vector<StatePtr> running_;
  std::map<std::string, int> per_host_;

  std::thread thread_;
};

HttpSession::Impl::Impl(const HttpSessionOptions& options) : options_(options) {
  InitCurlOnce();
  multi_ = curl_multi_init();
  if (multi_ == nullptr) throw std::bad_alloc();
  const long connections = std::max(1, options_.connections_per_host);
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, connections);
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, std::max(8L, 4 * connections));
  curl_multi_setopt(multi_, CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_NOTHING));
  thread_ = std::thread([this] { Loop(); });
}

HttpSession::Impl::~Impl() {
  Shutdown();
  curl_multi_cleanup(multi_);
}

void HttpSession::Impl::Submit(const StatePtr& state) {
  {
    std::lock_guard lock(mutex);
    if (!aborting_) {
      if (state->request.urgent) waiting_.push_front(state);
      else waiting_.push_back(state);
      Wake();
      return;
    }
    state->done = true;
    state->result = HttpResult{.outcome = HttpOutcome::kCancelled, .error = "the session was aborted"};
  }
  ended.notify_all();
}

void HttpSession::Impl::RequestAbort(HttpTransfer::State& state) {
  std::lock_guard lock(mutex);
  if (state.done) return;
  state.abort_requested = true;
  Wake();
}

void HttpSession::Impl::SetHeld(bool held) {
  std::lock_guard lock(mutex);
  held_ = held;
  Wake();
}

void HttpSession::Impl::AbortAll() {
  std::lock_guard lock(mutex);
  aborting_ = true;
  Wake();
}

void HttpSession::Impl::Shutdown() {
  {
    std::lock_guard lock(mutex);
    aborting_ = true;
    stopping_ = true;
    Wake();
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

size_t HttpSession::Impl::OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& state = *static_cast<HttpTransfer::State*>(user);
  const std::string_view line(data, size * count);
  state.last_activity = Clock::now();
  state.window_bytes += line.size();
  if (StartsWithNoCase(line, "http/")) state.has_location = false;  // a new answer (after a 1xx)
  if (StartsWithNoCase(line, "location:")) state.has_location = true;
  return line.size();
}

size_t HttpSession::Impl::OnWrite(char* data, size_t size, size_t count, void* user) {
  auto& state = *static_cast<HttpTransfer::State*>(user);
  const size_t bytes = size * count;
  state.last_activity = Clock::now();
  state.window_bytes += bytes;
  if (!state.judged) {
    state.judged = true;
    long status = 0;
    curl_easy_getinfo(state.easy.get(), CURLINFO_RESPONSE_CODE, &status);
    state.redirecting = IsRedirectStatus(status) && state.has_location;
    if (!state.redirecting) {
      state.announced = true;
      if (!state.receiver->OnResponse(status)) {
        state.receiver_cancelled = true;
        return CURL_WRITEFUNC_ERROR;
      }
    }
  }
  if (state.redirecting) return bytes;  // a redirect's own page is nobody's body
  if (!state.receiver->OnBody({reinterpret_cast<const std::uint8_t*>(data), bytes})) {
    state.receiver_cancelled = true;
    return CURL_WRITEFUNC_ERROR;
  }
  return bytes;
}

bool HttpSession::Impl::Configure(HttpTransfer::State& state) {
  state.easy.reset(curl_easy_init());
  if (!state.easy) return false;
  auto add_header = [&state](const std::string& line) {
    curl_slist* grown = curl_slist_append(state.headers.get(), line.c_str());
    if (grown == nullptr) return false;
    (void)state.headers.release();
    state.headers.reset(grown);
    return true;
  };
  if (!add_header("Pragma: no-cache") || !add_header("Cache-Control: no-cache")) return false;
  if (state.request.range && !add_header("Range: " + *state.request.range)) return false;

  CURL* h = state.easy.get();
  curl_easy_setopt(h, CURLOPT_USERAGENT, state.request.user_agent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, state.headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Impl::OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 256L * 1024L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(state.request.limits.connect_timeout.count()));
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);  // redirects are followed here, by our own rules
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.ca_file.empty()) {
    curl_easy_setopt(h, CURLOPT_CAINFO, options_.ca_file.c_str());
    curl_easy_setopt(h, CURLOPT_CAPATH, static_cast<const char*>(nullptr));  // no system directory either
  }
  if (options_.fresh_connections) {
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  }
  return true;
}

// Puts the state's current URL on the wire.
void HttpSession::Impl::SendHop(HttpTransfer::State& state, Clock::time_point now) {
  state.judged = false;
  state.redirecting = false;
  state.has_location = false;
  state.last_activity = now;
  state.window_start = now;
  state.window_bytes = 0;
  curl_easy_setopt(state.easy.get(), CURLOPT_URL, state.url.c_str());
  if (curl_multi_add_handle(multi_, state.easy.get()) != CURLM_OK) {
    Finish(state, HttpOutcome::kFailed, "curl cannot take the transfer");
  }
}

// Moves waiting transfers onto the wire while their hosts have connections to spare.
void HttpSession::Impl::Admit(Clock::time_point now) {
  std::vector<StatePtr> admitted;
  std::vector<StatePtr> cancelled;
  {
    std::lock_guard lock(mutex);
    const int connections = std::max(1, options_.connections_per_host);
    for (auto it = waiting_.begin(); it != waiting_.end();) {
      if (aborting_ || (*it)->abort_requested) {
        cancelled.push_back(*it);
        it = waiting_.erase(it);
      } else if (!held_ && per_host_[HostKey((*it)->request.url)] < connections) {
        ++per_host_[HostKey((*it)->request.url)];
        admitted.push_back(*it);
        it = waiting_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const StatePtr& state : cancelled) Finish(*state, HttpOutcome::kCancelled, "cancelled");
  for (const StatePtr& state : admitted) {
    state->url = state->request.url;
    state->host_key = HostKey(state->url);
    running_.push_back(state);
    if (!Configure(*state)) {
      Finish(*state, HttpOutcome::kFailed, "curl cannot be initialised");
      continue;
    }
    SendHop(*state, now);
  }
}

void HttpSession::Impl::OnDone(HttpTransfer::State& state, CURLcode code) {
  if (state.receiver_cancelled) return Finish(state, HttpOutcome::kCancelled, "cancelled by the receiver");
  if (code != CURLE_OK) return Finish(state, HttpOutcome::kFailed, curl_easy_strerror(code));
  long status = 0;
  char* location = nullptr;
  curl_easy_getinfo(state.easy.get(), CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(state.easy.get(), CURLINFO_REDIRECT_URL, &location);
  if (IsRedirectStatus(status) && state.has_location) {
    if (state.redirects >= options_.max_redirects) return Finish(state, HttpOutcome::kFailed, "too many redirects");
    if (location == nullptr || !IsHttpUrl(location)) return Finish(state, HttpOutcome::kFailed, "a redirect to another scheme");
    if (IsHttpsUrl(state.url) && !IsHttpsUrl(location)) {
      return Finish(state, HttpOutcome::kFailed, "a redirect from https to plain http");
    }
    ++state.redirects;
    state.url = location;
    curl_multi_remove_handle(multi_, state.easy.get());
    return SendHop(state, Clock::now());
  }
  if (!state.announced && status != 0) {
    state.announced = true;
    if (!state.receiver->OnResponse(status)) return Finish(state, HttpOutcome::kCancelled, "cancelled by the receiver");
  }
  Finish(state, HttpOutcome::kComplete, {});
}

void HttpSession::Impl::CheckLimits(Clock::time_point now) {
  // Copied: Finish takes transfers out of running_.
  const std::vector<StatePtr> running = running_;
  for (const StatePtr& state : running) {
    bool abort = false;
    {
      std::lock_guard lock(mutex);
      abort = aborting_ || state->abort_requested;
    }
    const HttpLimits& limits = state->request.limits;
    if (abort) {
      Finish(*state, HttpOutcome::kCancelled, "cancelled");
    } else if (now - state->last_activity > limits.stall_timeout) {
      Finish(*state, HttpOutcome::kFailed, "nothing arrived for the stall timeout");
    } else if (now - state->window_start >= limits.slow_window) {
      if (state->window_bytes < limits.slow_min_bytes) {
        Finish(*state, HttpOutcome::kFailed, "the answer arrives too slowly");
      } else {
        state->window_start = now;
        state->window_bytes = 0;
      }
    }
  }
}

void HttpSession::Impl::Finish(HttpTransfer::State& state, HttpOutcome outcome, std::string error) {
  HttpResult result{.outcome = outcome, .redirects = state.redirects, .error = std::move(error)};
  if (state.easy) {
    curl_easy_getinfo(state.easy.get(), CURLINFO_RESPONSE_CODE, &result.status);
    curl_multi_remove_handle(multi_, state.easy.get());
    state.easy.reset();
    state.headers.reset();
  }
  if (const auto it = std::find_if(running_.begin(), running_.end(), [&](const StatePtr& p) { return p.get() == &state; });
      it != running_.end()) {
    --per_host_[state.host_key];
    running_.erase(it);  // may drop the last reference but one: the caller's
  }
  {
    std::lock_guard lock(mutex);
    state.done = true;
    state.result = std::move(result);
  }
  ended.notify_all();
}

void HttpSession::Impl::Loop() {
  for (;;) {
    const Clock::time_point now = Clock::now();
    Admit(now);
    CheckLimits(now);
    {
      std::lock_guard lock(mutex);
      if (stopping_ && waiting_.empty() && running_.empty()) return;
    }
    int still_running = 0;
    curl_multi_perform(multi_, &still_running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      const auto it = std::find_if(running_.begin(), running_.end(),
                                   [&](const StatePtr& p) { return p->easy.get() == message->easy_handle; });
      if (it == running_.end()) continue;
      const StatePtr state = *it;  // keeps it alive through Finish
      OnDone(*state, message->data.result);
    }
    long timeout_ms = running_.empty() ? 1000 : 100;
    long curl_timeout = -1;
    curl_multi_timeout(multi_, &curl_timeout);
    if (curl_timeout >= 0) timeout_ms = std::min(timeout_ms, curl_timeout);
    curl_multi_poll(multi_, nullptr, 0, static_cast<int>(timeout_ms), nullptr);
  }
}

// HttpTransfer

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
    session.ended.wait_for(lock, tick, [this] { return state_->done; });
    if (state_->done) break;
    lock.unlock();
    const bool go_on = idle();
    if (!go_on) {
      session.RequestAbort(*state_);
      asking = false;
    }
    lock.lock();
  }
  return state_->result;
}

void HttpTransfer::Abort() {
  if (state_) state_->session->RequestAbort(*state_);
}

// HttpSession

HttpSession::HttpSession(const HttpSessionOptions& options)
    : options_(options), impl_(std::make_shared<Impl>(options)) {}

HttpSession::~HttpSession() { impl_->Shutdown(); }

HttpTransfer HttpSession::Start(const HttpRequest& request, HttpReceiver& receiver) {
  auto state = std::make_shared<HttpTransfer::State>();
  state->session = impl_;
  state->request = request;
  state->receiver = &receiver;
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
