// krdn-tun-relay --tun A --tun B --rate-mbit R --rtt-ms T [--queue-bytes N]
//
// The wide-area link of the repair benchmark: creates the tun devices A and B (the
// benchmark moves each into a network namespace of its own and gives them addresses),
// and carries every packet from one to the other as a link of R Mbit/s with a round
// trip of T ms would: serialised at the rate behind the packets before it, delayed by
// half the round trip, dropped when more than N bytes wait to be serialised (drop-tail;
// the default is one bandwidth-delay product). Both directions are shaped alike.
//
// Prints "ready" on standard output once both devices exist, and runs until its
// standard input ends (the benchmark holds the other end of a pipe, so the relay and
// its devices go when the benchmark goes, however it ends). Then it prints what it
// carried and dropped on standard error. Needs root (CAP_NET_ADMIN) and /dev/net/tun;
// runs at a real-time priority (SCHED_FIFO) when it may.
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "bench/repair/link_model.h"

namespace {

using krdn::bench::LinkDirection;
using krdn::bench::LinkShape;

constexpr std::size_t kLargestPacket = 65536;
constexpr int kReadsPerWake = 256;  // bounded, so that due packets never wait behind a flood

std::int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&&) = delete;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// A tun device of this name (no packet information header), non-blocking; it goes
// away when the descriptor is closed.
std::optional<Fd> OpenTun(const std::string& name) {
  Fd fd(::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    std::fprintf(stderr, "krdn-tun-relay: /dev/net/tun: %s\n", std::strerror(errno));
    return std::nullopt;
  }
  ifreq request{};
  request.ifr_flags = IFF_TUN | IFF_NO_PI;
  std::snprintf(request.ifr_name, IFNAMSIZ, "%s", name.c_str());
  if (::ioctl(fd.get(), TUNSETIFF, &request) < 0) {
    std::fprintf(stderr, "krdn-tun-relay: cannot create %s: %s\n", name.c_str(), std::strerror(errno));
    return std::nullopt;
  }
  return fd;
}

// Packets of one direction on their way, in the order they leave.
class Direction {
 public:
  Direction(int from, int to, const LinkShape& shape) : from_(from), to_(to), link_(shape) {}

  // Reads what has arrived (a bounded number of packets) and admits it to the link.
  void Read(std::vector<std::uint8_t>& buffer) {
    for (int i = 0; i < kReadsPerWake; ++i) {
      const ssize_t n = ::read(from_, buffer.data(), buffer.size());
      if (n <= 0) return;
      const std::optional<std::int64_t> due = link_.Admit(static_cast<std::size_t>(n), NowNs());
      if (!due) continue;
      std::vector<std::uint8_t> bytes;
      if (!spare_.empty()) {
        bytes = std::move(spare_.back());
        spare_.pop_back();
      }
      bytes.assign(buffer.begin(), buffer.begin() + n);
      on_the_way_.push_back({*due, std::move(bytes)});
    }
  }

  // Writes every packet whose time has come to the other device.
  void Deliver(std::int64_t now) {
    while (!on_the_way_.empty() && on_the_way_.front().due <= now) {
      Packet& packet = on_the_way_.front();
      if (::write(to_, packet.bytes.data(), packet.bytes.size()) < 0) ++lost_on_write_;
      spare_.push_back(std::move(packet.bytes));
      on_the_way_.pop_front();
    }
  }

  std::optional<std::int64_t> NextDue() const {
    if (on_the_way_.empty()) return std::nullopt;
    return on_the_way_.front().due;
  }

  const LinkDirection& link() const { return link_; }
  std::uint64_t lost_on_write() const { return lost_on_write_; }

 private:
  struct Packet {
    std::int64_t due = 0;
    std::vector<std::uint8_t> bytes;
  };

  const int from_;
  const int to_;
  LinkDirection link_;
  std::deque<Packet> on_the_way_;
  std::vector<std::vector<std::uint8_t>> spare_;  // buffers of delivered packets, reused
  std::uint64_t lost_on_write_ = 0;
};

struct Options {
  std::vector<std::string> tuns;
  std::uint64_t rate_mbit = 0;
  std::int64_t rtt_ms = -1;
  std::optional<std::size_t> queue_bytes;
};

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    const std::string value = argv[i + 1];
    if (arg == "--tun") options.tuns.push_back(value);
    else if (arg == "--rate-mbit") options.rate_mbit = std::stoull(value);
    else if (arg == "--rtt-ms") options.rtt_ms = std::stoll(value);
    else if (arg == "--queue-bytes") options.queue_bytes = std::stoull(value);
    else return std::nullopt;
  }
  if (argc % 2 != 1 || options.tuns.size() != 2 || options.rate_mbit == 0 || options.rtt_ms < 0) return std::nullopt;
  return options;
}

// ppoll's wait until `due`, or forever without one.
std::optional<timespec> WaitUntil(std::optional<std::int64_t> due) {
  if (!due) return std::nullopt;
  const std::int64_t wait = std::max<std::int64_t>(0, *due - NowNs());
  return timespec{.tv_sec = wait / 1'000'000'000, .tv_nsec = wait % 1'000'000'000};
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = Parse(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: krdn-tun-relay --tun A --tun B --rate-mbit R --rtt-ms T [--queue-bytes N]\n");
    return 2;
  }
  const std::int64_t rtt_ns = options->rtt_ms * 1'000'000;
  const LinkShape shape{
      .bits_per_second = options->rate_mbit * 1'000'000,
      .one_way_delay_ns = rtt_ns / 2,
      .queue_bytes = options->queue_bytes.value_or(krdn::bench::BandwidthDelayProduct(options->rate_mbit * 1'000'000, rtt_ns))};
  std::optional<Fd> a = OpenTun(options->tuns[0]);
  std::optional<Fd> b = a ? OpenTun(options->tuns[1]) : std::nullopt;
  if (!a || !b) return 1;
  Direction forward(a->get(), b->get(), shape);
  Direction backward(b->get(), a->get(), shape);
  // The link is not what is measured: at a real-time priority it keeps its timing on
  // a busy machine. It sleeps between packets, so it takes little of a core.
  const sched_param priority{.sched_priority = 10};
  if (::sched_setscheduler(0, SCHED_FIFO, &priority) != 0) {
    std::fprintf(stderr, "krdn-tun-relay: no real-time priority (%s): the link's timing follows the machine's load\n",
                 std::strerror(errno));
  }
  std::printf("ready\n");
  std::fflush(stdout);

  std::vector<std::uint8_t> buffer(kLargestPacket);
  for (;;) {
    const std::int64_t now = NowNs();
    forward.Deliver(now);
    backward.Deliver(now);
    std::optional<std::int64_t> due = forward.NextDue();
    if (const auto other = backward.NextDue(); other && (!due || *other < *due)) due = other;
    const std::optional<timespec> wait = WaitUntil(due);
    pollfd watched[] = {{.fd = a->get(), .events = POLLIN, .revents = 0},
                        {.fd = b->get(), .events = POLLIN, .revents = 0},
                        {.fd = STDIN_FILENO, .events = POLLIN, .revents = 0}};
    if (::ppoll(watched, 3, wait ? &*wait : nullptr, nullptr) < 0 && errno != EINTR) break;
    if (watched[0].revents & POLLIN) forward.Read(buffer);
    if (watched[1].revents & POLLIN) backward.Read(buffer);
    if (watched[2].revents != 0) {
      char byte = 0;
      if (::read(STDIN_FILENO, &byte, 1) <= 0) break;  // the benchmark is done (or gone)
    }
  }
  for (const auto* direction : {&forward, &backward}) {
    std::fprintf(stderr, "krdn-tun-relay: %s -> %s: %llu packets carried, %llu dropped at the queue, %llu lost\n",
                 (direction == &forward ? options->tuns[0] : options->tuns[1]).c_str(),
                 (direction == &forward ? options->tuns[1] : options->tuns[0]).c_str(),
                 static_cast<unsigned long long>(direction->link().passed()),
                 static_cast<unsigned long long>(direction->link().dropped()),
                 static_cast<unsigned long long>(direction->lost_on_write()));
  }
  return 0;
}
