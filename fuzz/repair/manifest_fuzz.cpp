// ParseManifest on arbitrary bytes. With the first input byte odd, the rest becomes
// the manifest text behind a correct digest, so that the line syntax is explored too.
// Whatever parses must describe safe paths, each naming a file of its own also where
// case does not count, and pieces of at most 64 MiB that tile each file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "repair/manifest.h"
#include "repair/path_key.h"
#include "transfer/digest.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckManifest(const krdn::Manifest& manifest) {
  krdn::PathClaims claims;
  for (const krdn::ManifestFile& file : manifest.files) {
    Check(!claims.Claim(file.path).has_value());
    Check(file.path.find(u"\\.\\") == std::u16string::npos && file.path.find(u"\\\\") == std::u16string::npos);
    Check(!file.path.empty() && file.path.front() == u'\\');
    Check(file.path.find(u':') == std::u16string::npos);
    Check(file.path.find(u"\\..\\") == std::u16string::npos);
    std::uint64_t offset = 0;
    for (const krdn::ManifestPiece& piece : file.pieces) {
      Check(piece.first_byte == offset && piece.last_byte >= piece.first_byte);
      Check(piece.digest.Text().empty() || piece.digest == krdn::PieceDigest::FromText(piece.digest.Text()));
      Check(piece.size() <= krdn::kLargestPiece);
      offset = piece.last_byte + 1;
    }
    Check(offset == file.total_size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool bound = krdn::BindMd5() == 0;
  if (!bound || size == 0) return 0;
  std::vector<std::uint8_t> bytes;
  if ((data[0] & 1) != 0) {
    const std::string text = "," + std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string digest = krdn::Md5Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    bytes.assign(digest.begin(), digest.end());
    bytes.insert(bytes.end(), text.begin(), text.end());
  } else {
    bytes.assign(data, data + size);
  }
  bytes.push_back(0);
  krdn::Manifest manifest;
  if (krdn::ParseManifest(manifest, bytes) == 0) CheckManifest(manifest);
  return 0;
}
