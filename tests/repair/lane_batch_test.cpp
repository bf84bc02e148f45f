// The lane batch against the library's MD5 over the same bytes, for every kernel the
// processor runs: pieces of every kind of length side by side, the lone piece on the
// stream, short reads, and lanes taken again while others are mid-piece.
#include "repair/lane_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace krdn {
namespace {

using platform::Md5Digest;
using platform::Md5Kernel;
constexpr std::size_t kBlock = LaneBatch::kBlockBytes;

// One file of patterned bytes that the pieces are cut from.
class Source {
 public:
  explicit Source(std::size_t size) : bytes_(testing::PatternBytes(size, 7)) {
    testing::WriteFile(dir_ / "pieces.bin", bytes_);
    std::optional<platform::File> file = platform::File::Open((dir_ / "pieces.bin").u16string(), platform::File::Mode::kRead);
    if (!file) throw std::runtime_error("the test file cannot be opened");
    file_ = std::make_shared<const platform::File>(std::move(*file));
  }

  std::size_t size() const { return bytes_.size(); }
  const std::shared_ptr<const platform::File>& file() const { return file_; }
  LanePiece Piece(std::size_t index, std::uint64_t first, std::uint64_t size) const {
    return LanePiece{.file = 0, .piece = index, .local = file_, .first = first, .size = size};
  }
  Md5Digest Expected(const LanePiece& piece) const {
    return platform::Md5(std::span(bytes_).subspan(static_cast<std::size_t>(piece.first), static_cast<std::size_t>(piece.size)));
  }

 private:
  testing::TempDir dir_;
  std::vector<std::uint8_t> bytes_;
  std::shared_ptr<const platform::File> file_;
};

// What settled, by piece index: the digest, or nothing for a short read.
using Outcomes = std::map<std::size_t, std::optional<Md5Digest>>;

class LaneBatchTest : public ::testing::TestWithParam<Md5Kernel> {
 protected:
  void SetUp() override {
    ASSERT_EQ(platform::BindMd5(), 0);
    if (!platform::Md5KernelSupported(GetParam())) GTEST_SKIP() << "this processor cannot run the kernel";
  }

  // Takes pieces from the front of `queue` for free lanes.
  static LaneBatch::NextPiece From(std::deque<LanePiece>& queue) {
    return [&queue]() -> std::optional<LanePiece> {
      if (queue.empty()) return std::nullopt;
      LanePiece piece = queue.front();
      queue.pop_front();
      return piece;
    };
  }

  // One round after the lanes are filled; each settled piece is recorded once.
  static void Round(LaneBatch& batch, Outcomes& outcomes) {
    ASSERT_TRUE(batch.Read([](const LanePiece&) { return true; }));
    batch.Feed();
    batch.Finish();
    batch.Settle([&](const LanePiece& piece, const std::optional<Md5Digest>& digest) {
      EXPECT_TRUE(outcomes.emplace(piece.piece, digest).second) << "piece " << piece.piece << " settled twice";
    });
  }

  static Outcomes RunAll(LaneBatch& batch, std::deque<LanePiece> queue) {
    Outcomes outcomes;
    for (int rounds = 0; batch.Fill(From(queue)) > 0 && rounds < 10000; ++rounds) Round(batch, outcomes);
    return outcomes;
  }
};

TEST_P(LaneBatchTest, PiecesOfEveryLengthMixedAcrossLanesGiveTheLibrarysDigests) {
  const std::vector<std::uint64_t> lengths = {0, 1, 1000, kBlock - 1, kBlock, kBlock + 1, 2 * kBlock, 3 * kBlock + 17, 5 * kBlock};
  LaneBatch batch(GetParam());
  // More pieces than lanes, so that lanes are taken again as their pieces end.
  const std::size_t count = 2 * batch.width() + lengths.size();
  std::vector<LanePiece> pieces;
  std::uint64_t end = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t length = lengths[i % lengths.size()];
    pieces.push_back(LanePiece{.file = 0, .piece = i, .local = nullptr, .first = end + i % 3, .size = length});
    end += length + i % 3;
  }
  const Source source(static_cast<std::size_t>(end));
  for (LanePiece& piece : pieces) piece.local = source.file();

  const Outcomes outcomes = RunAll(batch, {pieces.begin(), pieces.end()});

  ASSERT_EQ(outcomes.size(), count);
  for (const LanePiece& piece : pieces) {
    ASSERT_TRUE(outcomes.at(piece.piece).has_value()) << "piece " << piece.piece;
    EXPECT_EQ(*outcomes.at(piece.piece), source.Expected(piece)) << "piece " << piece.piece << " of " << piece.size << " bytes";
  }
  EXPECT_EQ(batch.busy(), 0u);
  // The source's and the test's own pieces': no settled lane holds on to the file.
  EXPECT_EQ(source.file().use_count(), 1 + static_cast<long>(pieces.size()));
}

TEST_P(LaneBatchTest, APieceAloneGoesThroughTheStreamAndAPieceUnderWayStaysInItsLane) {
  LaneBatch batch(GetParam());
  if (batch.width() == 1) GTEST_SKIP() << "one lane: the kernel is the stream";
  const Source source(16 * kBlock);
  const LanePiece alone = source.Piece(0, 3, 3 * kBlock + 5);
  const LanePiece small = source.Piece(1, 5 * kBlock, kBlock / 2);
  const LanePiece large = source.Piece(2, 6 * kBlock + 1, 4 * kBlock);
  const LanePiece late = source.Piece(3, 11 * kBlock, 2 * kBlock + 9);
  Outcomes outcomes;

  std::deque<LanePiece> queue{alone};
  ASSERT_EQ(batch.Fill(From(queue)), 1u);
  EXPECT_TRUE(batch.OnStream(0));
  Round(batch, outcomes);
  // A piece that comes while the stream is under way takes a lane of the vector beside it.
  queue = {late};
  ASSERT_EQ(batch.Fill(From(queue)), 2u);
  EXPECT_TRUE(batch.OnStream(0));
  EXPECT_FALSE(batch.OnStream(1));
  for (int round = 0; round < 10 && batch.busy() > 0; ++round) {
    Round(batch, outcomes);
    batch.Fill(From(queue));
  }
  ASSERT_EQ(batch.busy(), 0u);

  // Two pieces share the vector; when the small one ends, the large one is left alone
  // with blocks already in its lane, and finishes there.
  queue = {small, large};
  ASSERT_EQ(batch.Fill(From(queue)), 2u);
  EXPECT_FALSE(batch.OnStream(0));
  EXPECT_FALSE(batch.OnStream(1));
  Round(batch, outcomes);
  ASSERT_EQ(batch.Fill(From(queue)), 1u);
  EXPECT_FALSE(batch.OnStream(1));
  for (int round = 0; round < 10 && batch.busy() > 0; ++round) Round(batch, outcomes);

  for (const LanePiece& piece : {alone, small, large, late}) {
    ASSERT_TRUE(outcomes.contains(piece.piece) && outcomes.at(piece.piece)) << "piece " << piece.piece;
    EXPECT_EQ(*outcomes.at(piece.piece), source.Expected(piece)) << "piece " << piece.piece;
  }
}

TEST_P(LaneBatchTest, AShortReadFailsThePieceAndItsLaneDigestsTheNextPieceAfresh) {
  LaneBatch batch(GetParam());
  const Source source(8 * kBlock);
  // Read in full for one block, then the file ends: part of a message stays in the lane.
  const LanePiece cut = source.Piece(0, source.size() - kBlock - 10, 2 * kBlock);
  const LanePiece beyond = source.Piece(1, source.size() + 1, 100);  // nothing at all to read
  const LanePiece after = source.Piece(2, 7, 2 * kBlock + 3);
  const LanePiece beside = source.Piece(3, 100, 4 * kBlock);  // keeps the cut piece off the stream

  Outcomes outcomes;
  std::deque<LanePiece> queue{cut, beside};
  batch.Fill(From(queue));
  Round(batch, outcomes);
  EXPECT_TRUE(outcomes.empty());
  Round(batch, outcomes);
  ASSERT_TRUE(outcomes.contains(cut.piece));
  EXPECT_FALSE(outcomes.at(cut.piece)) << "a short read settles without a digest";
  EXPECT_EQ(batch.busy(), batch.width() == 1 ? 0u : 1u);

  queue.push_back(after);  // into the lane of the cut piece
  queue.push_back(beyond);
  for (int round = 0; round < 10 && batch.Fill(From(queue)) > 0; ++round) Round(batch, outcomes);
  ASSERT_TRUE(outcomes.contains(beyond.piece));
  EXPECT_FALSE(outcomes.at(beyond.piece));
  for (const LanePiece& piece : {after, beside}) {
    ASSERT_TRUE(outcomes.contains(piece.piece) && outcomes.at(piece.piece)) << "piece " << piece.piece;
    EXPECT_EQ(*outcomes.at(piece.piece), source.Expected(piece)) << "piece " << piece.piece;
  }
  EXPECT_EQ(source.file().use_count(), 1 + 4) << "a settled lane still holds its file";
}

TEST_P(LaneBatchTest, EveryReadIsAskedForInLaneOrderAndARefusalEndsTheRound) {
  LaneBatch batch(GetParam());
  const Source source(4 * kBlock);
  std::deque<LanePiece> queue;
  for (std::size_t i = 0; i < 3; ++i) queue.push_back(source.Piece(i, i * kBlock, kBlock + 1));
  const std::size_t busy = batch.Fill(From(queue));
  ASSERT_EQ(busy, std::min<std::size_t>(3, batch.width()));

  std::vector<std::size_t> asked;
  ASSERT_TRUE(batch.Read([&](const LanePiece& piece) {
    asked.push_back(piece.piece);
    return true;
  }));
  std::vector<std::size_t> in_lane_order = {0, 1, 2};
  in_lane_order.resize(busy);
  EXPECT_EQ(asked, in_lane_order);
  asked.clear();
  EXPECT_FALSE(batch.Read([&](const LanePiece& piece) {
    asked.push_back(piece.piece);
    return false;
  }));
  EXPECT_EQ(asked, std::vector<std::size_t>{0}) << "no read is asked for after a refusal";
}

INSTANTIATE_TEST_SUITE_P(Kernels, LaneBatchTest, ::testing::ValuesIn(platform::kMd5Kernels),
                         [](const auto& param_info) { return std::string(platform::Md5KernelName(param_info.param)); });

}  // namespace
}  // namespace krdn
