// The log of one run: what the user saw in the status box, every request with its
// answer, every retry and failover, and how the run ended with the bytes it fetched,
// in a file the user can read and send along when a run goes wrong.
//
// One line an event, UTF-8, each begun with the seconds since the run began:
//   +12.345 request GET http://host/krdn/... status=206 bytes=4194304 time=812ms host=http://host complete
// Secrets never reach it: no key material, and URLs (hosts, the proxy) lose the user
// name and password they may carry.
//
// Writing never fails or slows the run: lines are buffered, written when the buffer
// fills, flushed at a retry (the user may close the window while it is asked) and at the
// end; a write that fails is dropped. A log that cannot be opened is left out, with a
// diagnostic line. Lines come from the worker thread and from the session's threads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/http/http.h"
#include "repair/retry_question.h"

namespace krdn {

struct RunSettings;

// The logs a folder keeps: the newest, the one being written included.
inline constexpr std::size_t kRunLogsKept = 10;

class RunLog final : public platform::HttpObserver {
 public:
  // A log at `path`, emptied when it exists. Null when it cannot be opened.
  static std::unique_ptr<RunLog> Create(const std::filesystem::path& path);
  // A new log in the folder (made, with its parents, when missing), named by the time it
  // begins ("run-YYYYMMDD-HHMMSS-mmm.log", UTC), after which the folder keeps only the
  // newest kRunLogsKept of its logs. Null when it cannot be made.
  static std::unique_ptr<RunLog> CreateInFolder(const std::filesystem::path& folder);

  // Flushes.
  ~RunLog() override;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // What the run is set to do: the install directory, hosts, proxy, connections.
  void Began(const RunSettings& settings, std::u16string_view install_directory) noexcept;
  // A status text as the status box receives it; a line is written once its end arrives
  // (a file's line comes in two halves).
  void Status(std::u16string_view text) noexcept;
  // A failed attempt of a retrying stage: its count, the question put, its failure text.
  void Retry(int attempt, RetrySeverity severity, std::u16string_view failure_text) noexcept;
  // A request given up on one host and sent to another.
  void Failover(std::string_view from_host, std::string_view to_host, std::string_view why) noexcept;
  // platform::HttpObserver: one request line.
  void OnRequestEnded(const platform::HttpRequestReport& report) noexcept override;
  // The run's end ("succeeded", "ended", "abandoned", ...), its final text when it has
  // one, and the bytes downloaded and reused; then everything is flushed. Once.
  void Ended(std::string_view outcome, std::optional<std::u16string_view> final_text = std::nullopt) noexcept;
  bool ended() const { return ended_.load(); }

  // Body bytes of every request so far.
  std::uint64_t bytes_downloaded() const { return bytes_downloaded_.load(); }

 private:
  struct Opened {
    std::filesystem::path path;
    std::ofstream out;
  };

 public:
  // Through Create and CreateInFolder only (Opened is theirs).
  explicit RunLog(Opened opened);

 private:
  // One line: the time, the kind and the text (control characters become spaces).
  void Line(std::string_view kind, std::string_view text, bool flush = false) noexcept;
  // Writes the buffer to the file and flushes it; under mutex_.
  void WriteOut();

  const std::filesystem::path path_;
  const std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
  std::atomic<std::uint64_t> bytes_downloaded_{0};
  std::atomic<bool> ended_{false};

  std::mutex mutex_;
  std::ofstream out_;              // under mutex_
  std::string buffer_;             // lines not written yet; under mutex_
  std::u16string pending_status_;  // the status line begun and not ended yet; the worker's
};

// Where the logs of runs go by default: "krdn-repair/logs" in the user's state folder
// (platform/io/state_folder.h). Empty when the system names no such folder.
std::filesystem::path DefaultRunLogFolder();

// The log of a run as a front-end opens it: at `file` when one is named, else a new one
// in the default folder. Null, with a diagnostic line, when it cannot be opened: the run
// goes on without it.
std::unique_ptr<RunLog> OpenRunLog(const std::filesystem::path& file = {});

}  // namespace krdn
