#include "tools/publish/publish.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <optional>
#include <vector>

#include "platform/io/files.h"
#include "platform/io/install_root.h"
#include "platform/io/release_signature.h"
#include "platform/base/shown_text.h"
#include "platform/base/utf.h"
#include "repair/chunk_index.h"
#include "repair/manifest.h"
#include "repair/path_key.h"
#include "repair/release_order.h"
#include "transfer/digest.h"

namespace krdn::publish {
namespace {

namespace fs = std::filesystem;

// A name that is not UTF-8, shown with every byte outside printable ASCII as \x{NN}, so
// neither a broken sequence nor a control reaches the terminal as it is.
std::string BytesForScreen(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
      continue;
    }
    shown += "\\x{";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0xF];
    shown += '}';
  }
  return shown;
}

constexpr std::size_t kVersionFileSize = 256;

struct ClientFile {
  fs::path relative_path;     // beneath the client folder
  std::string relative;       // with "/"
  std::string manifest_path;  // with "\"
  std::uint64_t size = 0;
};

std::optional<std::array<std::uint8_t, 3>> ParseVersion(const std::string& text) {
  std::array<std::uint8_t, 3> numbers{};
  std::size_t pos = 0;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    std::size_t end = pos;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == pos || end - pos > 3) return std::nullopt;
    const int value = std::stoi(text.substr(pos, end - pos));
    if (value > 255 || (end - pos > 1 && text[pos] == '0')) return std::nullopt;
    numbers[i] = static_cast<std::uint8_t>(value);
    if (i < 2 && (end >= text.size() || text[end] != '.')) return std::nullopt;
    pos = end + 1;
    if (i == 2 && end != text.size()) return std::nullopt;
  }
  return numbers;
}

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string VersionFile(const std::array<std::uint8_t, 3>& version, std::uint16_t mode_word) {
  std::string bytes(kVersionFileSize, '\0');
  const std::string banner = "Velmora client version file, published by krdn-publish\n";
  std::copy(banner.begin(), banner.end(), bytes.begin());
  bytes[240] = static_cast<char>(version[0]);
  bytes[241] = static_cast<char>(version[1]);
  bytes[242] = static_cast<char>(version[2]);
  bytes[252] = static_cast<char>(mode_word & 0xFF);
  bytes[253] = static_cast<char>(mode_word >> 8);
  return bytes;
}

bool AllZero(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; });
}

// Copies one client file into the version folder and returns its manifest line: its
// path, its piece count, then size and digest of each piece. The file is read through
// the client folder's root, so a link that appeared since the walk is not followed.
// Pieces of zero bytes are left as holes of the copy (the size is set at the end), so
// a sparse archive of many GiB stays sparse on the server's disk. The bytes read are
// cut into the chunk index's chunks too, when there is an index.
std::optional<std::string> PublishFile(const platform::InstallRoot& client, const ClientFile& file,
                                       const fs::path& target, std::uint64_t piece_size, ChunkIndexBuilder* chunks,
                                       std::string& error) {
  std::optional<platform::File> in =
      client.OpenFile(platform::Utf8ToUtf16(file.manifest_path), platform::File::Mode::kRead);
  if (!in) {
    error = "cannot read " + file.relative + " (or it became a link)";
    return std::nullopt;
  }
  std::error_code made;
  fs::create_directories(target.parent_path(), made);
  std::optional<platform::File> out =
      platform::File::Open(platform::Utf8ToUtf16(platform::PathUtf8(target)), platform::File::Mode::kCreate);
  if (made || !out) {
    error = "cannot write " + platform::PathUtf8(target);
    return std::nullopt;
  }
  const std::uint64_t pieces = (file.size + piece_size - 1) / piece_size;
  std::string line = file.manifest_path + "," + std::to_string(pieces);
  std::vector<std::uint8_t> buffer;
  if (chunks) chunks->StartFile();
  for (std::uint64_t offset = 0; offset < file.size; offset += piece_size) {
    buffer.resize(static_cast<std::size_t>(std::min(piece_size, file.size - offset)));
    if (in->ReadAt(offset, buffer) != buffer.size()) {
      error = file.relative + " changed while it was read";
      return std::nullopt;
    }
    if (!AllZero(buffer) && !out->WriteAt(offset, buffer)) {
      error = "cannot write " + platform::PathUtf8(target);
      return std::nullopt;
    }
    line += "," + std::to_string(buffer.size()) + "," + Md5Hex(buffer);
    if (chunks) chunks->Feed(buffer);
  }
  if (chunks) chunks->FinishFile();
  if (!out->Resize(file.size)) {
    error = "cannot write " + platform::PathUtf8(target);
    return std::nullopt;
  }
  return line;
}

std::optional<std::string> ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The number of the release being published: the one asked for, else the one after the
// version file's already under the server root (the last release published there).
// Nothing when that is 0 or beyond the last number.
std::optional<std::uint64_t> NextSequence(const Options& options) {
  if (options.sequence) return *options.sequence == 0 ? std::nullopt : options.sequence;
  const std::optional<std::string> published = ReadText(options.out / "krdn" / "barternsav" / "360" / "tern.sav");
  const std::uint64_t last = published ? ReleaseSequenceOf(Bytes(*published)) : 0;
  if (last == UINT64_MAX) return std::nullopt;
  return last + 1;
}

// Writes "<path>.sig": the signature of the file's bytes under its release name.
bool WriteSignature(const fs::path& path, const std::string& private_pem, const std::string& bytes) {
  const std::optional<platform::ReleaseSignature> signature =
      platform::SignRelease(private_pem, path.filename().string(), Bytes(bytes));
  return signature && WriteBytes(path.string() + ".sig", std::string(signature->begin(), signature->end()));
}

// Writes a file that must not exist yet, never through a link planted at its name.
bool WriteNewFile(const fs::path& path, const std::string& bytes) {
  std::optional<platform::File> file = platform::File::CreateNew(platform::Utf8ToUtf16(platform::PathUtf8(path)));
  return file && file->WriteAt(0, Bytes(bytes));
}

Outcome Refuse(std::string message) { return Outcome{.code = Outcome::kRefused, .message = std::move(message)}; }
Outcome Fail(std::string message) { return Outcome{.code = Outcome::kFailed, .message = std::move(message)}; }

// Names that are one file where case does not count (Windows, and the engine's rule
// for manifests): "Data/A.pak" and "data/a.pak", or "a" and "A/b".
std::optional<Outcome> RefuseCollisions(const std::vector<ClientFile>& files) {
  PathClaims claims;
  for (const ClientFile& file : files) {
    if (const std::optional<std::u16string> earlier = claims.Claim(platform::Utf8ToUtf16(file.manifest_path))) {
      std::string other = platform::Utf16ToUtf8(*earlier).substr(1);
      std::replace(other.begin(), other.end(), '\\', '/');
      return Refuse(file.relative + ": collides with " + other +
                    " where case does not count (the engine refuses such a manifest)");
    }
  }
  return std::nullopt;
}

// The manifest's size, known from the names and sizes before any file is read, so that
// a folder whose manifest would be too large is refused before anything is written.
std::uint64_t ManifestSize(const std::vector<ClientFile>& files, std::uint64_t piece_size) {
  constexpr std::uint64_t kDigestText = 32;
  std::uint64_t size = kDigestText + 1 + std::to_string(files.size()).size() + 2;
  for (const ClientFile& file : files) {
    const std::uint64_t pieces = (file.size + piece_size - 1) / piece_size;
    size += file.manifest_path.size() + 1 + std::to_string(pieces).size() + 2;
    if (pieces == 0) continue;
    const std::uint64_t last = file.size - (pieces - 1) * piece_size;
    size += (pieces - 1) * (1 + std::to_string(piece_size).size() + 1 + kDigestText);
    size += 1 + std::to_string(last).size() + 1 + kDigestText;
  }
  return size;
}

// A link inside the client folder would publish what lies outside it (a key beside
// the folder, a file of another user): a symbolic link, a junction and a regular file
// with other hard links are refused, by the rule the client's install root keeps.
std::optional<Outcome> RefuseLink(const platform::InstallRoot& client, const fs::directory_entry& entry,
                                  const std::string& relative) {
  std::error_code error;
  if (entry.is_symlink(error)) return Refuse(relative + ": a symbolic link is never published (nor followed)");
  if (!entry.is_directory(error) && !entry.is_regular_file(error)) return std::nullopt;  // neither published nor read
  if (!client.Attributes(platform::Utf8ToUtf16(relative))) {
    return Refuse(relative + ": a link (a junction, or a file with more than one hard link) is never published");
  }
  return std::nullopt;
}

// Every regular file below the client folder, in name order; a refusal stops the walk.
std::optional<Outcome> CollectFiles(const fs::path& folder, const platform::InstallRoot& client,
                                    std::vector<ClientFile>& files) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    const fs::path relative = it->path().lexically_relative(folder);  // never resolving a link
    const std::string relative_text = platform::PathUtf8(relative);
    // Names are judged first: the root cannot look up a name that is not UTF-8.
    if (!platform::IsUtf8(relative_text)) return Refuse(BytesForScreen(relative_text) + ": the file name is not UTF-8");
    if (std::optional<Outcome> refused = RefuseLink(client, *it, relative_text)) return refused;
    if (!it->is_regular_file(error)) continue;
    std::string reason;
    if (!ManifestPathFor(relative, reason)) return Refuse(reason);
    ClientFile file{.relative_path = relative, .relative = relative_text, .manifest_path = reason};
    file.size = it->file_size(error);
    if (files.size() == kMostManifestFiles) {
      return Refuse("a manifest lists at most " + std::to_string(kMostManifestFiles) + " files");
    }
    files.push_back(std::move(file));
  }
  if (error) return Fail("cannot read the client folder: " + error.message());
  std::sort(files.begin(), files.end(), [](const ClientFile& a, const ClientFile& b) { return a.relative < b.relative; });
  return RefuseCollisions(files);
}

}  // namespace

Outcome MakeKey(const fs::path& path) {
  const fs::path public_path = path.string() + ".pub";
  std::error_code error;
  for (const fs::path& existing : {path, public_path}) {
    if (fs::exists(fs::symlink_status(existing, error))) return Refuse(existing.string() + " exists already; it is kept");
  }
  const std::optional<platform::ReleaseKeyPair> pair = platform::MakeReleaseKeyPair();
  if (!pair) return Fail("the crypto library made no Ed25519 key");
  // Made new, never opened through a link, and its owner's only from the start.
  std::optional<platform::File> private_file = platform::File::CreateNew(platform::Utf8ToUtf16(platform::PathUtf8(path)));
  if (!private_file) return Fail("cannot create " + path.string() + " as a new file");
  if (!private_file->WriteAt(0, Bytes(pair->private_pem)) ||
      !WriteNewFile(public_path, pair->public_pem)) {
    return Fail("cannot write the key pair at " + path.string());
  }
  return Outcome{.message = path.string() + " (private, keep it secret) and " + public_path.string() + " (public)"};
}

bool ManifestPathFor(const fs::path& relative, std::string& path_or_reason) {
  const std::string text = platform::PathUtf8(relative);
  if (!platform::IsUtf8(text)) {
    path_or_reason = BytesForScreen(text) + ": the file name is not UTF-8";
    return false;
  }
  const std::u16string wide = platform::Utf8ToUtf16(text);
  // Controls below 0x80 have messages of their own below.
  const auto c1_or_bidirectional = [](char16_t c) { return c >= 0x80 && platform::MisleadsOnScreen(c); };
  if (std::any_of(wide.begin(), wide.end(), c1_or_bidirectional)) {
    path_or_reason = platform::EscapedForScreen(wide) +
                     ": a C1 control character or a bidirectional override or mark cannot stand in a published name";
    return false;
  }
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ',' || c == '\n' || c == '\r') {
      path_or_reason = platform::EscapedForScreen(wide) + ": a comma or a line break cannot stand in a manifest path";
      return false;
    }
    if (byte < 0x20 || byte == 0x7F || c == ':' || c == '\\') {
      path_or_reason = platform::EscapedForScreen(wide) +
                       ": a control character, \":\" or \"\\\" cannot stand in a manifest path";
      return false;
    }
  }
  std::string path = "\\" + text;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.size() > kLongestManifestPath ||
      static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')) > kDeepestManifestPath) {
    path_or_reason = text + ": a manifest path has at most " + std::to_string(kLongestManifestPath) + " bytes and " +
                     std::to_string(kDeepestManifestPath) + " components";
    return false;
  }
  path_or_reason = path;
  return true;
}

Outcome Publish(const Options& options) {
  const auto version = ParseVersion(options.version);
  if (!version) return Refuse("the version must be X.Y.Z with numbers from 0 to 255: " + options.version);
  if (options.piece_size == 0 || options.piece_size > kLargestPiece) {
    return Refuse("the piece size must be 1 to " + std::to_string(kLargestPiece) + " bytes (64 MiB)");
  }
  std::error_code error;
  if (!fs::is_directory(options.client, error)) return Refuse("no client folder at " + options.client.string());
  if (BindMd5() != 0) return Fail("MD5 is not available from the crypto library");
  std::string private_pem;
  if (!options.sign_key.empty()) {
    const std::optional<std::string> key = ReadText(options.sign_key);
    if (!key) return Refuse("cannot read the signing key " + options.sign_key.string());
    if (!platform::SignRelease(*key, "probe", {})) {
      return Refuse(options.sign_key.string() + " is no Ed25519 private key (make one with --make-key)");
    }
    private_pem = *key;
  }

  std::uint64_t sequence = 0;
  if (!private_pem.empty()) {
    const std::optional<std::uint64_t> next = NextSequence(options);
    if (!next) return Refuse("the release sequence number must be 1 or more (and the release under --out must leave a next one)");
    sequence = *next;
  } else if (options.sequence) {
    return Refuse("a release sequence number orders signed releases only: give --sign-key as well");
  }

  std::vector<ClientFile> files;
  const platform::InstallRoot client =
      platform::InstallRoot::Open(platform::AbsolutePath(platform::Utf8ToUtf16(platform::PathUtf8(options.client))));
  if (!client.is_open()) return Refuse("cannot open the client folder " + options.client.string());
  if (std::optional<Outcome> refused = CollectFiles(options.client, client, files)) return *refused;
  if (ManifestSize(files, options.piece_size) > kLargestManifest) {
    return Refuse("the manifest would exceed " + std::to_string(kLargestManifest) + " bytes");
  }

  const fs::path repair = options.out / "krdn" / "repair";
  const fs::path version_dir = repair / options.version;
  Outcome outcome;
  std::string text = "," + std::to_string(files.size()) + "\r\n";
  std::optional<ChunkIndexBuilder> chunks;
  if (options.chunk_index) chunks.emplace();
  for (const ClientFile& file : files) {
    std::string problem;
    const std::optional<std::string> line = PublishFile(client, file, version_dir / file.relative_path,
                                                        options.piece_size, chunks ? &*chunks : nullptr, problem);
    if (!line) return Fail(problem);
    text += *line + "\r\n";
    ++outcome.files;
    outcome.bytes += file.size;
  }
  const std::string manifest = Md5Hex(Bytes(text)) + text;
  const fs::path manifest_path = version_dir / (options.version + "_download.txt");
  const fs::path version_file_path = options.out / "krdn" / "barternsav" / "360" / "tern.sav";
  std::string version_file = VersionFile(*version, options.mode_word);
  if (!private_pem.empty()) {
    StampReleaseSequence({reinterpret_cast<std::uint8_t*>(version_file.data()), version_file.size()}, sequence);
    outcome.sequence = sequence;
  }
  // The index names the manifest it was cut for by the manifest's own digest.
  const fs::path index_path = version_dir / (options.version + "_chunks");
  std::string index;
  if (chunks) {
    const std::vector<std::uint8_t> bytes = SerializeChunkIndex(chunks->Take(platform::Md5(Bytes(text))));
    index.assign(bytes.begin(), bytes.end());
  }
  if (!chunks) {
    // An index left by an earlier publication of this version would describe other bytes.
    std::error_code ignored;
    fs::remove(index_path, ignored);
    fs::remove(index_path.string() + ".sig", ignored);
  }
  if (!WriteBytes(manifest_path, manifest) || (chunks && !WriteBytes(index_path, index)) ||
      !WriteBytes(version_file_path, version_file) || !WriteBytes(repair / "Repair_Done.txt", "done\n")) {
    return Fail("cannot write under " + options.out.string());
  }
  if (!private_pem.empty() &&
      (!WriteSignature(manifest_path, private_pem, manifest) ||
       (chunks && !WriteSignature(index_path, private_pem, index)) ||
       !WriteSignature(version_file_path, private_pem, version_file))) {
    return Fail("cannot sign the release under " + options.out.string());
  }
  return outcome;
}

}  // namespace krdn::publish
