#include "transfer/running_digest.h"

#include <algorithm>

namespace krdn {

RunningDigest::RunningDigest(const std::vector<std::uint8_t>& body)
    : data_(body.data()), helper_([this] { Digest(); }) {}

RunningDigest::~RunningDigest() {
  if (helper_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      finishing_ = true;
    }
    more_.notify_one();
    helper_.join();
  }
}

void RunningDigest::Published(std::size_t size) {
  {
    std::lock_guard lock(mutex_);
    published_ = std::max(published_, size);
    if (published_ - woken_at_ < kWakeStep) return;
    woken_at_ = published_;
  }
  more_.notify_one();
}

void RunningDigest::Digest() {
  std::unique_lock lock(mutex_);
  for (;;) {
    more_.wait(lock, [this] { return published_ > digested_ || finishing_; });
    if (published_ == digested_ && finishing_) return;
    const std::size_t from = digested_;
    const std::size_t to = published_;
    lock.unlock();
    stream_.Update({data_ + from, to - from});
    lock.lock();
    digested_ = to;
  }
}

platform::Md5Digest RunningDigest::Finish(std::size_t size) {
  Published(size);
  {
    std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  more_.notify_one();
  helper_.join();
  return stream_.Finish();
}

}  // namespace krdn
