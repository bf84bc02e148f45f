#include "bench/repair/bench_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace krdn::bench {
namespace {

// Spawns the program with the file actions given; -1 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& args, const posix_spawn_file_actions_t* actions) {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& arg : copy) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (argv.front() == nullptr || posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

}  // namespace

Measured RunProcess(const std::vector<std::string>& args, const std::filesystem::path& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = Spawn(args, &actions);
  posix_spawn_file_actions_destroy(&actions);
  Measured measured;
  if (pid < 0) return measured;
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measured.max_rss_kib = usage.ru_maxrss;
  measured.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return measured;
}

Measured Best(const std::vector<Measured>& runs) {
  if (runs.empty()) return {};
  Measured best = runs.front();
  for (const Measured& run : runs) {
    best.seconds = std::min(best.seconds, run.seconds);
    best.max_rss_kib = std::max(best.max_rss_kib, run.max_rss_kib);
    if (best.exit_code == 0) best.exit_code = run.exit_code;
  }
  return best;
}

bool RunQuietly(const std::vector<std::string>& args) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const pid_t pid = Spawn(args, &actions);
  posix_spawn_file_actions_destroy(&actions);
  if (pid < 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string CommandText(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) {
    if (!text.empty()) text += ' ';
    const bool plain = !arg.empty() && arg.find_first_of(" \t'\"\\$") == std::string::npos;
    text += plain ? arg : "'" + arg + "'";
  }
  return text;
}

}  // namespace krdn::bench
