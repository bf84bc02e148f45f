#include "tests/app_e2e/scenario.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "platform/shell/process.h"
#include "platform/ui/windowing.h"
#include "tools/publish/publish.h"

namespace krdn::app::e2e {

extern "C" char** environ;

namespace {

constexpr char kChildWork[] = "KRDN_E2E_WORK";
constexpr char kChildVersionHost[] = "KRDN_E2E_VERSION_HOST";
constexpr char kChildRepairHost[] = "KRDN_E2E_REPAIR_HOST";

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void Restore(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

}  // namespace

bool AppScenario::InChild() { return std::getenv(kChildWork) != nullptr; }

void AppScenario::TearDown() {
  Restore("PATH", saved_path_);
  Restore("HOME", saved_home_);
}

void AppScenario::SetUp() {
  saved_path_ = Variable("PATH");
  saved_home_ = Variable("HOME");
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X server";
  if (InChild()) {
    work_ = std::getenv(kChildWork);
    settings_.version_host = std::getenv(kChildVersionHost);
    settings_.repair_host = std::getenv(kChildRepairHost);
  } else {
    temp_ = std::make_unique<testing::TempDir>();
    work_ = temp_->path();
  }
  home_ = work_ / "home";
  client_ = work_ / "client";
  root_ = work_ / "root";
  install_ = home_ / "KRDN";
  bin_ = work_ / "bin";
  fs::create_directories(home_ / "Desktop");
  fs::create_directories(bin_);
  ::setenv("HOME", home_.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  const char* path = std::getenv("PATH");
  ::setenv("PATH", (bin_.string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
  // The game runs through wine: a stand-in records that it was started, and how.
  testing::WriteFile(bin_ / "wine", "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" > '" + LauncherMarker().string() + "'\n");
  ::chmod((bin_ / "wine").c_str(), 0755);
  // No desktop folder picker unless a test puts one there.
  settings_.second = std::chrono::milliseconds(5);
}

void AppScenario::MakeClient(std::uint64_t piece_size, const std::string& version) {
  testing::WriteFile(client_ / "VoLauncher.exe", std::string("MZ\x90\0", 4) + std::string(70000, 'L'));
  testing::WriteFile(client_ / "data/world.pak", testing::PatternBytes(5 * piece_size + 123, 1));
  testing::WriteFile(client_ / "data/sound.pak", testing::PatternBytes(3 * piece_size, 2));
  testing::WriteFile(client_ / "地图/城镇 01.map", testing::PatternBytes(2 * piece_size + 7, 3));
  testing::WriteFile(client_ / "config/settings.ini", std::string("[client]\nlanguage=zh_CN\n"));
  const publish::Outcome outcome =
      publish::Publish({.client = client_, .out = root_, .version = version, .mode_word = 0, .piece_size = piece_size});
  ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
}

void AppScenario::InstallDamagedCopy() {
  fs::copy(client_, install_, fs::copy_options::recursive);
  fs::remove(install_ / "data/sound.pak");                            // missing
  fs::resize_file(install_ / "地图/城镇 01.map", 1000);                 // too short
  std::vector<std::uint8_t> world = testing::ReadFile(install_ / "data/world.pak");
  world[world.size() / 2] ^= 0xFF;                                      // one bad piece
  testing::WriteFile(install_ / "data/world.pak", world);
}

void AppScenario::ServeWithFaultServer() {
  fault_server_ = std::make_unique<fault::FaultServer>(root_);
  settings_.version_host = fault_server_->url();
  settings_.repair_host = fault_server_->url();
}

void AppScenario::ServeWithNginx() {
  nginx_ = std::make_unique<testing::LocalServers>(root_, work_ / "nginx");
  settings_.version_host = nginx_->version_host();
  settings_.repair_host = nginx_->repair_host();
}

void AppScenario::Prepare(const std::function<void()>& prepare) {
  if (!InChild()) prepare();
}

void AppScenario::PrepareTricklingRepair(std::size_t bytes_per_second) {
  Prepare([&] {
    MakeClient();
    InstallDamagedCopy();
    ServeWithFaultServer();
    fault_server_->AddRule(
        {.path_prefix = "/krdn/repair/1.9.3/", .fault = fault::Fault::kTrickle, .bytes_per_second = bytes_per_second});
  });
}

Outcome AppScenario::Run(const Script& script, const std::u16string& executable_path) {
  if (InChild()) RunProgramWith(script, executable_path);
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  std::vector<std::string> env_strings;
  for (char** e = environ; *e != nullptr; ++e) env_strings.emplace_back(*e);
  env_strings.push_back(std::string(kChildWork) + "=" + work_.string());
  env_strings.push_back(std::string(kChildVersionHost) + "=" + settings_.version_host);
  env_strings.push_back(std::string(kChildRepairHost) + "=" + settings_.repair_host);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::vector<char*> argv = {self.data(), const_cast<char*>(filter.c_str()), nullptr};
  // KRDN_E2E_WRAPPER runs the child under a debugger: "gdb -batch -ex run -ex bt --args".
  std::vector<std::string> wrapper;
  if (const char* w = std::getenv("KRDN_E2E_WRAPPER")) {
    std::istringstream words(w);
    for (std::string word; words >> word;) wrapper.push_back(word);
  }
  if (!wrapper.empty()) {
    std::vector<char*> wrapped;
    for (auto& word : wrapper) wrapped.push_back(word.data());
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    argv = std::move(wrapped);
  }

  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  Outcome outcome;
  if (spawned != 0) {
    ::close(pipe_fds[0]);
    outcome.output = "cannot start the child";
    return outcome;
  }
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) outcome.output.append(buffer, static_cast<std::size_t>(n));
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -100 - WTERMSIG(status);
  return outcome;
}

void AppScenario::RunProgramWith(const Script& script, const std::u16string& executable_path) {
  platform::InitWindowing();
  UiInvoker invoker;
  Driver driver(invoker);
  // No scenario may hang the suite.
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(90));
    std::fprintf(stderr, "scenario timed out\n");
    platform::EndProcessNow(Driver::kFailedExitCode + 1);
  }).detach();

  ProgramOptions options;
  options.executable_path = executable_path;
  options.run_settings = settings_;
  options.on_main_window = [&](CMainDlg& main) { driver.SetMainWindow(&main); };
  options.end_process = [&](int exit_code) {
    // The program ends itself here; the driver's checks so far decide the outcome.
    platform::EndProcessNow(driver.Report() ? exit_code : Driver::kFailedExitCode);
  };
  std::thread script_thread([&] { script(driver); });
  const int exit_code = RunProgram(options);
  // Once the program has returned, no thread it started may be left.
  if (driver.HasRecordedThreads()) {
    auto left = driver.ThreadsStartedSinceRecord();
    driver.Expect(left.empty(), std::to_string(left.size()) + " thread(s) of the program still running after it returned");
  }
  invoker.Close();
  script_thread.join();
  platform::EndProcessNow(driver.Report() ? exit_code : Driver::kFailedExitCode);
}

std::vector<std::u16string> AppScenario::Lines(const std::u16string& status) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = status.find(u"\r\n", start)) != std::u16string::npos; start = end + 2)
    lines.push_back(status.substr(start, end - start));
  if (start < status.size()) lines.push_back(status.substr(start));
  return lines;
}

bool AppScenario::InstallMatchesClient() const {
  for (const auto& entry : fs::recursive_directory_iterator(client_)) {
    if (!entry.is_regular_file()) continue;
    const fs::path installed = install_ / fs::relative(entry.path(), client_);
    if (testing::ReadFile(installed) != testing::ReadFile(entry.path())) return false;
  }
  return true;
}

}  // namespace krdn::app::e2e
