#include "repair/client_version.h"

#include <array>
#include <vector>

#include "platform/io/files.h"
#include "platform/http/http.h"
#include "platform/base/utf.h"
#include "repair/local_files.h"
#include "repair/release_order.h"
#include "repair/release_trust.h"
#include "repair/run.h"
#include "repair/status_texts.h"

namespace krdn {
namespace {

constexpr char16_t kVersionFileName[] = u"\\tern.sav";
constexpr char kVersionFileSignedName[] = "tern.sav";

// Streams the body into the version file, which is opened (and so emptied) only once a
// 2xx answer has begun: a failed connect or an error page leaves the old file as it
// was. A body longer than the cap is a failed download. For a signed release the body
// is held instead, and reaches the file only once its signature has been checked.
class VersionFileWriter final : public platform::HttpReceiver {
 public:
  VersionFileWriter(const platform::InstallRoot& root, bool hold_until_trusted)
      : root_(root), hold_until_trusted_(hold_until_trusted) {}

  bool OnResponse(long status) override {
    if (status < 200 || status > 299) return false;  // nothing of an error page is kept
    if (!hold_until_trusted_) file_ = root_.OpenFile(kVersionFileName, platform::File::Mode::kCreate);
    return true;
  }

  bool OnBody(std::span<const std::uint8_t> block) override {
    received_ += block.size();
    if (received_ > kVersionFileCap) {
      too_long_ = true;
      return false;
    }
    if (hold_until_trusted_) {
      held_.insert(held_.end(), block.begin(), block.end());
    } else if (file_ && !file_->Append(block)) {
      file_.reset();  // whatever arrived stays; the read-back decides
    }
    return true;
  }

  bool too_long() const { return too_long_; }
  const std::vector<std::uint8_t>& held() const { return held_; }

 private:
  const platform::InstallRoot& root_;
  const bool hold_until_trusted_;
  std::optional<platform::File> file_;
  std::vector<std::uint8_t> held_;
  std::size_t received_ = 0;
  bool too_long_ = false;
};

enum class Download { kReached, kFailed };

struct Downloaded {
  Download outcome = Download::kFailed;
  // A signed release's checked bytes, which are what the run reads its version from:
  // the file on disk is only a copy of them.
  std::optional<std::vector<std::uint8_t>> verified;
};

// Writes the checked bytes as the version file. A read-only file is made writable
// first and a file in use is waited for, as any client file is; false when the file
// still cannot be written, because a version file that is not this one must not be
// left to say otherwise.
bool StoreVerified(Run& run, std::span<const std::uint8_t> bytes) {
  if (const auto attributes = run.root().Attributes(kVersionFileName); attributes && attributes->read_only) {
    run.root().ClearReadOnly(kVersionFileName);
  }
  std::optional<platform::File> file = OpenWithRetries(run, kVersionFileName, platform::File::Mode::kCreate);
  return file && file->Append(bytes);
}

// Stores a signed release no older than the newest one this install directory has
// accepted from the version host (the same one again is a repair of it), and records a
// newer one's number once its version file is stored. An older release is what a man in
// the middle replays, and is never used; so is any release while the record cannot be
// read, or when a newer number cannot be recorded (it could be rolled back later).
bool StoreInOrder(Run& run, std::span<const std::uint8_t> checked) {
  const std::optional<std::uint64_t> accepted = AcceptedReleaseSequence(run.root(), run.settings().version_host);
  const std::uint64_t sequence = ReleaseSequenceOf(checked);
  if (!accepted || sequence < *accepted || !StoreVerified(run, checked)) return false;
  return sequence == *accepted || RecordAcceptedRelease(run.root(), run.settings().version_host, sequence);
}

// One transfer of the version file. kFailed when no answer arrived, the server
// answered with an error status (an error page is never a version file), or the body
// was longer than a version file can be, and for a signed release when its signature
// does not arrive or does not match or the release is older than one accepted before
// (the file on disk is then left as it was), or the checked bytes or the release's
// number cannot be stored. The running flag is not read here; a hold still
// waits, and an abandoned run cancels the transfer.
Downloaded DownloadVersionFile(Run& run) {
  const platform::HttpRequest request{.url = run.settings().version_host + kVersionFilePath,
                                      .user_agent = "Version",
                                      .range = std::nullopt,
                                      .limits = run.http_limits()};
  const bool signed_release = ReleasesSigned(run.settings());
  platform::HttpResult result;
  {
    VersionFileWriter writer(run.root(), signed_release);
    result = run.session().Get(request, writer, [&run] { return run.HoldWithinTransfer(); });
    run.ThrowIfAbandoned();
    if (result.status < 200 || result.status > 299 || writer.too_long()) return {};
    if (signed_release) {
      if (result.outcome != platform::HttpOutcome::kComplete ||
          !SignatureTrusts(run, request.url, request.user_agent, kVersionFileSignedName, writer.held()) ||
          !StoreInOrder(run, writer.held())) {
        return {};
      }
      return {.outcome = Download::kReached, .verified = writer.held()};
    }
  }  // the file is closed before it is read back
  return {.outcome = Download::kReached, .verified = std::nullopt};
}

}  // namespace

std::u16string ClientVersion::Text() const {
  return platform::Utf8ToUtf16(std::to_string(first) + "." + std::to_string(second) + "." + std::to_string(third));
}

std::optional<ClientVersion> ParseVersionFile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kVersionFileMinSize) return std::nullopt;
  ClientVersion version;
  version.first = bytes[kVersionOffset];
  version.second = bytes[kVersionOffset + 1];
  version.third = bytes[kVersionOffset + 2];
  version.mode_word = static_cast<std::uint16_t>(bytes[kModeWordOffset] | (bytes[kModeWordOffset + 1] << 8));
  return version;
}

ClientVersion ProbeClientVersion(Run& run) {
  int attempts = 0;
  for (;;) {
    run.OpenRootIfClosed();
    const Downloaded downloaded = DownloadVersionFile(run);
    if (downloaded.outcome == Download::kFailed) {
      run.FailedAttempt(attempts, text::kVersionDownloadFailed);
      continue;
    }
    if (downloaded.verified) {
      if (const std::optional<ClientVersion> version = ParseVersionFile(*downloaded.verified)) return *version;
      run.FailedAttempt(attempts, text::kVersionUnknown);
      continue;
    }
    const std::optional<platform::File> file = run.root().OpenFile(kVersionFileName, platform::File::Mode::kRead);
    if (!file) {
      run.Ended(text::kVersionFileUnreadable);
      run.FailedAttempt(attempts, text::kVersionUnknown);
      continue;
    }
    std::array<std::uint8_t, kVersionFileMinSize> head{};
    const std::size_t got = file->ReadAt(0, head);
    if (const std::optional<ClientVersion> version = ParseVersionFile(std::span(head).first(got))) return *version;
    run.FailedAttempt(attempts, text::kVersionUnknown);
  }
}

}  // namespace krdn
