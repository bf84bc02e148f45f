#include "repair/local_files.h"

#include "repair/disk_space_check.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "repair/verification.h"

namespace krdn {
namespace {

std::u16string ParentDirectory(const std::u16string& path) {
  const std::size_t last = path.find_last_of(u"\\/");
  return last == std::u16string::npos ? std::u16string() : path.substr(0, last);
}

// Cuts the file to its manifest size or extends it with zero bytes; a missing file is
// created whatever its size.
void ResizeToManifest(Run& run, const RepairItem& item, std::uint64_t bytes_to_write) {
  if (item.expected_size < item.local_size) {
    std::optional<platform::File> file = run.root().OpenFile(item.path, platform::File::Mode::kTruncate);
    if (!file || !file->Resize(item.expected_size)) FailItem(run, text::kDownloadFailedLine);
  } else if (item.expected_size > item.local_size || item.kind == FetchKind::kMissing) {
    std::optional<platform::File> file = OpenWithRetries(run, item.path, platform::File::Mode::kAppend);
    if (!file) FailItem(run, text::kCannotOpenLine);
    if (file->ExtendWithZeros(item.expected_size)) return;
    if (file->failed_for_space()) FailForSpace(run, bytes_to_write);
    FailItem(run, text::kCannotOpen);
  }
}

}  // namespace

std::optional<platform::File> OpenWithRetries(Run& run, const std::u16string& path, platform::File::Mode mode) {
  for (int attempt = 1; attempt <= kOpenTries; ++attempt) {
    if (std::optional<platform::File> file = run.root().OpenFile(path, mode)) return file;
    run.Sleep(1);
  }
  return std::nullopt;
}

void PrepareFile(Run& run, const RepairItem& item, std::uint64_t bytes_to_write) {
  run.root().CreateDirectories(ParentDirectory(item.path));  // a failure shows when the file is opened
  if (const auto attributes = run.root().Attributes(item.path); attributes && attributes->read_only) {
    run.root().ClearReadOnly(item.path);
  }
  ResizeToManifest(run, item, bytes_to_write);
}

void WritePiece(Run& run, const std::u16string& path, const ManifestPiece& piece, std::span<const std::uint8_t> body,
                std::uint64_t bytes_to_write) {
  std::optional<platform::File> file = OpenWithRetries(run, path, platform::File::Mode::kUpdate);
  if (!file) FailItem(run, text::kCannotOpen);
  if (file->WriteAt(piece.first_byte, body)) return;
  if (file->failed_for_space()) FailForSpace(run, bytes_to_write + body.size());
  FailItem(run, text::kDownloadFailed);
}

void FailItem(Run& run, std::u16string_view final_text) {
  run.Append(text::kOutcomeFailed);
  Run::End(std::u16string(final_text));
}

}  // namespace krdn
