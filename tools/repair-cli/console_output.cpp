#include "tools/repair-cli/console_output.h"

#include "platform/base/console.h"
#include "tools/repair-cli/json_output.h"
#include "tools/repair-cli/text_output.h"

namespace krdn::cli {

std::unique_ptr<ConsoleOutput> MakeConsoleOutput(OutputMode mode) {
  switch (mode) {
    case OutputMode::kJson: return std::make_unique<JsonOutput>();
    case OutputMode::kQuiet: return std::make_unique<TextOutput>(true, false);
    case OutputMode::kPlain: break;
  }
  return std::make_unique<TextOutput>(false, platform::IsTerminal(stderr));
}

}  // namespace krdn::cli
