// What the repair worker knows of the window that started it.
//
// The worker reaches the window only through RunContext, in the engine's own terms:
// progress, status lines, a transient line, the retry question, the run's end and its
// success, each a synchronous call that returns once the window has taken it (a text
// is valid only during the call); the running flag (read), the busy flag (cleared when
// a run ends), the install directory and the cooperative hold and end (RunControl).
// The window implements it with cross-thread sends of its own messages (app/), the
// console front-end and the tests with a handler of their own (LocalRunContext).
//
// Use one RunContext and one RunControl per worker: a window that starts a new run
// after abandoning one gives the new worker fresh ones, so a stale worker that is
// still unwinding never sees the new run's state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "repair/retry_question.h"
#include "repair/run_control.h"

namespace krdn {

class RunContext {
 public:
  virtual ~RunContext() = default;

  // The progress bar, 0 to 100.
  virtual void Progress(int percent) = 0;
  // A text for the end of the status box; texts carry their own "\r\n" where a line ends.
  virtual void AppendStatus(std::u16string_view text) = 0;
  // A transient line (the file at hand, bytes received); the window does not show it.
  virtual void ShowTransient(std::u16string_view text) = 0;
  // A failed attempt of a retrying stage, with the stage's failure text: the user's
  // answer once the question has been put.
  virtual RetryAnswer AskRetry(RetrySeverity severity, std::u16string_view failure_text) = 0;
  // The end notice, with the final text or none. Sent when a run ends (the busy flag is
  // cleared just before), and also at three points that do not end it: when the
  // version file just fetched cannot be read (with its text, busy left set), after
  // "every file verified" and after the completion marker (without text, busy cleared).
  virtual void Ended(std::optional<std::u16string_view> final_text) = 0;
  // The run has succeeded, with the last status text: the window raises the success
  // dialog and ends the process; the call need not return.
  virtual void Succeeded(std::u16string_view last_status) = 0;

  virtual bool IsRunning() const = 0;
  virtual void ClearBusy() = 0;
  // Root of every local path, without a trailing separator.
  virtual std::u16string InstallDirectory() const = 0;
  virtual RunControl& Control() = 0;

  // Optional: byte counts of the download pass (bytes received of the pieces to fetch,
  // and their total), on the worker thread, several times a second while pieces
  // arrive. For front-ends that show a rate; the window ignores them.
  virtual void OnDownloadBytes(std::uint64_t received, std::uint64_t total) {
    (void)received;
    (void)total;
  }
};

}  // namespace krdn
