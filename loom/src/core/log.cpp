#include "core/log.h"

#include <string>

#include "core/application.h"
#include "platform/base/diagnostics.h"
#include "platform/base/utf.h"

namespace LOOM {

namespace {
constexpr std::size_t kMaxLogChars = 10240;
}

void LogWarning(std::u16string_view message, const char* function, const char* source, int line) {
  if (message.size() > kMaxLogChars - 1) message = message.substr(0, kMaxLogChars - 1);
  if (SApplication* app = SApplication::Instance(); app && app->LogSink()) {
    app->LogSink()->Write(u"loom", message, source, line, function);
    return;
  }
  platform::WriteDiagnosticLine(platform::Utf16ToUtf8(message) + " " + function + " " + source + ":" +
                                std::to_string(line));
}

}  // namespace LOOM
