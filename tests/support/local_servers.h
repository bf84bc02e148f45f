// The project's local download servers (nginx on two loopback ports, started by
// scripts/local-servers) for the life of a test.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "tests/support/command_output.h"

namespace krdn::testing {

class LocalServers {
 public:
  // extra_options go to the script as they are, e.g. "--max-ranges 0". launcher comes
  // before the script's start command, e.g. "ip netns exec NAME" to serve inside a
  // network namespace.
  LocalServers(const std::filesystem::path& root, const std::filesystem::path& state,
               const std::string& extra_options = {}, const std::string& launcher = {})
      : state_(state) {
    const std::string output = Run(launcher + " " + Script() + " start --root '" + root.string() + "' --state '" +
                                   state.string() + "' " + extra_options);
    version_host_ = Value(output, "version-host=");
    repair_host_ = Value(output, "repair-host=");
    if (version_host_.empty() || repair_host_.empty()) throw std::runtime_error("local servers: " + output);
  }
  ~LocalServers() { Run(Script() + " stop --state '" + state_.string() + "'"); }
  LocalServers(const LocalServers&) = delete;
  LocalServers& operator=(const LocalServers&) = delete;

  const std::string& version_host() const { return version_host_; }
  const std::string& repair_host() const { return repair_host_; }
  std::filesystem::path access_log() const { return state_ / "access.log"; }

 private:
  static std::string Script() { return std::string(KRDN_SOURCE_DIR) + "/scripts/local-servers"; }

  static std::string Run(const std::string& command) { return CommandOutput(command + " 2>&1"); }

  static std::string Value(const std::string& output, const std::string& key) {
    const std::size_t at = output.find(key);
    if (at == std::string::npos) return {};
    const std::size_t end = output.find('\n', at);
    return output.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
  }

  std::filesystem::path state_;
  std::string version_host_;
  std::string repair_host_;
};

}  // namespace krdn::testing
