// MD5 of several byte vectors that grow at their ends while they are received, side by
// side in the lanes of one vector kernel (platform/md5_lanes.h). The pieces in flight
// of a download pass arrive together over their connections; one stream per piece
// spends a core's worth of MD5 on them, lanes a fraction of it.
//
// Bodies arrive in bursts, one connection's socket buffer at a time, so a lane runs only
// as far as the others keep it company: a helper thread digests once a step's worth of
// bytes waits in all taken lanes but one, over all lanes at once. Finish digests the
// rest of its body (the others riding along) on the calling thread, so that the caller
// does not wait for the helper to be scheduled.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/hash/md5.h"
#include "platform/hash/md5_lanes.h"

namespace platform {

class LaneDigests {
 public:
  // A vector kernel (more than one lane) that the processor runs.
  explicit LaneDigests(Md5Kernel kernel);
  ~LaneDigests();
  LaneDigests(const LaneDigests&) = delete;
  LaneDigests& operator=(const LaneDigests&) = delete;

  // A lane for the body at data, whose storage must not move until the lane is
  // finished or released; nothing when every lane is taken.
  std::optional<std::size_t> Attach(const std::uint8_t* data);
  // The receiving thread: the first `size` bytes of the lane's body are final.
  void Published(std::size_t lane, std::size_t size);
  // The digest of the first `size` bytes (all of them published); the lane is free again.
  Md5Digest Finish(std::size_t lane, std::size_t size);
  // Frees the lane without a digest; its body is no longer read once this returns.
  void Release(std::size_t lane);

  std::size_t lanes() const { return lanes_.size(); }

  // Bytes waiting in all taken lanes but one that wake the helper.
  static constexpr std::size_t kWakeStep = std::size_t{1} << 20;

 private:
  struct Lane {
    bool taken = false;
    const std::uint8_t* data = nullptr;
    std::size_t published = 0;
    std::size_t digested = 0;  // changed only by the holder of round_mutex_
  };

  void Helper();
  // Digests the lanes' published bytes once: all of them for lane `whole`, else as far
  // as the lanes keep each other company. The caller holds round_mutex_.
  void Round(std::optional<std::size_t> whole);
  // How far a round may go with all taken lanes but one busy: the bytes waiting in the
  // lane with the second fewest of them. Under mutex_.
  std::size_t CompanyReach() const;

  std::mutex round_mutex_;    // held while lanes_ is used; taken before mutex_
  Md5Lanes lanes_;  // under round_mutex_

  std::mutex mutex_;
  std::condition_variable more_;
  std::array<Lane, 16> slots_{};
  bool woken_ = false;  // the helper has work: a step's worth waits in enough lanes
  bool stopping_ = false;
  std::thread helper_;
};

}  // namespace platform
