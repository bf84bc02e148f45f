// A real HTTP proxy for a test: Debian's tinyproxy, started on a free loopback port with
// a configuration and a log of its own in the test's folder, ended with the object.
// Its log names every request it was asked to forward ("GET http://..." for plain
// http, "CONNECT host:port" for a tunnel).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace krdn::testing {

class Tinyproxy {
 public:
  explicit Tinyproxy(const std::filesystem::path& dir) : dir_(dir) {
    std::filesystem::create_directories(dir_);
    // A port the system had free a moment ago; a clash shows as a proxy that never answers.
    for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
      port_ = FreePort();
      WriteConfig();
      Start();
      if (!WaitUntilListening()) Stop();
    }
    if (pid_ < 0) throw std::runtime_error("tinyproxy does not start: " + ReadText(log_path()));
  }
  ~Tinyproxy() { Stop(); }
  Tinyproxy(const Tinyproxy&) = delete;
  Tinyproxy& operator=(const Tinyproxy&) = delete;

  std::uint16_t port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::filesystem::path log_path() const { return dir_ / "tinyproxy.log"; }

  // The requests of its log, as it names them ("GET http://...", "CONNECT 127.0.0.1:443").
  std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    std::istringstream lines(ReadText(log_path()));
    const std::string marker = "): ";
    for (std::string line; std::getline(lines, line);) {
      if (line.find("Request (file descriptor") == std::string::npos) continue;
      const std::size_t at = line.find(marker);
      if (at != std::string::npos) requests.push_back(line.substr(at + marker.size()));
    }
    return requests;
  }

 private:
  static std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      if (fd >= 0) ::close(fd);
      throw std::runtime_error("no free loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
  }

  void WriteConfig() const {
    std::ofstream config(dir_ / "tinyproxy.conf");
    config << "Port " << port_ << "\n"
           << "Listen 127.0.0.1\n"
           << "Timeout 30\n"
           << "LogFile \"" << log_path().string() << "\"\n"
           << "LogLevel Info\n"
           << "PidFile \"" << (dir_ / "tinyproxy.pid").string() << "\"\n"
           << "MaxClients 32\n"
           << "Allow 127.0.0.1\n"
           << "DisableViaHeader Yes\n";
    // No ConnectPort line: tunnels to any port (the test's https server has a port of its own).
  }

  void Start() {
    const std::string config = (dir_ / "tinyproxy.conf").string();
    std::vector<std::string> args{"tinyproxy", "-d", "-c", config};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (dir_ / "tinyproxy.out").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, "tinyproxy", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) throw std::runtime_error("tinyproxy cannot be started (is it installed?)");
    pid_ = pid;
  }

  bool WaitUntilListening() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;  // it ended (and is gone)
        return false;
      }
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(port_);
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      ::close(fd);
      if (connected) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  void Stop() {
    if (pid_ < 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  std::filesystem::path dir_;
  std::uint16_t port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace krdn::testing
