// The session's wire over WinInet: one InternetOpenW handle per session, whose
// connections WinInet keeps and reuses between requests. Every hop runs its blocking
// calls (InternetOpenUrlW, InternetReadFile) on a thread of its own, and its events on
// that thread.
//
// Cancel never waits for a blocking call: it marks the hop, and closes its URL handle to
// cut the call short when the hop's thread is inside one (the call holds the handle, so
// its value cannot meanwhile name another hop's). Otherwise the hop's thread owns the
// handle and closes it. Where closing does not wake the call (wine), the thread stays in
// it until WinInet's own timeout and then leaves quietly: it holds its events, and so the
// session, by shared ownership. Stop waits a little for such threads, so that a program
// that ends right afterwards has none left running.
//
// Fresh connections: "Connection: close" on every request, so that none is kept. WinInet
// pools idle connections per process, not per session, so a fresh session's first
// request may still go out on one that another session of the process left idle.
//
// WinInet makes the connection, sends the request and reads the answer's head in one
// call, so the connect timeout is the core's (KeepsConnectTimeout is false).
//
// Proxies: the system's settings (INTERNET_OPEN_TYPE_PRECONFIG, what the desktop's
// internet options say), or the session's proxy for every request.
//
// The rate cap: reads are pulled, so a hop's thread waits before each read until the
// session lets it take the next block (Cancel ends the wait), and reads no more than the
// request's block at once.
//
// HTTPS: WinInet checks the chain against the system's store and the host name. It has
// no way to trust the certificates of one file only, so a session given a CA file of its
// own refuses https rather than trust more than it was told to.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/base/utf.h"
#include "platform/http/url_parts.h"
#include "platform/http/wire.h"

namespace platform {
namespace {

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
// INTERNET_FLAG_PRAGMA_NOCACHE: always from the server, no cache, no dialogs.
constexpr DWORD kOpenUrlFlags = 0x84000300;
// No redirect, cookie or authentication of WinInet's own: without NO_AUTH it would
// answer an intranet host's challenge with the player's Windows logon (NTLM) unasked.
constexpr DWORD kRequestFlags =
    kOpenUrlFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH;
constexpr std::size_t kBlockBytes = 64 * 1024;
// How long Stop waits for hops' threads that a closed handle did not wake.
constexpr auto kStopWait = std::chrono::seconds(2);

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

// WinInet's proxy list for the session's proxy URL: "host:port" for every scheme, or
// "socks=host:port" for a SOCKS proxy. WinInet takes no user name or password in the
// list: they are left out (a proxy that asks for them refuses the requests).
std::wstring ProxyList(std::string_view url) {
  std::string_view rest = url;
  std::string_view scheme;
  if (const std::size_t at = url.find("://"); at != std::string_view::npos) {
    scheme = url.substr(0, at);
    rest = url.substr(at + 3);
  }
  rest = rest.substr(0, std::min(rest.find_first_of("/?#"), rest.size()));
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) rest = rest.substr(at + 1);
  const bool socks = scheme.substr(0, 5) == "socks";
  return (socks ? L"socks=" : L"") + Wide(rest);
}

struct InternetHandleClose {
  void operator()(void* handle) const { ::InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleClose>;

// The request's header block: agent, the core's lines, and the end of the connection
// after the answer when it is to be fresh.
std::wstring HeaderBlock(const WireRequest& request) {
  std::wstring block = L"User-Agent: " + Wide(request.user_agent) + L"\r\n";
  for (const std::string& line : request.headers) block += Wide(line) + L"\r\n";
  if (request.fresh_connection) block += L"Connection: close\r\n";
  return block;
}

// One hop: its URL handle, shared between its thread and Cancel.
class WinInetHop final : public WireHop {
 public:
  explicit WinInetHop(std::shared_ptr<WireEvents> to) : events(std::move(to)) {}
  void Cancel() override;

  // The hop's thread takes the opened handle; false (and the handle closed) when the
  // hop was cancelled meanwhile.
  bool Adopt(HINTERNET opened);
  // Around each call on the handle: the handle to call with, null (and no call) once
  // cancelled.
  HINTERNET EnterCall();
  void LeaveCall();
  // Closes the handle unless Cancel already has.
  void Close();
  bool Cancelled();
  // Waits until `when` or until the hop is cancelled: false when it was.
  bool WaitUntil(std::chrono::steady_clock::time_point when);
  HINTERNET handle();

  const std::shared_ptr<WireEvents> events;

 private:
  std::mutex mutex_;
  HINTERNET handle_ = nullptr;
  bool in_call_ = false;
  bool cancelled_ = false;
  std::condition_variable cancelled_now_;
};

void WinInetHop::Cancel() {
  HINTERNET cut = nullptr;
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (in_call_) cut = std::exchange(handle_, nullptr);
  }
  cancelled_now_.notify_all();
  if (cut != nullptr) ::InternetCloseHandle(cut);  // cuts a blocked call short where WinInet allows it
}

bool WinInetHop::Adopt(HINTERNET opened) {
  {
    std::lock_guard lock(mutex_);
    if (!cancelled_) {
      handle_ = opened;
      return true;
    }
  }
  ::InternetCloseHandle(opened);
  return false;
}

HINTERNET WinInetHop::EnterCall() {
  std::lock_guard lock(mutex_);
  if (cancelled_ || handle_ == nullptr) return nullptr;
  in_call_ = true;
  return handle_;
}

void WinInetHop::LeaveCall() {
  std::lock_guard lock(mutex_);
  in_call_ = false;
}

void WinInetHop::Close() {
  HINTERNET handle = nullptr;
  {
    std::lock_guard lock(mutex_);
    handle = std::exchange(handle_, nullptr);
  }
  if (handle != nullptr) ::InternetCloseHandle(handle);
}

bool WinInetHop::Cancelled() {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

bool WinInetHop::WaitUntil(std::chrono::steady_clock::time_point when) {
  std::unique_lock lock(mutex_);
  return !cancelled_now_.wait_until(lock, when, [this] { return cancelled_; });
}

HINTERNET WinInetHop::handle() {
  std::lock_guard lock(mutex_);
  return handle_;
}

class WinInetWire final : public Wire {
 public:
  explicit WinInetWire(const HttpSessionOptions& options);
  WinInetWire(const WinInetWire&) = delete;
  WinInetWire& operator=(const WinInetWire&) = delete;

  bool KeepsConnectTimeout() const override { return false; }
  std::shared_ptr<WireHop> Open(const WireRequest& request, std::shared_ptr<WireEvents> events) override;
  void Stop() override;

 private:
  void RaiseTimeouts(const HttpLimits& limits);
  // The hop's own thread.
  void Run(WinInetHop& hop, const WireRequest& request);
  std::optional<std::string> Request(WinInetHop& hop, const WireRequest& request, bool& stopped);
  WireAnswer ReadAnswer(HINTERNET handle, const std::wstring& url, DWORD status);
  std::optional<std::string> Receive(WinInetHop& hop, std::size_t block_bytes, bool& stopped);

  const HttpSessionOptions options_;
  InternetHandle internet_;

  std::mutex mutex_;
  DWORD connect_timeout_ms_ = 0;  // under mutex_
  DWORD receive_timeout_ms_ = 0;  // under mutex_
  int threads_ = 0;               // hops' threads that have not returned yet; under mutex_
  std::condition_variable threads_ended_;
};

WinInetWire::WinInetWire(const HttpSessionOptions& options) : options_(options) {
  // No agent for the session: each request carries its own User-Agent header.
  // Without a proxy of the session's, the system's settings (INTERNET_OPEN_TYPE_PRECONFIG).
  if (options_.proxy.empty()) {
    internet_.reset(::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  } else {
    const std::wstring proxy = ProxyList(options_.proxy);
    internet_.reset(::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, 0));
  }
  // WinInet's own cap on connections to one server is process-wide; the session's is per
  // session, so WinInet's must not be lower.
  DWORD connections = static_cast<DWORD>(std::max(1, options_.connections_per_host));
  DWORD current = 0;
  DWORD size = sizeof current;
  if (::InternetQueryOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &current, &size) == 0 ||
      current < connections) {
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
    ::InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
  }
}

// WinInet's own timeouts only bound how long a hop's thread may stay in a call after its
// hop has ended; the limits themselves are the core's. They are set on the session,
// whose requests inherit them, to the longest any request asked.
void WinInetWire::RaiseTimeouts(const HttpLimits& limits) {
  if (!internet_) return;
  DWORD connect = Milliseconds(limits.connect_timeout);
  DWORD receive = Milliseconds(std::max(limits.stall_timeout, limits.connect_timeout));
  std::lock_guard lock(mutex_);
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

std::shared_ptr<WireHop> WinInetWire::Open(const WireRequest& request, std::shared_ptr<WireEvents> events) {
  RaiseTimeouts(request.limits);
  auto hop = std::make_shared<WinInetHop>(std::move(events));
  {
    std::lock_guard lock(mutex_);
    ++threads_;
  }
  // The thread holds the hop's events and so the session, and with it this wire.
  const bool started = StartUnjoinedThread([this, hop, request] {
    Run(*hop, request);
    std::lock_guard lock(mutex_);
    --threads_;
    threads_ended_.notify_all();
  });
  if (started) return hop;
  std::lock_guard lock(mutex_);
  --threads_;
  return nullptr;
}

void WinInetWire::Stop() {
  // Every hop has been cancelled; their threads leave at once unless a WinInet call that
  // a closed handle does not wake holds one.
  std::unique_lock lock(mutex_);
  threads_ended_.wait_for(lock, kStopWait, [this] { return threads_ == 0; });
}

void WinInetWire::Run(WinInetHop& hop, const WireRequest& request) {
  bool stopped = false;
  const std::optional<std::string> failure = Request(hop, request, stopped);
  hop.Close();  // before the end is told, so that the connection is free for the next hop
  if (!stopped && !hop.Cancelled()) hop.events->OnEnd(failure);
}

// Sends the request and reads its answer: the failure, if any. `stopped` tells that an
// event said no.
std::optional<std::string> WinInetWire::Request(WinInetHop& hop, const WireRequest& request, bool& stopped) {
  if (!internet_) return "WinInet cannot be opened";
  if (IsHttpsUrl(request.url) && !options_.ca_file.empty()) {
    return "a CA file of its own cannot be used with WinInet; https is refused";
  }
  const std::wstring headers = HeaderBlock(request);
  const std::wstring url = Wide(request.url);
  HINTERNET opened = ::InternetOpenUrlW(internet_.get(), url.c_str(), headers.c_str(),
                                        static_cast<DWORD>(headers.size()), kRequestFlags, 0);
  if (opened == nullptr) return ErrorText("the request failed");
  if (!hop.Adopt(opened)) return std::nullopt;  // cancelled while the call was on its way
  const HINTERNET handle = hop.handle();
  if (handle == nullptr) return std::nullopt;

  DWORD status = 0;
  DWORD size = sizeof status;
  if (::HttpQueryInfoW(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) == 0) {
    return ErrorText("the answer has no status");
  }
  // wine's WinInet takes a connection reset before any answer for an answer of status 0
  // with an empty body.
  if (status < 100) return "the answer has no status";
  if (!hop.events->OnAnswer(ReadAnswer(handle, url, status))) {
    stopped = true;
    return std::nullopt;
  }
  return Receive(hop, request.block_bytes, stopped);
}

WireAnswer WinInetWire::ReadAnswer(HINTERNET handle, const std::wstring& url, DWORD status) {
  WireAnswer answer{.status = static_cast<long>(status)};
  std::wstring location(8192, L'\0');
  DWORD location_bytes = static_cast<DWORD>(location.size() * sizeof(wchar_t));
  answer.has_location = ::HttpQueryInfoW(handle, HTTP_QUERY_LOCATION, location.data(), &location_bytes, nullptr) != 0;
  if (!answer.has_location) return answer;
  location.resize(location_bytes / sizeof(wchar_t));
  std::wstring absolute(4096, L'\0');
  DWORD absolute_size = static_cast<DWORD>(absolute.size());
  if (::InternetCombineUrlW(url.c_str(), location.c_str(), absolute.data(), &absolute_size, ICU_NO_ENCODE) != 0) {
    absolute.resize(absolute_size);
    answer.location = Narrow(absolute);
  }
  return answer;
}

std::optional<std::string> WinInetWire::Receive(WinInetHop& hop, std::size_t block_bytes, bool& stopped) {
  std::vector<std::uint8_t> block(block_bytes > 0 ? std::min(block_bytes, kBlockBytes) : kBlockBytes);
  for (;;) {
    const std::chrono::steady_clock::time_point next = hop.events->NextBodyAt();
    if (next > std::chrono::steady_clock::now() && !hop.WaitUntil(next)) return std::nullopt;
    DWORD got = 0;
    const HINTERNET handle = hop.EnterCall();
    if (handle == nullptr) return std::nullopt;
    // What has arrived, so that a slow answer is seen as it comes: InternetReadFile
    // returns only once the whole block is in or the body has ended.
    DWORD available = 0;
    BOOL read = ::InternetQueryDataAvailable(handle, &available, 0, 0);
    const DWORD wanted = available == 0 ? static_cast<DWORD>(block.size())
                                        : std::min(available, static_cast<DWORD>(block.size()));
    if (read != 0) read = ::InternetReadFile(handle, block.data(), wanted, &got);
    const std::optional<std::string> broke = read == 0 ? std::optional(ErrorText("the answer broke off")) : std::nullopt;
    hop.LeaveCall();
    if (broke) return broke;
    if (got == 0) return std::nullopt;
    if (!hop.events->OnBody(std::span<const std::uint8_t>(block.data(), got))) {
      stopped = true;
      return std::nullopt;
    }
  }
}

}  // namespace

std::unique_ptr<Wire> MakeWire(const HttpSessionOptions& options) { return std::make_unique<WinInetWire>(options); }

}  // namespace platform
