// The fault server (tools/fault-server) as a program of the machine the tests run on,
// for the life of a test: started in the background, steered through its control port
// by krdn-fault-server's own control command. The same on every platform: the Windows
// build's tests, under wine, start the Linux build's program on the Linux side, whose
// loopback they share.
#pragma once

#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/testing/test_host.h"
#include "tools/fault-server/fault_rules.h"

namespace krdn::testing {

class HostFaultServer {
 public:
  explicit HostFaultServer(const std::filesystem::path& root) {
    const std::string started =
        platform::RunOnHost({KRDN_FAULT_SERVER_PROGRAM, "start", "--root", platform::HostPath(root.u16string())});
    url_ = Value(started, "url=");
    control_ = Value(started, "control=");
    if (url_.empty() || control_.empty()) throw std::runtime_error("fault server: " + started);
  }
  ~HostFaultServer() { Ask({"stop"}); }
  HostFaultServer(const HostFaultServer&) = delete;
  HostFaultServer& operator=(const HostFaultServer&) = delete;

  const std::string& url() const { return url_; }

  void AddRule(const fault::FaultRule& rule) const { Ask({"add-rule", fault::RuleText(rule)}); }
  void ClearRules() const { Ask({"clear-rules"}); }
  void ClearRequests() const { Ask({"clear-requests"}); }

  std::vector<fault::RequestRecord> requests() const {
    std::vector<fault::RequestRecord> records;
    std::istringstream lines(Ask({"requests"}));
    for (std::string line; std::getline(lines, line);) {
      if (const auto record = fault::ParseRecordText(line)) records.push_back(*record);
    }
    return records;
  }

  // Until at least `count` requests were recorded and the last one has sent at least
  // `body_bytes`; false when that did not happen within `timeout`.
  bool WaitFor(std::size_t count, std::size_t body_bytes, std::chrono::milliseconds timeout) const {
    const std::string wait = std::to_string(count) + " " + std::to_string(body_bytes) + " " +
                             std::to_string(timeout.count());
    return Ask({"wait", wait}, static_cast<int>(timeout.count()) + 20000).starts_with("yes");
  }

 private:
  // The words are joined with blanks into one command line by the control command.
  std::string Ask(std::vector<std::string> words, int timeout_ms = 20000) const {
    std::vector<std::string> command = {KRDN_FAULT_SERVER_PROGRAM, "control", control_};
    for (std::string& word : words) {
      std::istringstream split(word);
      for (std::string part; split >> part;) command.push_back(part);
    }
    return platform::RunOnHost(command, timeout_ms);
  }

  static std::string Value(const std::string& output, const std::string& key) {
    const std::size_t at = output.find(key);
    if (at == std::string::npos) return {};
    const std::size_t end = output.find_first_of(" \n", at);
    return output.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
  }

  std::string url_;
  std::string control_;
};

}  // namespace krdn::testing
