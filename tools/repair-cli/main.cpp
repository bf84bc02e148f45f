// krdn-repair-cli --dir DIR [--version-host URL] [--repair-host URL] [--give-up-after N]
//                 [--connections N] [--fresh-connections] [--ca-file FILE] [--publisher-key FILE]
//
// The repair engine in a terminal. Standard output carries exactly the status texts
// the window would append, in UTF-8, as they arrive. Standard error reports every
// retry dialog the window would raise, with its text and the attempt number; when it
// is a terminal it also shows one progress line (the file being verified, then the
// bytes received of the total, the rate and the time left). Dialogs are answered by
// retrying; after N network-failure dialogs in a row the run is given up.
//
// --connections N (1 to 16, default 4): piece requests in flight together with the piece
// being written, over as many connections per host, kept for the whole run.
// --fresh-connections: a new connection for every request, closed after it.
// "--connections 1 --fresh-connections" fetches one piece at a time, each on a new
// connection.
// Hosts are http:// or https:// URLs. An https host's certificate is checked against the
// system's CA store; --ca-file FILE trusts the certificate authorities of that PEM file
// instead (a private server with a CA of its own, and the tests).
// --publisher-key FILE (a PEM public key, as krdn-publish --make-key writes FILE.pub):
// the version file and the manifest are trusted only with their detached signatures by
// that key, fetched beside each ("tern.sav.sig", "<version>_download.txt.sig"); it
// replaces a key the build was configured with.
//
// Exit codes: 0 the run completed; 1 the run ended early (its final text on standard
// error); 2 usage error; 3 gave up after N network failures in a row.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/base/console.h"
#include "platform/io/files.h"
#include "platform/io/release_signature.h"
#include "platform/base/utf.h"
#include "repair/local_run_context.h"
#include "repair/repair_worker.h"
#include "tools/repair-cli/progress_line.h"
#include "transfer/digest.h"

namespace {

// What the window's two retry dialogs say.
constexpr char16_t kUnstableDialogText[] = u"与服务器连接不稳定，请点击“重试”从当前进度继续下载";
constexpr char16_t kNetworkFailedDialogText[] = u"网络不给力，建议检查网络，稍后再次尝试从当前进度下载";

int Usage(const std::string& problem) {
  std::cerr << "krdn-repair-cli: " << problem << "\n"
            << "usage: krdn-repair-cli --dir DIR [--version-host URL] [--repair-host URL] [--give-up-after N]\n"
            << "                       [--connections N] [--fresh-connections] [--ca-file FILE]\n"
            << "                       [--publisher-key FILE]\n";
  return 2;
}

// A whole number from 1 to max, or nothing.
std::optional<unsigned long> Count(const std::string& value, unsigned long max) {
  if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const unsigned long number = std::stoul(value);
  if (number == 0 || number > max) return std::nullopt;
  return number;
}

struct Options {
  std::string dir;
  krdn::RunSettings settings;
  std::optional<unsigned long> give_up_after;
};

// Scheme, host and optional port: "http://host[:port]" or "https://host[:port]", no path.
bool ValidHost(const std::string& url) {
  for (const std::string scheme : {"http://", "https://"}) {
    if (url.rfind(scheme, 0) == 0) return url.size() > scheme.size() && url.find('/', scheme.size()) == std::string::npos;
  }
  return false;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& argv, std::string& problem) {
  Options options;
  options.settings.trace = nullptr;  // standard output carries the status texts only
  const std::size_t argc = argv.size();
  for (std::size_t i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fresh-connections") {
      options.settings.fresh_connections = true;
      continue;
    }
    if (i + 1 >= argc) {
      problem = "missing value after " + arg;
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (arg == "--dir") {
      options.dir = value;
    } else if (arg == "--version-host" || arg == "--repair-host") {
      if (!ValidHost(value)) {
        problem = arg + " takes http:// or https://, a host and an optional port, e.g. http://127.0.0.1:18081";
        return std::nullopt;
      }
      (arg == "--version-host" ? options.settings.version_host : options.settings.repair_host) = value;
    } else if (arg == "--ca-file") {
      if (!std::filesystem::is_regular_file(value)) {
        problem = "--ca-file takes a PEM file of certificate authorities: no file at " + value;
        return std::nullopt;
      }
      options.settings.ca_file = value;
    } else if (arg == "--publisher-key") {
      std::ifstream in(value, std::ios::binary);
      std::ostringstream pem;
      pem << in.rdbuf();
      if (!in || !platform::ReadReleasePublicKey(pem.str())) {
        problem = "--publisher-key takes a PEM file of an Ed25519 public key (krdn-publish --make-key writes FILE.pub): " + value;
        return std::nullopt;
      }
      options.settings.publisher_key = pem.str();
    } else if (arg == "--give-up-after") {
      options.give_up_after = Count(value, 999999999);
      if (!options.give_up_after) {
        problem = "--give-up-after takes a number of 1 or more";
        return std::nullopt;
      }
    } else if (arg == "--connections") {
      const std::optional<unsigned long> connections = Count(value, 16);
      if (!connections) {
        problem = "--connections takes a number from 1 to 16";
        return std::nullopt;
      }
      options.settings.connections = static_cast<int>(*connections);
    } else {
      problem = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (options.dir.empty()) {
    problem = "--dir is required";
    return std::nullopt;
  }
  return options;
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

void Print(std::FILE* stream, const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

void Print(std::FILE* stream, const std::u16string& text) { Print(stream, platform::Utf16ToUtf8(text)); }

std::string WithoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// Standard error: the retry reports, and on a terminal the one progress line, which a
// report clears and the next update draws again.
class ErrorStream {
 public:
  explicit ErrorStream(bool terminal) : terminal_(terminal) {}

  void Report(const std::string& line) {
    if (terminal_ && line_shown_) Print(stderr, "\r\x1b[K");
    line_shown_ = false;
    Print(stderr, line + "\n");
  }

  void Show(const std::optional<std::string>& line) {
    if (!terminal_ || !line) return;
    Print(stderr, "\r" + *line + "\x1b[K");
    line_shown_ = true;
  }

  void ClearLine() {
    if (terminal_ && line_shown_) Print(stderr, "\r\x1b[K");
    line_shown_ = false;
  }

  krdn::cli::ProgressLine& progress() { return progress_; }
  bool terminal() const { return terminal_; }

 private:
  const bool terminal_;
  bool line_shown_ = false;
  krdn::cli::ProgressLine progress_;
};

}  // namespace

int main(int argc, char** argv) {
  platform::UseByteStandardStreams();
  std::string problem;
  const std::optional<Options> options = ParseOptions(platform::CommandLineUtf8(argc, argv), problem);
  if (!options) return Usage(problem);
  const std::optional<std::u16string> install = InstallDirectory(options->dir, problem);
  if (!install) return Usage(problem);
  if (krdn::BindMd5() != 0) {
    std::cerr << "krdn-repair-cli: MD5 is not available from the crypto library\n";
    return 1;
  }

  ErrorStream errors(platform::IsTerminal(stderr));
  bool succeeded = false;
  bool gave_up = false;
  std::u16string final_text;
  unsigned long failures_in_a_row = 0;  // network-failure dialogs with nothing written between
  unsigned long attempt = 0;            // failed attempts of the current step, as the retry counter counts them
  using Clock = krdn::cli::ProgressLine::Clock;

  auto report_dialog = [&](const char16_t* dialog, const std::u16string& failure) {
    errors.Report("krdn-repair-cli: attempt " + std::to_string(++attempt) + ": " + platform::Utf16ToUtf8(dialog) +
                  " (" + WithoutLineEnd(platform::Utf16ToUtf8(failure)) + ")");
  };

  krdn::LocalRunContext context(*install, [&](const krdn::Notice& notice) {
    using Kind = krdn::Notice::Kind;
    const std::u16string text = notice.Text();
    switch (notice.kind) {
      case Kind::kStatus:
        failures_in_a_row = 0;
        attempt = 0;
        Print(stdout, text);
        break;
      case Kind::kProgress:
        failures_in_a_row = 0;
        attempt = 0;
        break;
      case Kind::kTransient:
        // The byte line of the download pass says more than its per-piece texts.
        if (text.rfind(u"下载数据", 0) != 0) {
          errors.Show(errors.progress().Text(WithoutLineEnd(platform::Utf16ToUtf8(text)), Clock::now()));
        }
        break;
      case Kind::kEnded: final_text = text; break;
      case Kind::kQuestion:
        if (notice.severity == krdn::RetrySeverity::kUnstable) {
          report_dialog(kUnstableDialogText, text);
          break;
        }
        report_dialog(kNetworkFailedDialogText, text);
        if (options->give_up_after && ++failures_in_a_row >= *options->give_up_after) {
          gave_up = true;
          return krdn::RetryAnswer::kEndRun;
        }
        break;
      case Kind::kSucceeded: succeeded = true; break;
    }
    return krdn::RetryAnswer::kGoOn;
  });
  context.SetBytesHandler([&](std::uint64_t received, std::uint64_t total) {
    errors.Show(errors.progress().Bytes(received, total, Clock::now()));
  });
  context.Start();
  krdn::RepairWorker(context, options->settings);
  errors.ClearLine();

  if (succeeded) return 0;
  if (gave_up) {
    std::cerr << "krdn-repair-cli: gave up after " << *options->give_up_after << " network failures in a row\n";
    return 3;
  }
  if (!final_text.empty()) Print(stderr, final_text + (final_text.back() == u'\n' ? u"" : u"\n"));
  return 1;
}
