// The lanes of one checker thread: up to Md5Lanes::size() pieces digested side by side,
// each streamed from its file in blocks of kBlockBytes, so memory stays at a block per
// lane whatever the piece size.
//
// A round is: Fill the free lanes, Read one block for every busy lane, Feed the blocks
// to the digests, Finish the lanes whose piece is read in full or came up short, and
// Settle them (hand each outcome on and free its lane). A piece that starts with every
// other lane idle goes through the library's stream instead of a lane of the vector: it
// digests a single message faster.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/hash/md5.h"
#include "platform/hash/md5_lanes.h"
#include "platform/io/files.h"

namespace krdn {

// A piece of an open file, as it is handed to a lane.
struct LanePiece {
  std::size_t file = 0;   // the manifest's indices, for whoever judges the digest
  std::size_t piece = 0;
  std::shared_ptr<const platform::File> local;
  std::uint64_t first = 0;
  std::uint64_t size = 0;
};

class LaneBatch {
 public:
  // Bytes read for a lane in one round.
  static constexpr std::size_t kBlockBytes = 64 * 1024;

  // The next piece to take, or nothing when there is none.
  using NextPiece = std::function<std::optional<LanePiece>()>;
  // Asked before every read with the piece about to be read; false stops the round.
  using BeforeRead = std::function<bool(const LanePiece&)>;
  // One settled lane: the piece's digest, or nothing when its file came up short.
  using Settled = std::function<void(const LanePiece&, const std::optional<platform::Md5Digest>&)>;

  explicit LaneBatch(platform::Md5Kernel kernel);

  std::size_t width() const { return lanes_.size(); }
  // Lanes that carry a piece.
  std::size_t busy() const;
  // Whether the lane's piece goes through the library's stream.
  bool OnStream(std::size_t lane) const { return lanes_[lane].alone.has_value(); }

  // Asks `next` for a piece for every free lane, in lane order; returns busy().
  std::size_t Fill(const NextPiece& next);
  // Reads the next block of every busy lane, in lane order, each after `before` agreed.
  // False when `before` refused: the round ends there.
  bool Read(const BeforeRead& before);
  // Digests the blocks just read.
  void Feed();
  // The digests of the pieces read in full, and the lanes whose read came up short.
  void Finish();
  // Hands on what Finish found (pieces read in full in lane order, the stream's piece,
  // then the short reads) and frees those lanes, letting go of their files.
  void Settle(const Settled& settled);

 private:
  struct Lane {
    std::optional<LanePiece> piece;
    std::uint64_t read = 0;
    bool short_read = false;
    std::optional<platform::Md5Stream> alone;

    bool Complete() const { return piece && !short_read && read == piece->size; }
  };
  struct Finished {
    std::size_t lane = 0;
    std::optional<platform::Md5Digest> digest;  // nothing for a short read
  };

  void StreamIfAlone();
  void ReadBlock(std::size_t index);
  void FinishVectorLanes();

  platform::Md5Lanes md5_;
  std::vector<Lane> lanes_;
  std::vector<std::uint8_t> buffer_;  // a block per lane
  std::vector<std::span<const std::uint8_t>> feed_;  // by lane: the block read this round
  std::vector<std::size_t> vector_lanes_;      // scratch of FinishVectorLanes
  std::vector<platform::Md5Digest> vector_digests_;
  std::vector<Finished> finished_;
};

}  // namespace krdn
