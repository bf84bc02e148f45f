// krdn-bench-rate-cap [--rates 1M,8M] [--seconds 45] [--connections 4]
//
// The rate cap over a long transfer. For each rate, one HTTP session under that cap
// fetches 4 MiB ranges of a large sparse file from the local nginx over loopback, as many
// at once as it has connections, for the given seconds; the arrival time of every block
// is kept. Printed per rate: the bytes of every 30 s window (one beginning at each
// arrival, within the run) over the cap's 30 s, least and most, and the mean rate of the
// whole run; then the same fetches without a cap for the loopback's own rate, the ceiling
// the cap is measured under.
//
// Exit code 0 when every 30 s window of every rate kept within 5 % of the cap, 1 otherwise.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/http/http.h"
#include "repair/limit_rate.h"
#include "tests/support/local_servers.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::uint64_t kFileBytes = 1ull << 30;
constexpr std::uint64_t kRangeBytes = 4ull << 20;
constexpr auto kWindow = 30s;

struct Settings {
  std::vector<std::uint64_t> rates{1ull << 20, 8ull << 20};
  std::chrono::seconds seconds{45};
  int connections = 4;
};

// Every block of every transfer with the time it arrived.
class Arrivals final : public platform::HttpReceiver {
 public:
  bool OnBody(std::span<const std::uint8_t> block) override {
    std::lock_guard lock(mutex_);
    blocks_.emplace_back(Clock::now(), block.size());
    return true;
  }
  std::vector<std::pair<Clock::time_point, std::size_t>> Taken() {
    std::lock_guard lock(mutex_);
    return blocks_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<Clock::time_point, std::size_t>> blocks_;
};

struct Measured {
  double least = 0;  // of the 30 s windows, bytes over the cap's
  double most = 0;
  int windows = 0;
  double mean_rate = 0;  // bytes a second over the whole run
  int failed = 0;        // transfers that did not complete
};

// Ranges fetched back to back, `connections` at once, until `seconds` have passed.
Measured Fetch(const std::string& url, std::uint64_t cap, const Settings& settings) {
  platform::HttpSession session({.connections_per_host = settings.connections, .max_bytes_per_second = cap});
  Arrivals arrivals;
  std::deque<platform::HttpTransfer> in_flight;
  std::uint64_t next_range = 0;
  Measured measured;
  const auto request = [&] {
    const std::uint64_t first = (next_range++ * kRangeBytes) % kFileBytes;
    const platform::HttpRequest asked{.url = url,
                                      .user_agent = "VoRepair_bench",
                                      .range = "bytes=" + std::to_string(first) + "-" +
                                               std::to_string(first + kRangeBytes - 1)};
    in_flight.push_back(session.Start(asked, arrivals));
  };
  const Clock::time_point began = Clock::now();
  const Clock::time_point end = began + settings.seconds;
  for (int i = 0; i < settings.connections; ++i) request();
  while (!in_flight.empty()) {
    if (in_flight.front().Wait().outcome != platform::HttpOutcome::kComplete) ++measured.failed;
    in_flight.pop_front();
    if (Clock::now() < end) request();
  }
  const auto blocks = arrivals.Taken();
  if (blocks.empty()) return measured;
  std::uint64_t total = 0;
  for (const auto& block : blocks) total += block.second;
  measured.mean_rate = static_cast<double>(total) /
                       std::chrono::duration<double>(blocks.back().first - blocks.front().first).count();
  if (cap == 0) return measured;
  // Windows [t, t + 30 s) beginning at each arrival, while the run lasts that long.
  const double full = static_cast<double>(cap) * std::chrono::duration<double>(kWindow).count();
  measured.least = 1e9;
  std::uint64_t within = 0;
  std::size_t past = 0;  // one past the last block within the window
  for (std::size_t first = 0; first < blocks.size(); ++first) {
    const Clock::time_point window_end = blocks[first].first + kWindow;
    if (window_end > blocks.back().first) break;
    while (past < blocks.size() && blocks[past].first < window_end) within += blocks[past++].second;
    measured.least = std::min(measured.least, static_cast<double>(within) / full);
    measured.most = std::max(measured.most, static_cast<double>(within) / full);
    ++measured.windows;
    within -= blocks[first].second;
  }
  return measured;
}

std::optional<Settings> ParseSettings(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const std::string value = argv[i + 1];
    if (option == "--rates") {
      settings.rates.clear();
      std::istringstream list(value);
      for (std::string item; std::getline(list, item, ',');) {
        const auto rate = krdn::ParseLimitRate(item);
        if (!rate) return std::nullopt;
        settings.rates.push_back(*rate);
      }
    } else if (option == "--seconds") {
      settings.seconds = std::chrono::seconds(std::stoi(value));
    } else if (option == "--connections") {
      settings.connections = std::stoi(value);
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0 || settings.rates.empty() || settings.seconds <= kWindow) return std::nullopt;
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Settings> settings = ParseSettings(argc, argv);
  if (!settings) {
    std::fprintf(stderr, "usage: krdn-bench-rate-cap [--rates 1M,8M] [--seconds N > 30] [--connections 4]\n");
    return 2;
  }
  krdn::testing::TempDir work;
  fs::create_directories(work.path() / "root");
  {
    std::ofstream file(work.path() / "root/large.bin", std::ios::binary);
  }
  fs::resize_file(work.path() / "root/large.bin", kFileBytes);  // sparse: nginx sends zeros from the page cache
  krdn::testing::LocalServers nginx(work.path() / "root", work.path() / "nginx");
  const std::string url = nginx.repair_host() + "/large.bin";

  bool kept = true;
  std::printf("rate cap, %d connections, %lld s a rate, 4 MiB ranges of one file from nginx over loopback\n",
              settings->connections, static_cast<long long>(settings->seconds.count()));
  for (const std::uint64_t rate : settings->rates) {
    const Measured m = Fetch(url, rate, *settings);
    const bool within = m.windows > 0 && m.failed == 0 && m.least >= 0.95 && m.most <= 1.05;
    kept = kept && within;
    std::printf("cap %9llu B/s: 30 s windows %5d, least %.4f, most %.4f of the cap; mean %.4f; failed %d  %s\n",
                static_cast<unsigned long long>(rate), m.windows, m.least, m.most,
                m.mean_rate / static_cast<double>(rate), m.failed, within ? "ok" : "NOT WITHIN 5 %");
  }
  Settings uncapped = *settings;
  uncapped.seconds = std::chrono::seconds(5);
  const Measured free = Fetch(url, 0, uncapped);
  std::printf("no cap: %.1f MiB/s over loopback; failed %d\n", free.mean_rate / (1 << 20), free.failed);
  return kept ? 0 : 1;
}
