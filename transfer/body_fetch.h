// One fetch in flight into memory: the request of FetchUrl (agent string, Range header),
// its body collected by the session's thread while the caller does something else, and
// the MD5 of a bounded body computed while it arrives. The caller waits for it when it
// needs the body, with the progress lines and the running-flag checks of a fetch.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/http/http.h"
#include "platform/hash/md5.h"
#include "transfer/fetch_url.h"
#include "platform/hash/lane_digests.h"
#include "transfer/running_digest.h"

namespace krdn {

class BodyFetch {
 public:
  // Starts the request at once (an inverted range starts nothing and fails). With
  // `digest`, a bounded body is digested while it arrives: in a lane of `lanes` when one
  // is free, else by a helper thread of its own. The body is received into `storage`
  // (emptied first), whose memory a caller may hand on from an earlier body. An urgent
  // request waits for a connection in front of those started before it.
  BodyFetch(platform::HttpSession& session, std::u16string_view url, std::uint64_t file_size, const ByteRange& range,
            FetchKind kind, std::u16string_view suffix, const FetchLimits& limits, bool digest,
            platform::LaneDigests* lanes = nullptr, std::vector<std::uint8_t> storage = {}, bool urgent = false);
  // Aborts the transfer if it still runs and waits for its end.
  ~BodyFetch();
  BodyFetch(const BodyFetch&) = delete;
  BodyFetch& operator=(const BodyFetch&) = delete;

  // Body bytes received so far (any thread).
  std::uint64_t Received() const { return received_.load(std::memory_order_relaxed); }
  bool Finished() const { return transfer_.Finished(); }
  // Ends the transfer at once, without waiting.
  void Abort() { transfer_.Abort(); }

  // Waits on the calling thread for the end of the fetch, as FetchUrl: a progress line
  // with 0 bytes first and then at most one a second for a bounded range, the
  // observer's ShouldContinue at short intervals (false cancels the fetch), its cancel
  // token. Returns FetchUrl's result. Call once.
  int Wait(FetchObserver& observer);

  // After Wait: the body, and the MD5 of it (when asked for at the start, else computed now).
  std::vector<std::uint8_t>& body() { return body_; }
  platform::Md5Digest Digest();

 private:
  class Receiver final : public platform::HttpReceiver {
   public:
    explicit Receiver(BodyFetch& fetch) : fetch_(fetch) {}
    bool OnBody(std::span<const std::uint8_t> block) override;

   private:
    BodyFetch& fetch_;
  };

  std::optional<std::uint64_t> expected_;  // bytes of a bounded range
  std::size_t limit_ = 0;                  // reading stops when the body holds this many bytes
  std::vector<std::uint8_t> body_;
  std::atomic<std::uint64_t> received_{0};
  bool overflowed_ = false;  // written by the session's thread before the transfer ends
  std::optional<RunningDigest> running_;
  platform::LaneDigests* lanes_ = nullptr;
  std::optional<std::size_t> lane_;  // held in lanes_ until the digest is taken or the fetch ends
  Receiver receiver_{*this};
  platform::HttpTransfer transfer_;  // last: ended before everything it writes into goes
};

}  // namespace krdn
