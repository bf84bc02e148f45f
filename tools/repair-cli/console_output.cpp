#include "tools/repair-cli/console_output.h"

#include "platform/base/console.h"
#include "tools/repair-cli/json_output.h"
#include "tools/repair-cli/text_output.h"

namespace krdn::cli {

std::unique_ptr<ConsoleOutput> MakeConsoleOutput(OutputMode mode) {
  switch (mode) {
    case OutputMode::kJson: return std::make_unique<JsonOutput>();
    case OutputMode::kQuiet:
    case OutputMode::kPlain: break;
  }
  const TextStreams streams{.out_is_terminal = platform::IsTerminal(stdout),
                            .err_is_terminal = platform::IsTerminal(stderr)};
  return std::make_unique<TextOutput>(mode == OutputMode::kQuiet, streams);
}

}  // namespace krdn::cli
