// The toolkit's warning line: "<message> <function> <source>:<line>" on standard error
// (or the installed log sink).
#pragma once

#include <string_view>

#include "core/obj_ref.h"

namespace LOOM {

struct ILogSink : IObjRef {
  virtual void Write(std::u16string_view tag, std::u16string_view message, const char* source, int line,
                     const char* function) = 0;

 protected:
  ~ILogSink() = default;
};

// Messages longer than 10240 characters are cut there.
void LogWarning(std::u16string_view message, const char* function, const char* source, int line);

}  // namespace LOOM
