#include "platform/hash/lane_digests.h"

#include <algorithm>
#include <functional>
#include <span>
#include <stdexcept>

namespace platform {

LaneDigests::LaneDigests(Md5Kernel kernel) : lanes_(kernel) {
  if (lanes_.size() > slots_.size()) throw std::invalid_argument("LaneDigests: more lanes than slots");
  helper_ = std::thread([this] { Helper(); });
}

LaneDigests::~LaneDigests() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  more_.notify_one();
  helper_.join();
}

std::optional<std::size_t> LaneDigests::Attach(const std::uint8_t* data) {
  std::lock_guard lock(mutex_);
  for (std::size_t lane = 0; lane < lanes_.size(); ++lane) {
    if (slots_[lane].taken) continue;
    slots_[lane] = Lane{.taken = true, .data = data};
    return lane;
  }
  return std::nullopt;
}

void LaneDigests::Published(std::size_t lane, std::size_t size) {
  {
    std::lock_guard lock(mutex_);
    Lane& slot = slots_[lane];
    if (size <= slot.published) return;
    slot.published = size;
    if (woken_ || CompanyReach() < kWakeStep) return;
    woken_ = true;
  }
  more_.notify_one();
}

std::size_t LaneDigests::CompanyReach() const {
  std::array<std::size_t, std::tuple_size_v<decltype(slots_)>> waiting{};
  std::size_t attached = 0;
  for (std::size_t lane = 0; lane < lanes_.size(); ++lane) {
    if (!slots_[lane].taken) continue;
    waiting[attached++] = slots_[lane].published - slots_[lane].digested;
  }
  if (attached < 2) return 0;
  // All lanes but one: the body arriving fastest runs ahead of the others.
  const std::size_t company = attached - 1;
  std::nth_element(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(company - 1),
                   waiting.begin() + static_cast<std::ptrdiff_t>(attached), std::greater<>());
  return waiting[company - 1];
}

void LaneDigests::Helper() {
  std::unique_lock lock(mutex_);
  for (;;) {
    more_.wait(lock, [this] { return stopping_ || woken_; });
    if (stopping_) return;
    lock.unlock();
    {
      std::lock_guard round(round_mutex_);
      Round(std::nullopt);
    }
    lock.lock();
    woken_ = CompanyReach() >= kWakeStep;  // more came meanwhile: go on at once
  }
}

void LaneDigests::Round(std::optional<std::size_t> whole) {
  std::array<std::span<const std::uint8_t>, std::tuple_size_v<decltype(slots_)>> spans{};
  {
    std::lock_guard lock(mutex_);
    // A step costs the same however few of its lanes are busy: every lane goes as far
    // as the others keep it company, and what one has beyond that waits until they
    // catch up (or until its digest is wanted).
    std::size_t reach = CompanyReach();
    if (whole) reach = std::max(reach, slots_[*whole].published - slots_[*whole].digested);
    if (reach == 0) return;
    for (std::size_t lane = 0; lane < lanes_.size(); ++lane) {
      const Lane& slot = slots_[lane];
      if (!slot.taken) continue;
      spans[lane] = {slot.data + slot.digested, std::min(reach, slot.published - slot.digested)};
    }
  }
  lanes_.Update(std::span(spans.data(), lanes_.size()));
  std::lock_guard lock(mutex_);
  for (std::size_t lane = 0; lane < lanes_.size(); ++lane) slots_[lane].digested += spans[lane].size();
}

Md5Digest LaneDigests::Finish(std::size_t lane, std::size_t size) {
  {
    std::lock_guard lock(mutex_);
    Lane& slot = slots_[lane];
    if (size > slot.published) slot.published = size;
  }
  std::lock_guard round(round_mutex_);
  Round(lane);
  const Md5Digest digest = lanes_.Finish(lane);
  std::lock_guard lock(mutex_);
  slots_[lane] = Lane{};
  return digest;
}

void LaneDigests::Release(std::size_t lane) {
  std::lock_guard round(round_mutex_);
  lanes_.Restart(lane);
  std::lock_guard lock(mutex_);
  slots_[lane] = Lane{};
}

}  // namespace platform
