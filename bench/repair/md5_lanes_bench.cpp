// krdn-bench-md5-lanes [--mib-per-lane N] [--rounds R]
//
// The MD5 lanes alone, on one core: GB/s of every kernel the processor runs against
// the crypto library's single stream, over the same bytes in memory. Each lane digests
// its own message, fed the way verification feeds it (64 KiB per lane and update);
// "1 lane busy" is a kernel with all but one lane idle, the case of a message left
// over at the end.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/hash/md5_lanes.h"

namespace {

using Span = std::span<const std::uint8_t>;

constexpr std::size_t kFeed = 64 * 1024;

// The processor time of this thread: on a machine shared with other work, a rate per
// second of processor time is the rate per core, where wall time is not.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Best of `rounds` runs of `work`, which digests `bytes` bytes, in GB per second of
// processor time.
template <typename Work>
double BestRate(int rounds, std::size_t bytes, Work work) {
  double best = 0;
  for (int r = 0; r < rounds; ++r) {
    const double start = ThreadSeconds();
    work();
    best = std::max(best, static_cast<double>(bytes) / (ThreadSeconds() - start) / 1e9);
  }
  return best;
}

// Feeds `busy` lanes their message in kFeed steps, then finishes them together.
void DigestLanes(platform::Md5Lanes& lanes, const std::vector<std::vector<std::uint8_t>>& messages, std::size_t busy) {
  std::vector<Span> feed(lanes.size());
  const std::size_t length = messages.front().size();
  for (std::size_t done = 0; done < length; done += kFeed) {
    const std::size_t step = std::min(kFeed, length - done);
    for (std::size_t lane = 0; lane < busy; ++lane) feed[lane] = Span(messages[lane].data() + done, step);
    lanes.Update(feed);
  }
  std::vector<std::size_t> which(busy);
  for (std::size_t lane = 0; lane < busy; ++lane) which[lane] = lane;
  std::vector<platform::Md5Digest> digests(busy);
  lanes.Finish(which, digests);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t mib_per_lane = 4;
  int rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--mib-per-lane") mib_per_lane = std::stoul(argv[i + 1]);
    if (arg == "--rounds") rounds = std::stoi(argv[i + 1]);
  }
  if (platform::BindMd5() != 0) {
    std::fprintf(stderr, "MD5 is not available from the crypto library\n");
    return 1;
  }
  const std::size_t length = mib_per_lane << 20;
  std::vector<std::vector<std::uint8_t>> messages(16, std::vector<std::uint8_t>(length));
  std::mt19937_64 random(1);
  for (auto& message : messages) {
    for (std::size_t i = 0; i < length; i += 8) {
      const std::uint64_t word = random();
      std::memcpy(message.data() + i, &word, 8);
    }
  }

  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("MD5 on one core (GB per second of processor time), %zu MiB per message, best of %d; load %.2f\n",
              mib_per_lane, rounds, load[0]);
  const double library = BestRate(rounds, 4 * length, [&] {
    for (int i = 0; i < 4; ++i) platform::Md5(messages[static_cast<std::size_t>(i)]);
  });
  std::printf("%-8s %2d lane   %6.2f GB/s  (the crypto library's single stream)\n", "library", 1, library);
  for (const platform::Md5Kernel kernel : platform::kMd5Kernels) {
    const std::string name(platform::Md5KernelName(kernel));
    if (!platform::Md5KernelSupported(kernel)) {
      std::printf("%-8s not run: this processor lacks it\n", name.c_str());
      continue;
    }
    platform::Md5Lanes lanes(kernel);
    const std::size_t width = lanes.size();
    const double all = BestRate(rounds, width * length, [&] { DigestLanes(lanes, messages, width); });
    const double one = BestRate(rounds, length, [&] { DigestLanes(lanes, messages, 1); });
    std::printf("%-8s %2zu lanes  %6.2f GB/s  %5.2f x the library;  1 lane busy %6.2f GB/s\n", name.c_str(), width,
                all, all / library, one);
  }
  return 0;
}
