#include "repair/download.h"

#include <algorithm>
#include <optional>

#include "platform/utf.h"
#include "repair/local_files.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "transfer/digest.h"

namespace krdn {
namespace {

struct PassProgress {
  std::uint64_t total_pieces = 0;
  std::uint64_t written = 0;
};

// Fetches one piece until a body of the right length arrives. Network failures are
// retried by the retry protocol; the counter lives with the item.
// Returns the digest of the body, computed while it arrived.
platform::Md5Digest FetchPiece(Run& run, const std::u16string& url, const RepairItem& item, const ManifestPiece& piece,
                               std::vector<std::uint8_t>& body, int& retries) {
  for (;;) {
    body.clear();
    platform::Md5Digest digest{};
    const int result = run.FetchDigested(body, digest, url, static_cast<std::uint32_t>(item.expected_size),
                                         ByteRange{piece.first_byte, piece.last_byte}, item.kind);
    if (result == -1) {
      ++retries;
      run.SendText(retries < 3 ? kNotifyUnstable : kNotifyNetworkFailed, text::kOutcomeFailed);
      continue;
    }
    if (body.size() == piece.size()) return digest;
    ++retries;
    if (retries < 3) {
      run.SendText(kNotifyUnstable, text::kDownloadFailed);
      run.Sleep(retries);
    } else {
      run.SendText(kNotifyNetworkFailed, text::kOutcomeFailed);
      run.Sleep(1);
    }
  }
}

void RepairFile(Run& run, const RepairItem& item, const std::u16string& version_text, PassProgress& progress,
                std::vector<std::uint8_t>& body) {
  run.Transient(text::kDownloadingFileTransient + item.path + u"\r\n");
  run.Append(text::kDownloadingFile + item.path + text::kLineOpen);
  PrepareFile(run, item);

  const std::u16string url =
      platform::Utf8ToUtf16(run.settings().repair_host) + PieceUrlPath(version_text, item.path);
  int retries = 0;
  for (const ManifestPiece& piece : item.pieces) {
    const platform::Md5Digest digest = FetchPiece(run, url, item, piece, body, retries);
    if (DigestToWideHex(digest) != piece.digest) FailItem(run, text::kDownloadFailed);
    WritePiece(run, item.path, piece, body);
    ++progress.written;
    run.Progress(PercentOf(progress.written, progress.total_pieces));
    run.StopPoint();
    retries = 0;
  }
  run.Append(text::kOutcomeSuccess);
}

}  // namespace

std::u16string PieceUrlPath(const std::u16string& version_text, const std::u16string& manifest_path) {
  std::u16string path = manifest_path;
  std::replace(path.begin(), path.end(), u'\\', u'/');
  return u"/krdn/repair/" + version_text + path;
}

void DownloadFiles(Run& run, const std::vector<RepairItem>& items, const std::u16string& version_text) {
  run.Progress(0);
  run.Append(text::kDownloadingFiles);
  PassProgress progress;
  for (const RepairItem& item : items) progress.total_pieces += item.pieces.size();
  std::vector<std::uint8_t> body;
  for (const RepairItem& item : items) RepairFile(run, item, version_text, progress, body);
}

}  // namespace krdn
