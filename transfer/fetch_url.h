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

#include "platform/md5.h"

namespace krdn {

// Why a file is fetched; it travels in the agent string.
enum class FetchKind : int { kNone = 0, kMissing = 1, kInvalid = 2 };

// Byte range of a request: first byte, and the last byte inclusive or nothing for an open end.
struct ByteRange {
  std::uint32_t first = 0;
  std::optional<std::uint32_t> last;
};

// "VoRepair", the suffix, "_missing"/"_invalid", then "_<piece>in<pieces>" counted in
// 4 MiB pieces when the file size is not 0.
std::string AgentString(std::uint32_t file_size, std::uint32_t first_byte, FetchKind kind, std::u16string_view suffix);

// The value of the Range header: "bytes=<first>-" or "bytes=<first>-<last>".
std::string RangeValue(const ByteRange& range);

// What a fetch needs of the run that asks for it. Callbacks must not throw.
class FetchObserver {
 public:
  virtual ~FetchObserver() = default;
  // A transient progress line ("下载数据：(received/expected)\r\n").
  virtual void OnProgressText(const std::u16string& text) = 0;
  // Asked after every received block and while waiting: false cancels the fetch.
  virtual bool ShouldContinue() = 0;
  // Cancels the fetch at once, even while it waits for the network.
  virtual std::stop_token CancelToken() const = 0;
};

struct FetchLimits {
  std::chrono::milliseconds connect_timeout{30000};
  std::chrono::milliseconds stall_timeout{30000};
  std::size_t open_ended_cap = std::size_t{256} << 20;  // bytes an open-ended fetch may bring
};

// Appends the body of url (scheme, host, path; UTF-16) to body. 0 when the body was
// received to its end; -1 when the transfer failed, was cancelled, or brought more
// bytes than the range (or the open-ended cap) allows. The HTTP status is not looked
// at: the callers judge the body.
int FetchUrl(FetchObserver& observer, std::vector<std::uint8_t>& body, std::u16string_view url,
             std::uint32_t file_size, const ByteRange& range, FetchKind kind, std::u16string_view suffix = {},
             const FetchLimits& limits = {});

// As FetchUrl, and the MD5 of the received body in digest, computed while the body
// arrives (for bodies of a bounded range; an open-ended one is digested afterwards).
// body must be empty.
int FetchUrlDigested(FetchObserver& observer, std::vector<std::uint8_t>& body, platform::Md5Digest& digest,
                     std::u16string_view url, std::uint32_t file_size, const ByteRange& range, FetchKind kind,
                     std::u16string_view suffix = {}, const FetchLimits& limits = {});

// Milliseconds between two progress lines of a bounded fetch.
inline constexpr std::chrono::milliseconds kFetchProgressInterval{1000};

}  // namespace krdn
