// The console front-end's standard output in blocks: the same bytes in the same order,
// far fewer writes than lines, and nothing left waiting while the run says nothing.
#include "tools/repair-cli/block_writer.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace krdn::cli {
namespace {

using namespace std::chrono_literals;

// A stream whose every write is seen: the bytes and how many writes carried them.
class CountingStream {
 public:
  CountingStream() {
    cookie_io_functions_t functions{};
    functions.write = [](void* self, const char* data, size_t size) -> ssize_t {
      static_cast<CountingStream*>(self)->Took(data, size);
      return static_cast<ssize_t>(size);
    };
    stream_ = fopencookie(this, "w", functions);
    setvbuf(stream_, nullptr, _IONBF, 0);  // every fwrite reaches the cookie at once
  }
  ~CountingStream() { fclose(stream_); }

  std::FILE* get() const { return stream_; }
  std::string bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
  }
  std::size_t writes() const { return writes_; }

 private:
  void Took(const char* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    bytes_.append(data, size);
    ++writes_;
  }

  std::FILE* stream_ = nullptr;
  mutable std::mutex mutex_;
  std::string bytes_;
  std::atomic<std::size_t> writes_{0};
};

// Waits for the stream to hold `expected`, for at most 10 s; its bytes then.
std::string SeenWithin10s(const CountingStream& stream, const std::string& expected) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (stream.bytes() != expected && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  return stream.bytes();
}

TEST(BlockWriter, TenThousandLinesArriveWholeInOrderInAFewWrites) {
  CountingStream stream;
  std::string expected;
  {
    BlockWriter writer(stream.get());
    for (int i = 0; i < 10'000; ++i) {
      const std::string line = "校验文件: \\data\\" + std::to_string(i) + ".pak......成功\r\n";
      writer.Write(line);
      expected += line;
    }
  }  // the end writes out the rest
  EXPECT_EQ(stream.bytes(), expected);
  // About 500 KB in blocks of 64 KiB, and a write-out for every quarter second the loop
  // may take on a busy machine: far fewer than one a line.
  EXPECT_LE(stream.writes(), 100u);
  EXPECT_GE(stream.writes(), expected.size() / BlockWriter::kBlockBytes);
}

TEST(BlockWriter, BytesLeftWaitingGoOutWithoutAnotherWriteAndFlushWritesThemAtOnce) {
  CountingStream stream;
  BlockWriter writer(stream.get());
  writer.Write("开始校验文件...\r\n");
  EXPECT_EQ(SeenWithin10s(stream, "开始校验文件...\r\n"), "开始校验文件...\r\n") << "nothing more was written";
  EXPECT_EQ(stream.writes(), 1u);
  writer.Write("a");
  writer.Write("b");
  writer.Flush();  // as before a dialog on standard error
  EXPECT_EQ(stream.bytes(), "开始校验文件...\r\nab");
  EXPECT_EQ(stream.writes(), 2u);
  writer.Flush();
  EXPECT_EQ(stream.writes(), 2u) << "nothing waiting, nothing written";
}

}  // namespace
}  // namespace krdn::cli
