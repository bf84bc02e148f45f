// The HTTP session over WinInet: one InternetOpenW handle per session, whose
// connections WinInet keeps and reuses between requests. Every transfer runs its
// blocking WinInet calls (InternetOpenUrlW, InternetReadFile) on a thread of its own;
// one thread of the session admits waiting transfers and watches the running ones.
//
// Nothing here ever waits for a blocking WinInet call. A transfer ends (limit broken,
// abort, receiver's no) the moment the watcher or the transfer's own thread decides it:
// its result is set and its receiver is called no more. A transfer's thread owns its
// URL handle and closes it; only while that thread is inside a call on the handle does
// the end close it from outside, to cut the call short (the call holds the handle, so
// its value cannot meanwhile name another transfer's). Where closing does not wake the
// call (wine), the thread stays in it until WinInet's own timeout and then leaves
// quietly: it holds its state and the session's by shared ownership. The session's end
// waits a little for such threads, so that a program that ends right afterwards has
// none left running.
//
// Fresh connections: "Connection: close" on every request, so that none is kept. WinInet
// pools idle connections per process, not per session, so a fresh session's first
// request may still go out on one that another session of the process left idle.
//
// Redirects are followed here rather than by WinInet (INTERNET_FLAG_NO_AUTO_REDIRECT),
// so that they are counted, limited to http and https (never from https down to http),
// and sent with the same headers.
//
// HTTPS: WinInet checks the chain against the system's store and the host name. It has
// no way to trust the certificates of one file only, so a session given a CA file of its
// own refuses https rather than trust more than it was told to.
#include "platform/http/http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/base/utf.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
// INTERNET_FLAG_PRAGMA_NOCACHE: always from the server, no cache, no dialogs.
constexpr DWORD kOpenUrlFlags = 0x84000300;
constexpr std::size_t kBlockBytes = 64 * 1024;
constexpr auto kWatchTick = std::chrono::milliseconds(20);

bool IsRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsHttpUrl(std::string_view url) { return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://"); }
bool IsHttpsUrl(std::string_view url) { return StartsWithNoCase(url, "https://"); }

// "scheme://authority" of a URL, lower case: the key of its host's connections.
std::string HostKey(std::string_view url) {
  const std::size_t scheme = url.find("://");
  const std::size_t start = scheme == std::string_view::npos ? 0 : scheme + 3;
  std::string key(url.substr(0, url.find_first_of("/?#", start)));
  for (char& c : key) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  return key;
}

std::wstring Wide(std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return {text.begin(), text.end()};
}

std::string Narrow(const std::wstring& wide) { return Utf16ToUtf8(std::u16string(wide.begin(), wide.end())); }

std::string ErrorText(const char* what) { return std::string(what) + " (error " + std::to_string(::GetLastError()) + ")"; }

DWORD Milliseconds(std::chrono::milliseconds duration) {
  return static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(duration.count(), 1, 0x7FFFFFFF));
}

DWORD WINAPI RunUnjoined(void* parameter) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

// Starts `body` on a thread that nobody joins; false when no thread can be made. A
// native thread rather than a detached std::thread: the C++ library's threads here
// (winpthreads) recycle the record of a detached thread while that thread is still
// ending, and a thread started meanwhile may begin with another's start argument or
// none, or its detach fail (seen under wine as a null start argument, a lock on a
// mutex that is not one, and std::thread::detach throwing EINVAL).
bool StartUnjoinedThread(std::function<void()> body) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  const HANDLE thread = ::CreateThread(nullptr, 0, &RunUnjoined, owned.get(), 0, nullptr);
  if (thread == nullptr) return false;
  owned.release();  // RunUnjoined owns it now
  ::CloseHandle(thread);
  return true;
}

struct InternetHandleClose {
  void operator()(void* handle) const { ::InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleClose>;

}  // namespace

// Shared between the session's watcher, the transfer's thread, the waiters and the
// handle. Fields under the session's mutex unless marked otherwise.
struct HttpTransfer::State {
  std::shared_ptr<HttpSession::Impl> session;
  HttpRequest request;
  HttpReceiver* receiver = nullptr;

  // Held while the receiver is being called, and by whoever ends the transfer, so that
  // no callback runs after the end.
  std::mutex callback_mutex;

  bool done = false;
  bool abort_requested = false;
  HttpResult result;

  std::string host_key;
  HINTERNET url_handle = nullptr;  // of the current hop, once opened; whoever takes it closes it
  bool in_call = false;            // the transfer's thread is inside a WinInet call on url_handle
  int redirects = 0;
  bool answered = false;  // the current hop's headers are in
  Clock::time_point sent;
  Clock::time_point last_activity;
  Clock::time_point window_start;
  std::size_t window_bytes = 0;
};

class HttpSession::Impl : public std::enable_shared_from_this<HttpSession::Impl> {
 public:
  explicit Impl(const HttpSessionOptions& options);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  void Begin() { watcher_ = std::thread([this] { Watch(); }); }
  void Submit(const std::shared_ptr<HttpTransfer::State>& state);
  void RequestAbort(HttpTransfer::State& state);
  void SetHeld(bool held);
  void AbortAll();
  void Shutdown();

  std::mutex mutex;
  std::condition_variable ended;

 private:
  using StatePtr = std::shared_ptr<HttpTransfer::State>;

  void Watch();
  void Admit();
  void CheckRunning(Clock::time_point now);
  void RaiseTimeouts(const HttpLimits& limits);

  // The transfer's own thread.
  static void Run(const std::shared_ptr<Impl>& self, const StatePtr& state);
  bool Hop(HttpTransfer::State& state, std::string& url);
  void Receive(HttpTransfer::State& state, HINTERNET handle);
  // Calls the receiver unless the transfer has ended; false when it has or when the
  // receiver cancels it.
  template <typename Call>
  bool Deliver(HttpTransfer::State& state, Call&& call);

  // Ends a transfer once (later calls do nothing) and closes its handle.
  void Finish(HttpTransfer::State& state, HttpOutcome outcome, std::string error);
  // The transfer's thread around each call on its handle: false (and no call) once the
  // transfer has ended.
  bool EnterCall(HttpTransfer::State& state);
  void LeaveCall(HttpTransfer::State& state);
  // Closes the hop's handle unless the end already has.
  void CloseHop(HttpTransfer::State& state);

  const HttpSessionOptions options_;
  InternetHandle internet_;
  DWORD connect_timeout_ms_ = 0;
  DWORD receive_timeout_ms_ = 0;

  // Under mutex.
  std::deque<StatePtr> waiting_;
  std::vector<StatePtr> running_;
  std::map<std::string, int> per_host_;
  bool held_ = false;
  bool aborting_ = false;
  bool stopping_ = false;
  std::condition_variable wake_;
  int threads_ = 0;  // transfers' threads that have not returned yet
  std::condition_variable threads_ended_;

  std::thread watcher_;
};

HttpSession::Impl::Impl(const HttpSessionOptions& options) : options_(options) {
  // No agent for the session: each request carries its own User-Agent header.
  internet_.reset(::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  // WinInet's own cap on connections to one server is process-wide; ours is per session
  // (Admit), so WinInet's must not be lower.
  DWORD connections = static_cast<DWORD>(std::max(1, options_.connections_per_host));
  DWORD current = 0;
  DWORD size = sizeof current;
  if (::InternetQueryOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &current, &size) == 0 ||
      current < connections) {
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
  }
}

// The transfers' threads are gone (each held this object) and the watcher was joined.
HttpSession::Impl::~Impl() = default;

// WinInet's own timeouts only bound how long a transfer's thread may stay in a call
// after its transfer has ended; the limits themselves are kept by the watcher. They are
// set on the session, whose requests inherit them, to the longest any request asked.
void HttpSession::Impl::RaiseTimeouts(const HttpLimits& limits) {
  if (!internet_) return;
  DWORD connect = Milliseconds(limits.connect_timeout);
  DWORD receive = Milliseconds(std::max(limits.stall_timeout, limits.connect_timeout));
  if (connect > connect_timeout_ms_) {
    connect_timeout_ms_ = connect;
    ::InternetSetOptionW(internet_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  }
  if (receive > receive_timeout_ms_) {
    receive_timeout_ms_ = receive;
    ::InternetSetOptionW(internet_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
    ::InternetSetOptionW(internet_.get(), INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
  }
}

void HttpSession::Impl::Submit(const StatePtr& state) {
  {
    std::lock_guard lock(mutex);
    if (!aborting_) {
      if (state->request.urgent) waiting_.push_front(state);
      else waiting_.push_back(state);
      wake_.notify_all();
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
  wake_.notify_all();
}

void HttpSession::Impl::SetHeld(bool held) {
  std::lock_guard lock(mutex);
  held_ = held;
  wake_.notify_all();
}

void HttpSession::Impl::AbortAll() {
  std::lock_guard lock(mutex);
  aborting_ = true;
  wake_.notify_all();
}

void HttpSession::Impl::Shutdown() {
  {
    std::lock_guard lock(mutex);
    aborting_ = true;
    stopping_ = true;
    wake_.notify_all();
  }
  if (watcher_.joinable() && watcher_.get_id() != std::this_thread::get_id()) watcher_.join();
  // Every transfer has ended; their threads leave at once unless a WinInet call that a
  // closed handle does not wake holds one.
  std::unique_lock lock(mutex);
  threads_ended_.wait_for(lock, std::chrono::seconds(2), [this] { return threads_ == 0; });
}

bool HttpSession::Impl::EnterCall(HttpTransfer::State& state) {
  std::lock_guard lock(mutex);
  if (state.done) return false;
  state.in_call = true;
  return true;
}

void HttpSession::Impl::LeaveCall(HttpTransfer::State& state) {
  std::lock_guard lock(mutex);
  state.in_call = false;
}

void HttpSession::Impl::CloseHop(HttpTransfer::State& state) {
  HINTERNET handle = nullptr;
  {
    std::lock_guard lock(mutex);
    handle = std::exchange(state.url_handle, nullptr);
  }
  if (handle != nullptr) ::InternetCloseHandle(handle);
}

void HttpSession::Impl::Finish(HttpTransfer::State& state, HttpOutcome outcome, std::string error) {
  HINTERNET cut = nullptr;
  {
    std::lock_guard callbacks(state.callback_mutex);
    std::lock_guard lock(mutex);
    if (state.done) return;
    if (state.in_call) cut = std::exchange(state.url_handle, nullptr);
    state.done = true;
    state.result = HttpResult{.outcome = outcome, .status = state.result.status, .redirects = state.redirects,
                              .error = std::move(error)};
    if (const auto it = std::find_if(running_.begin(), running_.end(),
                                     [&](const StatePtr& p) { return p.get() == &state; });
        it != running_.end()) {
      --per_host_[state.host_key];
      running_.erase(it);
      wake_.notify_all();  // the host has a connection to spare
    }
  }
  // Cuts a blocked call short where WinInet allows it.
  if (cut != nullptr) ::InternetCloseHandle(cut);
  ended.notify_all();
}

template <typename Call>
bool HttpSession::Impl::Deliver(HttpTransfer::State& state, Call&& call) {
  std::lock_guard callbacks(state.callback_mutex);
  {
    std::lock_guard lock(mutex);
    if (state.done) return false;
  }
  return call();
}

// Moves waiting transfers onto threads of their own while their hosts have connections
// to spare.
void HttpSession::Impl::Admit() {
  std::vector<StatePtr> admitted;
  std::vector<StatePtr> cancelled;
  {
    std::lock_guard lock(mutex);
    const int connections = std::max(1, options_.connections_per_host);
    for (auto it = waiting_.begin(); it != waiting_.end();) {
      const StatePtr& state = *it;
      if (aborting_ || state->abort_requested) {
        cancelled.push_back(state);
        it = waiting_.erase(it);
      } else if (!held_ && per_host_[HostKey(state->request.url)] < connections) {
        state->host_key = HostKey(state->request.url);
        ++per_host_[state->host_key];
        const Clock::time_point now = Clock::now();
        state->sent = state->last_activity = state->window_start = now;
        running_.push_back(state);
        admitted.push_back(state);
        it = waiting_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const StatePtr& state : cancelled) Finish(*state, HttpOutcome::kCancelled, "cancelled");
  for (const StatePtr& state : admitted) {
    RaiseTimeouts(state->request.limits);
    {
      std::lock_guard lock(mutex);
      ++threads_;
    }
    const bool started = StartUnjoinedThread([self = shared_from_this(), state] {
      Run(self, state);
      std::lock_guard lock(self->mutex);
      --self->threads_;
      self->threads_ended_.notify_all();
    });
    if (!started) {
      {
        std::lock_guard lock(mutex);
        --threads_;
      }
      Finish(*state, HttpOutcome::kFailed, ErrorText("no thread for the transfer"));
    }
  }
}

void HttpSession::Impl::CheckRunning(Clock::time_point now) {
  struct Verdict {
    StatePtr state;
    HttpOutcome outcome;
    const char* error;
  };
  std::vector<Verdict> verdicts;
  {
    std::lock_guard lock(mutex);
    for (const StatePtr& state : running_) {
      const HttpLimits& limits = state->request.limits;
      if (aborting_ || state->abort_requested) {
        verdicts.push_back({state, HttpOutcome::kCancelled, "cancelled"});
      } else if (!state->answered && now - state->sent > limits.connect_timeout + limits.stall_timeout) {
        // Connecting and waiting for the answer are one call here: together they may
        // take what the two limits allow one after the other.
        verdicts.push_back({state, HttpOutcome::kFailed, "no answer within the connect and stall timeouts"});
      } else if (state->answered && now - state->last_activity > limits.stall_timeout) {
        verdicts.push_back({state, HttpOutcome::kFailed, "nothing arrived for the stall timeout"});
      } else if (now - state->window_start >= limits.slow_window) {
        if (state->window_bytes < limits.slow_min_bytes) {
          verdicts.push_back({state, HttpOutcome::kFailed, "the answer arrives too slowly"});
        } else {
          state->window_start = now;
          state->window_bytes = 0;
        }
      }
    }
  }
  for (const Verdict& verdict : verdicts) Finish(*verdict.state, verdict.outcome, verdict.error);
}

void HttpSession::Impl::Watch() {
  std::unique_lock lock(mutex);
  for (;;) {
    if (stopping_ && waiting_.empty() && running_.empty()) return;
    lock.unlock();
    Admit();
    CheckRunning(Clock::now());
    lock.lock();
    wake_.wait_for(lock, kWatchTick);
  }
}

void HttpSession::Impl::Run(const std::shared_ptr<Impl>& self, const StatePtr& state) {
  std::string url = state->request.url;
  if (!self->internet_) return self->Finish(*state, HttpOutcome::kFailed, "WinInet cannot be opened");
  if (!IsHttpUrl(url)) return self->Finish(*state, HttpOutcome::kFailed, "not an http or https URL");
  while (self->Hop(*state, url)) {
  }
  self->CloseHop(*state);
}

// One request on the wire. True when it was a redirect to follow (url is then the next).
bool HttpSession::Impl::Hop(HttpTransfer::State& state, std::string& url) {
  if (IsHttpsUrl(url) && !options_.ca_file.empty()) {
    Finish(state, HttpOutcome::kFailed, "a CA file of its own cannot be used with WinInet; https is refused");
    return false;
  }
  std::wstring headers = L"User-Agent: " + Wide(state.request.user_agent) + L"\r\n";
  headers += L"Pragma: no-cache\r\nCache-Control: no-cache\r\n";
  if (state.request.range) headers += L"Range: " + Wide(*state.request.range) + L"\r\n";
  if (options_.fresh_connections) headers += L"Connection: close\r\n";
  const DWORD flags = kOpenUrlFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES;

  const std::wstring wide_url = Wide(url);
  HINTERNET opened = ::InternetOpenUrlW(internet_.get(), wide_url.c_str(), headers.c_str(),
                                        static_cast<DWORD>(headers.size()), flags, 0);
  if (opened == nullptr) {
    Finish(state, HttpOutcome::kFailed, ErrorText("the request failed"));
    return false;
  }
  {
    std::lock_guard lock(mutex);
    if (!state.done) {
      state.url_handle = opened;
      state.answered = true;
      state.last_activity = Clock::now();
      opened = nullptr;
    }
  }
  if (opened != nullptr) {  // ended while the call was on its way
    ::InternetCloseHandle(opened);
    return false;
  }
  HINTERNET handle = nullptr;
  {
    std::lock_guard lock(mutex);
    handle = state.url_handle;
  }
  if (handle == nullptr) return false;

  DWORD status = 0;
  DWORD size = sizeof status;
  if (::HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) == 0) {
    Finish(state, HttpOutcome::kFailed, ErrorText("the answer has no status"));
    return false;
  }
  {
    std::lock_guard lock(mutex);
    state.result.status = static_cast<long>(status);
  }
  std::wstring location(8192, L'\0');
  DWORD location_bytes = static_cast<DWORD>(location.size() * sizeof(wchar_t));
  const bool has_location =
      ::HttpQueryInfoW(handle, HTTP_QUERY_LOCATION, location.data(), &location_bytes, nullptr) != 0;
  if (IsRedirectStatus(static_cast<long>(status)) && has_location) {
    location.resize(location_bytes / sizeof(wchar_t));
    if (state.redirects >= options_.max_redirects) {
      Finish(state, HttpOutcome::kFailed, "too many redirects");
      return false;
    }
    std::wstring next(4096, L'\0');
    DWORD next_size = static_cast<DWORD>(next.size());
    if (::InternetCombineUrlW(wide_url.c_str(), location.c_str(), next.data(), &next_size, ICU_NO_ENCODE) == 0) {
      Finish(state, HttpOutcome::kFailed, "a redirect to an unusable location");
      return false;
    }
    next.resize(next_size);
    if (!IsHttpUrl(Narrow(next))) {
      Finish(state, HttpOutcome::kFailed, "a redirect to another scheme");
      return false;
    }
    if (IsHttpsUrl(url) && !IsHttpsUrl(Narrow(next))) {
      Finish(state, HttpOutcome::kFailed, "a redirect from https down to http");
      return false;
    }
    CloseHop(state);
    std::lock_guard lock(mutex);
    if (state.done) return false;
    ++state.redirects;
    state.answered = false;
    state.sent = state.last_activity = state.window_start = Clock::now();
    state.window_bytes = 0;
    url = Narrow(next);
    return true;
  }
  if (!Deliver(state, [&] { return state.receiver->OnResponse(static_cast<long>(status)); })) {
    Finish(state, HttpOutcome::kCancelled, "cancelled by the receiver");
    return false;
  }
  Receive(state, handle);
  return false;
}

void HttpSession::Impl::Receive(HttpTransfer::State& state, HINTERNET handle) {
  std::vector<std::uint8_t> block(kBlockBytes);
  for (;;) {
    DWORD got = 0;
    if (!EnterCall(state)) return;
    const BOOL read = ::InternetReadFile(handle, block.data(), static_cast<DWORD>(block.size()), &got);
    LeaveCall(state);
    if (read == 0) return Finish(state, HttpOutcome::kFailed, ErrorText("the answer broke off"));
    if (got == 0) break;
    {
      std::lock_guard lock(mutex);
      state.last_activity = Clock::now();
      state.window_bytes += got;
    }
    const std::span<const std::uint8_t> received(block.data(), got);
    if (!Deliver(state, [&] { return state.receiver->OnBody(received); })) {
      return Finish(state, HttpOutcome::kCancelled, "cancelled");
    }
  }
  Finish(state, HttpOutcome::kComplete, {});
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
    if (session.ended.wait_for(lock, tick, [this] { return state_->done; })) break;
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
    : options_(options), impl_(std::make_shared<Impl>(options)) {
  impl_->Begin();
}

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
