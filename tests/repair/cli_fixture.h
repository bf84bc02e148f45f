// The console front-end as a program, for its tests: started with its arguments, its
// standard output and error caught in files of the test's work directory.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/repair/engine_fixture.h"

extern char** environ;

namespace krdn::testing {

struct Finished {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class Cli : public EngineTest {
 protected:
  pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<std::string> all{KRDN_REPAIR_CLI};
    all.insert(all.end(), args.begin(), args.end());
    return SpawnProgram(std::move(all));
  }

  // Any program (a path, or a name looked up on PATH) with its arguments; standard output
  // and error go to out.txt and err.txt.
  pid_t SpawnProgram(std::vector<std::string> all) {
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (work / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (work / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) ADD_FAILURE() << "cannot start " << argv[0];
    return pid;
  }

  Finished Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadText(work / "out.txt"),
            ReadText(work / "err.txt")};
  }

  Finished RunCli(const std::vector<std::string>& args) { return Wait(Spawn(args)); }

  std::vector<std::string> HostArgs(const std::string& version_host, const std::string& repair_host,
                                    const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{"--dir", install.string(), "--version-host", version_host, "--repair-host",
                                  repair_host};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
};

}  // namespace krdn::testing
