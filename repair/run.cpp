#include "repair/run.h"

#include <cstdio>

#include "repair/notifications.h"

namespace krdn {

Run::Run(RunContext& context, const RunSettings& settings)
    : context_(context), control_(context.Control()), settings_(settings),
      install_directory_(context.InstallDirectory()),
      root_(platform::InstallRoot::Open(install_directory_, settings.path_resolution)) {}

void Run::OpenRootIfClosed() {
  if (!root_.is_open()) root_ = platform::InstallRoot::Open(install_directory_, settings_.path_resolution);
}

void Run::ThrowIfAbandoned() const {
  if (control_.Abandoned()) throw RunAbandoned{};
}

LRESULT Run::Send(UINT message, WPARAM wparam) {
  ThrowIfAbandoned();
  const LRESULT result = context_.Notify(message, wparam);
  ThrowIfAbandoned();
  return result;
}

LRESULT Run::SendText(UINT message, std::u16string_view text) {
  text_.assign(text);
  return Send(message, reinterpret_cast<WPARAM>(text_.c_str()));
}

void Run::FailedAttempt(int& counter, std::u16string_view text) {
  ++counter;
  SendText(counter <= 2 ? kNotifyUnstable : kNotifyNetworkFailed, text);
}

void Run::StopPoint() {
  const std::optional<bool> running = control_.Checkpoint([this] { return context_.IsRunning(); });
  if (!running) throw RunAbandoned{};
  if (!*running) End();
}

void Run::HoldPoint() {
  if (!control_.WaitWhileHeld()) throw RunAbandoned{};
}

void Run::Sleep(int seconds) {
  if (settings_.on_sleep) settings_.on_sleep(seconds);
  if (!control_.Sleep(settings_.second * seconds)) throw RunAbandoned{};
}

void Run::ClearBusy() {
  ThrowIfAbandoned();
  context_.ClearBusy();
}

int Run::Fetch(std::vector<std::uint8_t>& body, std::u16string_view url, std::uint32_t file_size,
               const ByteRange& range, FetchKind kind, std::u16string_view suffix) {
  const FetchLimits limits{.connect_timeout = settings_.connect_timeout, .stall_timeout = settings_.stall_timeout};
  const int result = FetchUrl(*this, body, url, file_size, range, kind, suffix, limits);
  ThrowIfAbandoned();
  return result;
}

int Run::FetchDigested(std::vector<std::uint8_t>& body, platform::Md5Digest& digest, std::u16string_view url,
                       std::uint32_t file_size, const ByteRange& range, FetchKind kind) {
  const FetchLimits limits{.connect_timeout = settings_.connect_timeout, .stall_timeout = settings_.stall_timeout};
  const int result = FetchUrlDigested(*this, body, digest, url, file_size, range, kind, u"", limits);
  ThrowIfAbandoned();
  return result;
}

void Run::Finish(const std::optional<std::u16string>& final_text) noexcept {
  try {
    ClearBusy();
    if (final_text) {
      SendText(kNotifyRunEnded, *final_text);
    } else {
      Send(kNotifyRunEnded, 0);
    }
  } catch (const RunAbandoned&) {
    // The window has let go of the run: nothing more is sent.
  } catch (const std::exception& error) {
    std::fprintf(stderr, "repair: ending the run failed: %s\n", error.what());
  }
}

void Run::OnProgressText(const std::u16string& text) {
  try {
    Transient(text);
  } catch (const RunAbandoned&) {
    // ShouldContinue reports it; the fetch ends and Fetch rethrows.
  }
}

bool Run::ShouldContinue() {
  const std::optional<bool> running = control_.Checkpoint([this] { return context_.IsRunning(); });
  return running.value_or(false);
}

std::stop_token Run::CancelToken() const { return control_.AbandonToken(); }

}  // namespace krdn
