// What the console front-end writes, and where: one policy per output mode.
//
//   plain  standard output carries exactly the status texts the window would append;
//          standard error the retry dialogs, the final error and, on a terminal, one
//          progress line.
//   quiet  only errors, on standard error: the retry dialogs and the final error.
//   json   one JSON object per line on standard output and nothing else there: status
//          texts, transient texts, progress, dialogs and the end with the exit code
//          (and the log of a run that did not complete).
//
// Texts arrive in UTF-8 as the run gives them; status texts keep their own line ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

namespace krdn::cli {

class ConsoleOutput {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~ConsoleOutput() = default;

  // A text for the end of the status box.
  virtual void Status(std::string_view text) = 0;
  // The run's transient line (the file at hand).
  virtual void Transient(std::string_view text, Clock::time_point now) = 0;
  // The download pass's byte count, several times a second.
  virtual void Bytes(std::uint64_t received, std::uint64_t total, Clock::time_point now) = 0;
  // A retry dialog the window would raise: its text, the attempt number of the current
  // step and the failure that raised it.
  virtual void Dialog(std::string_view dialog_text, unsigned long attempt, std::string_view failure) = 0;
  // The run's end with the program's exit code and, when it ended early, what says why
  // (empty when nothing does) and where the run's log is (empty when it completed or
  // has no log).
  virtual void End(int exit_code, std::string_view error, std::string_view log_path) = 0;
};

enum class OutputMode { kPlain, kQuiet, kJson };

std::unique_ptr<ConsoleOutput> MakeConsoleOutput(OutputMode mode);

}  // namespace krdn::cli
