#include "repair/run_log.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/base/diagnostics.h"
#include "platform/base/utf.h"
#include "platform/io/files.h"
#include "platform/io/state_folder.h"
#include "repair/run_settings.h"

namespace krdn {
namespace {

// Big enough that a run's lines rarely meet the disk before its end.
constexpr std::size_t kBufferBytes = 64 * 1024;
constexpr std::string_view kLogPrefix = "run-";
constexpr std::string_view kLogSuffix = ".log";

struct UtcTime {
  int year = 0;
  unsigned month = 0, day = 0;
  long hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
};

UtcTime Now() {
  using namespace std::chrono;
  const auto now = floor<milliseconds>(system_clock::now());
  const auto today = floor<std::chrono::days>(now);
  const year_month_day date(today);
  const hh_mm_ss of_day(now - today);
  return {static_cast<int>(date.year()), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
          static_cast<long>(of_day.hours().count()), static_cast<long>(of_day.minutes().count()),
          static_cast<long>(of_day.seconds().count()), static_cast<long>(of_day.subseconds().count())};
}

// "run-YYYYMMDD-HHMMSS-mmm.log": names in the order the runs began.
std::string LogName(const UtcTime& t, long milliseconds) {
  char name[64];
  std::snprintf(name, sizeof name, "run-%04d%02u%02u-%02ld%02ld%02ld-%03ld.log", t.year, t.month, t.day, t.hours,
                t.minutes, t.seconds, milliseconds);
  return name;
}

bool IsRunLogName(const std::string& name) {
  return name.size() > kLogPrefix.size() + kLogSuffix.size() && name.starts_with(kLogPrefix) &&
         name.ends_with(kLogSuffix);
}

// The order of a run log's name: its time to the second, then its milliseconds as a number.
std::pair<std::string, std::uint64_t> RunLogOrder(const std::string& name) {
  const std::string stem = name.substr(0, name.size() - kLogSuffix.size());
  const std::size_t dash = stem.rfind('-');
  std::uint64_t milliseconds = 0;
  for (std::size_t i = dash + 1; i < stem.size() && dash != std::string::npos; ++i) {
    if (stem[i] < '0' || stem[i] > '9' || milliseconds > 1'000'000) return {stem, 0};
    milliseconds = milliseconds * 10 + static_cast<std::uint64_t>(stem[i] - '0');
  }
  return {stem.substr(0, dash == std::string::npos ? stem.size() : dash), milliseconds};
}

// Removes the oldest logs of the folder beyond kRunLogsKept, never `made` (the log just
// made, whose name a clock set back may have put among the old); what cannot be removed
// stays.
void KeepNewestLogs(const std::filesystem::path& folder, const std::filesystem::path& made) {
  std::error_code error;
  std::vector<std::filesystem::path> logs;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::error_code type_error;
    if (entry.path() != made && entry.is_regular_file(type_error) &&
        IsRunLogName(platform::PathUtf8(entry.path().filename()))) {
      logs.push_back(entry.path());
    }
  }
  const std::size_t others_kept = kRunLogsKept - 1;
  if (logs.size() <= others_kept) return;
  // A name's milliseconds may pass 999 when runs share a millisecond ("-1000" after "-999"),
  // so the number after the last '-' is compared as a number.
  const auto older = [](const std::filesystem::path& a, const std::filesystem::path& b) {
    return RunLogOrder(platform::PathUtf8(a.filename())) < RunLogOrder(platform::PathUtf8(b.filename()));
  };
  std::sort(logs.begin(), logs.end(), older);
  for (std::size_t i = 0; i + others_kept < logs.size(); ++i) std::filesystem::remove(logs[i], error);
}

// "scheme://host[:port]" of a URL, without a user name or password.
std::string HostOf(std::string_view url) {
  const std::string plain = platform::UrlWithoutCredentials(url);
  const std::size_t scheme = plain.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  return plain.substr(0, plain.find_first_of("/?#", start));
}

std::string_view OutcomeWord(platform::HttpOutcome outcome) {
  switch (outcome) {
    case platform::HttpOutcome::kComplete: return "complete";
    case platform::HttpOutcome::kFailed: return "failed";
    case platform::HttpOutcome::kCancelled: return "cancelled";
  }
  return "failed";
}

// A status or final text as one line: its line end dropped.
std::string OneLine(std::u16string_view text) {
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.remove_suffix(1);
  return platform::Utf16ToUtf8(text);
}

}  // namespace

RunLog::RunLog(Opened opened) : path_(std::move(opened.path)), out_(std::move(opened.out)) {}

std::unique_ptr<RunLog> RunLog::Create(const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return nullptr;
  return std::make_unique<RunLog>(Opened{path, std::move(out)});
}

std::unique_ptr<RunLog> RunLog::CreateInFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const UtcTime now = Now();
  // Two runs in one millisecond: the later takes the next free name, still in order.
  for (long milliseconds = now.milliseconds; milliseconds < now.milliseconds + 1000; ++milliseconds) {
    const std::filesystem::path path = folder / LogName(now, milliseconds);
    if (std::filesystem::exists(path, error)) continue;
    std::unique_ptr<RunLog> log = Create(path);
    if (log) KeepNewestLogs(folder, path);
    return log;
  }
  return nullptr;
}

RunLog::~RunLog() {
  std::lock_guard lock(mutex_);
  WriteOut();
}

void RunLog::WriteOut() {
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  out_.flush();
  buffer_.clear();
}

void RunLog::Line(std::string_view kind, std::string_view text, bool flush) noexcept {
  try {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "+%.3f ", seconds);
    std::string line = stamp;
    line.append(kind);
    if (!text.empty()) line.append(" ").append(text);
    for (char& c : line) {
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    line.push_back('\n');
    std::lock_guard lock(mutex_);
    buffer_.append(line);
    if (flush || buffer_.size() >= kBufferBytes) WriteOut();
  } catch (...) {
    // A line lost is better than a run disturbed.
  }
}

void RunLog::Began(const RunSettings& settings, std::u16string_view install_directory) noexcept try {
  const UtcTime t = Now();
  char begun[64];
  std::snprintf(begun, sizeof begun, "%04d-%02u-%02u %02ld:%02ld:%02ld UTC", t.year, t.month, t.day, t.hours,
                t.minutes, t.seconds);
  Line("begun", begun);
  Line("install", platform::Utf16ToUtf8(install_directory));
  Line("hosts", "version=" + platform::UrlWithoutCredentials(settings.version_host) +
                    " repair=" + platform::UrlWithoutCredentials(settings.repair_host));
  Line("proxy", settings.proxy.empty() ? std::string("the system's settings")
                                       : platform::UrlWithoutCredentials(settings.proxy));
  Line("transport", "connections=" + std::to_string(settings.connections) +
                        (settings.fresh_connections ? " fresh-connections" : "") +
                        (settings.limit_rate > 0 ? " limit-rate=" + std::to_string(settings.limit_rate) + "B/s" : "") +
                        (settings.ca_file.empty() ? "" : " ca-file=" + settings.ca_file) +
                        " releases=" + (settings.publisher_key.empty() ? "unsigned" : "signed"));
} catch (...) {
  // As in Line.
}

void RunLog::Status(std::u16string_view text) noexcept {
  try {
    pending_status_.append(text);
    for (std::size_t end = pending_status_.find(u'\n'); end != std::u16string::npos;
         end = pending_status_.find(u'\n')) {
      Line("status", OneLine(std::u16string_view(pending_status_).substr(0, end + 1)));
      pending_status_.erase(0, end + 1);
    }
  } catch (...) {
    pending_status_.clear();
  }
}

void RunLog::Retry(int attempt, RetrySeverity severity, std::u16string_view failure_text) noexcept try {
  const char* question = severity == RetrySeverity::kUnstable ? "unstable-connection" : "network-failure";
  Line("retry", "attempt=" + std::to_string(attempt) + " dialog=" + question + " text=" + OneLine(failure_text),
       true);
} catch (...) {
  // As in Line.
}

void RunLog::Failover(std::string_view from_host, std::string_view to_host, std::string_view why) noexcept try {
  Line("failover", "from=" + HostOf(from_host) + " to=" + HostOf(to_host) + " why=" + std::string(why));
} catch (...) {
  // As in Line.
}

void RunLog::OnRequestEnded(const platform::HttpRequestReport& report) noexcept {
  bytes_downloaded_.fetch_add(report.bytes);
  try {
    std::string text = "GET " + platform::UrlWithoutCredentials(report.url) +
                       " status=" + std::to_string(report.status) + " bytes=" + std::to_string(report.bytes) +
                       " time=" + std::to_string(report.took.count()) + "ms host=" + HostOf(report.url) + " " +
                       std::string(OutcomeWord(report.outcome));
    if (report.redirects > 0) text += " redirects=" + std::to_string(report.redirects);
    if (!report.error.empty()) text += " error=" + report.error;
    Line("request", text);
  } catch (...) {
    // As in Line.
  }
}

void RunLog::Ended(std::string_view outcome, std::optional<std::u16string_view> final_text) noexcept try {
  if (ended_.exchange(true)) return;
  if (!pending_status_.empty()) Status(u"\n");  // a last line without its end
  std::string text(outcome);
  if (final_text && !final_text->empty()) text += " text=" + OneLine(*final_text);
  Line("end", text);
  // Reused: bytes taken from what the disk already held instead of the network; none yet.
  Line("bytes", "downloaded=" + std::to_string(bytes_downloaded()) + " reused=0", true);
} catch (...) {
  // As in Line.
}

std::filesystem::path DefaultRunLogFolder() {
  const std::u16string state = platform::UserStateFolder();
  if (state.empty()) return {};
  return platform::PathFromUtf16(state) / "krdn-repair" / "logs";
}

std::unique_ptr<RunLog> OpenRunLog(const std::filesystem::path& file) {
  std::unique_ptr<RunLog> log;
  std::filesystem::path tried = file;
  if (!file.empty()) {
    log = RunLog::Create(file);
  } else if (const std::filesystem::path folder = DefaultRunLogFolder(); !folder.empty()) {
    tried = folder;
    log = RunLog::CreateInFolder(folder);
  }
  if (!log) {
    platform::WriteDiagnosticLine("krdn-repair: no log of this run: cannot write in " +
                                  (tried.empty() ? std::string("a folder (the system names none)")
                                                 : platform::PathUtf8(tried)));
  }
  return log;
}

}  // namespace krdn
