#include "repair/client_version.h"

#include <array>
#include <vector>

#include "platform/io/files.h"
#include "platform/http/http.h"
#include "platform/base/utf.h"
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

  // Writes the held body as the version file; a file that cannot be written is left to
  // the read-back, as in a streamed download.
  void StoreHeld() const {
    std::optional<platform::File> file = root_.OpenFile(kVersionFileName, platform::File::Mode::kCreate);
    if (file) (void)file->Append(held_);
  }

 private:
  const platform::InstallRoot& root_;
  const bool hold_until_trusted_;
  std::optional<platform::File> file_;
  std::vector<std::uint8_t> held_;
  std::size_t received_ = 0;
  bool too_long_ = false;
};

enum class Download { kReached, kFailed };

// One transfer of the version file. kFailed when no answer arrived, the server
// answered with an error status (an error page is never a version file), or the body
// was longer than a version file can be, and for a signed release when its signature
// does not arrive or does not match (the file on disk is then left as it was). The
// running flag is not read here; a hold still waits, and an abandoned run cancels the
// transfer.
Download DownloadVersionFile(Run& run) {
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
    if (result.status < 200 || result.status > 299 || writer.too_long()) return Download::kFailed;
    if (signed_release) {
      if (result.outcome != platform::HttpOutcome::kComplete ||
          !SignatureTrusts(run, request.url, request.user_agent, kVersionFileSignedName, writer.held())) {
        return Download::kFailed;
      }
      writer.StoreHeld();
    }
  }  // the file is closed before it is read back
  return Download::kReached;
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
    if (DownloadVersionFile(run) == Download::kFailed) {
      run.FailedAttempt(attempts, text::kVersionDownloadFailed);
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
