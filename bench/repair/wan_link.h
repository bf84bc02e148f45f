// The wide-area link of the repair benchmark: two network namespaces of the
// benchmark's own, a server side and a client side, joined by krdn-tun-relay, which
// carries every packet between them at the link's rate and delay through a drop-tail
// queue of one bandwidth-delay product. Nothing of it is reachable from outside the
// two namespaces: their only interfaces are the relay's tun devices and loopback.
//
// Everything it sets up is torn down by its destructor, also when a step in between
// failed (the constructor then throws), and the relay ends by itself when the
// benchmark does, however it ends.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace krdn::bench {

struct WanShape {
  std::uint64_t rate_mbit = 100;
  int rtt_ms = 50;
};

class WanLink {
 public:
  static constexpr char kServerAddress[] = "10.201.0.1";
  static constexpr char kClientAddress[] = "10.201.0.2";

  // Why the link cannot be built on this machine (not root, no /dev/net/tun, no ip),
  // or nothing when it can.
  static std::optional<std::string> Unavailable();

  WanLink(const std::filesystem::path& relay, const WanShape& shape);
  ~WanLink();
  WanLink(const WanLink&) = delete;
  WanLink& operator=(const WanLink&) = delete;

  // The command run in the client's (or the server's) namespace.
  std::vector<std::string> InClient(const std::vector<std::string>& command) const;
  std::string ServerLauncher() const { return "ip netns exec " + server_ns_; }

  // The namespaces' TCP settings, for the report (congestion control, buffer limits).
  std::string TcpSettings() const;

 private:
  void Build(const std::filesystem::path& relay, const WanShape& shape);
  void StartRelay(const std::filesystem::path& relay, const WanShape& shape);
  void StopRelay();

  const std::string tag_;  // makes the names of this run's namespaces and devices unique
  const std::string server_ns_;
  const std::string client_ns_;
  std::vector<std::string> made_namespaces_;
  pid_t relay_pid_ = -1;
  int relay_stdin_ = -1;  // closing it ends the relay
};

}  // namespace krdn::bench
