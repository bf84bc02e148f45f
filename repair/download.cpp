#include "repair/download.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/base/utf.h"
#include "repair/disk_space_check.h"
#include "repair/local_files.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "transfer/digest.h"

namespace krdn {
namespace {

// The pass's pieces, all items' in manifest order, and where it stands.
struct Pass {
  PiecePipeline& pipeline;
  std::size_t next = 0;             // index of the next piece in the pipeline
  std::uint64_t written = 0;        // pieces written
  std::uint64_t written_bytes = 0;  // their bytes
  std::uint64_t total_bytes = 0;    // of every piece to fetch
  std::uint64_t bytes_to_write = 0;  // what the files from the current one on still add on disk
};

void ReportBytes(Run& run, const Pass& pass) {
  run.DownloadBytes(pass.written_bytes + pass.pipeline.BytesAhead(), pass.total_bytes);
}

// Takes the next piece until a body of the right length is there. A failed transfer
// or a body of the wrong length is a failed attempt on the item's retry counter, and
// the piece is fetched again; a piece that was fetched ahead and failed is judged only
// now, at its turn. A failed transfer is tried again at once (the question paces it);
// after a body of the wrong length the worker waits 1 s and 2 s after the first two
// failures and 1 s after each later one.
FetchedPiece FetchPiece(Run& run, Pass& pass, const ManifestPiece& piece, int& retries) {
  const std::function<void()> on_wait = [&run, &pass] { ReportBytes(run, pass); };
  for (;;) {
    FetchedPiece fetched = run.TakePiece(pass.pipeline, pass.next, on_wait);
    if (fetched.result == -1) {
      run.FailedAttempt(retries, text::kOutcomeFailed);
      continue;
    }
    if (fetched.body.size() == piece.size()) return fetched;
    const RetrySeverity severity = run.FailedAttempt(retries, text::kDownloadFailed, text::kOutcomeFailed);
    run.Sleep(severity == RetrySeverity::kUnstable ? retries : 1);
  }
}

void RepairFile(Run& run, const RepairItem& item, Pass& pass) {
  run.Transient(text::kDownloadingFileTransient + item.path + u"\r\n");
  run.Append(text::kDownloadingFile + item.path + text::kLineOpen);
  PrepareFile(run, item, pass.bytes_to_write);
  pass.bytes_to_write -= BytesToWrite(std::span(&item, 1));  // its room is reserved now

  int retries = 0;
  for (const ManifestPiece& piece : item.pieces) {
    FetchedPiece fetched = FetchPiece(run, pass, piece, retries);
    if (!piece.digest.Matches(fetched.digest)) FailItem(run, text::kDownloadFailed);
    WritePiece(run, item.path, piece, fetched.body, pass.bytes_to_write);
    pass.pipeline.Recycle(std::move(fetched.body));
    ++pass.next;
    ++pass.written;
    pass.written_bytes += piece.size();
    run.Progress(PercentOf(pass.written, pass.pipeline.size()));
    ReportBytes(run, pass);
    run.StopPoint();
    retries = 0;
  }
  run.Append(text::kOutcomeSuccess);
}

// Every piece of every item, in manifest order, as the pipeline requests them.
std::vector<PieceRequest> PieceRequests(Run& run, const std::vector<RepairItem>& items,
                                        const std::u16string& version_text) {
  std::vector<PieceRequest> requests;
  const std::u16string host = platform::Utf8ToUtf16(run.settings().repair_host);
  for (const RepairItem& item : items) {
    const std::u16string url = host + PieceUrlPath(version_text, item.path);
    for (const ManifestPiece& piece : item.pieces) {
      requests.push_back(PieceRequest{.url = url,
                                      .file_size = item.expected_size,
                                      .range = ByteRange{piece.first_byte, piece.last_byte},
                                      .kind = item.kind});
    }
  }
  return requests;
}

}  // namespace

std::u16string PieceUrlPath(const std::u16string& version_text, const std::u16string& manifest_path) {
  std::u16string path = manifest_path;
  std::replace(path.begin(), path.end(), u'\\', u'/');
  return u"/krdn/repair/" + version_text + path;
}

void DownloadFiles(Run& run, const std::vector<RepairItem>& items, const std::u16string& version_text) {
  CheckDiskSpace(run, items);
  run.Progress(0);
  run.Append(text::kDownloadingFiles);
  std::vector<PieceRequest> requests = PieceRequests(run, items, version_text);
  std::uint64_t total_bytes = 0;
  for (const PieceRequest& request : requests) total_bytes += *request.range.last - request.range.first + 1;
  // Pieces are fetched ahead only once the pass has begun; what is still in flight when
  // the pass ends, by itself or not, is aborted with the pipeline.
  PiecePipeline pipeline(run.session(), std::move(requests),
                         static_cast<std::size_t>(std::max(1, run.settings().connections)), run.fetch_limits(),
                         run.settings().md5_kernel);
  Pass pass{.pipeline = pipeline, .total_bytes = total_bytes, .bytes_to_write = BytesToWrite(items)};
  if (total_bytes != 0) ReportBytes(run, pass);
  for (const RepairItem& item : items) RepairFile(run, item, pass);
}

}  // namespace krdn
