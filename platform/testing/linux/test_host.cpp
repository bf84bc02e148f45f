#include "platform/testing/test_host.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/io/files.h"
#include "platform/shell/process.h"

namespace platform {

std::string HostPath(std::u16string_view path) { return NativePath(path); }

std::string RunOnHost(const std::vector<std::string>& argv, int timeout_ms) {
  // Standard error joins standard output through the shell, as "2>&1" would.
  std::vector<std::string> command = {"/bin/sh", "-c", "exec \"$@\" 2>&1", "sh"};
  command.insert(command.end(), argv.begin(), argv.end());
  int output = -1;
  const int pid = SpawnWithOutput(command, &output);
  if (pid < 0) return {};
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd wait{output, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    char buffer[4096];
    const ssize_t got = ::read(output, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(output);
  ::waitpid(pid, nullptr, 0);
  return text;
}

}  // namespace platform
