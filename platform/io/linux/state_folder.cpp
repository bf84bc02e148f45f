#include "platform/io/state_folder.h"

#include <cstdlib>

#include "platform/base/utf.h"

namespace platform {
namespace {

// An absolute path from the variable, else nothing: the base directory rules ignore a
// relative one.
const char* AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

}  // namespace

std::u16string UserStateFolder() {
  if (const char* state = AbsoluteVariable("XDG_STATE_HOME")) return Utf8ToUtf16(state);
  if (const char* home = AbsoluteVariable("HOME")) return Utf8ToUtf16(std::string(home) + "/.local/state");
  return {};
}

}  // namespace platform
