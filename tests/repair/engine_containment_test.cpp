// Runs against install directories that hold links to files and directories outside:
// whatever the link and whatever the run does at its path, nothing outside changes and
// the install directory ends as the release. And a fresh install is the whole release,
// empty files included.
#include <sys/stat.h>

#include "tests/repair/engine_fixture.h"
#include "tests/support/tree_snapshot.h"

namespace krdn::testing {
namespace {

using platform::InstallRoot;

// The hard-link kinds give a client file or the version file a second name outside.
enum class LinkKind { kFile, kDangling, kReadOnlyFile, kDirectory, kVersionFile, kHardLink, kHardLinkedVersionFile };
enum class RunStep { kVerify, kResize, kWritePiece, kClearReadOnly, kCreateParent };

std::string Name(LinkKind kind) {
  switch (kind) {
    case LinkKind::kFile: return "FileLink";
    case LinkKind::kDangling: return "DanglingLink";
    case LinkKind::kReadOnlyFile: return "ReadOnlyFileLink";
    case LinkKind::kDirectory: return "DirectoryLink";
    case LinkKind::kVersionFile: return "VersionFileLink";
    case LinkKind::kHardLink: return "HardLink";
    case LinkKind::kHardLinkedVersionFile: return "HardLinkedVersionFile";
  }
  return "?";
}

std::string Name(RunStep step) {
  switch (step) {
    case RunStep::kVerify: return "Verify";
    case RunStep::kResize: return "Resize";
    case RunStep::kWritePiece: return "WritePiece";
    case RunStep::kClearReadOnly: return "ClearReadOnly";
    case RunStep::kCreateParent: return "CreateParent";
  }
  return "?";
}

using LinkCase = std::tuple<LinkKind, RunStep, InstallRoot::Resolution>;

std::string CaseName(const ::testing::TestParamInfo<LinkCase>& param_info) {
  const auto& [kind, step, resolution] = param_info.param;
  return Name(kind) + "_" + Name(step) +
         (resolution == InstallRoot::Resolution::kWholePath ? "_WholePath" : "_ComponentWise");
}

class LinksInTheInstall : public EngineTest, public ::testing::WithParamInterface<LinkCase> {
 protected:
  // The bytes that lead a link-following run into the step: the release itself for a
  // verification, a longer copy to be cut, a damaged piece to be written over.
  std::vector<std::uint8_t> ShapedFor(RunStep step, std::vector<std::uint8_t> bytes) const {
    if (step == RunStep::kResize) bytes.resize(bytes.size() + 100, 0x5A);
    if (step == RunStep::kWritePiece) bytes[bytes.size() / 2] ^= 0xFF;
    if (step == RunStep::kClearReadOnly) bytes[10] ^= 0xFF;
    return bytes;
  }

  void PlaceTarget(const fs::path& path, RunStep step, bool read_only, const std::vector<std::uint8_t>& release) {
    WriteFile(path, ShapedFor(step, release));
    if (read_only || step == RunStep::kClearReadOnly) ::chmod(path.c_str(), 0444);
  }

  // Puts the link of the case into the installed copy, its target outside.
  void PlaceLink(LinkKind kind, RunStep step) {
    const std::vector<std::uint8_t> core = ReadFile(client / "bin/core.pak");
    const bool at_parent = step == RunStep::kCreateParent;
    switch (kind) {
      case LinkKind::kFile:
      case LinkKind::kReadOnlyFile:
      case LinkKind::kDangling: {
        const fs::path target = outside / (kind == LinkKind::kDangling ? "absent.pak" : "core.pak");
        if (kind != LinkKind::kDangling) PlaceTarget(target, step, kind == LinkKind::kReadOnlyFile, core);
        if (at_parent) fs::remove_all(install / "bin");
        else fs::remove(install / "bin/core.pak");
        fs::create_symlink(target, at_parent ? install / "bin" : install / "bin/core.pak");
        break;
      }
      case LinkKind::kDirectory:
        fs::create_directories(outside / "bin");
        if (!at_parent) PlaceTarget(outside / "bin/core.pak", step, false, core);
        fs::remove_all(install / "bin");
        fs::create_symlink(outside / "bin", install / "bin");
        break;
      case LinkKind::kHardLink:
        // Only files have hard links: the step's parent case has none.
        PlaceTarget(outside / "core.pak", step, false, core);
        fs::remove(install / "bin/core.pak");
        fs::create_hard_link(outside / "core.pak", install / "bin/core.pak");
        break;
      case LinkKind::kVersionFile:
      case LinkKind::kHardLinkedVersionFile:
        // The link is at the version file; the step happens to a real client file.
        PlaceTarget(outside / "tern.sav", step, step == RunStep::kClearReadOnly, ReadFile(root / kServedVersionFile));
        fs::remove(install / "tern.sav");
        if (kind == LinkKind::kVersionFile) fs::create_symlink(outside / "tern.sav", install / "tern.sav");
        else fs::create_hard_link(outside / "tern.sav", install / "tern.sav");
        if (at_parent) {
          fs::remove_all(install / "bin");
        } else {
          PlaceTarget(install / "bin/core.pak.tmp", step, false, core);
          fs::rename(install / "bin/core.pak.tmp", install / "bin/core.pak");
        }
        break;
    }
  }

  void ExpectNoLinksInTheInstall() const {
    for (const auto& [path, entry] : Snapshot(install)) {
      EXPECT_NE(entry.type, 'l') << path;
      if (entry.type == 'f') {
        EXPECT_EQ(fs::hard_link_count(install / path), 1u) << path;
      }
    }
  }

  static constexpr const char* kServedVersionFile = "krdn/barternsav/360/tern.sav";
  fs::path outside = work / "outside";
};

TEST_P(LinksInTheInstall, NothingOutsideChangesAndTheInstallEndsAsTheRelease) {
  const auto [kind, step, resolution] = GetParam();
  AddClientFile("bin/core.pak", PatternBytes(3000, 61));
  AddClientFile("data/x.bin", PatternBytes(500, 62));
  AddClientFile("VoLauncher.exe", PatternBytes(700, 63));
  Publish("1.9.3", 0, 1024);
  InstallCopy();
  fs::create_directories(outside);
  WriteFile(outside / "bystander.txt", "not the game's");
  PlaceLink(kind, step);
  const TreeSnapshot outside_before = Snapshot(outside);
  settings.path_resolution = resolution;

  RunRepair();

  EXPECT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  EXPECT_EQ(Snapshot(outside), outside_before);
  EXPECT_FALSE(fs::exists(outside / "absent.pak"));
  ExpectInstallMatchesClient();
  EXPECT_EQ(ReadFile(install / "tern.sav"), ReadFile(root / kServedVersionFile));
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(install / "bin")));
  ExpectNoLinksInTheInstall();
}

INSTANTIATE_TEST_SUITE_P(
    KindsAndSteps, LinksInTheInstall,
    ::testing::Combine(::testing::Values(LinkKind::kFile, LinkKind::kDangling, LinkKind::kReadOnlyFile,
                                         LinkKind::kDirectory, LinkKind::kVersionFile),
                       ::testing::Values(RunStep::kVerify, RunStep::kResize, RunStep::kWritePiece,
                                         RunStep::kClearReadOnly, RunStep::kCreateParent),
                       ::testing::Values(InstallRoot::Resolution::kWholePath,
                                         InstallRoot::Resolution::kComponentWise)),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    HardLinks, LinksInTheInstall,
    ::testing::Combine(::testing::Values(LinkKind::kHardLink, LinkKind::kHardLinkedVersionFile),
                       ::testing::Values(RunStep::kVerify, RunStep::kResize, RunStep::kWritePiece,
                                         RunStep::kClearReadOnly),
                       ::testing::Values(InstallRoot::Resolution::kWholePath,
                                         InstallRoot::Resolution::kComponentWise)),
    CaseName);

TEST_F(EngineTest, AFreshInstallIsTheWholeReleaseEmptyFilesIncludedAndASecondRunFetchesNothing) {
  AddClientFile("empty-top.txt", {});
  AddClientFile("a/empty-one.cfg", {});
  AddClientFile("a/b/c/empty-deep.log", {});
  AddClientFile("a/b/data.bin", PatternBytes(1500, 64));
  Publish("1.9.3", 0, 1024);

  RunRepair();
  ASSERT_TRUE(Succeeded()) << platform::Utf16ToUtf8(FinalText());
  TreeSnapshot installed = Snapshot(install);
  installed.erase("tern.sav");
  TreeSnapshot release = Snapshot(client);
  for (TreeSnapshot* tree : {&installed, &release}) {
    for (auto& [path, entry] : *tree) entry.mode = 0;  // the bytes and the kinds are the release; modes are the umask's
  }
  EXPECT_EQ(installed, release);
  const std::vector<std::u16string> appended = Appended();
  for (const std::u16string path : {u"\\a\\b\\c\\empty-deep.log", u"\\empty-top.txt"}) {
    EXPECT_NE(std::find(appended.begin(), appended.end(), u"校验文件: " + path + u"......"), appended.end());
    const auto download = std::find(appended.begin(), appended.end(), u"下载文件: " + path + u"......");
    ASSERT_NE(download, appended.end());
    EXPECT_EQ(*(download + 1), u"成功\r\n");
  }
  EXPECT_EQ(std::count(appended.begin(), appended.end(), u"文件缺失\r\n"), 4);
  EXPECT_TRUE(AgentsFor("/krdn/repair/1.9.3/a/b/c/empty-deep.log").empty()) << "an empty file needs no request";
  EXPECT_EQ(AgentsFor("/krdn/repair/1.9.3/a/b/data.bin").size(), 2u);

  const std::size_t requests_before = server->requests().size();
  notes.clear();
  RunRepair();
  ASSERT_TRUE(Succeeded());
  const auto requests = server->requests();
  ASSERT_EQ(requests.size() - requests_before, 3u);  // version file, manifest, completion marker
  EXPECT_EQ(requests.back().path, "/krdn/repair/Repair_Done.txt");
  const std::vector<std::u16string> again = Appended();
  EXPECT_NE(std::find(again.begin(), again.end(), u"恭喜，所有文件都成功通过检验\r\n"), again.end());
}

}  // namespace
}  // namespace krdn::testing
