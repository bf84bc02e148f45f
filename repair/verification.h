// The local verification pass: digests every piece of every listed file and lists
// the files, and their pieces, that need repair.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "repair/manifest.h"
#include "transfer/fetch_url.h"

namespace krdn {

class PieceChecker;
class Run;

struct RepairItem {
  std::uint64_t expected_size = 0;  // the manifest's total size
  std::uint64_t local_size = 0;     // 0 when the file is missing
  std::u16string path;              // the manifest path
  std::vector<ManifestPiece> pieces;
  FetchKind kind = FetchKind::kInvalid;  // kMissing or kInvalid
};

struct VerificationResult {
  std::vector<RepairItem> download_list;
  bool all_verified = true;  // false once a listed file could not be opened for reading
};

// Examines file `index` of the manifest, whose pieces the checker digests: true when it
// was examined (missing or read), false when it exists but cannot be opened for reading
// (three tries, a second apart).
bool CheckFile(Run& run, PieceChecker& checker, std::size_t index, const ManifestFile& file, RepairItem& item);

// The pass. Ends the run itself on the mode-word rule or a stop.
VerificationResult VerifyFiles(Run& run, const Manifest& manifest, std::uint16_t mode_word);

// Percent done after `done` of `total`, computed in single precision and truncated.
int PercentOf(std::uint64_t done, std::uint64_t total);

}  // namespace krdn
