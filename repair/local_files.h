// Opening the client's files the way the run does: a file in use is often released
// within moments, so an open is tried three times, a second apart.
#pragma once

#include <optional>
#include <string>

#include "platform/files.h"

namespace krdn {

class Run;

inline constexpr int kOpenTries = 3;

// Nothing after the third failed try (and its sleep).
std::optional<platform::File> OpenWithRetries(Run& run, const std::u16string& path, platform::File::Mode mode);

}  // namespace krdn
