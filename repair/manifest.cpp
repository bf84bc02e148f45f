#include "repair/manifest.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/base/utf.h"
#include "repair/path_key.h"
#include "repair/release_trust.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "transfer/digest.h"

namespace krdn {
namespace {

constexpr std::size_t kDigestLength = 32;
constexpr std::size_t kShortestPieceText = 3 + kDigestLength;  // ",1," and the digest

// An unsigned decimal number at pos, after optional blanks, as "%u" reads one, except
// that a sign or a value beyond `most` is refused. pos moves past the digits.
std::optional<std::uint64_t> ReadNumber(std::u16string_view line, std::size_t& pos, std::uint64_t most) {
  std::size_t at = pos;
  while (at < line.size() && (line[at] == u' ' || line[at] == u'\t')) ++at;
  std::uint64_t value = 0;
  const std::size_t digits_start = at;
  while (at < line.size() && line[at] >= u'0' && line[at] <= u'9') {
    const auto digit = static_cast<std::uint64_t>(line[at] - u'0');
    if (value > (most - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
    ++at;
  }
  if (at == digits_start) return std::nullopt;
  pos = at;
  return value;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The bytes the path takes in UTF-8, as the manifest carries it.
std::size_t Utf8Length(std::u16string_view path) {
  std::size_t bytes = 0;
  for (const char16_t c : path) bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : (c >= 0xD800 && c <= 0xDFFF) ? 2 : 3;
  return bytes;
}

// A path the engine may join to the install directory: it stays inside it, and is
// short and shallow enough to be held and claimed cheaply.
bool SafePath(std::u16string_view path) {
  if (path.empty() || path.front() != u'\\' || IsSeparator(path.back())) return false;
  if (Utf8Length(path) > kLongestManifestPath) return false;
  if (std::count_if(path.begin(), path.end(), IsSeparator) > static_cast<std::ptrdiff_t>(kDeepestManifestPath)) {
    return false;
  }
  for (const char16_t c : path) {
    if (c < 0x20 || c == 0x7F || c == u':') return false;
  }
  std::size_t start = 1;  // past the leading "\"
  while (start < path.size()) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    // "." and empty components name nothing the install directory can hold as a file of
    // its own (it refuses them), and would make one file answer to two paths.
    const std::u16string_view component = path.substr(start, end - start);
    if (component.empty() || component == u"." || component == u"..") return false;
    start = end + 1;
  }
  return true;
}

// One file line; nothing when it does not parse.
std::optional<ManifestFile> ParseFileLine(std::u16string_view line) {
  const std::size_t path_end = line.find(u',');
  if (path_end == std::u16string_view::npos) return std::nullopt;
  ManifestFile file;
  file.path.assign(line.substr(0, path_end));
  if (!SafePath(file.path)) return std::nullopt;

  std::size_t pos = path_end + 1;
  const std::optional<std::uint64_t> count = ReadNumber(line, pos, UINT64_MAX);
  if (!count) return std::nullopt;
  std::size_t comma = line.find(u',', pos);
  if (*count != 0 && comma == std::u16string_view::npos) return std::nullopt;

  // Every piece takes at least ",<digit>,<digest>" of the line: a count beyond what the
  // rest of it can hold would fail at a later piece, and fails before anything is
  // reserved for it.
  if (*count != 0 && *count > (line.size() - comma) / kShortestPieceText) return std::nullopt;
  file.pieces.reserve(static_cast<std::size_t>(*count));
  std::uint64_t offset = 0;
  for (std::uint64_t i = 0; i < *count; ++i) {
    if (comma >= line.size() || line[comma] != u',') return std::nullopt;
    pos = comma + 1;
    const std::optional<std::uint64_t> size = ReadNumber(line, pos, UINT64_MAX);
    if (!size || *size == 0 || *size > kLargestPiece) return std::nullopt;
    comma = line.find(u',', pos);
    if (comma == std::u16string_view::npos || line.size() - (comma + 1) < kDigestLength) return std::nullopt;
    // The pieces tile the file: each starts where the one before ended. An offset that
    // wrapped past 64 bits would start a piece over the first ones.
    if (*size > UINT64_MAX - offset) return std::nullopt;
    ManifestPiece piece;
    piece.first_byte = offset;
    offset += *size;
    piece.last_byte = offset - 1;
    piece.digest = PieceDigest::FromText(line.substr(comma + 1, kDigestLength));
    file.pieces.push_back(std::move(piece));
    comma += 1 + kDigestLength;
  }
  file.total_size = offset;
  return file;
}

// The file lines of the text after the header: the lines up to the first empty one
// (a lone "\r" is empty too) or the end; counted before anything is parsed. Stops
// counting past `most`.
std::size_t CountFileLines(std::string_view text, std::size_t most) {
  std::size_t pos = text.find('\n');
  std::size_t lines = 0;
  while (pos != std::string_view::npos && lines <= most) {
    const std::size_t start = pos + 1;
    if (start >= text.size()) break;  // a final "\n" ends the header or the last line
    const std::size_t end = text.find('\n', start);
    const std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    if (line.empty() || line == "\r") break;
    ++lines;
    pos = end;
  }
  return lines;
}

// Splits off the next line at pos; a "\r" directly before the "\n" is dropped.
std::optional<std::string_view> NextLine(std::string_view text, std::size_t& pos) {
  if (pos > text.size()) return std::nullopt;
  const std::size_t end = text.find('\n', pos);
  std::string_view line;
  if (end == std::string_view::npos) {
    line = text.substr(pos);
    pos = text.size() + 1;
  } else {
    line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
  }
  return line;
}

}  // namespace

int ParseManifest(Manifest& manifest, std::span<const std::uint8_t> bytes_with_nul) {
  const std::size_t n = bytes_with_nul.size();
  if (n <= kDigestLength + 1 || n - 1 > kLargestManifest || bytes_with_nul[kDigestLength] != ',') return -1;
  const std::span<const std::uint8_t> body = bytes_with_nul.subspan(kDigestLength, n - kDigestLength - 1);
  const platform::Md5Digest own_digest = platform::Md5(body);
  const std::string digest = DigestToHex(own_digest);
  if (!std::equal(digest.begin(), digest.end(), bytes_with_nul.begin())) return -1;

  // The text ends at the first 0 byte, as a C string would.
  std::string_view utf8(reinterpret_cast<const char*>(body.data()), body.size());
  utf8 = utf8.substr(0, utf8.find('\0'));
  if (!platform::IsUtf8(utf8)) return -1;
  const std::size_t lines = CountFileLines(utf8, kMostManifestFiles);
  if (lines > kMostManifestFiles) return -1;

  // Lines are split in UTF-8, where a "\n" is never part of a longer character, and
  // each is read as UTF-16 on its own: the text is never held twice.
  std::size_t pos = 0;
  const std::optional<std::string_view> header = NextLine(utf8, pos);
  if (!header || header->empty() || header->front() != ',') return -1;
  const std::u16string header_text = platform::Utf8ToUtf16(*header);
  std::size_t number_pos = 1;
  const std::optional<std::uint64_t> number = ReadNumber(header_text, number_pos, UINT32_MAX);
  if (!number) return -1;
  manifest.header_number = static_cast<std::uint32_t>(*number);
  manifest.digest = own_digest;

  manifest.files.reserve(manifest.files.size() + lines);
  PathClaims claims;
  while (const std::optional<std::string_view> line = NextLine(utf8, pos)) {
    if (line->empty()) break;
    std::optional<ManifestFile> file = ParseFileLine(platform::Utf8ToUtf16(*line));
    if (!file || claims.Claim(file->path)) return -1;
    manifest.files.push_back(std::move(*file));
  }
  return 0;
}

std::u16string ManifestFileName(const std::u16string& version_text) { return version_text + u"_download.txt"; }

std::u16string ManifestUrlPath(const std::u16string& version_text) {
  return u"/krdn/repair/" + version_text + u"/" + ManifestFileName(version_text);
}

Manifest FetchManifest(Run& run, const std::u16string& version_text) {
  run.Append(text::kFetchingManifest);
  run.Progress(0);
  const std::u16string url = platform::Utf8ToUtf16(run.settings().repair_host) + ManifestUrlPath(version_text);
  Manifest manifest;
  int attempts = 0;
  std::vector<std::uint8_t> body;
  for (;;) {
    body.clear();
    if (run.Fetch(body, url, 0, ByteRange{}, FetchKind::kNone) == -1) {
      run.FailedAttempt(attempts, text::kManifestUnavailable);
      continue;
    }
    if (ReleasesSigned(run.settings()) &&
        !SignatureTrusts(run, platform::Utf16ToUtf8(url), "VoRepair", platform::Utf16ToUtf8(ManifestFileName(version_text)),
                         body)) {
      run.FailedAttempt(attempts, text::kManifestUnavailable);
      continue;
    }
    run.Transient(text::kReadingManifest);
    body.push_back(0);
    manifest.files.clear();  // a failed attempt may have left the lines it read
    if (ParseManifest(manifest, body) == -1) {
      run.FailedAttempt(attempts, text::kManifestUnavailable);
      continue;
    }
    run.Progress(100);
    return manifest;
  }
}

}  // namespace krdn
