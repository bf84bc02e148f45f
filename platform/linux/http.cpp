#include "platform/http.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

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
struct MultiFree {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the curl callbacks share with the transfer loop.
struct Transfer {
  HttpReceiver& receiver;
  Clock::time_point last_activity = Clock::now();
  bool cancelled = false;
};

size_t OnWrite(char* data, size_t size, size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (!transfer.receiver.OnBody({reinterpret_cast<const std::uint8_t*>(data), bytes})) {
    transfer.cancelled = true;
    return CURL_WRITEFUNC_ERROR;
  }
  transfer.last_activity = Clock::now();  // a held receiver is not a stalled server
  return bytes;
}

bool AskToContinue(Transfer& transfer) {
  if (!transfer.receiver.OnIdle()) {
    transfer.cancelled = true;
    return false;
  }
  return true;
}

}  // namespace

std::string EscapeUrlPath(std::string_view utf8_path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8_path.size());
  for (const char c : utf8_path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

HttpResult HttpGet(const HttpRequest& request, HttpReceiver& receiver, std::stop_token stop) {
  InitCurlOnce();
  HttpResult result;
  std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
  if (!easy || !multi) {
    result.error = "curl cannot be initialised";
    return result;
  }
  std::unique_ptr<curl_slist, SlistFree> headers;
  auto add_header = [&headers](const std::string& line) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown != nullptr) {
      (void)headers.release();
      headers.reset(grown);
    }
  };
  add_header("Pragma: no-cache");
  add_header("Cache-Control: no-cache");
  if (request.range) add_header("Range: " + *request.range);

  Transfer transfer{.receiver = receiver};
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, request.user_agent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 256L * 1024L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connect_timeout.count()));
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  if (curl_multi_add_handle(multi.get(), h) != CURLM_OK) {
    result.error = "curl cannot take the transfer";
    return result;
  }
  // A stop request interrupts the poll below at once.
  std::stop_callback wake(stop, [m = multi.get()] { curl_multi_wakeup(m); });

  int running = 1;
  CURLcode code = CURLE_OK;
  bool done = false;
  while (!done) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      code = CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
      if (msg->msg == CURLMSG_DONE) {
        code = msg->data.result;
        done = true;
      }
    }
    if (done || transfer.cancelled) break;
    if (stop.stop_requested()) {
      transfer.cancelled = true;
      break;
    }
    const Clock::time_point before = Clock::now();
    if (!AskToContinue(transfer)) break;
    if (Clock::now() - before > std::chrono::milliseconds(50)) transfer.last_activity = Clock::now();
    if (Clock::now() - transfer.last_activity > request.stall_timeout) {
      result.error = "no data for the stall timeout";
      curl_multi_remove_handle(multi.get(), h);
      return result;
    }
    curl_multi_poll(multi.get(), nullptr, 0, 200, nullptr);
  }
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
  curl_multi_remove_handle(multi.get(), h);
  if (transfer.cancelled || (stop.stop_requested() && !done)) {
    result.outcome = HttpOutcome::kCancelled;
    result.error = "cancelled";
  } else if (done && code == CURLE_OK) {
    result.outcome = HttpOutcome::kComplete;
  } else {
    result.outcome = HttpOutcome::kFailed;
    result.error = curl_easy_strerror(code);
  }
  return result;
}

}  // namespace platform
