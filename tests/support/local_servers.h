// The project's local download servers (nginx on two loopback ports, started by
// scripts/local-servers) for the life of a test. The Windows build's tests start them
// on the Linux machine that runs wine, with the Linux names of their folders.
#pragma once

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/testing/test_host.h"
#include "tests/support/temp_dir.h"

namespace krdn::testing {

class LocalServers {
 public:
  // extra_options go to the script as they are, e.g. "--max-ranges 0", or
  // "--tls-cert FILE --tls-key FILE" for https hosts (words split at blanks). launcher comes
  // before the script's start command, e.g. "ip netns exec NAME" to serve inside a
  // network namespace.
  LocalServers(const std::filesystem::path& root, const std::filesystem::path& state,
               const std::string& extra_options = {}, const std::string& launcher = {})
      : state_path_(state), state_(HostPath(state)) {
    std::vector<std::string> command = Words(launcher);
    for (std::string part : {Script(), std::string("start"), std::string("--root"), HostPath(root),
                             std::string("--state"), state_}) {
      command.push_back(std::move(part));
    }
    for (std::string& option : Words(extra_options)) command.push_back(std::move(option));
    const std::string output = platform::RunOnHost(command);
    version_host_ = Value(output, "version-host=");
    repair_host_ = Value(output, "repair-host=");
    if (version_host_.empty() || repair_host_.empty()) throw std::runtime_error("local servers: " + output);
  }
  ~LocalServers() { Stop(); }
  LocalServers(const LocalServers&) = delete;
  LocalServers& operator=(const LocalServers&) = delete;

  const std::string& version_host() const { return version_host_; }
  const std::string& repair_host() const { return repair_host_; }
  std::filesystem::path access_log() const { return state_path_ / "access.log"; }

  // Ends the servers; again is a no-op. nginx writes a request's log line after its
  // answer has gone out, so a client can be done before the line is there; once nginx
  // has exited, every request it answered is in the log.
  void Stop() {
    if (stopped_) return;
    stopped_ = true;
    platform::RunOnHost({Script(), "stop", "--state", state_});
  }
  // The whole access log of a run that is over: stops the servers first.
  std::string StoppedLog() {
    Stop();
    return ReadText(access_log());
  }

 private:
  static std::string Script() { return std::string(KRDN_SOURCE_DIR) + "/scripts/local-servers"; }

  static std::string HostPath(const std::filesystem::path& path) {
    return platform::HostPath(path.u16string());
  }

  static std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
  }

  static std::string Value(const std::string& output, const std::string& key) {
    const std::size_t at = output.find(key);
    if (at == std::string::npos) return {};
    const std::size_t end = output.find('\n', at);
    return output.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
  }

  std::filesystem::path state_path_;
  std::string state_;  // the host's name of the state folder
  std::string version_host_;
  std::string repair_host_;
  bool stopped_ = false;
};

}  // namespace krdn::testing
