#include "repair/local_files.h"

#include "repair/run.h"

namespace krdn {

std::optional<platform::File> OpenWithRetries(Run& run, const std::u16string& path, platform::File::Mode mode) {
  for (int attempt = 1; attempt <= kOpenTries; ++attempt) {
    if (std::optional<platform::File> file = platform::File::Open(path, mode)) return file;
    run.Sleep(1);
  }
  return std::nullopt;
}

}  // namespace krdn
