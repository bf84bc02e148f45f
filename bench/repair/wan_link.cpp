#include "bench/repair/wan_link.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "bench/repair/bench_process.h"
#include "tests/support/command_output.h"

extern char** environ;

namespace krdn::bench {
namespace {

constexpr char kServerDevice[] = "krdnS";
constexpr char kClientDevice[] = "krdnC";

void Must(const std::vector<std::string>& command) {
  if (!RunQuietly(command)) throw std::runtime_error("wide-area link: " + CommandText(command) + " failed");
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::optional<std::string> WanLink::Unavailable() {
  if (::geteuid() != 0) return "it needs root (CAP_NET_ADMIN) to create network namespaces and tun devices";
  if (::access("/dev/net/tun", R_OK | W_OK) != 0) return "it needs /dev/net/tun, which this machine does not offer";
  if (!RunQuietly({"ip", "-V"})) return "it needs ip (iproute2, in scripts/deps)";
  return std::nullopt;
}

WanLink::WanLink(const std::filesystem::path& relay, const WanShape& shape)
    : tag_(std::to_string(::getpid())),
      server_ns_("krdn-bench-server-" + tag_),
      client_ns_("krdn-bench-client-" + tag_) {
  try {
    Build(relay, shape);
  } catch (...) {
    StopRelay();
    for (const std::string& ns : made_namespaces_) RunQuietly({"ip", "netns", "delete", ns});
    throw;
  }
}

WanLink::~WanLink() {
  StopRelay();
  for (const std::string& ns : made_namespaces_) RunQuietly({"ip", "netns", "delete", ns});
}

void WanLink::Build(const std::filesystem::path& relay, const WanShape& shape) {
  for (const std::string& ns : {server_ns_, client_ns_}) {
    Must({"ip", "netns", "add", ns});
    made_namespaces_.push_back(ns);
  }
  StartRelay(relay, shape);
  // The relay made its devices here; each goes into its namespace, where it is the only
  // way out: a point-to-point link between the two addresses.
  struct Side {
    std::string device, ns, address, peer;
  };
  for (const Side& side : {Side{kServerDevice + tag_, server_ns_, kServerAddress, kClientAddress},
                           Side{kClientDevice + tag_, client_ns_, kClientAddress, kServerAddress}}) {
    Must({"ip", "link", "set", "dev", side.device, "netns", side.ns});
    Must({"ip", "-n", side.ns, "addr", "add", side.address, "peer", side.peer, "dev", side.device});
    Must({"ip", "-n", side.ns, "link", "set", "dev", side.device, "up"});
    Must({"ip", "-n", side.ns, "link", "set", "dev", "lo", "up"});
  }
}

void WanLink::StartRelay(const std::filesystem::path& relay, const WanShape& shape) {
  // Close-on-exec: no other child (the servers above all) may hold the relay's input
  // open, or the relay would outlive the benchmark.
  int to_relay[2];
  int from_relay[2];
  if (::pipe2(to_relay, O_CLOEXEC) != 0) throw std::runtime_error("wide-area link: no pipe");
  if (::pipe2(from_relay, O_CLOEXEC) != 0) {
    ::close(to_relay[0]);
    ::close(to_relay[1]);
    throw std::runtime_error("wide-area link: no pipe");
  }
  std::vector<std::string> args = {relay.string(), "--tun", kServerDevice + tag_, "--tun", kClientDevice + tag_,
                                   "--rate-mbit", std::to_string(shape.rate_mbit), "--rtt-ms",
                                   std::to_string(shape.rtt_ms)};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_relay[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_relay[1], STDOUT_FILENO);
  const int spawned = posix_spawn(&relay_pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(to_relay[0]);
  ::close(from_relay[1]);
  relay_stdin_ = to_relay[1];
  if (spawned != 0) relay_pid_ = -1;
  std::string said;
  char byte = 0;
  while (relay_pid_ > 0 && said.find('\n') == std::string::npos && ::read(from_relay[0], &byte, 1) == 1) said += byte;
  ::close(from_relay[0]);
  if (said != "ready\n") throw std::runtime_error("wide-area link: " + relay.string() + " did not start (see above)");
}

void WanLink::StopRelay() {
  if (relay_stdin_ >= 0) ::close(relay_stdin_);
  relay_stdin_ = -1;
  if (relay_pid_ <= 0) return;
  // It ends at the end of its input; a relay that does not is killed after a while.
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (::waitpid(relay_pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(relay_pid_, SIGKILL);
      ::waitpid(relay_pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  relay_pid_ = -1;
}

std::vector<std::string> WanLink::InClient(const std::vector<std::string>& command) const {
  std::vector<std::string> full = {"ip", "netns", "exec", client_ns_};
  full.insert(full.end(), command.begin(), command.end());
  return full;
}

std::string WanLink::TcpSettings() const {
  const std::string read = "ip netns exec " + server_ns_ + " sysctl -n ";
  return "server congestion control " +
         Trimmed(testing::CommandOutput(read + "net.ipv4.tcp_congestion_control")) + ", tcp_wmem " +
         Trimmed(testing::CommandOutput(read + "net.ipv4.tcp_wmem")) + ", client tcp_rmem " +
         Trimmed(testing::CommandOutput("ip netns exec " + client_ns_ + " sysctl -n net.ipv4.tcp_rmem"));
}

}  // namespace krdn::bench
