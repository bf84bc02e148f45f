#include "tools/repair-cli/options.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/base/utf.h"
#include "platform/io/release_signature.h"
#include "repair/limit_rate.h"

namespace krdn::cli {
namespace {

// A whole number from 1 to max, or nothing.
std::optional<unsigned long> Count(const std::string& value, unsigned long max) {
  if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const unsigned long number = std::stoul(value);
  if (number == 0 || number > max) return std::nullopt;
  return number;
}

// Scheme, host and optional port: "http://host[:port]" or "https://host[:port]", no path.
bool ValidHost(const std::string& url) {
  for (const std::string scheme : {"http://", "https://"}) {
    if (url.rfind(scheme, 0) == 0) return url.size() > scheme.size() && url.find('/', scheme.size()) == std::string::npos;
  }
  return false;
}

// "scheme://[user:password@]host[:port]" with a scheme of the proxies the transport knows.
bool ValidProxy(const std::string& url) {
  for (const std::string scheme : {"http://", "https://", "socks4://", "socks4a://", "socks5://", "socks5h://"}) {
    if (url.rfind(scheme, 0) != 0) continue;
    const std::string authority = url.substr(scheme.size(), url.find_first_of("/?#", scheme.size()) - scheme.size());
    const std::size_t at = authority.rfind('@');
    return authority.size() > (at == std::string::npos ? 0 : at + 1);
  }
  return false;
}

bool TakesValue(const std::string& option) {
  for (const char* known : {"--dir", "--version-host", "--repair-host", "--ca-file", "--publisher-key",
                            "--give-up-after", "--connections", "--proxy", "--log", "--limit-rate"}) {
    if (option == known) return true;
  }
  return false;
}

Command UsageError(std::string problem) {
  return Command{.kind = Command::Kind::kUsageError, .problem = std::move(problem)};
}

// One of the options that take a value (TakesValue), with its value; the problem when the value will not do, else empty.
std::string TakeValue(Options& options, const std::string& option, const std::string& value) {
  if (option == "--dir") {
    options.dir = value;
  } else if (option == "--version-host" || option == "--repair-host") {
    if (!ValidHost(value)) {
      return option + " takes http:// or https://, a host and an optional port, e.g. http://127.0.0.1:18081";
    }
    (option == "--version-host" ? options.settings.version_host : options.settings.repair_host) = value;
  } else if (option == "--ca-file") {
    if (!std::filesystem::is_regular_file(platform::PathFromUtf8(value))) {
      return "--ca-file takes a PEM file of certificate authorities: no file at " + value;
    }
    options.settings.ca_file = value;
  } else if (option == "--publisher-key") {
    std::ifstream in(platform::PathFromUtf8(value), std::ios::binary);
    std::ostringstream pem;
    pem << in.rdbuf();
    if (!in || !platform::ReadReleasePublicKey(pem.str())) {
      return "--publisher-key takes a PEM file of an Ed25519 public key (krdn-publish --make-key writes FILE.pub): " +
             value;
    }
    options.settings.publisher_key = pem.str();
  } else if (option == "--proxy") {
    if (!ValidProxy(value)) {
      return "--proxy takes http://, https://, socks4://, socks4a://, socks5:// or socks5h://, an optional "
             "user:password@, a host and an optional port, e.g. http://127.0.0.1:3128";
    }
    options.settings.proxy = value;
  } else if (option == "--log") {
    if (value.empty()) return "--log takes a file name";
    options.log_file = platform::PathFromUtf8(value);
  } else if (option == "--give-up-after") {
    options.give_up_after = Count(value, 999999999);
    if (!options.give_up_after) return "--give-up-after takes a number of 1 or more";
  } else if (option == "--limit-rate") {
    const std::optional<std::uint64_t> rate = ParseLimitRate(value);
    if (!rate) return "--limit-rate takes " + std::string(kLimitRateSpelling) + ": " + value;
    options.settings.limit_rate = *rate;
  } else if (option == "--connections") {
    const std::optional<unsigned long> connections = Count(value, 16);
    if (!connections) return "--connections takes a number from 1 to 16";
    options.settings.connections = static_cast<int>(*connections);
  }
  return {};
}

// An option without a value: true when it is one.
bool TakeFlag(Options& options, const std::string& option, bool& output_chosen) {
  if (option == "--fresh-connections") {
    options.settings.fresh_connections = true;
    return true;
  }
  if (option == "--quiet" || option == "--json") {
    output_chosen = true;
    options.output = option == "--quiet" ? OutputMode::kQuiet : OutputMode::kJson;
    return true;
  }
  return false;
}

}  // namespace

Command ParseCommand(const std::vector<std::string>& argv) {
  Command command;
  Options& options = command.options;
  options.settings.trace = nullptr;  // standard output carries what the output mode writes, nothing else
  bool output_chosen = false;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (arg == "--help" || arg == "-h") return Command{.kind = Command::Kind::kHelp};
    if (arg == "--version") return Command{.kind = Command::Kind::kVersion};
    const OutputMode before = options.output;
    const bool had_output = output_chosen;
    if (TakeFlag(options, arg, output_chosen)) {
      if (had_output && options.output != before) return UsageError("--quiet and --json cannot be used together");
      continue;
    }
    if (!TakesValue(arg)) return UsageError("unknown option " + arg);
    if (i + 1 >= argv.size()) return UsageError("missing value after " + arg);
    std::string problem = TakeValue(options, arg, argv[++i]);
    if (!problem.empty()) return UsageError(std::move(problem));
  }
  if (options.dir.empty()) return UsageError("--dir is required");
  return command;
}

std::string UsageText() {
  return "usage: krdn-repair-cli --dir DIR [options]\n"
         "       krdn-repair-cli --help | --version\n"
         "Installs or repairs the client in DIR.\n"
         "  --dir DIR              the install directory (created when missing)\n"
         "  --version-host URL     http:// or https://, a host and an optional port\n"
         "  --repair-host URL      the same, for the manifest and the files\n"
         "  --give-up-after N      end the run after N network-failure dialogs in a row\n"
         "  --connections N        piece requests in flight and connections per host, 1 to 16 (default 4)\n"
         "  --fresh-connections    a new connection for every request\n"
         "  --limit-rate RATE      receive at most RATE bytes a second over all connections together;\n"
         "                         K, M or G for 1024, 1024^2 or 1024^3 (e.g. 500K, 2M), at least 1K\n"
         "  --ca-file FILE         trust the certificate authorities of this PEM file for https hosts\n"
         "  --publisher-key FILE   trust only releases signed with this Ed25519 public key (PEM)\n"
         "  --proxy URL            send every request through this proxy (http://host:port, socks5://...);\n"
         "                         without it the usual variables count (http_proxy, https_proxy,\n"
         "                         all_proxy, no_proxy)\n"
         "  --log FILE             write the run's log to FILE (default: a new file in krdn-repair/logs\n"
         "                         of the user's state folder, the newest 10 kept)\n"
         "  --quiet                print only errors: the retry dialogs and the final error\n"
         "  --json                 one JSON object a line on standard output (status, transient,\n"
         "                         progress, dialog, end)\n"
         "  --help                 print this text\n"
         "  --version              print the program's version\n"
         "Exit codes: 0 the run completed; 1 the run ended early; 2 usage error;\n"
         "3 gave up after N network failures in a row.\n";
}

}  // namespace krdn::cli
