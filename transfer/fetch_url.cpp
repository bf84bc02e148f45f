#include "transfer/fetch_url.h"

#include "platform/http.h"
#include "platform/utf.h"
#include "transfer/running_digest.h"

namespace krdn {
namespace {

constexpr std::uint32_t kAgentPieceSize = 4194304;  // the servers' 4 MiB piece

std::u16string ProgressText(std::size_t received, std::uint64_t expected) {
  std::u16string text = u"下载数据：(";
  text += platform::Utf8ToUtf16(std::to_string(received));
  text += u'/';
  text += platform::Utf8ToUtf16(std::to_string(expected));
  text += u")\r\n";
  return text;
}

class BodyReceiver final : public platform::HttpReceiver {
 public:
  BodyReceiver(FetchObserver& observer, std::vector<std::uint8_t>& body, std::size_t limit,
               std::optional<std::uint64_t> expected, RunningDigest* digest)
      : observer_(observer), body_(body), start_size_(body.size()), limit_(limit), expected_(expected),
        digest_(digest) {}

  bool OnBody(std::span<const std::uint8_t> block) override {
    if (body_.size() - start_size_ + block.size() > limit_) {
      overflowed_ = true;
      return false;
    }
    body_.insert(body_.end(), block.begin(), block.end());
    if (digest_ != nullptr) digest_->Published(body_.size());
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
  RunningDigest* digest_;
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
  std::string request_url = utf8.substr(0, path);
  request_url += platform::EscapeUrlPath(utf8.substr(path));
  return request_url;
}

}  // namespace

std::string AgentString(std::uint32_t file_size, std::uint32_t first_byte, FetchKind kind, std::u16string_view suffix) {
  std::string agent = "VoRepair";
  agent += platform::Utf16ToUtf8(suffix);
  if (kind == FetchKind::kMissing) agent += "_missing";
  if (kind == FetchKind::kInvalid) agent += "_invalid";
  if (file_size != 0) {
    const std::uint32_t piece = first_byte / kAgentPieceSize + 1;
    const std::uint32_t pieces = file_size / kAgentPieceSize + (file_size % kAgentPieceSize != 0 ? 1 : 0);
    agent += '_';
    agent += std::to_string(piece);
    agent += "in";
    agent += std::to_string(pieces);
  }
  return agent;
}

std::string RangeValue(const ByteRange& range) {
  std::string value = "bytes=";
  value += std::to_string(range.first);
  value += '-';
  if (range.last) value += std::to_string(*range.last);
  return value;
}

namespace {

// Bodies up to this size are digested while they arrive; their storage is reserved up front.
constexpr std::uint64_t kLargestRunningDigest = std::uint64_t{64} << 20;

int Fetch(FetchObserver& observer, std::vector<std::uint8_t>& body, platform::Md5Digest* digest,
          std::u16string_view url, std::uint32_t file_size, const ByteRange& range, FetchKind kind,
          std::u16string_view suffix, const FetchLimits& limits) {
  std::optional<std::uint64_t> expected;
  if (range.last) expected = std::uint64_t{*range.last} - range.first + 1;
  if (range.last && *range.last < range.first) return -1;  // an empty or inverted range asks for nothing sane

  platform::HttpRequest request{.url = RequestUrl(url),
                                .user_agent = AgentString(file_size, range.first, kind, suffix),
                                .range = RangeValue(range),
                                .connect_timeout = limits.connect_timeout,
                                .stall_timeout = limits.stall_timeout};
  std::optional<RunningDigest> running;
  if (digest != nullptr && body.empty() && expected && *expected <= kLargestRunningDigest) {
    body.reserve(static_cast<std::size_t>(*expected));
    running.emplace(body);
  }
  if (expected) observer.OnProgressText(ProgressText(0, *expected));
  BodyReceiver receiver(observer, body, expected ? static_cast<std::size_t>(*expected) : limits.open_ended_cap,
                        expected, running ? &*running : nullptr);
  const platform::HttpResult result = platform::HttpGet(request, receiver, observer.CancelToken());
  if (digest != nullptr) *digest = running ? running->Finish(body.size()) : platform::Md5(body);
  return result.outcome == platform::HttpOutcome::kComplete ? 0 : -1;
}

}  // namespace

int FetchUrl(FetchObserver& observer, std::vector<std::uint8_t>& body, std::u16string_view url,
             std::uint32_t file_size, const ByteRange& range, FetchKind kind, std::u16string_view suffix,
             const FetchLimits& limits) {
  return Fetch(observer, body, nullptr, url, file_size, range, kind, suffix, limits);
}

int FetchUrlDigested(FetchObserver& observer, std::vector<std::uint8_t>& body, platform::Md5Digest& digest,
                     std::u16string_view url, std::uint32_t file_size, const ByteRange& range, FetchKind kind,
                     std::u16string_view suffix, const FetchLimits& limits) {
  return Fetch(observer, body, &digest, url, file_size, range, kind, suffix, limits);
}

}  // namespace krdn
