#include "repair/verification.h"

#include <optional>

#include "platform/io/files.h"
#include "platform/base/utf.h"
#include "repair/local_files.h"
#include "repair/piece_checker.h"
#include "repair/run.h"
#include "repair/status_texts.h"

namespace krdn {
namespace {

// Mode words under which files of the wrong size are repaired rather than taken as a
// sign that the server's version is being replaced.
bool RepairsWrongSizes(std::uint16_t mode_word) { return mode_word == 0 || mode_word == 22; }

}  // namespace

int PercentOf(std::uint64_t done, std::uint64_t total) {
  const float ratio = static_cast<float>(done) / static_cast<float>(total);
  return static_cast<int>(ratio * 100.0f);
}

bool CheckFile(Run& run, PieceChecker& checker, std::size_t index, const ManifestFile& file, RepairItem& item) {
  item.path = file.path;
  item.expected_size = file.total_size;
  item.local_size = 0;
  item.kind = FetchKind::kInvalid;
  FileCheck check = checker.Take(index);
  if (check.state == FileCheck::State::kMissing) {
    item.kind = FetchKind::kMissing;
    item.pieces = file.pieces;
    return true;
  }
  if (check.state == FileCheck::State::kUnopened) {
    // The checker tried once; the pass tries as the user expects, a second apart.
    std::optional<platform::File> local = OpenWithRetries(run, file.path, platform::File::Mode::kRead);
    if (!local) return false;
    check = checker.Check(index, std::move(*local));
  }
  item.local_size = check.local_size;
  for (const std::size_t bad : check.bad_pieces) item.pieces.push_back(file.pieces[bad]);
  return true;
}

VerificationResult VerifyFiles(Run& run, const Manifest& manifest, std::uint16_t mode_word) {
  run.Progress(0);
  run.Append(text::kVerifyingFiles);
  VerificationResult result;
  PieceChecker checker(run, manifest);
  const std::size_t count = manifest.files.size();
  for (std::size_t i = 0; i < count; ++i) {
    const ManifestFile& file = manifest.files[i];
    run.Transient(text::kVerifyingFileTransient + file.path);
    run.Append(text::kVerifyingFile + file.path + text::kLineOpen);
    if (run.settings().trace) {
      run.settings().trace("[" + std::to_string(i + 1) + "/" + std::to_string(count) + "] process file <" +
                           platform::Utf16ToUtf8(file.path) + ">\n");
    }
    RepairItem item;
    if (!CheckFile(run, checker, i, file, item)) {
      result.all_verified = false;
      run.Append(text::kOutcomeUnverifiable);
    } else if (item.kind != FetchKind::kMissing && item.expected_size == item.local_size && item.pieces.empty()) {
      run.Append(text::kOutcomeSuccess);
    } else if (!RepairsWrongSizes(mode_word) && item.expected_size != item.local_size) {
      Run::End(std::u16string(text::kVerifyFailed));
    } else {
      result.download_list.push_back(std::move(item));
      run.Append(text::kOutcomeMissing);
    }
    run.Progress(PercentOf(i + 1, count));
    run.StopPoint();
  }
  return result;
}

}  // namespace krdn
