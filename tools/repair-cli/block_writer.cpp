#include "tools/repair-cli/block_writer.h"

namespace krdn::cli {

BlockWriter::BlockWriter(std::FILE* stream)
    : stream_(stream), flusher_([this](const std::stop_token& stop) { FlushWhenDue(stop); }) {}

BlockWriter::~BlockWriter() {
  flusher_.request_stop();
  flusher_.join();
  Flush();
}

void BlockWriter::Write(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  const bool first = buffer_.empty();
  if (first) first_waiting_ = Clock::now();
  buffer_ += bytes;
  if (buffer_.size() >= kBlockBytes) {
    WriteOut();
  } else if (first) {
    pending_.notify_one();
  }
}

void BlockWriter::Flush() {
  std::lock_guard lock(mutex_);
  WriteOut();
}

void BlockWriter::WriteOut() {
  if (buffer_.empty()) return;
  std::fwrite(buffer_.data(), 1, buffer_.size(), stream_);
  std::fflush(stream_);
  buffer_.clear();
}

void BlockWriter::FlushWhenDue(const std::stop_token& stop) {
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    if (!pending_.wait(lock, stop, [this] { return !buffer_.empty(); })) return;
    // Bytes written out meanwhile (a full block, a flush) leave nothing to wait for.
    const Clock::time_point due = first_waiting_ + kMostDelay;
    while (!buffer_.empty() && first_waiting_ + kMostDelay == due && Clock::now() < due) {
      if (pending_.wait_until(lock, stop, due, [] { return false; }); stop.stop_requested()) return;
    }
    if (!buffer_.empty() && Clock::now() >= first_waiting_ + kMostDelay) WriteOut();
  }
}

}  // namespace krdn::cli
