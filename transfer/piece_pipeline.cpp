#include "transfer/piece_pipeline.h"

#include <algorithm>
#include <utility>

namespace krdn {

namespace {

// The kernel for the bodies of a pipeline `depth` deep, up to 2 x depth of large ones held
// (small ones beyond the lanes are digested whole when the pass takes them):
// the narrowest vector kernel whose lanes hold them all (a step of a wider one costs
// more for the same busy lanes), of the 8-lane ones the quicker, or the scalar kernel
// for one piece at a time, which a single stream digests faster than a lane.
platform::Md5Kernel LaneKernel(std::size_t depth, platform::Md5Kernel widest) {
  using platform::Md5Kernel;
  if (depth < 2 || widest == Md5Kernel::kScalar) return Md5Kernel::kScalar;
  if (widest == Md5Kernel::kAvx512 && 2 * depth <= platform::Md5KernelLanes(Md5Kernel::kAvx512Vl)) {
    for (const Md5Kernel narrow : {Md5Kernel::kAvx512Vl, Md5Kernel::kAvx2}) {
      if (platform::Md5KernelSupported(narrow)) return narrow;
    }
  }
  return platform::Md5KernelSupported(widest) ? widest : Md5Kernel::kScalar;
}

}  // namespace

PiecePipeline::PiecePipeline(platform::HttpSession& session, std::vector<PieceRequest> pieces, std::size_t depth,
                             FetchLimits limits, platform::Md5Kernel widest)
    : session_(session), pieces_(std::move(pieces)), depth_(std::max<std::size_t>(1, depth)), limits_(limits) {
  if (const platform::Md5Kernel kernel = LaneKernel(depth_, widest); kernel != platform::Md5Kernel::kScalar) {
    lanes_.emplace(kernel);
  }
}

PiecePipeline::~PiecePipeline() {
  // Abort them all first, then wait for each: the ends overlap instead of queueing.
  for (auto& [index, fetch] : fetches_) fetch->Abort();
  fetches_.clear();
}

std::uint64_t PiecePipeline::PieceBytes(std::size_t index) const {
  const ByteRange& range = pieces_[index].range;
  return *range.last - range.first + 1;
}

void PiecePipeline::Start(std::size_t index, bool urgent) {
  const PieceRequest& piece = pieces_[index];
  std::vector<std::uint8_t> storage;
  if (spare_) storage = std::move(*std::exchange(spare_, std::nullopt));
  fetches_.emplace(index, std::make_unique<BodyFetch>(session_, piece.url, piece.file_size, piece.range, piece.kind,
                                                      std::u16string_view(), limits_, true,
                                                      lanes_ ? &*lanes_ : nullptr, std::move(storage), urgent));
}

// Starts the pass's piece, and with a depth above 1 the pieces after the last one
// started while the bounds of what may be held allow: the bytes and the number of
// pieces. The session keeps those beyond its connections until one comes free.
void PiecePipeline::TopUp(std::size_t index) {
  // The pass's piece asked for again (its first transfer failed) goes before the
  // pieces ahead that still wait for a connection.
  if (!fetches_.contains(index)) Start(index, true);
  if (depth_ == 1) return;
  std::uint64_t allowed = kArrivedAheadBytes;
  for (std::size_t i = index; i < std::min(index + depth_, pieces_.size()); ++i) allowed += PieceBytes(i);
  std::uint64_t held = 0;
  for (const auto& [i, fetch] : fetches_) held += PieceBytes(i);
  const std::size_t most_held = std::max(2 * depth_, kSmallPiecesHeld);
  for (std::size_t next = fetches_.rbegin()->first + 1;
       next < pieces_.size() && fetches_.size() < most_held && held + PieceBytes(next) <= allowed; ++next) {
    Start(next, false);
    held += PieceBytes(next);
  }
}

FetchedPiece PiecePipeline::Take(std::size_t index, FetchObserver& observer) {
  FetchedPiece piece;
  if (index >= pieces_.size()) return piece;
  // Pieces behind the pass are done with (an out-of-order caller only costs requests).
  fetches_.erase(fetches_.begin(), fetches_.lower_bound(index));
  TopUp(index);

  const auto found = fetches_.find(index);
  BodyFetch& fetch = *found->second;
  // Nothing more may start while the pass waits: what may be held changes only when it
  // takes a piece.
  piece.result = fetch.Wait(observer);
  piece.digest = fetch.Digest();
  piece.body = std::move(fetch.body());
  fetches_.erase(found);
  return piece;
}

void PiecePipeline::Recycle(std::vector<std::uint8_t> body) {
  // One is enough: the pass hands one back for each piece it takes.
  if (!spare_ || spare_->capacity() < body.capacity()) spare_ = std::move(body);
}

std::uint64_t PiecePipeline::BytesAhead() const {
  std::uint64_t bytes = 0;
  for (const auto& [index, fetch] : fetches_) bytes += fetch->Received();
  return bytes;
}

}  // namespace krdn
