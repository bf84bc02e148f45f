#include "transfer/body_fetch.h"

#include <algorithm>
#include <utility>

#include "platform/base/utf.h"

namespace krdn {
namespace {

// Bodies up to this size have their storage reserved up front and are digested while
// they arrive.
constexpr std::uint64_t kLargestReservedBody = std::uint64_t{64} << 20;

std::u16string ProgressText(std::uint64_t received, std::uint64_t expected) {
  std::u16string text = u"下载数据：(";
  text += platform::Utf8ToUtf16(std::to_string(received));
  text += u'/';
  text += platform::Utf8ToUtf16(std::to_string(expected));
  text += u")\r\n";
  return text;
}

}  // namespace

BodyFetch::BodyFetch(platform::HttpSession& session, std::u16string_view url, std::uint64_t file_size,
                     const ByteRange& range, FetchKind kind, std::u16string_view suffix, const FetchLimits& limits,
                     bool digest, platform::LaneDigests* lanes, std::vector<std::uint8_t> storage, bool urgent)
    : body_(std::move(storage)) {
  body_.clear();
  if (range.last && *range.last < range.first) return;  // an empty or inverted range asks for nothing sane
  if (range.last) {
    expected_ = *range.last - range.first + 1;
    limit_ = static_cast<std::size_t>(*expected_ + 1);  // one byte more tells a body that is too long
  } else {
    limit_ = limits.open_ended_cap + 1;
  }
  if (expected_ && *expected_ <= kLargestReservedBody) {
    body_.reserve(limit_);
    if (digest && lanes != nullptr) lane_ = lanes->Attach(body_.data());
    if (lane_) {
      lanes_ = lanes;
    } else if (digest && *expected_ > RunningDigest::kWakeStep) {
      // A body under a step would wake the helper only at its end: its thread would
      // cost more than digesting it then, on the caller's (Digest below).
      running_.emplace(body_);
    }
  }
  const platform::HttpRequest request{.url = RequestUrl(url),
                                      .user_agent = AgentString(file_size, range.first, kind, suffix),
                                      .range = RangeValue(range),
                                      .limits = limits.http,
                                      .urgent = urgent};
  transfer_ = session.Start(request, receiver_);
}

BodyFetch::~BodyFetch() {
  // The transfer ends before the body and the digest it writes into.
  transfer_ = platform::HttpTransfer();
  if (lane_) lanes_->Release(*lane_);
}

bool BodyFetch::Receiver::OnBody(std::span<const std::uint8_t> block) {
  BodyFetch& fetch = fetch_;
  const std::size_t take = std::min(block.size(), fetch.limit_ - fetch.body_.size());
  fetch.body_.insert(fetch.body_.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(take));
  fetch.received_.store(fetch.body_.size(), std::memory_order_relaxed);
  if (fetch.lane_) fetch.lanes_->Published(*fetch.lane_, fetch.body_.size());
  else if (fetch.running_) fetch.running_->Published(fetch.body_.size());
  if (fetch.body_.size() >= fetch.limit_) {
    fetch.overflowed_ = true;  // read no further
    return false;
  }
  return true;
}

int BodyFetch::Wait(FetchObserver& observer) {
  if (!transfer_.Valid()) return -1;
  if (expected_) observer.OnProgressText(ProgressText(0, *expected_));
  const std::stop_callback cancel(observer.CancelToken(), [this] { transfer_.Abort(); });
  auto last_report = std::chrono::steady_clock::now();
  const platform::HttpResult result = transfer_.Wait([&] {
    const auto now = std::chrono::steady_clock::now();
    if (expected_ && now - last_report >= kFetchProgressInterval) {
      last_report = now;
      observer.OnProgressText(ProgressText(Received(), *expected_));
    }
    return observer.ShouldContinue();
  });
  // A cancelled run takes nothing, also when the body was quicker than the cancel.
  if (observer.CancelToken().stop_requested()) return -1;
  if (result.outcome == platform::HttpOutcome::kComplete) return 0;
  // A body longer than its range is handed back for the length test; an open-ended one
  // past the cap is a failure.
  if (overflowed_ && expected_ && result.outcome == platform::HttpOutcome::kCancelled && !observer.CancelToken().stop_requested()) {
    return 0;
  }
  return -1;
}

platform::Md5Digest BodyFetch::Digest() {
  if (lane_) {
    const std::size_t lane = *std::exchange(lane_, std::nullopt);
    return lanes_->Finish(lane, body_.size());
  }
  if (running_) return running_->Finish(body_.size());
  return platform::Md5(body_);
}

}  // namespace krdn
