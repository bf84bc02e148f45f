// The pieces of a download pass, fetched a few ahead of the one the pass is working on.
//
// The pass takes the pieces strictly in their order, one at a time, and judges,
// digests and writes each itself; the pipeline only sees to it that the next ones are
// already on their way. With a depth of 1 a piece is requested only when the pass asks
// for it, one at a time. With a depth above 1 the pieces ahead are started as far as
// the bounds of what may be held allow, and the session puts them on the wire as its
// connections to the host come free (the run gives it `depth` connections per host):
// a connection whose answer has ended takes the next request at once, also while the
// pass is busy writing.
//
// Arrived pieces wait for their turn in memory, within a bound: all the bodies the
// pipeline holds come to at most `depth` pieces (counted from the pass's piece) plus
// kArrivedAheadBytes, and at most 2 x depth pieces, or kSmallPiecesHeld when that is
// more: for small pieces the depth is a number of requests on the wire, not of pieces.
//
// A piece fetched ahead whose transfer failed is kept as it ended: the pass learns of
// the failure when the piece's turn comes, exactly as if it had been fetched only then,
// and asks for the same piece again, which starts a new request for it. Nothing is
// retried behind the pass's back.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/http/http.h"
#include "platform/hash/md5.h"
#include "platform/hash/md5_lanes.h"
#include "transfer/body_fetch.h"
#include "transfer/fetch_url.h"
#include "platform/hash/lane_digests.h"

namespace krdn {

// One piece request: what FetchUrl takes for it.
struct PieceRequest {
  std::u16string url;
  std::uint64_t file_size = 0;  // of the file the piece belongs to (the agent string's piece numbers)
  ByteRange range;              // bounded
  FetchKind kind = FetchKind::kNone;
};

struct FetchedPiece {
  int result = -1;  // FetchUrl's: 0 the body is there (of whatever length), -1 the transfer failed
  std::vector<std::uint8_t> body;
  platform::Md5Digest digest{};
};

class PiecePipeline {
 public:
  // The pieces in flight are digested side by side in the lanes of a vector kernel no
  // wider than `widest` (the scalar kernel: each on a stream of its own).
  PiecePipeline(platform::HttpSession& session, std::vector<PieceRequest> pieces, std::size_t depth,
                FetchLimits limits, platform::Md5Kernel widest = platform::BestMd5Kernel());
  // Aborts every fetch still in flight.
  ~PiecePipeline();
  PiecePipeline(const PiecePipeline&) = delete;
  PiecePipeline& operator=(const PiecePipeline&) = delete;

  std::size_t size() const { return pieces_.size(); }

  // Bytes of arrived pieces that may wait beyond the depth's.
  static constexpr std::uint64_t kArrivedAheadBytes = std::uint64_t{16} << 20;
  // The most pieces held when they are small: twice the depth would leave the
  // connections waiting for a pass that spends longer on a small file's notifications
  // and opens than the server on its answer. Bytes bound large pieces long before.
  static constexpr std::size_t kSmallPiecesHeld = 64;

  // The piece at index, once its transfer has ended. Indices only go forwards; the same
  // index again fetches that piece anew. Starts the pieces ahead as far as the bounds
  // allow, then waits as FetchUrl waits (progress lines, the observer's checks).
  FetchedPiece Take(std::size_t index, FetchObserver& observer);

  // Body bytes held by the fetches ahead (in flight or ended, not taken yet).
  std::uint64_t BytesAhead() const;

  // Hands back the storage of a body taken and done with, for a piece still to come:
  // memory already in use costs no page faults when the next body arrives into it.
  void Recycle(std::vector<std::uint8_t> body);

 private:
  void TopUp(std::size_t index);
  void Start(std::size_t index, bool urgent);
  std::uint64_t PieceBytes(std::size_t index) const;

  platform::HttpSession& session_;
  const std::vector<PieceRequest> pieces_;
  const std::size_t depth_;
  const FetchLimits limits_;
  std::optional<platform::LaneDigests> lanes_;  // outlives the fetches that digest in it
  std::map<std::size_t, std::unique_ptr<BodyFetch>> fetches_;  // by piece index
  std::optional<std::vector<std::uint8_t>> spare_;             // storage for the next fetch started
};

}  // namespace krdn
