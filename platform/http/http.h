// HTTP GETs over one session per run.
//
// A session keeps its connections to every host it has talked to and sends later
// requests over them, runs several transfers at once, and follows redirects. Every
// request is a GET with exactly the agent string and Range value it is given, plus
// "Pragma: no-cache" and "Cache-Control: no-cache"; no cache is read or written, no
// cookie is kept, no credential or user interface is ever involved.
//
// Threads. Transfers run on threads of the session. A receiver's callbacks are called
// on such a thread, one at a time for one transfer, in the order of the body; callbacks
// of different transfers may run one after the other on the same thread, so they must
// be quick (copy the block and return). Everything else may be called from any thread.
// A receiver must outlive its transfer: until HttpTransfer::Wait has returned or the
// HttpTransfer has been destroyed.
//
// Connections. At most `connections_per_host` transfers to one host are on the wire at
// a time; the others wait in the session, in the order they were started, and their
// limits (below) count only from the moment they are sent; an urgent request waits in
// front of them. A request whose reused
// connection turns out to have been closed by the server before any byte of its answer
// arrived is sent once more on a new connection (servers may close an idle connection
// at any moment), so the server sees that request twice; every other failure is the
// transfer's. With `fresh_connections` every request opens a connection of its own and
// closes it afterwards.
//
// Redirects. An answer with status 301, 302, 303, 307 or 308 and a Location is
// followed, up to `max_redirects` times, to http and https URLs only; each hop sends the
// same agent string, Range value and headers again. The body of a redirect answer never
// reaches the receiver. One redirect answer more than allowed, a Location with another
// scheme, or one that leads from https to plain http, fails the transfer. Other 3xx
// answers are answers like any other.
//
// HTTPS. The server's certificate chain is checked against the system's CA store (or,
// when `ca_file` is given, against the certificates of that file only), and the
// certificate must name the URL's host; a certificate that fails either check fails the
// transfer.
//
// Limits (per request, HttpLimits). A connection not established within
// connect_timeout, nothing at all arriving for stall_timeout, or fewer than
// slow_min_bytes arriving within one slow_window (windows counted from the moment the
// request was sent, one after the other) fail the transfer.
//
// Proxies. Without `proxy` a session goes the way the platform's settings say: libcurl
// honours the usual variables (http_proxy, https_proxy, all_proxy, no_proxy), WinInet
// the system's proxy settings. With it, every request goes through that proxy (https
// ones through a CONNECT tunnel); libcurl still sends the hosts no_proxy names direct.
//
// Rate cap. With `max_bytes_per_second` the bodies of all transfers of the session
// together, whatever their hosts and connections, arrive at no more than that rate
// (within a small allowance, taken over any span of a second or more): each transfer
// reads its next block only once the session's budget has been paid for the blocks
// taken so far. The time a transfer is held back for the cap does not count against its
// stall and slow limits. Without it (0) nothing is held back.
//
// Observer. A session given an HttpObserver tells it of every transfer that went on the
// wire as it ends, from the thread that ends it, before Wait returns for it.
//
// Hold and abort. Hold keeps transfers that have not been sent yet in the session
// (also those started while held) until Release; transfers already on the wire go on
// to their end. Abort ends every transfer at once as cancelled, and every transfer
// started afterwards too: it is the end of the session's use.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

struct HttpLimits {
  std::chrono::milliseconds connect_timeout{30000};
  std::chrono::milliseconds stall_timeout{30000};
  std::size_t slow_min_bytes = 1024;
  std::chrono::milliseconds slow_window{60000};
};

struct HttpRequest {
  std::string url;                   // absolute, UTF-8, path already percent-encoded
  std::string user_agent;            // sent exactly as given
  std::optional<std::string> range;  // value of a Range header, e.g. "bytes=0-99"; none: no Range header
  HttpLimits limits{};
  // Waits for a connection in front of the transfers started before it: the one the
  // caller needs next, asked for again while others it asked for ahead still wait.
  bool urgent = false;
};

class HttpReceiver {
 public:
  virtual ~HttpReceiver() = default;
  // The answer that carries the body has begun (its headers are in): its status, before
  // any block of its body. Called once, also for an empty body; not for redirects.
  // Return false to cancel the transfer.
  virtual bool OnResponse(long status) {
    (void)status;
    return true;
  }
  // A block of the body. Return false to cancel the transfer.
  virtual bool OnBody(std::span<const std::uint8_t> block) = 0;
};

enum class HttpOutcome {
  kComplete,   // the body arrived to its end
  kFailed,     // no connection, a broken, stalled or too slow transfer, too many redirects, a protocol error
  kCancelled,  // the receiver, the waiter or an abort ended it
};

struct HttpResult {
  HttpOutcome outcome = HttpOutcome::kFailed;
  long status = 0;    // HTTP status of the answer that carried the body, 0 when none arrived
  int redirects = 0;  // redirects followed
  std::string error;  // what went wrong, for logs
};

// One transfer that went on the wire, as the session's observer is told of it.
struct HttpRequestReport {
  std::string url{};                   // as asked (the first hop's)
  HttpOutcome outcome = HttpOutcome::kFailed;
  long status = 0;                     // of the answer that carried the body, 0 when none arrived
  std::uint64_t bytes = 0;             // body bytes the receiver was handed
  std::chrono::milliseconds took{0};   // from the first hop sent to the end
  int redirects = 0;
  std::string error{};                 // what went wrong, empty when complete
};

class HttpObserver {
 public:
  virtual ~HttpObserver() = default;
  // Must be quick and must not call back into the session.
  virtual void OnRequestEnded(const HttpRequestReport& report) noexcept = 0;
};

struct HttpSessionOptions {
  int connections_per_host = 4;
  bool fresh_connections = false;
  int max_redirects = 5;
  // PEM file of the only certificate authorities to trust; empty: the system's store.
  // For tests and for private servers with a CA of their own.
  std::string ca_file{};
  // "scheme://[user:password@]host[:port]" of a proxy for every request; empty: the
  // platform's settings (above).
  std::string proxy{};
  // Told of every transfer that went on the wire; must outlive the session.
  HttpObserver* observer = nullptr;
  // The most body bytes a second of all transfers together; 0: no cap.
  std::uint64_t max_bytes_per_second = 0;
};

class HttpSession;

// One transfer of a session. Move-only; destroying an unfinished transfer aborts it and
// waits for its end, so that its receiver may go right afterwards.
class HttpTransfer {
 public:
  HttpTransfer() = default;
  HttpTransfer(HttpTransfer&& other) noexcept;
  HttpTransfer& operator=(HttpTransfer&& other) noexcept;
  HttpTransfer(const HttpTransfer&) = delete;
  HttpTransfer& operator=(const HttpTransfer&) = delete;
  ~HttpTransfer();

  bool Valid() const { return state_ != nullptr; }
  // True once the transfer has ended (its receiver is called no more).
  bool Finished() const;

  // Waits on the calling thread for the end of the transfer and returns its result.
  // While it waits, `idle` (when given) is called on the calling thread every `tick`;
  // it may block (the transfer goes on meanwhile). When it returns false the transfer
  // is cancelled and Wait returns once it has ended. Called again after the end, Wait
  // returns the same result at once.
  HttpResult Wait(const std::function<bool()>& idle = {},
                  std::chrono::milliseconds tick = std::chrono::milliseconds(100));

  // Ends the transfer at once (cancelled) unless it has already ended; does not wait.
  void Abort();

  struct State;  // the session core's (session_core.h)

 private:
  friend class HttpSession;
  explicit HttpTransfer(std::shared_ptr<State> state) : state_(std::move(state)) {}
  void Release();

  std::shared_ptr<State> state_;
};

class HttpSession {
 public:
  explicit HttpSession(const HttpSessionOptions& options = {});
  // Aborts every transfer and waits for them.
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  const HttpSessionOptions& options() const { return options_; }

  // Starts a transfer (it waits in the session while held or while the host's
  // connections are busy).
  HttpTransfer Start(const HttpRequest& request, HttpReceiver& receiver);
  // Start, then Wait.
  HttpResult Get(const HttpRequest& request, HttpReceiver& receiver, const std::function<bool()>& idle = {});

  void Hold();
  void Release();
  void Abort();

  class Impl;  // the session core, over the platform's wire (session_core.h, wire.h)

 private:
  HttpSessionOptions options_;
  std::shared_ptr<Impl> impl_;
};

// The URL without the user name and password its authority may carry
// ("http://user:pw@host/x" becomes "http://host/x"), for logs.
std::string UrlWithoutCredentials(std::string_view url);

// The URL form of a path: bytes outside the unreserved set and "/" are percent-encoded.
std::string EscapeUrlPath(std::string_view utf8_path);

}  // namespace platform
