// The session's wire over libcurl: one multi handle, driven by one thread of the wire,
// whose connection cache keeps the connections between requests; curl itself sends a
// request once more on a new connection when a reused one turns out to be closed before
// any answer arrived. Proxies are curl's: the session's, else the usual variables. Each
// hop is an easy handle of its own; every callback of curl, and so every event, runs on
// the wire's thread.
//
// The rate cap: a block that arrives before the hop may take it is left with curl
// (CURL_WRITEFUNC_PAUSE), and the loop resumes the hop when its time has come; curl
// then hands the same block again.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/http/wire.h"

namespace platform {
namespace {

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

struct UrlFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct TextFree {
  void operator()(char* text) const { curl_free(text); }
};

bool StartsWithNoCase(std::string_view text, std::string_view lower_prefix) {
  if (text.size() < lower_prefix.size()) return false;
  return std::equal(lower_prefix.begin(), lower_prefix.end(), text.begin(),
                    [](char lower, char c) { return lower == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// A Location resolved against the URL it came from, as curl itself would follow it;
// empty when it is no URL at all.
std::string ResolvedUrl(const char* base, const std::string& location) {
  const std::unique_ptr<CURLU, UrlFree> url(curl_url());
  if (!url || base == nullptr || curl_url_set(url.get(), CURLUPART_URL, base, 0) != CURLUE_OK) return {};
  const unsigned flags = CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME;
  if (curl_url_set(url.get(), CURLUPART_URL, location.c_str(), flags) != CURLUE_OK) return {};
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return {};
  const std::unique_ptr<char, TextFree> owned(text);
  return text;
}

class CurlWire;
using Clock = std::chrono::steady_clock;
constexpr long kBlockBytes = 256L * 1024L;

// One hop: its easy handle and what its callbacks have seen. Fields are the wire
// thread's, except `cancelled` (under the wire's mutex).
struct CurlHop final : WireHop {
  CurlHop(CurlWire& owner, std::shared_ptr<WireEvents> to) : wire(owner), events(std::move(to)) {}
  void Cancel() override;

  CurlWire& wire;
  const std::shared_ptr<WireEvents> events;
  std::unique_ptr<CURL, EasyFree> easy;
  std::unique_ptr<curl_slist, SlistFree> headers;
  bool has_location = false;  // the current answer's head carries a Location
  std::string location;       // its value
  bool answered = false;      // OnAnswer was called
  bool stopped = false;       // an event said no: the hop ends without another
  bool paused = false;        // held back by the rate cap until resume_at
  Clock::time_point resume_at{};  // when it may take its next block; the epoch without a cap
  bool cancelled = false;
};

class CurlWire final : public Wire {
 public:
  explicit CurlWire(const HttpSessionOptions& options);
  ~CurlWire() override;
  CurlWire(const CurlWire&) = delete;
  CurlWire& operator=(const CurlWire&) = delete;

  bool KeepsConnectTimeout() const override { return true; }
  std::shared_ptr<WireHop> Open(const WireRequest& request, std::shared_ptr<WireEvents> events) override;
  void Stop() override;

  void RequestCancel(CurlHop& hop);

 private:
  using HopPtr = std::shared_ptr<CurlHop>;

  bool Configure(CurlHop& hop, const WireRequest& request) const;
  void Loop();
  // Takes new hops onto the multi handle and cancelled ones off it; false once stopped.
  bool TakeRequests();
  void Drop(const HopPtr& hop);
  // Resumes the paused hops whose time has come; the milliseconds until the next is due
  // (at most `wait_ms`).
  long ResumeDue(long wait_ms);
  void OnDone(const HopPtr& hop, CURLcode code);
  static void Answer(CurlHop& hop);

  static size_t OnWrite(char* data, size_t size, size_t count, void* user);
  static size_t OnHeader(char* data, size_t size, size_t count, void* user);

  const HttpSessionOptions options_;
  CURLM* multi_ = nullptr;

  std::mutex mutex_;
  std::vector<HopPtr> incoming_;  // under mutex_
  bool stopping_ = false;         // under mutex_

  std::vector<HopPtr> running_;  // the wire thread's
  std::thread thread_;
};

void CurlHop::Cancel() { wire.RequestCancel(*this); }

CurlWire::CurlWire(const HttpSessionOptions& options) : options_(options) {
  InitCurlOnce();
  multi_ = curl_multi_init();
  if (multi_ == nullptr) throw std::bad_alloc();
  const long connections = std::max(1, options_.connections_per_host);
  curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, connections);
  curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, std::max(8L, 4 * connections));
  curl_multi_setopt(multi_, CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_NOTHING));
  thread_ = std::thread([this] { Loop(); });
}

CurlWire::~CurlWire() {
  Stop();
  curl_multi_cleanup(multi_);
}

void CurlWire::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  curl_multi_wakeup(multi_);
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::shared_ptr<WireHop> CurlWire::Open(const WireRequest& request, std::shared_ptr<WireEvents> events) {
  auto hop = std::make_shared<CurlHop>(*this, std::move(events));
  if (!Configure(*hop, request)) return nullptr;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return nullptr;
    incoming_.push_back(hop);
  }
  curl_multi_wakeup(multi_);
  return hop;
}

void CurlWire::RequestCancel(CurlHop& hop) {
  {
    std::lock_guard lock(mutex_);
    hop.cancelled = true;
  }
  curl_multi_wakeup(multi_);
}

bool CurlWire::Configure(CurlHop& hop, const WireRequest& request) const {
  hop.easy.reset(curl_easy_init());
  if (!hop.easy) return false;
  for (const std::string& line : request.headers) {
    curl_slist* grown = curl_slist_append(hop.headers.get(), line.c_str());
    if (grown == nullptr) return false;
    (void)hop.headers.release();
    hop.headers.reset(grown);
  }
  CURL* h = hop.easy.get();
  curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, request.user_agent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, hop.headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlWire::OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &hop);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CurlWire::OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &hop);
  curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);  // a proxy's tunnel answer is not the answer
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, request.block_bytes > 0 ? static_cast<long>(request.block_bytes) : kBlockBytes);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.limits.connect_timeout.count()));
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.ca_file.empty()) {
    curl_easy_setopt(h, CURLOPT_CAINFO, options_.ca_file.c_str());
    curl_easy_setopt(h, CURLOPT_CAPATH, static_cast<const char*>(nullptr));  // no system directory either
  }
  // Without a proxy of the session's, curl's own rule stands: the usual variables
  // (http_proxy, https_proxy, all_proxy, no_proxy); nothing here may switch it off.
  if (!options_.proxy.empty()) curl_easy_setopt(h, CURLOPT_PROXY, options_.proxy.c_str());
  if (request.fresh_connection) {
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  }
  return true;
}

// Reports the answer whose head is in, with its status and absolute Location.
void CurlWire::Answer(CurlHop& hop) {
  hop.answered = true;
  WireAnswer answer{.has_location = hop.has_location};
  curl_easy_getinfo(hop.easy.get(), CURLINFO_RESPONSE_CODE, &answer.status);
  if (hop.has_location) {
    char* url = nullptr;
    curl_easy_getinfo(hop.easy.get(), CURLINFO_EFFECTIVE_URL, &url);
    answer.location = ResolvedUrl(url, hop.location);
  }
  if (!hop.events->OnAnswer(answer)) hop.stopped = true;
}

size_t CurlWire::OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& hop = *static_cast<CurlHop*>(user);
  const std::string_view line(data, size * count);
  if (hop.answered) return line.size();  // trailers
  if (StartsWithNoCase(line, "http/")) hop.has_location = false;  // a new answer (after a 1xx)
  if (StartsWithNoCase(line, "location:")) {
    hop.has_location = true;
    hop.location = Trimmed(line.substr(9));
  }
  if (line == "\r\n" || line == "\n") {
    long status = 0;
    curl_easy_getinfo(hop.easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200) Answer(hop);
  }
  return hop.stopped ? 0 : line.size();
}

size_t CurlWire::OnWrite(char* data, size_t size, size_t count, void* user) {
  auto& hop = *static_cast<CurlHop*>(user);
  const size_t bytes = size * count;
  if (!hop.answered) Answer(hop);
  if (hop.stopped) return CURL_WRITEFUNC_ERROR;
  if (hop.resume_at != Clock::time_point{} && hop.resume_at > Clock::now()) {
    hop.paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (!hop.events->OnBody({reinterpret_cast<const std::uint8_t*>(data), bytes})) {
    hop.stopped = true;
    return CURL_WRITEFUNC_ERROR;
  }
  hop.resume_at = hop.events->NextBodyAt();
  return bytes;
}

bool CurlWire::TakeRequests() {
  std::vector<HopPtr> added;
  std::vector<HopPtr> cancelled;
  bool stopping = false;
  {
    std::lock_guard lock(mutex_);
    added.swap(incoming_);
    stopping = stopping_;
    for (const HopPtr& hop : running_) {
      if (hop->cancelled || stopping) cancelled.push_back(hop);
    }
  }
  for (const HopPtr& hop : cancelled) Drop(hop);
  for (const HopPtr& hop : added) {
    if (stopping) continue;
    if (curl_multi_add_handle(multi_, hop->easy.get()) != CURLM_OK) {
      hop->events->OnEnd("curl cannot take the transfer");
      continue;
    }
    running_.push_back(hop);
  }
  return !stopping;
}

void CurlWire::Drop(const HopPtr& hop) {
  curl_multi_remove_handle(multi_, hop->easy.get());
  std::erase(running_, hop);
}

long CurlWire::ResumeDue(long wait_ms) {
  const Clock::time_point now = Clock::now();
  // Resuming hands the held block over at once; its events may cancel the hop, which
  // only marks it, so running_ stays as it is meanwhile.
  for (const HopPtr& hop : running_) {
    if (!hop->paused) continue;
    if (hop->resume_at <= now) {
      hop->paused = false;
      curl_easy_pause(hop->easy.get(), CURLPAUSE_CONT);
      continue;
    }
    const auto due = std::chrono::ceil<std::chrono::milliseconds>(hop->resume_at - now).count();
    wait_ms = std::min<long>(wait_ms, static_cast<long>(due));
  }
  return wait_ms;
}

void CurlWire::OnDone(const HopPtr& hop, CURLcode code) {
  Drop(hop);
  if (hop->stopped) return;
  if (code != CURLE_OK) return hop->events->OnEnd(curl_easy_strerror(code));
  if (!hop->answered) Answer(*hop);
  if (!hop->stopped) hop->events->OnEnd(std::nullopt);
}

void CurlWire::Loop() {
  while (TakeRequests()) {
    ResumeDue(0);
    int still_running = 0;
    curl_multi_perform(multi_, &still_running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      const auto it = std::find_if(running_.begin(), running_.end(),
                                   [&](const HopPtr& hop) { return hop->easy.get() == message->easy_handle; });
      if (it != running_.end()) OnDone(HopPtr(*it), message->data.result);
    }
    long timeout_ms = 1000;
    long curl_timeout = -1;
    curl_multi_timeout(multi_, &curl_timeout);
    if (curl_timeout >= 0) timeout_ms = std::min(timeout_ms, curl_timeout);
    timeout_ms = ResumeDue(timeout_ms);
    curl_multi_poll(multi_, nullptr, 0, static_cast<int>(timeout_ms), nullptr);
  }
}

}  // namespace

std::unique_ptr<Wire> MakeWire(const HttpSessionOptions& options) { return std::make_unique<CurlWire>(options); }

}  // namespace platform
