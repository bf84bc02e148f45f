// krdn-repair-cli --dir DIR [--version-host URL] [--repair-host URL] [--give-up-after N]
//                 [--connections N] [--fresh-connections] [--limit-rate RATE] [--ca-file FILE]
//                 [--publisher-key FILE]
//                 [--proxy URL] [--log FILE] [--quiet | --json]
// krdn-repair-cli --help | --version
//
// The repair engine in a terminal. By default standard output carries exactly the
// status texts the window would append, in UTF-8, in blocks written at least four times
// a second and before anything on standard error (block_writer.h). Standard error
// reports every retry dialog the window would raise, with its text and the attempt
// number; when it is a terminal it also shows one progress line (the file being
// verified, then the bytes received of the total, the rate and the time left).
// --quiet keeps only the errors; --json writes everything as JSON lines on standard
// output (console_output.h). Dialogs are answered by retrying; after N
// network-failure dialogs in a row the run is given up.
//
// --connections N (1 to 16, default 4): piece requests in flight together with the piece
// being written, over as many connections per host, kept for the whole run.
// --fresh-connections: a new connection for every request, closed after it.
// "--connections 1 --fresh-connections" fetches one piece at a time, each on a new
// connection.
// --limit-rate RATE: all transfers of the run together receive at most RATE bytes a
// second (curl's spelling: K, M or G for 1024, 1024² or 1024³; at least 1K).
// Hosts are http:// or https:// URLs. An https host's certificate is checked against the
// system's CA store; --ca-file FILE trusts the certificate authorities of that PEM file
// instead (a private server with a CA of its own, and the tests).
// --publisher-key FILE (a PEM public key, as krdn-publish --make-key writes FILE.pub):
// the version file and the manifest are trusted only with their detached signatures by
// that key, fetched beside each ("tern.sav.sig", "<version>_download.txt.sig"); it
// replaces a key the build was configured with.
// --proxy URL: every request through that proxy; without it the usual variables count
// (http_proxy, https_proxy, all_proxy, no_proxy; on Windows the system's settings).
// --log FILE: the run's log goes there; by default each run writes a new log in the
// user's state folder (repair/run_log.h). A run that does not complete says on standard
// error where its log is.
//
// Exit codes: 0 the run completed; 1 the run ended early (its final text on standard
// error); 2 usage error; 3 gave up after N network failures in a row.
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/console.h"
#include "platform/base/utf.h"
#include "platform/io/files.h"
#include "repair/local_run_context.h"
#include "repair/repair_worker.h"
#include "repair/run_log.h"
#include "tools/repair-cli/console_output.h"
#include "tools/repair-cli/options.h"
#include "transfer/digest.h"

namespace {

// What the window's two retry dialogs say.
constexpr char16_t kUnstableDialogText[] = u"与服务器连接不稳定，请点击“重试”从当前进度继续下载";
constexpr char16_t kNetworkFailedDialogText[] = u"网络不给力，建议检查网络，稍后再次尝试从当前进度下载";

int Usage(const std::string& problem) {
  std::cerr << "krdn-repair-cli: " << problem << "\n" << krdn::cli::UsageText();
  return 2;
}

// The install directory as the window keeps it: absolute, without a trailing separator,
// created (one level) when missing. Windows takes drive and UNC paths, and under wine
// also the Unix paths wine maps to a drive.
std::optional<std::u16string> InstallDirectory(const std::string& dir, std::string& problem) {
  const std::u16string path = platform::AbsolutePath(platform::Utf8ToUtf16(dir));
  if (path.empty()) {
    problem = "the directory " + dir + " has no absolute form";
    return std::nullopt;
  }
  if (!platform::CreateDirectory(path)) {
    problem = "cannot create the directory " + platform::Utf16ToUtf8(path);
    return std::nullopt;
  }
  return path;
}

// Follows one run's notices and tells the output what it should show.
class RunFollower {
 public:
  RunFollower(krdn::cli::ConsoleOutput& output, std::optional<unsigned long> give_up_after)
      : output_(output), give_up_after_(give_up_after) {}

  krdn::RetryAnswer Take(const krdn::Notice& notice) {
    using Kind = krdn::Notice::Kind;
    const std::string text = platform::Utf16ToUtf8(notice.Text());
    switch (notice.kind) {
      case Kind::kStatus:
        NewStep();
        output_.Status(text);
        break;
      case Kind::kProgress: NewStep(); break;
      case Kind::kTransient:
        // The byte line of the download pass says more than its per-piece texts.
        if (text.rfind("下载数据", 0) != 0) output_.Transient(text, Clock::now());
        break;
      case Kind::kEnded: final_text_ = text; break;
      case Kind::kQuestion: return Question(notice.severity, text);
      case Kind::kSucceeded: succeeded_ = true; break;
    }
    return krdn::RetryAnswer::kGoOn;
  }

  void Bytes(std::uint64_t received, std::uint64_t total) { output_.Bytes(received, total, Clock::now()); }

  // The exit code, with the end told to the output: where the log is when the run did not complete.
  int End(const krdn::RunLog* log) {
    int code = 1;
    std::string error = final_text_;
    if (succeeded_) {
      code = 0;
      error.clear();
    } else if (gave_up_) {
      code = 3;
      error = "krdn-repair-cli: gave up after " + std::to_string(*give_up_after_) + " network failures in a row";
    }
    output_.End(code, error, code != 0 && log != nullptr ? platform::PathUtf8(log->path()) : std::string());
    return code;
  }

 private:
  using Clock = krdn::cli::ConsoleOutput::Clock;

  void NewStep() {
    failures_in_a_row_ = 0;
    attempt_ = 0;
  }

  krdn::RetryAnswer Question(krdn::RetrySeverity severity, const std::string& failure) {
    const bool unstable = severity == krdn::RetrySeverity::kUnstable;
    output_.Dialog(platform::Utf16ToUtf8(unstable ? kUnstableDialogText : kNetworkFailedDialogText), ++attempt_,
                   failure);
    if (!unstable && give_up_after_ && ++failures_in_a_row_ >= *give_up_after_) {
      gave_up_ = true;
      return krdn::RetryAnswer::kEndRun;
    }
    return krdn::RetryAnswer::kGoOn;
  }

  krdn::cli::ConsoleOutput& output_;
  const std::optional<unsigned long> give_up_after_;
  bool succeeded_ = false;
  bool gave_up_ = false;
  std::string final_text_;
  unsigned long failures_in_a_row_ = 0;  // network-failure dialogs with nothing written between
  unsigned long attempt_ = 0;            // failed attempts of the current step, as the retry counter counts them
};

}  // namespace

int main(int argc, char** argv) {
  platform::UseByteStandardStreams();
  krdn::cli::Command command = krdn::cli::ParseCommand(platform::CommandLineUtf8(argc, argv));
  switch (command.kind) {
    case krdn::cli::Command::Kind::kHelp: std::cout << krdn::cli::UsageText(); return 0;
    case krdn::cli::Command::Kind::kVersion: std::cout << "krdn-repair-cli " KRDN_PROJECT_VERSION "\n"; return 0;
    case krdn::cli::Command::Kind::kUsageError: return Usage(command.problem);
    case krdn::cli::Command::Kind::kRun: break;
  }
  krdn::cli::Options& options = command.options;
  std::string problem;
  const std::optional<std::u16string> install = InstallDirectory(options.dir, problem);
  if (!install) return Usage(problem);
  if (krdn::BindMd5() != 0) {
    std::cerr << "krdn-repair-cli: MD5 is not available from the crypto library\n";
    return 1;
  }

  const std::unique_ptr<krdn::RunLog> log = krdn::OpenRunLog(options.log_file);
  options.settings.log = log.get();
  const std::unique_ptr<krdn::cli::ConsoleOutput> output = krdn::cli::MakeConsoleOutput(options.output);
  RunFollower follower(*output, options.give_up_after);
  krdn::LocalRunContext context(*install, [&](const krdn::Notice& notice) { return follower.Take(notice); });
  context.SetBytesHandler([&](std::uint64_t received, std::uint64_t total) { follower.Bytes(received, total); });
  context.Start();
  krdn::RepairWorker(context, options.settings);
  return follower.End(log.get());
}
