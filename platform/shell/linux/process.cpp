#include "platform/shell/process.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/io/files.h"
#include "platform/io/linux/launch_rule.h"
#include "platform/base/utf.h"

extern char** environ;

namespace platform {
namespace {

struct FileActions {
  posix_spawn_file_actions_t actions;
  FileActions() { posix_spawn_file_actions_init(&actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
};

struct SpawnAttributes {
  posix_spawnattr_t attributes;
  SpawnAttributes() { posix_spawnattr_init(&attributes); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
};

// Spawns argv with standard input from /dev/null, standard output into `stdout_fd`
// (-1: inherited), no descriptor beyond the standard three, in a new session when asked.
pid_t Spawn(const std::vector<std::string>& argv, int stdout_fd, bool new_session) {
  if (argv.empty()) return -1;
  FileActions files;
  posix_spawn_file_actions_addopen(&files.actions, 0, "/dev/null", O_RDONLY, 0);
  if (stdout_fd >= 0) posix_spawn_file_actions_adddup2(&files.actions, stdout_fd, 1);
  posix_spawn_file_actions_addclosefrom_np(&files.actions, 3);
  SpawnAttributes attributes;
  if (new_session) posix_spawnattr_setflags(&attributes.attributes, POSIX_SPAWN_SETSID);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = argv[0].find('/') == std::string::npos
               ? posix_spawnp(&pid, argv[0].c_str(), &files.actions, &attributes.attributes, args.data(), environ)
               : posix_spawn(&pid, argv[0].c_str(), &files.actions, &attributes.attributes, args.data(), environ);
  return rc == 0 ? pid : -1;
}

}  // namespace

std::u16string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return Utf8ToUtf16(home);
  if (const passwd* account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr) {
    return Utf8ToUtf16(account->pw_dir);
  }
  return {};
}

std::u16string DefaultInstallParent() { return HomeDirectory(); }

char16_t PathSeparator() { return u'/'; }

bool SetCurrentDirectory(std::u16string_view path) { return ::chdir(NativePath(path).c_str()) == 0; }

void EndProcessNow(int exit_code) {
  std::fflush(stdout);
  std::fflush(stderr);
  ::_exit(exit_code);
}

StartResult StartProgram(std::u16string_view path) {
  const detail::LaunchRule rule = detail::LaunchRuleFor(path);
  struct stat st{};
  if (::stat(rule.program.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return StartResult::kNotStartable;
  std::vector<std::string> argv;
  if (rule.through_wine) {
    std::string wine = FindProgramOnPath("wine");
    if (wine.empty()) return StartResult::kNeedsWine;
    argv = {wine, rule.program};
  } else {
    if (::access(rule.program.c_str(), X_OK) != 0) return StartResult::kNotStartable;
    argv = {rule.program};
  }
  return Spawn(argv, -1, true) > 0 ? StartResult::kStarted : StartResult::kNotStartable;
}

int SpawnWithOutput(const std::vector<std::string>& argv, int* output_fd) {
  int fds[2] = {-1, -1};
  if (output_fd != nullptr && ::pipe2(fds, O_CLOEXEC) != 0) return -1;
  pid_t pid = Spawn(argv, fds[1], false);
  if (fds[1] >= 0) ::close(fds[1]);
  if (pid < 0) {
    if (fds[0] >= 0) ::close(fds[0]);
    return -1;
  }
  if (output_fd != nullptr) *output_fd = fds[0];
  return pid;
}

}  // namespace platform
