// One notification of a run as a value, the way a front-end without a window (the
// console front-end) and the tests receive them from LocalRunContext.
#pragma once

#include <optional>
#include <string>

#include "repair/retry_question.h"

namespace krdn {

struct Notice {
  enum class Kind { kProgress, kStatus, kTransient, kQuestion, kEnded, kSucceeded };

  Kind kind = Kind::kStatus;
  // The call's text; none for progress and for an end notice without a final text.
  std::optional<std::u16string> text{};
  int percent = 0;                                  // kProgress
  RetrySeverity severity = RetrySeverity::kUnstable;  // kQuestion

  std::u16string Text() const { return text.value_or(std::u16string()); }
  bool operator==(const Notice&) const = default;
};

}  // namespace krdn
