#include "repair/client_version.h"

#include <array>

#include "platform/files.h"
#include "platform/http.h"
#include "platform/utf.h"
#include "repair/run.h"
#include "repair/status_texts.h"

namespace krdn {
namespace {

constexpr char16_t kVersionFileName[] = u"\\tern.sav";

// Streams the body into the version file. The running flag is not read here; a hold
// still waits, and an abandoned run cancels the transfer.
class VersionFileWriter final : public platform::HttpReceiver {
 public:
  VersionFileWriter(Run& run, std::optional<platform::File>& file) : run_(run), file_(file) {}

  bool OnBody(std::span<const std::uint8_t> block) override {
    if (file_ && !file_->Append(block)) file_.reset();  // whatever arrived stays; the read-back decides
    return run_.HoldWithinTransfer();
  }
  bool OnIdle() override { return run_.HoldWithinTransfer(); }

 private:
  Run& run_;
  std::optional<platform::File>& file_;
};

enum class Download { kReached, kFailed };

// One transfer of the version file into path. kFailed when no answer arrived or the
// server answered with an error status (an error page is never a version file).
Download DownloadVersionFile(Run& run) {
  std::optional<platform::File> file = run.root().OpenFile(kVersionFileName, platform::File::Mode::kCreate);
  VersionFileWriter writer(run, file);
  const platform::HttpRequest request{.url = run.settings().version_host + kVersionFilePath,
                                      .user_agent = "Version",
                                      .range = std::nullopt,
                                      .connect_timeout = run.settings().connect_timeout,
                                      .stall_timeout = run.settings().stall_timeout};
  const platform::HttpResult result = platform::HttpGet(request, writer, run.AbandonToken());
  run.ThrowIfAbandoned();
  if (result.status == 0) return Download::kFailed;
  if (result.status < 200 || result.status > 299) return Download::kFailed;
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
      run.SendText(kNotifyRunEnded, text::kVersionFileUnreadable);
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
