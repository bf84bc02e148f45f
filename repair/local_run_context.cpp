#include "repair/local_run_context.h"

namespace krdn {

LocalRunContext::LocalRunContext(std::u16string install_directory, Handler handler)
    : install_directory_(std::move(install_directory)), handler_(std::move(handler)) {}

void LocalRunContext::Progress(int percent) { Tell({.kind = Notice::Kind::kProgress, .percent = percent}); }

void LocalRunContext::AppendStatus(std::u16string_view text) {
  Tell({.kind = Notice::Kind::kStatus, .text = std::u16string(text)});
}

void LocalRunContext::ShowTransient(std::u16string_view text) {
  Tell({.kind = Notice::Kind::kTransient, .text = std::u16string(text)});
}

RetryAnswer LocalRunContext::AskRetry(RetrySeverity severity, std::u16string_view failure_text) {
  return Tell({.kind = Notice::Kind::kQuestion, .text = std::u16string(failure_text), .severity = severity});
}

void LocalRunContext::Ended(std::optional<std::u16string_view> final_text) {
  Notice notice{.kind = Notice::Kind::kEnded};
  if (final_text) notice.text.emplace(*final_text);
  Tell(std::move(notice));
}

void LocalRunContext::Succeeded(std::u16string_view last_status) {
  Tell({.kind = Notice::Kind::kSucceeded, .text = std::u16string(last_status)});
}

void LocalRunContext::Start() {
  running_.store(true);
  busy_.store(true);
  control_.Release();
}

void LocalRunContext::Stop() {
  control_.Hold([this] { running_.store(false); });
  busy_.store(false);
}

}  // namespace krdn
