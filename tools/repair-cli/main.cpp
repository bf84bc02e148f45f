// krdn-repair-cli --dir DIR [--version-host URL] [--repair-host URL] [--give-up-after N]
//
// The repair engine in a terminal. Standard output carries exactly the status texts
// the window would append, in UTF-8, as they arrive; transient texts go to standard
// error when it is a terminal. Dialogs are answered by retrying; after N network-failure
// dialogs in a row the run is given up.
//
// Exit codes: 0 the run completed; 1 the run ended early (its final text on standard
// error); 2 usage error; 3 gave up after N network failures in a row.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/utf.h"
#include "repair/local_run_context.h"
#include "repair/notifications.h"
#include "repair/repair_worker.h"
#include "transfer/digest.h"

namespace {

constexpr LRESULT kRetry = 4;  // the dialogs' retry button

int Usage(const std::string& problem) {
  std::cerr << "krdn-repair-cli: " << problem << "\n"
            << "usage: krdn-repair-cli --dir DIR [--version-host URL] [--repair-host URL] [--give-up-after N]\n";
  return 2;
}

struct Options {
  std::string dir;
  krdn::RunSettings settings;
  std::optional<unsigned long> give_up_after;
};

// Scheme, host and optional port: "http://host[:port]" with no path.
bool ValidHost(const std::string& url) {
  const std::size_t scheme = url.find("://");
  return scheme != std::string::npos && scheme > 0 && url.size() > scheme + 3 &&
         url.find('/', scheme + 3) == std::string::npos;
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& problem) {
  Options options;
  options.settings.trace = nullptr;  // standard output carries the status texts only
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      problem = "missing value after " + arg;
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (arg == "--dir") {
      options.dir = value;
    } else if (arg == "--version-host" || arg == "--repair-host") {
      if (!ValidHost(value)) {
        problem = arg + " takes scheme, host and optional port, e.g. http://127.0.0.1:18081";
        return std::nullopt;
      }
      (arg == "--version-host" ? options.settings.version_host : options.settings.repair_host) = value;
    } else if (arg == "--give-up-after") {
      if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos ||
          std::stoul(value) == 0) {
        problem = "--give-up-after takes a number of 1 or more";
        return std::nullopt;
      }
      options.give_up_after = std::stoul(value);
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
// created (one level) when missing.
std::optional<std::u16string> InstallDirectory(const std::string& dir, std::string& problem) {
  std::error_code error;
  std::string absolute = std::filesystem::absolute(dir, error).lexically_normal().string();
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  const std::u16string path = platform::Utf8ToUtf16(absolute);
  if (!platform::CreateDirectory(path)) {
    problem = "cannot create the directory " + absolute;
    return std::nullopt;
  }
  return path;
}

void Print(std::FILE* stream, const std::u16string& text) {
  const std::string utf8 = platform::Utf16ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
  std::string problem;
  const std::optional<Options> options = ParseOptions(argc, argv, problem);
  if (!options) return Usage(problem);
  const std::optional<std::u16string> install = InstallDirectory(options->dir, problem);
  if (!install) return Usage(problem);
  if (krdn::BindMd5() != 0) {
    std::cerr << "krdn-repair-cli: MD5 is not available from the crypto library\n";
    return 1;
  }

  const bool transient_to_terminal = ::isatty(STDERR_FILENO) == 1;
  bool succeeded = false;
  bool gave_up = false;
  std::u16string final_text;
  unsigned long failures_in_a_row = 0;
  krdn::LocalRunContext* context_ptr = nullptr;

  krdn::LocalRunContext context(*install, [&](UINT message, WPARAM wparam) -> LRESULT {
    const std::u16string text = message == krdn::kNotifyProgress ? u"" : krdn::NotificationText(wparam);
    switch (message) {
      case krdn::kNotifyAppend:
        failures_in_a_row = 0;
        Print(stdout, text);
        return 0;
      case krdn::kNotifyProgress:
        failures_in_a_row = 0;
        return 0;
      case krdn::kNotifyTransient:
        if (transient_to_terminal) Print(stderr, u"\r" + text.substr(0, text.find_last_not_of(u"\r\n") + 1) + u"\x1b[K");
        return 0;
      case krdn::kNotifyRunEnded:
        final_text = text;
        return 0;
      case krdn::kNotifyUnstable:
        return kRetry;
      case krdn::kNotifyNetworkFailed:
        if (options->give_up_after && ++failures_in_a_row >= *options->give_up_after) {
          gave_up = true;
          context_ptr->Control().Abandon();
          return krdn::kDialogEndRun;
        }
        return kRetry;
      case krdn::kNotifySucceeded:
        succeeded = true;
        return 0;
      default:
        return 0;
    }
  });
  context_ptr = &context;
  context.Start();
  krdn::RepairWorker(context, options->settings);
  if (transient_to_terminal) Print(stderr, u"\r\x1b[K");

  if (succeeded) return 0;
  if (gave_up) {
    std::cerr << "krdn-repair-cli: gave up after " << *options->give_up_after << " network failures in a row\n";
    return 3;
  }
  if (!final_text.empty()) Print(stderr, final_text + (final_text.back() == u'\n' ? u"" : u"\n"));
  return 1;
}
