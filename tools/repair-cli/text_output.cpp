#include "tools/repair-cli/text_output.h"

#include <string>

#include "platform/base/shown_text.h"
#include "tools/repair-cli/console_stream.h"

namespace krdn::cli {
namespace {

// The text with what a terminal would act on escaped, its own line end kept.
std::string ForTerminal(std::string_view text) {
  std::string_view end = text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  end.remove_prefix(text.size());
  return platform::EscapedForScreen(text) + std::string(end);
}

std::string Shown(std::string_view text, bool terminal) { return terminal ? ForTerminal(text) : std::string(text); }

}  // namespace

void TextOutput::Status(std::string_view text) {
  if (!quiet_) status_.Write(Shown(text, streams_.out_is_terminal));
}

void TextOutput::Transient(std::string_view text, Clock::time_point now) {
  if (ShowsProgress()) Show(progress_.Text(ForTerminal(WithoutLineEnd(text)), now));
}

void TextOutput::Bytes(std::uint64_t received, std::uint64_t total, Clock::time_point now) {
  if (ShowsProgress()) Show(progress_.Bytes(received, total, now));
}

void TextOutput::Dialog(std::string_view dialog_text, unsigned long attempt, std::string_view failure) {
  Report("krdn-repair-cli: attempt " + std::to_string(attempt) + ": " + std::string(dialog_text) + " (" +
         Shown(WithoutLineEnd(failure), streams_.err_is_terminal) + ")");
}

void TextOutput::End(int /*exit_code*/, std::string_view error, std::string_view log_path) {
  ClearLine();
  status_.Flush();
  if (!error.empty()) {
    PrintError(Shown(error, streams_.err_is_terminal));
    if (error.back() != '\n') PrintError("\n");
  }
  if (!log_path.empty()) PrintError("krdn-repair-cli: the log of this run: " + std::string(log_path) + "\n");
}

void TextOutput::PrintError(std::string_view text) {
  status_.Flush();
  Print(streams_.err, text);
}

void TextOutput::Report(std::string_view line) {
  ClearLine();
  PrintError(std::string(line) + "\n");
}

void TextOutput::Show(const std::optional<std::string>& line) {
  if (!line) return;
  PrintError("\r" + *line + "\x1b[K");
  line_shown_ = true;
}

void TextOutput::ClearLine() {
  if (line_shown_) PrintError("\r\x1b[K");
  line_shown_ = false;
}

}  // namespace krdn::cli
