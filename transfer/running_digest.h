// MD5 of a byte vector that grows at its end while it is received: a helper thread
// digests each part as soon as it is there, so that a piece's digest is ready almost
// as soon as its last byte, instead of a full pass after the transfer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/hash/md5.h"

namespace krdn {

class RunningDigest {
 public:
  // The vector must already hold the capacity for everything that will be appended, so
  // that its storage never moves while the helper reads it.
  explicit RunningDigest(const std::vector<std::uint8_t>& body);
  ~RunningDigest();
  RunningDigest(const RunningDigest&) = delete;
  RunningDigest& operator=(const RunningDigest&) = delete;

  // The receiving thread: the first `size` bytes are final. The helper is woken only
  // once a step's worth of bytes waits for it (or at Finish): a wake-up per received
  // block would hand the CPU back and forth between the receiving thread and the
  // helper dozens of times a piece, and on a busy machine each hand-over waits for a
  // time slice.
  void Published(std::size_t size);

  static constexpr std::size_t kWakeStep = std::size_t{1} << 20;
  // Waits for the helper and returns the digest of the first `size` bytes.
  platform::Md5Digest Finish(std::size_t size);

 private:
  void Digest();

  const std::uint8_t* data_;
  platform::Md5Stream stream_;
  std::mutex mutex_;
  std::condition_variable more_;
  std::size_t published_ = 0;
  std::size_t woken_at_ = 0;  // published_ when the helper was last woken
  std::size_t digested_ = 0;  // written by the helper only
  bool finishing_ = false;
  std::thread helper_;
};

}  // namespace krdn
