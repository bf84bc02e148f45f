// The console front-end's command line.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "repair/run_settings.h"
#include "tools/repair-cli/console_output.h"

namespace krdn::cli {

struct Options {
  std::string dir;
  RunSettings settings;
  std::optional<unsigned long> give_up_after;
  OutputMode output = OutputMode::kPlain;
  std::filesystem::path log_file{};  // empty: a new log in the default folder
};

// What the command line asks for: a run, or the usage or the version alone.
struct Command {
  enum class Kind { kRun, kHelp, kVersion, kUsageError };
  Kind kind = Kind::kRun;
  Options options{};
  std::string problem{};  // kUsageError
};

// argv with the program name first.
Command ParseCommand(const std::vector<std::string>& argv);

// The usage text, one option a line.
std::string UsageText();

}  // namespace krdn::cli
