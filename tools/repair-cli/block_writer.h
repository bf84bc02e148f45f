// Standard output in whole blocks: a run of tens of thousands of small files says two
// status lines for each, and a system call per line costs more than the file's check.
//
// Bytes wait in memory until a block is full, until they have waited kMostDelay (a
// thread of the writer's own writes them out then, also while the run sends nothing),
// or until Flush: before a line on another stream (a dialog, the progress line) and at
// the end, so that what a reader of both streams sees keeps its order. The bytes
// themselves, and their order, are exactly those written.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace krdn::cli {

class BlockWriter {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kBlockBytes = 64 * 1024;
  // Four times a second at least, as a progress display updates.
  static constexpr std::chrono::milliseconds kMostDelay{250};

  explicit BlockWriter(std::FILE* stream);
  // Writes out what is left.
  ~BlockWriter();
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  void Write(std::string_view bytes);
  void Flush();

 private:
  // Under the lock.
  void WriteOut();
  void FlushWhenDue(const std::stop_token& stop);

  std::FILE* const stream_;
  std::mutex mutex_;
  std::condition_variable_any pending_;  // the first bytes after a write-out
  std::string buffer_;
  Clock::time_point first_waiting_{};
  std::jthread flusher_;  // last: it goes first
};

}  // namespace krdn::cli
