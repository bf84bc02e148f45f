#include "transfer/piece_pipeline.h"

#include <algorithm>

namespace krdn {

PiecePipeline::PiecePipeline(platform::HttpSession& session, std::vector<PieceRequest> pieces, std::size_t depth,
                             FetchLimits limits)
    : session_(session), pieces_(std::move(pieces)), depth_(std::max<std::size_t>(1, depth)), limits_(limits) {}

PiecePipeline::~PiecePipeline() {
  // Abort them all first, then wait for each: the ends overlap instead of queueing.
  for (auto& [index, fetch] : fetches_) fetch->Abort();
  fetches_.clear();
}

void PiecePipeline::StartUpTo(std::size_t index, std::size_t end) {
  for (std::size_t i = index; i < std::min(end, pieces_.size()); ++i) {
    if (fetches_.contains(i)) continue;
    const PieceRequest& piece = pieces_[i];
    fetches_.emplace(i, std::make_unique<BodyFetch>(session_, piece.url, piece.file_size, piece.range, piece.kind,
                                                    std::u16string_view(), limits_, true));
  }
}

FetchedPiece PiecePipeline::Take(std::size_t index, FetchObserver& observer) {
  FetchedPiece piece;
  if (index >= pieces_.size()) return piece;
  // Pieces behind the pass are done with (an out-of-order caller only costs requests).
  fetches_.erase(fetches_.begin(), fetches_.lower_bound(index));
  StartUpTo(index, index + depth_);

  const auto found = fetches_.find(index);
  BodyFetch& fetch = *found->second;
  piece.result = fetch.Wait(observer);
  piece.digest = fetch.Digest();
  piece.body = std::move(fetch.body());
  fetches_.erase(found);
  return piece;
}

std::uint64_t PiecePipeline::BytesAhead() const {
  std::uint64_t bytes = 0;
  for (const auto& [index, fetch] : fetches_) bytes += fetch->Received();
  return bytes;
}

}  // namespace krdn
