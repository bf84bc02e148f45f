// The worker's side of one run: notifications, stop points, sleeps, the retry counter
// rule, and the two ways a run can stop early.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "platform/http/http.h"
#include "platform/io/install_root.h"
#include "repair/run_context.h"
#include "repair/run_settings.h"
#include "transfer/fetch_url.h"
#include "transfer/piece_pipeline.h"

namespace krdn {

// Thrown to end the run: the driver clears the busy flag and sends the final text.
struct RunEnded {
  std::optional<std::u16string> final_text;
};

// Thrown when the window has abandoned the run: the worker unwinds silently.
struct RunAbandoned {};

// The run's transfers travel over one HTTP session, which keeps its connections for the
// length of the run; Stop holds it (nothing new goes out until Start) and the end of the
// run aborts whatever is still in flight.
class Run final : private FetchObserver {
 public:
  Run(RunContext& context, const RunSettings& settings);
  ~Run() override;
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  const RunSettings& settings() const { return settings_; }
  const std::u16string& install_directory() const { return install_directory_; }
  // The install directory, opened when the run began: every file of the run is reached
  // through it, by its manifest path.
  const platform::InstallRoot& root() const { return root_; }
  // Tries again to open the install directory when it could not be opened before (it
  // was missing); a stage that retries calls it before each attempt.
  void OpenRootIfClosed();

  // Notifications (RunContext). Each throws RunAbandoned when the run is abandoned
  // before or during it.
  void Append(std::u16string_view text);
  void Transient(std::u16string_view text);
  void Progress(int percent);
  // The end notice alone, at the points that do not end the run; a run ends with End.
  void Ended(std::optional<std::u16string_view> final_text);
  void Succeeded(std::u16string_view last_status);
  // One failed attempt of a retrying stage. It counts on the stage's counter, puts the
  // question of the severity the count gives (the first two attempts an unstable
  // connection, every later one a network failure) with the stage's failure text, and
  // returns that severity. Throws RunAbandoned when the user ends the run.
  RetrySeverity FailedAttempt(int& counter, std::u16string_view failure_text);
  // The same, for a stage whose failure text depends on the severity.
  RetrySeverity FailedAttempt(int& counter, std::u16string_view unstable_text,
                              std::u16string_view network_failure_text);

  // A stop point: waits while held, then ends the run (without text) when the running
  // flag is cleared.
  void StopPoint();
  // Waits while held (the running flag is not read).
  void HoldPoint();
  // Sleeps `seconds` seconds of the run (see RunSettings::second), then waits while held.
  void Sleep(int seconds);

  // For transfers of the run's own: waits while held without throwing (false when
  // abandoned), and the token that cancels them.
  bool HoldWithinTransfer() { return control_.WaitWhileHeld(); }
  std::stop_token AbandonToken() const { return control_.AbandonToken(); }
  void ThrowIfAbandoned() const;

  void ClearBusy();
  [[noreturn]] static void End(std::optional<std::u16string> final_text = std::nullopt) {
    throw RunEnded{std::move(final_text)};
  }

  platform::HttpSession& session() { return session_; }
  FetchLimits fetch_limits() const;
  platform::HttpLimits http_limits() const { return fetch_limits().http; }

  // Fetches through FetchUrl with the run's hold, running flag and abandonment.
  int Fetch(std::vector<std::uint8_t>& body, std::u16string_view url, std::uint64_t file_size, const ByteRange& range,
            FetchKind kind, std::u16string_view suffix = {});

  // Takes a piece of the download pass from the pipeline, waiting as Fetch does;
  // on_wait is called at short intervals while it waits.
  FetchedPiece TakePiece(PiecePipeline& pipeline, std::size_t index, const std::function<void()>& on_wait);

  // Byte counts of the download pass, for the context's optional observer.
  void DownloadBytes(std::uint64_t received, std::uint64_t total) { context_.OnDownloadBytes(received, total); }

  // The driver's end of a run: clear busy, send the final text; silent when abandoned.
  void Finish(const std::optional<std::u16string>& final_text) noexcept;
  // The end of the run in its log (when it has one), where the driver's Finish does not
  // write it: abandoned, an internal error. Only the first end counts.
  void LogEnd(std::string_view outcome, std::optional<std::u16string_view> final_text = std::nullopt);
  // The run's log, for lines of the stages' own (failovers); null when it has none.
  RunLog* log() const { return settings_.log; }

 private:
  // Puts one notification to the window, which may abandon the run meanwhile.
  template <typename Call>
  void Notify(const Call& call);

  // FetchObserver: called from inside a transfer, so nothing may throw through them.
  void OnProgressText(const std::u16string& text) override;
  bool ShouldContinue() override;
  std::stop_token CancelToken() const override;

  RunContext& context_;
  RunControl& control_;
  const RunSettings& settings_;
  std::u16string install_directory_;
  platform::InstallRoot root_;
  const std::function<void()>* on_wait_ = nullptr;  // during TakePiece
  platform::HttpSession session_;
  std::stop_callback<std::function<void()>> abort_on_abandon_;  // after session_: ends before it
};

}  // namespace krdn
