// The console front-end as a program, for its tests: started with its arguments, its
// standard output and error caught in files of the test's work directory.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
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
    std::vector<std::string> environment = ChildEnvironment();
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) ADD_FAILURE() << "cannot start " << argv[0];
    return pid;
  }

  // The test's environment with env_changes made: a value sets the variable, none removes it.
  std::vector<std::string> ChildEnvironment() const {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      if (!env_changes.contains(text.substr(0, text.find('=')))) environment.push_back(text);
    }
    for (const auto& [name, value] : env_changes) {
      if (value) environment.push_back(name + "=" + *value);
    }
    return environment;
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

  // Standard error without the line that says where the log of a run that did not
  // complete is (the tests that check it have a folder of their own).
  static std::string WithoutLogLine(const std::string& err) {
    const std::string marker = "krdn-repair-cli: the log of this run: ";
    const std::size_t at = err.rfind(marker);
    if (at == std::string::npos || (at != 0 && err[at - 1] != '\n')) return err;
    const std::size_t end = err.find('\n', at);
    return err.substr(0, at) + (end == std::string::npos ? std::string() : err.substr(end + 1));
  }

  // For the programs a test starts from now on.
  std::map<std::string, std::optional<std::string>> env_changes;
};

}  // namespace krdn::testing
