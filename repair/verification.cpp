#include "repair/verification.h"

#include <future>
#include <optional>

#include "platform/files.h"
#include "platform/utf.h"
#include "repair/local_files.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "transfer/digest.h"

namespace krdn {
namespace {

// Mode words under which files of the wrong size are repaired rather than taken as a
// sign that the server's version is being replaced.
bool RepairsWrongSizes(std::uint16_t mode_word) { return mode_word == 0 || mode_word == 22; }

// Pieces at least this large are digested two at a time; for smaller ones a helper
// thread costs more than it saves.
constexpr std::uint32_t kParallelPieceSize = 256 * 1024;

bool PieceIntact(const platform::File& file, std::uint64_t local_size, const ManifestPiece& piece,
                 std::vector<std::uint8_t>& buffer) {
  // A piece that reaches past the end cannot be read in full; no buffer is needed to know it.
  if (std::uint64_t{piece.last_byte} >= local_size) return false;
  buffer.resize(piece.size());
  if (file.ReadAt(piece.first_byte, buffer) != buffer.size()) return false;
  return Md5WideHex(buffer) == piece.digest;
}

}  // namespace

int PercentOf(std::uint64_t done, std::uint64_t total) {
  const float ratio = static_cast<float>(done) / static_cast<float>(total);
  return static_cast<int>(ratio * 100.0f);
}

bool CheckFile(Run& run, const ManifestFile& file, RepairItem& item, PieceBuffer& buffer) {
  item.path = file.path;
  item.expected_size = file.total_size;
  item.local_size = 0;
  item.kind = FetchKind::kInvalid;
  const std::u16string full_path = run.install_directory() + file.path;
  if (!platform::GetFileAttributes(full_path)) {
    item.kind = FetchKind::kMissing;
    item.pieces = file.pieces;
    return true;
  }
  const std::optional<platform::File> local = OpenWithRetries(run, full_path, platform::File::Mode::kRead);
  if (!local) return false;
  item.local_size = local->Size().value_or(0);
  const std::vector<ManifestPiece>& pieces = file.pieces;
  for (std::size_t i = 0; i < pieces.size(); i += 2) {
    std::future<bool> second_intact;
    const bool pair = i + 1 < pieces.size() && pieces[i + 1].size() >= kParallelPieceSize;
    if (pair) {
      second_intact = std::async(std::launch::async, [&] {
        return PieceIntact(*local, item.local_size, pieces[i + 1], buffer.second);
      });
    }
    const bool first_intact = PieceIntact(*local, item.local_size, pieces[i], buffer.first);
    const bool second_ok = pair ? second_intact.get()
                          : i + 1 < pieces.size() ? PieceIntact(*local, item.local_size, pieces[i + 1], buffer.first)
                                                  : true;
    if (!first_intact) item.pieces.push_back(pieces[i]);
    if (!second_ok) item.pieces.push_back(pieces[i + 1]);
  }
  return true;
}

VerificationResult VerifyFiles(Run& run, const Manifest& manifest, std::uint16_t mode_word) {
  run.Progress(0);
  run.Append(text::kVerifyingFiles);
  VerificationResult result;
  PieceBuffer buffer;
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
    if (!CheckFile(run, file, item, buffer)) {
      result.all_verified = false;
      run.Append(text::kOutcomeUnverifiable);
    } else if (item.expected_size == item.local_size && item.pieces.empty()) {
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
