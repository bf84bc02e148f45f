#include "repair/release_order.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "platform/io/install_root.h"

namespace krdn {
namespace {

// More than any record of a few hosts needs; a longer one is read no further.
constexpr std::size_t kLargestRecord = 64 << 10;

struct RecordLine {
  std::uint64_t sequence = 0;
  std::string host;
};

// The lines of a record that parse; a line that does not is dropped.
std::vector<RecordLine> ParseRecord(std::string_view text) {
  std::vector<RecordLine> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 1 == line.size()) continue;
    RecordLine parsed{.sequence = 0, .host = std::string(line.substr(space + 1))};
    const auto [at, error] = std::from_chars(line.data(), line.data() + space, parsed.sequence);
    if (error == std::errc() && at == line.data() + space) lines.push_back(std::move(parsed));
  }
  return lines;
}

// The record's lines; an empty list when there is no record, nothing when one is there
// but cannot be read.
std::optional<std::vector<RecordLine>> ReadRecord(const platform::InstallRoot& root) {
  const std::optional<platform::File> file = root.OpenFile(kReleaseOrderFileName, platform::File::Mode::kRead);
  if (!file) {
    if (root.Attributes(kReleaseOrderFileName)) return std::nullopt;  // there, but locked or unreadable
    return std::vector<RecordLine>{};
  }
  std::string text(kLargestRecord, '\0');
  text.resize(file->ReadAt(0, {reinterpret_cast<std::uint8_t*>(text.data()), text.size()}));
  return ParseRecord(text);
}

}  // namespace

std::uint64_t ReleaseSequenceOf(std::span<const std::uint8_t> version_file) {
  if (version_file.size() < kReleaseSequenceEnd) return 0;
  const auto tag = version_file.subspan(kReleaseSequenceOffset, kReleaseSequenceTag.size());
  if (!std::equal(tag.begin(), tag.end(), kReleaseSequenceTag.begin())) return 0;
  std::uint64_t sequence = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    sequence |= std::uint64_t{version_file[kReleaseSequenceOffset + 8 + i]} << (8 * i);
  }
  return sequence;
}

void StampReleaseSequence(std::span<std::uint8_t> version_file, std::uint64_t sequence) {
  std::copy(kReleaseSequenceTag.begin(), kReleaseSequenceTag.end(), version_file.begin() + kReleaseSequenceOffset);
  for (std::size_t i = 0; i < 8; ++i) {
    version_file[kReleaseSequenceOffset + 8 + i] = static_cast<std::uint8_t>(sequence >> (8 * i));
  }
}

std::optional<std::uint64_t> AcceptedReleaseSequence(const platform::InstallRoot& root, std::string_view host) {
  const std::optional<std::vector<RecordLine>> lines = ReadRecord(root);
  if (!lines) return std::nullopt;
  std::uint64_t highest = 0;
  for (const RecordLine& line : *lines) {
    if (line.host == host) highest = std::max(highest, line.sequence);
  }
  return highest;
}

bool RecordAcceptedRelease(const platform::InstallRoot& root, std::string_view host, std::uint64_t sequence) {
  std::optional<std::vector<RecordLine>> lines = ReadRecord(root);
  if (!lines || host.find('\n') != std::string_view::npos) return false;
  std::string text = std::to_string(sequence) + " " + std::string(host) + "\n";
  for (const RecordLine& line : *lines) {
    if (line.host != host) text += std::to_string(line.sequence) + " " + line.host + "\n";
  }
  std::optional<platform::File> scratch = root.OpenFile(kReleaseOrderScratchName, platform::File::Mode::kCreate);
  if (!scratch || !scratch->WriteAt(0, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})) {
    return false;
  }
  scratch->Close();  // Windows renames no file that is open for writing elsewhere
  return root.Replace(kReleaseOrderFileName, kReleaseOrderScratchName);
}

}  // namespace krdn
