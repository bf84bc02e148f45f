#include "repair/lane_batch.h"

#include <algorithm>

namespace krdn {

LaneBatch::LaneBatch(platform::Md5Kernel kernel)
    : md5_(kernel), lanes_(md5_.size()), buffer_(md5_.size() * kBlockBytes), feed_(md5_.size()) {}

std::size_t LaneBatch::busy() const {
  return static_cast<std::size_t>(std::ranges::count_if(lanes_, [](const Lane& lane) { return lane.piece.has_value(); }));
}

std::size_t LaneBatch::Fill(const NextPiece& next) {
  for (Lane& lane : lanes_) {
    if (lane.piece) continue;
    lane = Lane{};
    lane.piece = next();
  }
  StreamIfAlone();
  return busy();
}

void LaneBatch::StreamIfAlone() {
  if (width() == 1 || busy() != 1) return;
  Lane& only = *std::ranges::find_if(lanes_, [](const Lane& lane) { return lane.piece.has_value(); });
  // Only a piece not yet begun: one under way has its first blocks in a lane of the vector.
  if (only.read == 0 && !only.alone) only.alone.emplace();
}

bool LaneBatch::Read(const BeforeRead& before) {
  std::ranges::fill(feed_, std::span<const std::uint8_t>{});
  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    if (!lanes_[i].piece) continue;
    if (!before(*lanes_[i].piece)) return false;
    ReadBlock(i);
  }
  return true;
}

void LaneBatch::ReadBlock(std::size_t index) {
  Lane& lane = lanes_[index];
  const LanePiece& piece = *lane.piece;
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, piece.size - lane.read));
  const std::span<std::uint8_t> block(buffer_.data() + index * kBlockBytes, want);
  if (piece.local->ReadAt(piece.first + lane.read, block) != want) {
    lane.short_read = true;  // the file has shrunk since it was opened
    return;
  }
  lane.read += want;
  feed_[index] = block;
}

void LaneBatch::Feed() {
  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    if (!lanes_[i].alone) continue;
    lanes_[i].alone->Update(feed_[i]);
    feed_[i] = {};
  }
  md5_.Update(feed_);
}

void LaneBatch::Finish() {
  finished_.clear();
  FinishVectorLanes();
  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    if (lanes_[i].alone && lanes_[i].Complete()) finished_.push_back({.lane = i, .digest = lanes_[i].alone->Finish()});
  }
  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    if (lanes_[i].short_read) finished_.push_back({.lane = i, .digest = std::nullopt});
  }
}

void LaneBatch::FinishVectorLanes() {
  vector_lanes_.clear();
  for (std::size_t i = 0; i < lanes_.size(); ++i) {
    if (!lanes_[i].alone && lanes_[i].Complete()) vector_lanes_.push_back(i);
  }
  vector_digests_.resize(vector_lanes_.size());
  md5_.Finish(vector_lanes_, vector_digests_);
  for (std::size_t k = 0; k < vector_lanes_.size(); ++k) {
    finished_.push_back({.lane = vector_lanes_[k], .digest = vector_digests_[k]});
  }
}

void LaneBatch::Settle(const Settled& settled) {
  for (const Finished& finished : finished_) {
    Lane& lane = lanes_[finished.lane];
    settled(*lane.piece, finished.digest);
    // A short read leaves part of a message behind in its lane.
    if (!finished.digest) md5_.Restart(finished.lane);
    lane = Lane{};
  }
  finished_.clear();
}

}  // namespace krdn
