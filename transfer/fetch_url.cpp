#include "transfer/fetch_url.h"

#include "platform/http.h"
#include "platform/utf.h"

namespace krdn {
namespace {

constexpr std::uint32_t kAgentPieceSize = 4194304;  // the servers' 4 MiB piece

std::u16string ProgressText(std::size_t received, std::uint64_t expected) {
  const std::string text = "下载数据：(" + std::to_string(received) + "/" + std::to_string(expected) + ")\r\n";
  return platform::Utf8ToUtf16(text);
}

class BodyReceiver final : public platform::HttpReceiver {
 public:
  BodyReceiver(FetchObserver& observer, std::vector<std::uint8_t>& body, std::size_t limit,
               std::optional<std::uint64_t> expected)
      : observer_(observer), body_(body), start_size_(body.size()), limit_(limit), expected_(expected) {}

  bool OnBody(std::span<const std::uint8_t> block) override {
    if (body_.size() - start_size_ + block.size() > limit_) {
      overflowed_ = true;
      return false;
    }
    body_.insert(body_.end(), block.begin(), block.end());
    const auto now = std::chrono::steady_clock::now();
    if (expected_ && now - last_report_ >= kFetchProgressInterval) {
      last_report_ = now;
      observer_.OnProgressText(ProgressText(body_.size(), *expected_));
    }
    return observer_.ShouldContinue();
  }

  bool OnIdle() override { return observer_.ShouldContinue(); }

  bool overflowed() const { return overflowed_; }

 private:
  FetchObserver& observer_;
  std::vector<std::uint8_t>& body_;
  std::size_t start_size_;
  std::size_t limit_;
  std::optional<std::uint64_t> expected_;
  std::chrono::steady_clock::time_point last_report_ = std::chrono::steady_clock::now();
  bool overflowed_ = false;
};

// The URL with its path percent-encoded where needed, so that names with spaces or
// non-ASCII characters reach the server intact.
std::string RequestUrl(std::u16string_view url) {
  const std::string utf8 = platform::Utf16ToUtf8(url);
  const std::size_t scheme = utf8.find("://");
  const std::size_t path = utf8.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  if (path == std::string::npos) return utf8;
  return utf8.substr(0, path) + platform::EscapeUrlPath(utf8.substr(path));
}

}  // namespace

std::string AgentString(std::uint32_t file_size, std::uint32_t first_byte, FetchKind kind, std::u16string_view suffix) {
  std::string agent = "VoRepair" + platform::Utf16ToUtf8(suffix);
  if (kind == FetchKind::kMissing) agent += "_missing";
  if (kind == FetchKind::kInvalid) agent += "_invalid";
  if (file_size != 0) {
    const std::uint32_t piece = first_byte / kAgentPieceSize + 1;
    const std::uint32_t pieces = file_size / kAgentPieceSize + (file_size % kAgentPieceSize != 0 ? 1 : 0);
    agent += "_" + std::to_string(piece) + "in" + std::to_string(pieces);
  }
  return agent;
}

std::string RangeValue(const ByteRange& range) {
  std::string value = "bytes=" + std::to_string(range.first) + "-";
  if (range.last) value += std::to_string(*range.last);
  return value;
}

int FetchUrl(FetchObserver& observer, std::vector<std::uint8_t>& body, std::u16string_view url,
             std::uint32_t file_size, const ByteRange& range, FetchKind kind, std::u16string_view suffix,
             const FetchLimits& limits) {
  std::optional<std::uint64_t> expected;
  if (range.last) expected = std::uint64_t{*range.last} - range.first + 1;
  if (range.last && *range.last < range.first) return -1;  // an empty or inverted range asks for nothing sane

  platform::HttpRequest request{.url = RequestUrl(url),
                                .user_agent = AgentString(file_size, range.first, kind, suffix),
                                .range = RangeValue(range),
                                .connect_timeout = limits.connect_timeout,
                                .stall_timeout = limits.stall_timeout};
  if (expected) observer.OnProgressText(ProgressText(0, *expected));
  BodyReceiver receiver(observer, body, expected ? static_cast<std::size_t>(*expected) : limits.open_ended_cap,
                        expected);
  const platform::HttpResult result = platform::HttpGet(request, receiver, observer.CancelToken());
  return result.outcome == platform::HttpOutcome::kComplete ? 0 : -1;
}

}  // namespace krdn
