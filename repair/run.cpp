#include "repair/run.h"

#include <algorithm>
#include <cstdio>

#include "repair/run_log.h"

namespace krdn {

namespace {

platform::HttpSessionOptions SessionOptions(const RunSettings& settings) {
  return {.connections_per_host = std::max(1, settings.connections),
          .fresh_connections = settings.fresh_connections,
          .ca_file = settings.ca_file,
          .proxy = settings.proxy,
          .observer = settings.log,
          .max_bytes_per_second = settings.limit_rate};
}

}  // namespace

Run::Run(RunContext& context, const RunSettings& settings)
    : context_(context),
      control_(context.Control()),
      settings_(settings),
      install_directory_(context.InstallDirectory()),
      root_(platform::InstallRoot::Open(install_directory_, settings.path_resolution)),
      session_(SessionOptions(settings)),
      abort_on_abandon_(control_.AbandonToken(), std::function<void()>([this] { session_.Abort(); })) {
  if (settings_.log != nullptr) settings_.log->Began(settings_, install_directory_);
  control_.SetHoldListener([this](bool held) {
    if (held) {
      session_.Hold();
    } else {
      session_.Release();
    }
  });
}

Run::~Run() { control_.SetHoldListener({}); }

FetchLimits Run::fetch_limits() const {
  return FetchLimits{.http = {.connect_timeout = settings_.connect_timeout,
                              .stall_timeout = settings_.stall_timeout,
                              .slow_min_bytes = settings_.slow_min_bytes,
                              .slow_window = settings_.slow_window}};
}

void Run::OpenRootIfClosed() {
  if (!root_.is_open()) root_ = platform::InstallRoot::Open(install_directory_, settings_.path_resolution);
}

void Run::ThrowIfAbandoned() const {
  if (control_.Abandoned()) throw RunAbandoned{};
}

template <typename Call>
void Run::Notify(const Call& call) {
  ThrowIfAbandoned();
  call();
  ThrowIfAbandoned();
}

void Run::Append(std::u16string_view text) {
  if (settings_.log != nullptr) settings_.log->Status(text);
  Notify([&] { context_.AppendStatus(text); });
}

void Run::Transient(std::u16string_view text) {
  Notify([&] { context_.ShowTransient(text); });
}

void Run::Progress(int percent) {
  Notify([&] { context_.Progress(percent); });
}

void Run::Ended(std::optional<std::u16string_view> final_text) {
  Notify([&] { context_.Ended(final_text); });
}

void Run::Succeeded(std::u16string_view last_status) {
  // The window ends the process from the success dialog: the log is complete before.
  LogEnd("succeeded");
  Notify([&] { context_.Succeeded(last_status); });
}

void Run::LogEnd(std::string_view outcome, std::optional<std::u16string_view> final_text) {
  if (settings_.log != nullptr) settings_.log->Ended(outcome, final_text);
}

RetrySeverity Run::FailedAttempt(int& counter, std::u16string_view failure_text) {
  return FailedAttempt(counter, failure_text, failure_text);
}

RetrySeverity Run::FailedAttempt(int& counter, std::u16string_view unstable_text,
                                 std::u16string_view network_failure_text) {
  ++counter;
  const RetrySeverity severity = counter <= 2 ? RetrySeverity::kUnstable : RetrySeverity::kNetworkFailure;
  if (settings_.log != nullptr) {
    settings_.log->Retry(counter, severity,
                         severity == RetrySeverity::kUnstable ? unstable_text : network_failure_text);
  }
  RetryAnswer answer = RetryAnswer::kGoOn;
  Notify([&] {
    answer = context_.AskRetry(severity, severity == RetrySeverity::kUnstable ? unstable_text : network_failure_text);
  });
  if (answer == RetryAnswer::kEndRun) {
    // Ended by the user: the same as when the window abandons the run.
    LogEnd("ended by the user at the network-failure dialog");
    control_.Abandon();
    throw RunAbandoned{};
  }
  return severity;
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

int Run::Fetch(std::vector<std::uint8_t>& body, std::u16string_view url, std::uint64_t file_size,
               const ByteRange& range, FetchKind kind, std::u16string_view suffix) {
  const int result = FetchUrl(session_, *this, body, url, file_size, range, kind, suffix, fetch_limits());
  ThrowIfAbandoned();
  return result;
}

FetchedPiece Run::TakePiece(PiecePipeline& pipeline, std::size_t index, const std::function<void()>& on_wait) {
  struct Unset {
    const std::function<void()>*& slot;
    ~Unset() { slot = nullptr; }
  } unset{on_wait_};
  on_wait_ = &on_wait;
  FetchedPiece piece = pipeline.Take(index, *this);
  ThrowIfAbandoned();
  return piece;
}

void Run::Finish(const std::optional<std::u16string>& final_text) noexcept {
  try {
    LogEnd(final_text ? "ended" : "stopped",
           final_text ? std::optional<std::u16string_view>(*final_text) : std::nullopt);
    ClearBusy();
    Ended(final_text ? std::optional<std::u16string_view>(*final_text) : std::nullopt);
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
  if (on_wait_ != nullptr && *on_wait_) (*on_wait_)();
  const std::optional<bool> running = control_.Checkpoint([this] { return context_.IsRunning(); });
  return running.value_or(false);
}

std::stop_token Run::CancelToken() const { return control_.AbandonToken(); }

}  // namespace krdn
