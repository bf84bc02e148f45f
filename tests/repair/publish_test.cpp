// The publisher writes exactly what the engine reads, and refuses what a manifest
// cannot carry before writing anything.
#include "tools/publish/publish.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/io/release_signature.h"
#include "repair/chunk_index.h"
#include "repair/client_version.h"
#include "repair/manifest.h"
#include "repair/release_order.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"
#include "transfer/digest.h"

namespace krdn::testing {
namespace {

namespace fs = std::filesystem;

class Publisher : public ::testing::Test {
 protected:
  publish::Outcome Run(const std::string& version = "1.9.3", std::uint16_t mode = 0, std::uint64_t piece = 4u << 20) {
    return publish::Publish({.client = dir / "client", .out = dir / "out", .version = version, .mode_word = mode,
                             .piece_size = piece});
  }
  TempDir dir;
};

TEST_F(Publisher, WritesTheVersionFileManifestFilesAndMarker) {
  WriteFile(dir / "client/bin/a.dll", PatternBytes(2500, 1));
  WriteFile(dir / "client/empty.txt", std::vector<std::uint8_t>{});
  const publish::Outcome outcome = Run("2.10.255", 0x1234, 1000);
  ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
  EXPECT_EQ(outcome.files, 2u);

  const auto version_file = ReadFile(dir / "out/krdn/barternsav/360/tern.sav");
  ASSERT_GE(version_file.size(), 254u);
  const auto version = ParseVersionFile(version_file);
  ASSERT_TRUE(version);
  EXPECT_EQ(version->Text(), u"2.10.255");
  EXPECT_EQ(version->mode_word, 0x1234);

  ASSERT_EQ(BindMd5(), 0);
  auto manifest_bytes = ReadFile(dir / "out/krdn/repair/2.10.255/2.10.255_download.txt");
  manifest_bytes.push_back(0);
  Manifest manifest;
  ASSERT_EQ(ParseManifest(manifest, manifest_bytes), 0);
  ASSERT_EQ(manifest.files.size(), 2u);
  EXPECT_EQ(manifest.files[0].path, u"\\bin\\a.dll");
  EXPECT_EQ(manifest.files[0].total_size, 2500u);
  ASSERT_EQ(manifest.files[0].pieces.size(), 3u);
  const auto bytes = PatternBytes(2500, 1);
  EXPECT_EQ(manifest.files[0].pieces[2].digest.Text(), Md5WideHex(std::span(bytes).subspan(2000)));
  EXPECT_EQ(manifest.files[1].path, u"\\empty.txt");
  EXPECT_TRUE(manifest.files[1].pieces.empty());
  EXPECT_EQ(ReadFile(dir / "out/krdn/repair/2.10.255/bin/a.dll"), bytes);
  EXPECT_TRUE(fs::exists(dir / "out/krdn/repair/Repair_Done.txt"));
}

TEST_F(Publisher, RefusesNamesAManifestCannotCarryAndWritesNothing) {
  for (const std::string name : {"a,b.txt", "line\nbreak", "carriage\rreturn", "colon:name", "back\\slash"}) {
    TempDir client;
    WriteFile(client / name, "x");
    const auto outcome = publish::Publish({.client = client.path(), .out = dir / "out", .version = "1.9.3"});
    EXPECT_EQ(outcome.code, publish::Outcome::kRefused) << name;
    EXPECT_FALSE(outcome.message.empty());
    EXPECT_FALSE(fs::exists(dir / "out")) << name;
  }
}

TEST_F(Publisher, RefusesPathsBeyondTheManifestsBoundsAndWritesNothing) {
  std::string deep;
  for (std::size_t i = 0; i < kDeepestManifestPath; ++i) deep += "d/";
  const std::string name(200, 'n');
  const std::string long_path = name + "/" + name + "/" + name + "/" + name + "/" + name + "/x";  // 1,006 bytes
  for (const std::string& path : {deep + "file", long_path + "yzzzzzzzzzzzzzzzzz"}) {
    TempDir client;
    WriteFile(client / path, "x");
    const auto outcome = publish::Publish({.client = client.path(), .out = dir / "out", .version = "1.9.3"});
    EXPECT_EQ(outcome.code, publish::Outcome::kRefused) << path.size();
    EXPECT_NE(outcome.message.find("at most"), std::string::npos) << outcome.message;
    EXPECT_FALSE(fs::exists(dir / "out"));
  }
  // At the bounds: 64 components, 1,024 bytes with the leading "\".
  TempDir client;
  WriteFile(client / (deep.substr(2) + "file"), "x");
  WriteFile(client / (long_path + std::string(kLongestManifestPath - 1 - long_path.size(), 'y')), "x");
  const auto outcome = publish::Publish({.client = client.path(), .out = dir / "out", .version = "1.9.3"});
  EXPECT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
}

TEST_F(Publisher, RefusesNamesThatAreOneFileWithoutRegardToCaseOrNotUtf8AndNamesThem) {
  const std::vector<std::pair<std::string, std::string>> twins = {
      {"Data/A.pak", "data/a.pak"}, {"地图/Été.map", "地图/été.map"}, {"bin/x", "BIN/x/y"}, {"readme", "readme."},
      {"Ǎ.pak", "ǎ.pak"},           {"Σ/ǅ.dat", "ς/ǆ.dat"}};
  for (const auto& [first, second] : twins) {
    TempDir client;
    WriteFile(client / first, "x");
    WriteFile(client / second, "y");
    const auto outcome = publish::Publish({.client = client.path(), .out = dir / "out", .version = "1.9.3"});
    EXPECT_EQ(outcome.code, publish::Outcome::kRefused) << first << " " << second;
    EXPECT_NE(outcome.message.find(first), std::string::npos) << outcome.message;
    EXPECT_NE(outcome.message.find(second), std::string::npos) << outcome.message;
    EXPECT_FALSE(fs::exists(dir / "out"));
  }
  TempDir client;
  WriteFile(client / "ok.txt", "x");
  WriteFile(client / "caf\xE9.txt", "Latin-1, not UTF-8");
  const auto outcome = publish::Publish({.client = client.path(), .out = dir / "out", .version = "1.9.3"});
  EXPECT_EQ(outcome.code, publish::Outcome::kRefused);
  EXPECT_NE(outcome.message.find("caf\\x{E9}.txt"), std::string::npos);
  EXPECT_NE(outcome.message.find("UTF-8"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Publisher, RefusesBadVersionsOrPieceSizes) {
  WriteFile(dir / "client/ok.bin", "x");
  EXPECT_EQ(Run("1.9").code, publish::Outcome::kRefused);
  EXPECT_EQ(Run("1.9.256").code, publish::Outcome::kRefused);
  EXPECT_EQ(Run("1.09.3").code, publish::Outcome::kRefused);
  EXPECT_EQ(Run("1.9.3.4").code, publish::Outcome::kRefused);
  EXPECT_EQ(Run("1.9.3", 0, 0).code, publish::Outcome::kRefused);
  EXPECT_EQ(Run("1.9.3", 0, (64u << 20) + 1).code, publish::Outcome::kRefused);
  EXPECT_FALSE(fs::exists(dir / "out"));
  EXPECT_EQ(Run("1.9.3", 0, 64u << 20).code, publish::Outcome::kPublished);
}

// A client without a file of 4 GiB or more is published byte for byte as it always was:
// the manifest and the version file of tests/repair/data/published-client were written
// by the publisher before sizes became 64-bit, and clients that read 32-bit sizes read
// them still.
TEST_F(Publisher, AClientWithoutLargeFilesIsPublishedAsItAlwaysWas) {
  const fs::path data = fs::path(KRDN_SOURCE_DIR) / "tests/repair/data/published-client";
  fs::copy(data / "client", dir / "client", fs::copy_options::recursive);
  const publish::Outcome outcome = publish::Publish(
      {.client = dir / "client", .out = dir / "out", .version = "2.10.7", .mode_word = 22, .piece_size = 4096,
       .chunk_index = false});
  ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
  EXPECT_EQ(outcome.files, 5u);
  // Nothing but what there always was: the files above, the manifest, the version file
  // and the completion marker.
  std::size_t files = 0;
  for (const auto& [path, entry] : Snapshot(dir / "out")) files += entry.type == 'f' ? 1 : 0;
  EXPECT_EQ(files, 5u + 3u);
  const auto manifest = ReadFile(dir / "out/krdn/repair/2.10.7/2.10.7_download.txt");
  EXPECT_EQ(manifest, ReadFile(data / "2.10.7_download.txt"))
      << std::string(manifest.begin(), manifest.end());
  EXPECT_EQ(ReadFile(dir / "out/krdn/barternsav/360/tern.sav"), ReadFile(data / "tern.sav"));
  for (const char* file : {"VoLauncher.exe", "bin/b.dat", "empty-dir-sibling/zero.txt", "数据/地图/one map.pak"}) {
    EXPECT_EQ(ReadFile(dir / "out/krdn/repair/2.10.7" / file), ReadFile(data / "client" / file)) << file;
  }
}

// The index beside the manifest is the one a client reads for that manifest: each
// file's chunks, their hashes those of the file's bytes. Without it the tree is the
// same but for the index; an index of an earlier publication does not stay behind.
TEST_F(Publisher, WritesTheChunkIndexOfTheManifestOrNoneWithoutChangingAnythingElse) {
  const auto big = PatternBytes(3u << 20, 2);
  WriteFile(dir / "client/bin/a.dll", big);
  WriteFile(dir / "client/empty.txt", std::vector<std::uint8_t>{});
  WriteFile(dir / "client/data/small.txt", "small");
  ASSERT_EQ(Run("1.9.3", 0, 1u << 20).code, publish::Outcome::kPublished);
  ASSERT_EQ(BindMd5(), 0);
  auto manifest_bytes = ReadFile(dir / "out/krdn/repair/1.9.3/1.9.3_download.txt");
  manifest_bytes.push_back(0);
  Manifest manifest;
  ASSERT_EQ(ParseManifest(manifest, manifest_bytes), 0);
  const std::optional<ChunkIndex> index =
      ParseChunkIndex(ReadFile(dir / "out/krdn/repair/1.9.3/1.9.3_chunks"), manifest);
  ASSERT_TRUE(index);
  ASSERT_EQ(manifest.files[0].path, u"\\bin\\a.dll");
  const auto chunks = index->ChunksOf(0);
  const auto lengths = ChunkLengths(big);
  ASSERT_EQ(chunks.size(), lengths.size());
  ASSERT_GT(chunks.size(), 20u) << "chunks do not follow the 1 MiB pieces";
  for (const IndexedChunk& chunk : chunks) {
    EXPECT_EQ(chunk.hash, platform::Blake2b256(std::span(big).subspan(chunk.offset, chunk.length)));
  }
  ASSERT_EQ(index->ChunksOf(1).size(), 1u);
  EXPECT_EQ(index->ChunksOf(1)[0].length, 5u);
  EXPECT_TRUE(index->ChunksOf(2).empty());
  EXPECT_FALSE(fs::exists(dir / "out/krdn/repair/1.9.3/1.9.3_chunks.sig"));

  TreeSnapshot with_index = Snapshot(dir / "out");
  ASSERT_EQ(with_index.erase("krdn/repair/1.9.3/1.9.3_chunks"), 1u);
  const auto without = [&] {
    return publish::Publish({.client = dir / "client", .out = dir / "out", .version = "1.9.3",
                             .piece_size = 1u << 20, .chunk_index = false});
  };
  ASSERT_EQ(without().code, publish::Outcome::kPublished);
  EXPECT_EQ(Snapshot(dir / "out"), with_index) << "the index left over, or something else changed";
  fs::remove_all(dir / "out");
  ASSERT_EQ(without().code, publish::Outcome::kPublished);
  EXPECT_EQ(Snapshot(dir / "out"), with_index);
}

// Pieces of zero bytes stay holes in the server's copy, which still reads as the client's file.
TEST_F(Publisher, CopiesZeroPiecesAsHoles) {
  std::vector<std::uint8_t> bytes(12u << 20, 0);
  const auto middle = PatternBytes(4u << 20, 7);
  std::copy(middle.begin(), middle.end(), bytes.begin() + (4u << 20));
  bytes.back() = 1;  // the last piece is written, the first is a hole
  WriteFile(dir / "client/mostly-zero.pak", bytes);
  WriteFile(dir / "client/all-zero.pak", std::vector<std::uint8_t>(8u << 20, 0));
  ASSERT_EQ(Run().code, publish::Outcome::kPublished);
  EXPECT_EQ(ReadFile(dir / "out/krdn/repair/1.9.3/mostly-zero.pak"), bytes);
  EXPECT_EQ(fs::file_size(dir / "out/krdn/repair/1.9.3/all-zero.pak"), 8u << 20);
  struct stat copy {};
  ASSERT_EQ(stat((dir / "out/krdn/repair/1.9.3/all-zero.pak").c_str(), &copy), 0);
  EXPECT_LT(copy.st_blocks * 512, 1 << 20) << "an all-zero file is a hole on the server's disk";
  ASSERT_EQ(stat((dir / "out/krdn/repair/1.9.3/mostly-zero.pak").c_str(), &copy), 0);
  EXPECT_LT(copy.st_blocks * 512, 9 << 20) << "the zero piece at the front is a hole";
}

// Each refused client, with the path (relative to the client folder) its message names.
struct RefusedClient {
  std::string what;
  std::string named;
};

class LinkedClient : public Publisher {
 protected:
  void ExpectRefused(const RefusedClient& client) {
    const publish::Outcome outcome = Run();
    EXPECT_EQ(outcome.code, publish::Outcome::kRefused) << client.what;
    EXPECT_EQ(outcome.message.rfind(client.named + ":", 0), 0u) << client.what << ": " << outcome.message;
    EXPECT_FALSE(fs::exists(dir / "out")) << client.what;
    EXPECT_EQ(ReadText(dir / "secret.key"), "private") << client.what;
  }
};

TEST_F(LinkedClient, RefusesSymbolicLinksToFilesAndFoldersAndWritesNothing) {
  WriteFile(dir / "secret.key", "private");
  WriteFile(dir / "client/a.txt", "a");
  fs::create_symlink("../secret.key", dir / "client/readme.txt");
  ExpectRefused({"a link to a file beside the folder", "readme.txt"});

  fs::remove(dir / "client/readme.txt");
  fs::create_directories(dir / "elsewhere");
  fs::create_directories(dir / "client/data");
  WriteFile(dir / "elsewhere/b.txt", "b");
  fs::create_directory_symlink("../../elsewhere", dir / "client/data/more");
  ExpectRefused({"a link to a folder", "data/more"});

  fs::remove(dir / "client/data/more");
  fs::create_symlink("nowhere", dir / "client/data/dangling");
  ExpectRefused({"a link to nothing", "data/dangling"});

  fs::remove(dir / "client/data/dangling");
  EXPECT_EQ(Run().code, publish::Outcome::kPublished) << "without the links the folder publishes";
}

TEST_F(LinkedClient, RefusesAFileWithAnotherHardLinkAndWritesNothing) {
  WriteFile(dir / "secret.key", "private");
  WriteFile(dir / "client/a.txt", "a");
  fs::create_directories(dir / "client/bin");
  fs::create_hard_link(dir / "secret.key", dir / "client/bin/game.pak");
  ExpectRefused({"a second name of a file outside", "bin/game.pak"});
  fs::remove(dir / "secret.key");  // now its only name is in the folder
  WriteFile(dir / "secret.key", "private");
  EXPECT_EQ(Run().code, publish::Outcome::kPublished);
}

TEST_F(Publisher, RefusesNamesThatMisleadOnScreenAndNamesThemEscaped) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"a\xC2\x85" "b.txt", "a\\u{0085}b.txt"},          // NEXT LINE, a C1 control
      {"sub/x\xC2\x9B.txt", "sub/x\\u{009B}.txt"},      // CSI, which starts a terminal's escape sequences
      {"report\xE2\x80\xAEtxt.exe", "report\\u{202E}txt.exe"},  // RIGHT-TO-LEFT OVERRIDE
      {"\xE2\x81\xA6x.txt", "\\u{2066}x.txt"},          // LEFT-TO-RIGHT ISOLATE
      {"m\xE2\x80\x8F.txt", "m\\u{200F}.txt"},          // RIGHT-TO-LEFT MARK
      {"\xD8\x9C.txt", "\\u{061C}.txt"},                 // ARABIC LETTER MARK
      // Controls below 0x80 and a name that is not UTF-8 have refusals of their own.
      {"tab\there.txt", "tab\\u{0009}here.txt"},
      {"esc\x1B[2Jclear.txt", "esc\\u{001B}[2Jclear.txt"},
      {"line\nbreak.txt", "line\\u{000A}break.txt"},
      {"latin\xE9.txt", "latin\\x{E9}.txt"},
  };
  for (const auto& [name, shown] : names) {
    TempDir client;
    WriteFile(client / name, "x");
    const auto outcome = publish::Publish({.client = client.path(), .out = dir / "out", .version = "1.9.3"});
    EXPECT_EQ(outcome.code, publish::Outcome::kRefused) << shown;
    EXPECT_EQ(outcome.message.rfind(shown + ":", 0), 0u) << outcome.message;
    EXPECT_EQ(outcome.message.find(name), std::string::npos) << "the raw name reaches no terminal: " << shown;
    EXPECT_FALSE(fs::exists(dir / "out")) << shown;
  }
  // Letters of other scripts and the other marks are names like any other.
  TempDir client;
  WriteFile(client / "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A/\xC2\xA0nbsp\xE2\x80\x8Bzwsp.txt", "x");
  EXPECT_EQ(publish::Publish({.client = client.path(), .out = dir / "out", .version = "1.9.3"}).code,
            publish::Outcome::kPublished);
}

TEST_F(Publisher, MakesNoKeyThroughALinkPlantedAtItsNames) {
  if (!platform::MakeReleaseKeyPair()) GTEST_SKIP() << "this platform has no Ed25519";
  WriteFile(dir / "theirs", "theirs");
  fs::create_symlink(dir / "theirs", dir / "key");
  EXPECT_EQ(publish::MakeKey(dir / "key").code, publish::Outcome::kRefused);
  fs::create_symlink(dir / "nothing-yet", dir / "other");
  EXPECT_EQ(publish::MakeKey(dir / "other").code, publish::Outcome::kRefused);
  fs::create_symlink(dir / "theirs", dir / "third.pub");
  EXPECT_EQ(publish::MakeKey(dir / "third").code, publish::Outcome::kRefused);
  EXPECT_EQ(ReadText(dir / "theirs"), "theirs");
  EXPECT_FALSE(fs::exists(dir / "nothing-yet"));
  EXPECT_FALSE(fs::exists(dir / "third")) << "no private key without its public half";
}

TEST_F(Publisher, NumbersSignedReleasesOnFromTheOneUnderItsRoot) {
  if (!platform::MakeReleaseKeyPair()) GTEST_SKIP() << "this platform has no Ed25519";
  const fs::path key = dir / "release";
  ASSERT_EQ(publish::MakeKey(key).code, publish::Outcome::kPublished);
  WriteFile(dir / "client/a.bin", "a");
  const fs::path version_file = dir / "out/krdn/barternsav/360/tern.sav";
  const auto signed_publish = [&](const std::string& version, std::optional<std::uint64_t> sequence = std::nullopt) {
    return publish::Publish(
        {.client = dir / "client", .out = dir / "out", .version = version, .sign_key = key, .sequence = sequence});
  };
  EXPECT_EQ(signed_publish("1.9.3").sequence, 1u);
  EXPECT_EQ(ReleaseSequenceOf(ReadFile(version_file)), 1u);
  EXPECT_EQ(signed_publish("1.9.4").sequence, 2u);
  EXPECT_EQ(ReleaseSequenceOf(ReadFile(version_file)), 2u);
  const auto version = ParseVersionFile(ReadFile(version_file));
  ASSERT_TRUE(version);
  EXPECT_EQ(version->Text(), u"1.9.4");
  EXPECT_EQ(signed_publish("1.9.5", 70).sequence, 70u);
  EXPECT_EQ(signed_publish("1.9.6").sequence, 71u);
  EXPECT_EQ(signed_publish("1.9.7", 0).code, publish::Outcome::kRefused);

  // An unsigned release carries no number: its version file is what it always was.
  const auto unsigned_release = Run("1.9.8");
  EXPECT_EQ(unsigned_release.code, publish::Outcome::kPublished);
  EXPECT_EQ(unsigned_release.sequence, 0u);
  const auto bytes = ReadFile(version_file);
  EXPECT_TRUE(std::all_of(bytes.begin() + kReleaseSequenceOffset, bytes.begin() + kReleaseSequenceEnd,
                          [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(signed_publish("1.9.9").sequence, 1u) << "the root's release has no number";
  const auto asked = publish::Publish({.client = dir / "client", .out = dir / "out2", .version = "1.9.3", .sequence = 5});
  EXPECT_EQ(asked.code, publish::Outcome::kRefused) << "a number without a signature means nothing";
  EXPECT_FALSE(fs::exists(dir / "out2"));
}

std::vector<std::uint8_t> Signature(const fs::path& file) { return ReadFile(file.string() + ".sig"); }

TEST_F(Publisher, SignsTheVersionFileAndTheManifestWithAKeyItMade) {
  if (!platform::MakeReleaseKeyPair()) GTEST_SKIP() << "this platform has no Ed25519";
  const fs::path key = dir / "keys/release";
  fs::create_directories(key.parent_path());
  ASSERT_EQ(publish::MakeKey(key).code, publish::Outcome::kPublished);
  EXPECT_EQ(fs::status(key).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write)
      << "the private key is its owner's only";
  const std::string public_pem = ReadText(key.string() + ".pub");
  EXPECT_EQ(public_pem.rfind("-----BEGIN PUBLIC KEY-----", 0), 0u);
  EXPECT_EQ(ReadText(key).find("PUBLIC"), std::string::npos);
  EXPECT_EQ(publish::MakeKey(key).code, publish::Outcome::kRefused) << "an existing key is never replaced";
  EXPECT_EQ(ReadText(key.string() + ".pub"), public_pem);

  WriteFile(dir / "client/bin/a.dll", PatternBytes(2500, 1));
  const auto outcome = publish::Publish(
      {.client = dir / "client", .out = dir / "out", .version = "1.9.3", .piece_size = 1000, .sign_key = key});
  ASSERT_EQ(outcome.code, publish::Outcome::kPublished) << outcome.message;
  const auto public_key = platform::ReadReleasePublicKey(public_pem);
  ASSERT_TRUE(public_key);
  const fs::path version_file = dir / "out/krdn/barternsav/360/tern.sav";
  const fs::path manifest = dir / "out/krdn/repair/1.9.3/1.9.3_download.txt";
  const auto version_bytes = ReadFile(version_file);
  const auto manifest_bytes = ReadFile(manifest);
  ASSERT_EQ(Signature(version_file).size(), 64u);
  EXPECT_TRUE(platform::VerifyReleaseSignature(*public_key, "tern.sav", version_bytes, Signature(version_file)));
  EXPECT_TRUE(platform::VerifyReleaseSignature(*public_key, "1.9.3_download.txt", manifest_bytes, Signature(manifest)));
  const fs::path index = dir / "out/krdn/repair/1.9.3/1.9.3_chunks";
  const auto index_bytes = ReadFile(index);
  EXPECT_TRUE(platform::VerifyReleaseSignature(*public_key, "1.9.3_chunks", index_bytes, Signature(index)));
  EXPECT_FALSE(platform::VerifyReleaseSignature(*public_key, "1.9.3_download.txt", index_bytes, Signature(index)));

  // Each signature holds for its own file under its own name only, and not for a change.
  EXPECT_FALSE(platform::VerifyReleaseSignature(*public_key, "tern.sav", manifest_bytes, Signature(manifest)));
  EXPECT_FALSE(platform::VerifyReleaseSignature(*public_key, "1.9.4_download.txt", manifest_bytes, Signature(manifest)));
  auto altered = version_bytes;
  altered[241] ^= 1;
  EXPECT_FALSE(platform::VerifyReleaseSignature(*public_key, "tern.sav", altered, Signature(version_file)));
  auto short_signature = Signature(version_file);
  short_signature.pop_back();
  EXPECT_FALSE(platform::VerifyReleaseSignature(*public_key, "tern.sav", version_bytes, short_signature));
  EXPECT_FALSE(fs::exists(dir / "out/krdn/repair/Repair_Done.txt.sig"));

  // Without a key nothing is signed; a file that is no private key is refused first.
  fs::remove_all(dir / "out");
  ASSERT_EQ(Run().code, publish::Outcome::kPublished);
  EXPECT_FALSE(fs::exists(version_file.string() + ".sig"));
  fs::remove_all(dir / "out");
  const auto refused = publish::Publish(
      {.client = dir / "client", .out = dir / "out", .version = "1.9.3", .sign_key = key.string() + ".pub"});
  EXPECT_EQ(refused.code, publish::Outcome::kRefused);
  EXPECT_NE(refused.message.find("private key"), std::string::npos) << refused.message;
  EXPECT_FALSE(fs::exists(dir / "out"));
}

}  // namespace
}  // namespace krdn::testing
