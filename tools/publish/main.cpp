// krdn-publish --client DIR --out ROOT --version X.Y.Z [--mode N] [--piece-size BYTES] [--sign-key FILE
//              [--sequence N]] [--no-chunks]
// krdn-publish --make-key FILE
// krdn-publish --help
//
// Writes what the version host and the repair host serve, under ROOT, with the chunk
// index beside the manifest unless --no-chunks; with --sign-key also the detached
// signatures of the version file, the manifest and the index, and the signed
// version file carries the release's sequence number: N, or the one after the release
// already under ROOT (signed clients refuse an older release). --make-key writes
// a new key pair: FILE (private, for --sign-key) and FILE.pub (public, for a build's
// KRDN_PUBLISHER_KEY or the console front-end's --publisher-key). Exit codes:
// 0 published, 1 a read or write failed, 2 usage error or a client the manifest
// cannot carry or that would leak (a name with a comma or a line break or not in
// UTF-8, a name with a C1 control or a bidirectional override, two names that Windows
// takes for one file, a symbolic link, a junction or a hard-linked file, pieces above
// 64 MiB). Files of 4 GiB and more are published as any other; a client that keeps
// sizes and offsets in 32 bits cannot install such a release.
#include <cstdint>
#include <iostream>
#include <string>

#include "repair/manifest.h"
#include "tools/publish/publish.h"

namespace {

constexpr char kUsageText[] =
    "usage: krdn-publish --client DIR --out ROOT --version X.Y.Z [--mode N] [--piece-size BYTES]"
    " [--sign-key FILE [--sequence N]] [--no-chunks]\n"
    "       krdn-publish --make-key FILE\n"
    "       krdn-publish --help\n"
    "Writes what the version host and the repair host serve for the client in DIR, under ROOT.\n"
    "  --client DIR        the client folder to publish\n"
    "  --out ROOT          the servers' root folder\n"
    "  --version X.Y.Z     the release's version\n"
    "  --mode N            the version file's mode word, 0 to 65535 (default 0)\n"
    "  --piece-size BYTES  bytes a piece of the manifest, 1 to 67108864 (default 4194304)\n"
    "  --sign-key FILE     sign the version file, the manifest and the index with this key\n"
    "  --sequence N        the signed release's number (default: the one after the release under ROOT)\n"
    "  --no-chunks         write no chunk index (VERSION_chunks) beside the manifest\n"
    "  --make-key FILE     write a new key pair: FILE (private) and FILE.pub (public)\n"
    "  --help              print this text\n"
    "Exit codes: 0 published; 1 a read or write failed; 2 usage error or a client that cannot be published.\n";

int Usage(const std::string& problem) {
  std::cerr << "krdn-publish: " << problem << "\n" << kUsageText;
  return 2;
}

// --help anywhere asks for the usage alone, as with the other programs; an option's
// value is never taken for it ("--client --help" names a folder).
bool AsksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") return true;
    if (arg == "--no-chunks") continue;
    ++i;  // every other option takes a value: skip it
  }
  return false;
}

bool ParseNumber(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19) return false;
  value = std::stoull(text);
  return value <= limit;
}

}  // namespace

int MakeKey(const std::string& path) {
  const krdn::publish::Outcome outcome = krdn::publish::MakeKey(path);
  if (outcome.code != krdn::publish::Outcome::kPublished) {
    std::cerr << "krdn-publish: " << outcome.message << "\n";
    return outcome.code;
  }
  std::cout << "made " << outcome.message << "\n";
  return 0;
}

int main(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    std::cout << kUsageText;
    return 0;
  }
  if (argc >= 2 && std::string(argv[1]) == "--make-key") {
    if (argc != 3) return Usage("--make-key takes one FILE and nothing else");
    return MakeKey(argv[2]);
  }
  krdn::publish::Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-chunks") {
      options.chunk_index = false;
      continue;
    }
    if (i + 1 >= argc) return Usage("missing value after " + arg);
    const std::string value = argv[++i];
    std::uint64_t number = 0;
    if (arg == "--client") {
      options.client = value;
    } else if (arg == "--out") {
      options.out = value;
    } else if (arg == "--version") {
      options.version = value;
    } else if (arg == "--sign-key") {
      options.sign_key = value;
    } else if (arg == "--sequence") {
      if (!ParseNumber(value, UINT64_MAX, number) || number == 0) {
        return Usage("--sequence takes a release number of 1 or more");
      }
      options.sequence = number;
    } else if (arg == "--mode") {
      if (!ParseNumber(value, 65535, number)) return Usage("--mode takes a number from 0 to 65535");
      options.mode_word = static_cast<std::uint16_t>(number);
    } else if (arg == "--piece-size") {
      if (!ParseNumber(value, krdn::kLargestPiece, number) || number == 0) {
        return Usage("--piece-size takes a number of bytes from 1 to 67108864 (64 MiB)");
      }
      options.piece_size = number;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (options.client.empty() || options.out.empty() || options.version.empty()) {
    return Usage("--client, --out and --version are required");
  }
  const krdn::publish::Outcome outcome = krdn::publish::Publish(options);
  if (outcome.code != krdn::publish::Outcome::kPublished) {
    std::cerr << "krdn-publish: " << outcome.message << "\n";
    return outcome.code;
  }
  std::cout << "published " << outcome.files << " files (" << outcome.bytes << " bytes) as version "
            << options.version << " under " << options.out.string();
  if (outcome.sequence != 0) std::cout << ", signed as release " << outcome.sequence;
  std::cout << "\n";
  return 0;
}
