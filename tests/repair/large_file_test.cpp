// A file of 6 GiB from publisher to repair, against nginx: published, verified, one
// damaged piece near its end found and fetched with a Range past 4 GiB and a 64-bit
// piece count in the agent string, and verified intact afterwards. The files are
// sparse everywhere (client, server copy, install directory): the test costs a few
// MiB of disk, and the hashing of 6 GiB three times.
#include <sys/stat.h>

#include <algorithm>

#include "platform/io/files.h"
#include "tests/repair/engine_fixture.h"
#include "tests/support/local_servers.h"

namespace krdn::testing {
namespace {

constexpr std::uint64_t kPiece = 4u << 20;
constexpr std::uint64_t kArchiveSize = std::uint64_t{6} << 30;  // 1536 pieces
constexpr std::uint64_t kDamagedPiece = 1534;                   // the last but one

// Bytes written into the otherwise empty archive: its first piece, the pieces on both
// sides of 4 GiB and the last piece differ from each other and from zeros.
const std::vector<std::pair<std::uint64_t, std::uint32_t>> kWrittenAt = {
    {0, 1}, {(std::uint64_t{1} << 32) - 1000, 2}, {kDamagedPiece * kPiece + 4096, 3}, {kArchiveSize - 100, 4}};

void MakeArchive(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::optional<platform::File> file = platform::File::Open(path.u16string(), platform::File::Mode::kCreate);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Resize(kArchiveSize));
  for (const auto& [offset, seed] : kWrittenAt) {
    const std::uint64_t size = std::min<std::uint64_t>(2000, kArchiveSize - offset);
    const std::vector<std::uint8_t> bytes = PatternBytes(static_cast<std::size_t>(size), seed);
    ASSERT_TRUE(file->WriteAt(offset, bytes));
  }
}

std::uint64_t DiskBytes(const fs::path& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_blocks) * 512 : ~std::uint64_t{0};
}

std::vector<std::uint8_t> PieceOf(const fs::path& path, std::uint64_t piece) {
  std::optional<platform::File> file = platform::File::Open(path.u16string(), platform::File::Mode::kRead);
  std::vector<std::uint8_t> bytes(kPiece);
  bytes.resize(file ? file->ReadAt(piece * kPiece, bytes) : 0);
  return bytes;
}

class LargeFile : public EngineTest {};

TEST_F(LargeFile, ASixGiBArchiveIsPublishedVerifiedAndRepairedPastFourGiB) {
  const fs::path archive = fs::path("data") / "archive.pak";
  MakeArchive(client / archive);
  AddClientFile("VoLauncher.exe", PatternBytes(5000, 5));
  Publish("1.9.3", 0, kPiece);
  const fs::path served = root / "krdn/repair/1.9.3" / archive;
  ASSERT_EQ(fs::file_size(served), kArchiveSize);
  EXPECT_LT(DiskBytes(served), std::uint64_t{64} << 20) << "the server's copy stays sparse";
  const std::vector<std::uint8_t> manifest = ReadFile(root / "krdn/repair/1.9.3/1.9.3_download.txt");
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("\\data\\archive.pak,1536,4194304,"), std::string::npos) << "as every other line is written";

  // The install: the same archive, one piece near the end damaged.
  MakeArchive(install / archive);
  fs::copy_file(client / "VoLauncher.exe", install / "VoLauncher.exe");
  {
    std::optional<platform::File> file =
        platform::File::Open((install / archive).u16string(), platform::File::Mode::kUpdate);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->WriteAt(kDamagedPiece * kPiece + 10, PatternBytes(100, 99)));
  }
  ASSERT_NE(PieceOf(install / archive, kDamagedPiece), PieceOf(client / archive, kDamagedPiece));

  LocalServers servers(root, work / "nginx");
  settings.version_host = servers.version_host();
  settings.repair_host = servers.repair_host();
  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  const std::vector<std::u16string> appended = Appended();
  const auto line = std::find(appended.begin(), appended.end(), u"校验文件: \\data\\archive.pak......");
  ASSERT_NE(line, appended.end());
  ASSERT_NE(line + 1, appended.end());
  EXPECT_EQ(line[1], u"文件缺失\r\n") << "one bad piece";
  EXPECT_EQ(fs::file_size(install / archive), kArchiveSize);
  EXPECT_EQ(PieceOf(install / archive, kDamagedPiece), PieceOf(client / archive, kDamagedPiece));
  EXPECT_LT(DiskBytes(install / archive), std::uint64_t{64} << 20) << "only the damaged piece was written";

  // Verified again, everything is intact, and nothing but the marker is fetched.
  notes.clear();
  RunRepair();
  const std::vector<std::u16string> again = Appended();
  EXPECT_NE(std::find(again.begin(), again.end(), u"恭喜，所有文件都成功通过检验\r\n"), again.end());

  const std::string log = servers.StoppedLog();
  const std::string request = "\"GET /krdn/repair/1.9.3/data/archive.pak HTTP/1.1\" 206 4194304";
  ASSERT_NE(log.find(request + " \"VoRepair_invalid_1535in1536\" \"bytes=6434062336-6438256639\""), std::string::npos)
      << log;
  EXPECT_EQ(log.find(request), log.rfind(request)) << "one piece fetched, once: " << log;
}

}  // namespace
}  // namespace krdn::testing
