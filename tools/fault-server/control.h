// The fault server's control port: one command line per connection on 127.0.0.1, so
// that a test in another process (under wine, a Windows one) can steer a server that
// runs as a program of its own. Commands, and what they answer:
//   add-rule <rule text>      "ok"       (fault_rules.h's text form)
//   clear-rules               "ok"
//   requests                  one record text per line
//   clear-requests            "ok"
//   wait COUNT BYTES MS       "yes" or "no" (FaultServer::WaitFor)
//   stop                      "ok"; WaitForStop returns
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tools/fault-server/fault_server.h"

namespace krdn::fault {

class ControlPort {
 public:
  explicit ControlPort(FaultServer& server);
  ~ControlPort();
  ControlPort(const ControlPort&) = delete;
  ControlPort& operator=(const ControlPort&) = delete;

  std::uint16_t port() const { return port_; }
  // Until a stop command came, at most `limit`.
  void WaitForStop(std::chrono::seconds limit);

 private:
  void AcceptLoop();
  std::string Answer(const std::string& command);

  FaultServer& server_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;  // under mutex_
  std::thread acceptor_;
};

// Sends one command to the control port on 127.0.0.1 and answers its reply; nothing when
// the port cannot be reached.
std::optional<std::string> AskControlPort(std::uint16_t port, const std::string& command);

}  // namespace krdn::fault
