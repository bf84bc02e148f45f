// The download pass: checks that the disk has room for it (disk_space_check.h), gives
// every listed file its manifest size, then fetches each listed piece with a Range
// request, checks its length and digest, and writes it in place.
#pragma once

#include <string>
#include <vector>

#include "repair/verification.h"

namespace krdn {

class Run;

// "/krdn/repair/<version><path with "/" for "\">"
std::u16string PieceUrlPath(const std::u16string& version_text, const std::u16string& manifest_path);

// Returns when every item is written; ends the run itself on too little disk space, a
// local failure, a wrong digest or a stop.
void DownloadFiles(Run& run, const std::vector<RepairItem>& items, const std::u16string& version_text);

}  // namespace krdn
