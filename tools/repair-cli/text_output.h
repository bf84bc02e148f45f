// The console front-end's human-readable modes, plain and quiet (console_output.h).
#pragma once

#include <cstdio>

#include "tools/repair-cli/block_writer.h"
#include "tools/repair-cli/console_output.h"
#include "tools/repair-cli/progress_line.h"

namespace krdn::cli {

// Where the texts go, and which of the two is a terminal: there, names a server gave
// show with their controls and bidirectional characters escaped (platform/base/
// shown_text.h); a pipe or a file gets the bytes as they are.
struct TextStreams {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  bool out_is_terminal = false;
  bool err_is_terminal = false;
};

class TextOutput final : public ConsoleOutput {
 public:
  // Quiet leaves out the status texts and the progress line; the progress line is drawn
  // only when standard error is a terminal.
  TextOutput(bool quiet, TextStreams streams) : quiet_(quiet), streams_(streams) {}

  void Status(std::string_view text) override;
  void Transient(std::string_view text, Clock::time_point now) override;
  void Bytes(std::uint64_t received, std::uint64_t total, Clock::time_point now) override;
  void Dialog(std::string_view dialog_text, unsigned long attempt, std::string_view failure) override;
  void End(int exit_code, std::string_view error, std::string_view log_path) override;

 private:
  bool ShowsProgress() const { return streams_.err_is_terminal && !quiet_; }
  // Standard error, after the status texts waiting for standard output.
  void PrintError(std::string_view text);
  // A line on standard error, after clearing the progress line the next update draws again.
  void Report(std::string_view line);
  void Show(const std::optional<std::string>& line);
  void ClearLine();

  const bool quiet_;
  const TextStreams streams_;
  bool line_shown_ = false;
  ProgressLine progress_;
  BlockWriter status_{streams_.out};
};

}  // namespace krdn::cli
