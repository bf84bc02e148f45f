// Ranged HTTP fetch into memory, with the agent-string protocol of the download
// servers: who asks, why, and which 4 MiB piece of how many.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http/http.h"
#include "platform/hash/md5.h"

namespace krdn {

// Why a file is fetched; it travels in the agent string.
enum class FetchKind : int { kNone = 0, kMissing = 1, kInvalid = 2 };

// Byte range of a request: first byte, and the last byte inclusive or nothing for an
// open end. 64-bit, for files of 4 GiB and more.
struct ByteRange {
  std::uint64_t first = 0;
  std::optional<std::uint64_t> last;
};

// "VoRepair", the suffix, "_missing"/"_invalid", then "_<piece>in<pieces>" counted in
// 4 MiB pieces when the file size is not 0 (in 64 bits: a file of 6 GiB has 1536).
std::string AgentString(std::uint64_t file_size, std::uint64_t first_byte, FetchKind kind, std::u16string_view suffix);

// The URL as it is requested: UTF-8, its path percent-encoded where needed, so that
// names with spaces or non-ASCII characters reach the server intact.
std::string RequestUrl(std::u16string_view url);

// The value of the Range header: "bytes=<first>-" or "bytes=<first>-<last>".
std::string RangeValue(const ByteRange& range);

// What a fetch needs of the run that asks for it. Callbacks must not throw.
class FetchObserver {
 public:
  virtual ~FetchObserver() = default;
  // A transient progress line ("下载数据：(received/expected)\r\n").
  virtual void OnProgressText(const std::u16string& text) = 0;
  // Asked on the waiting thread at short intervals while the fetch waits: false cancels it.
  virtual bool ShouldContinue() = 0;
  // Cancels the fetch at once, even while it waits for the network.
  virtual std::stop_token CancelToken() const = 0;
};

struct FetchLimits {
  platform::HttpLimits http;                            // connect, stall and slow-body limits
  std::size_t open_ended_cap = std::size_t{256} << 20;  // bytes an open-ended fetch may bring
};

// Appends the body of url (scheme, host, path; UTF-16) to body, over the session. 0 when
// the body was received to its end, or when a bounded range brought more bytes than it
// asked for: reading stops at one byte more than the range and what arrived is handed
// back, so that the caller's length test rejects it. -1 when the transfer failed or was
// cancelled, or an open-ended fetch brought more than the cap. The HTTP status is not
// looked at: the callers judge the body.
int FetchUrl(platform::HttpSession& session, FetchObserver& observer, std::vector<std::uint8_t>& body,
             std::u16string_view url, std::uint64_t file_size, const ByteRange& range, FetchKind kind,
             std::u16string_view suffix = {}, const FetchLimits& limits = {});

// Milliseconds between two progress lines of a bounded fetch.
inline constexpr std::chrono::milliseconds kFetchProgressInterval{1000};

}  // namespace krdn
