// The install root under both resolutions: what it finds, opens and makes beneath the
// directory, and that nothing a link points to is ever read, written or changed.
#include "platform/io/install_root.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/utf.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"

namespace {

namespace fs = std::filesystem;
using platform::File;
using platform::InstallRoot;
using krdn::testing::ReadText;
using krdn::testing::Snapshot;
using krdn::testing::TempDir;
using krdn::testing::TreeSnapshot;
using krdn::testing::WriteFile;

std::u16string U16(const fs::path& path) { return platform::Utf8ToUtf16(path.string()); }

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

unsigned ModeOf(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool IsLink(const fs::path& path) { return fs::is_symlink(fs::symlink_status(path)); }

// An install directory beside an "outside" tree that links inside point into:
//   install/real.bin, install/dir/inner.bin, install/ro.bin (0444)
//   install/file_link -> outside/target.bin      install/ro_link -> outside/ro.bin (0444)
//   install/dangling  -> outside/absent.bin      install/dir_link -> outside/dir (holds inner.bin)
//   install/rel_link  -> ../outside/target.bin (a relative link)
//   install/hard_link, a second name of outside/hard.bin
//   install/ro_hard, a second name of outside/ro_hard.bin (0444)
class InstallRootTest : public ::testing::TestWithParam<InstallRoot::Resolution> {
 protected:
  void SetUp() override {
    WriteFile(outside / "target.bin", "outside target");
    WriteFile(outside / "ro.bin", "outside read-only");
    ::chmod((outside / "ro.bin").c_str(), 0444);
    WriteFile(outside / "dir/inner.bin", "outside inner");
    WriteFile(install / "real.bin", "inside");
    WriteFile(install / "dir/inner.bin", "inside inner");
    WriteFile(install / "ro.bin", "inside read-only");
    ::chmod((install / "ro.bin").c_str(), 0444);
    fs::create_symlink(outside / "target.bin", install / "file_link");
    fs::create_symlink(outside / "ro.bin", install / "ro_link");
    fs::create_symlink(outside / "absent.bin", install / "dangling");
    fs::create_symlink(outside / "dir", install / "dir_link");
    fs::create_symlink("../outside/target.bin", install / "rel_link");
    WriteFile(outside / "hard.bin", "outside hard");
    WriteFile(outside / "ro_hard.bin", "outside read-only hard");
    ::chmod((outside / "ro_hard.bin").c_str(), 0444);
    fs::create_hard_link(outside / "hard.bin", install / "hard_link");
    fs::create_hard_link(outside / "ro_hard.bin", install / "ro_hard");
    before = Snapshot(outside);
    root = InstallRoot::Open(U16(install), GetParam());
    ASSERT_TRUE(root.is_open());
    if (root.resolution() != GetParam()) GTEST_SKIP() << "this kernel cannot resolve whole paths beneath a directory";
  }

  void ExpectOutsideUnchanged() const { EXPECT_EQ(Snapshot(outside), before); }

  TempDir work;
  fs::path install = work / "install";
  fs::path outside = work / "outside";
  TreeSnapshot before;
  InstallRoot root;
};

TEST_P(InstallRootTest, FindsAndOpensWhatLiesBeneathInEitherSeparator) {
  const auto dir = root.Attributes(u"\\dir");
  ASSERT_TRUE(dir);
  EXPECT_TRUE(dir->directory);
  const auto ro = root.Attributes(u"ro.bin");
  ASSERT_TRUE(ro);
  EXPECT_FALSE(ro->directory);
  EXPECT_TRUE(ro->read_only);
  EXPECT_TRUE(root.Attributes(u""));  // the root itself
  EXPECT_FALSE(root.Attributes(u"\\missing.bin"));
  EXPECT_FALSE(root.Attributes(u"\\real.bin\\below"));  // a file is no directory

  for (const std::u16string path : {u"\\dir\\inner.bin", u"/dir/inner.bin", u"dir\\inner.bin"}) {
    auto file = root.OpenFile(path, File::Mode::kRead);
    ASSERT_TRUE(file);
    std::vector<std::uint8_t> bytes(64);
    bytes.resize(file->ReadAt(0, bytes));
    EXPECT_EQ(bytes, Bytes("inside inner"));
  }
  EXPECT_FALSE(root.OpenFile(u"\\dir", File::Mode::kRead));  // only regular files open
  EXPECT_FALSE(root.OpenFile(u"", File::Mode::kAppend));
}

TEST_P(InstallRootTest, RefusesPathsThatCouldLeaveOrNameOneFileTwice) {
  for (const std::u16string& path : std::vector<std::u16string>{u"..\\outside\\target.bin", u"\\dir\\..\\..\\outside\\target.bin", u"\\.\\real.bin",
                                    u"\\dir\\\\inner.bin", u"\\dir\\", u"\\\\real.bin", std::u16string(u"a\0b", 3),
                                    std::u16string(u"\\bad\xD800.bin")}) {
    EXPECT_FALSE(root.Attributes(path));
    EXPECT_FALSE(root.OpenFile(path, File::Mode::kRead));
    EXPECT_FALSE(root.OpenFile(path, File::Mode::kCreate));
    EXPECT_FALSE(root.ClearReadOnly(path));
    EXPECT_FALSE(root.CreateDirectories(path));
  }
  EXPECT_FALSE(fs::exists(work / "bad"));
  ExpectOutsideUnchanged();
}

TEST_P(InstallRootTest, ALinkAnywhereOnThePathCountsAsNothingThere) {
  for (const std::u16string path : {u"\\file_link", u"\\ro_link", u"\\dangling", u"\\dir_link", u"\\rel_link",
                                    u"\\dir_link\\inner.bin", u"\\hard_link", u"\\ro_hard"}) {
    SCOPED_TRACE(platform::Utf16ToUtf8(path));
    EXPECT_FALSE(root.Attributes(path));
    for (const File::Mode mode : {File::Mode::kRead, File::Mode::kUpdate, File::Mode::kTruncate}) {
      EXPECT_FALSE(root.OpenFile(path, mode));
    }
    EXPECT_FALSE(root.ClearReadOnly(path));
  }
  // Creating below a directory link fails: the directories of a path are CreateDirectories' job.
  EXPECT_FALSE(root.OpenFile(u"\\dir_link\\inner.bin", File::Mode::kCreate));
  EXPECT_FALSE(root.OpenFile(u"\\dir_link\\new.bin", File::Mode::kAppend));
  EXPECT_TRUE(IsLink(install / "dir_link"));
  ExpectOutsideUnchanged();
}

TEST_P(InstallRootTest, CreateAndAppendReplaceALinkWithANewFileAndLeaveItsTargetAlone) {
  {
    auto created = root.OpenFile(u"\\file_link", File::Mode::kCreate);
    ASSERT_TRUE(created);
    EXPECT_EQ(created->Size(), 0u);
    ASSERT_TRUE(created->Append(Bytes("new")));
  }
  {
    auto appended = root.OpenFile(u"\\dangling", File::Mode::kAppend);
    ASSERT_TRUE(appended);
    EXPECT_EQ(appended->Size(), 0u);  // nothing of a target is kept, because none was opened
    ASSERT_TRUE(appended->ExtendWithZeros(4));
  }
  ASSERT_TRUE(root.OpenFile(u"\\ro_link", File::Mode::kAppend));
  ASSERT_TRUE(root.OpenFile(u"\\rel_link", File::Mode::kAppend));
  {
    auto created = root.OpenFile(u"\\hard_link", File::Mode::kCreate);
    ASSERT_TRUE(created);
    ASSERT_TRUE(created->Append(Bytes("new")));
    auto appended = root.OpenFile(u"\\ro_hard", File::Mode::kAppend);
    ASSERT_TRUE(appended);
    EXPECT_EQ(appended->Size(), 0u);  // a new file, nothing of the other names' content
  }
  for (const char* name : {"file_link", "dangling", "ro_link", "rel_link", "hard_link", "ro_hard"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(install / name))) << name;
  }
  EXPECT_EQ(fs::hard_link_count(install / "hard_link"), 1u);
  EXPECT_EQ(fs::hard_link_count(outside / "hard.bin"), 1u);
  EXPECT_EQ(ReadText(install / "hard_link"), "new");
  EXPECT_EQ(ReadText(install / "file_link"), "new");
  EXPECT_EQ(fs::file_size(install / "dangling"), 4u);
  EXPECT_FALSE(fs::exists(outside / "absent.bin"));
  ExpectOutsideUnchanged();
}

TEST_P(InstallRootTest, CreateDirectoriesReplacesLinksButNeverAFile) {
  ASSERT_TRUE(root.CreateDirectories(u"\\dir_link\\sub"));
  ASSERT_TRUE(root.CreateDirectories(u"\\dangling\\a\\b"));
  ASSERT_TRUE(root.CreateDirectories(u"\\file_link"));
  EXPECT_TRUE(root.CreateDirectories(u"\\dir"));  // already there
  EXPECT_TRUE(root.CreateDirectories(u""));
  for (const char* path : {"dir_link/sub", "dangling/a/b", "file_link"}) {
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(install / path))) << path;
  }
  EXPECT_FALSE(IsLink(install / "dir_link"));
  EXPECT_TRUE(root.OpenFile(u"\\dir_link\\sub\\x.bin", File::Mode::kAppend));

  EXPECT_FALSE(root.CreateDirectories(u"\\real.bin\\sub"));
  EXPECT_EQ(ReadText(install / "real.bin"), "inside");
  ExpectOutsideUnchanged();
}

TEST_P(InstallRootTest, ClearReadOnlyChangesTheFileItselfNeverALinkTarget) {
  EXPECT_FALSE(root.ClearReadOnly(u"\\ro_link"));
  EXPECT_EQ(ModeOf(outside / "ro.bin"), 0444u);
  EXPECT_FALSE(root.ClearReadOnly(u"\\ro_hard"));
  EXPECT_EQ(ModeOf(outside / "ro_hard.bin"), 0444u);
  ASSERT_TRUE(root.ClearReadOnly(u"\\ro.bin"));
  EXPECT_EQ(ModeOf(install / "ro.bin"), 0644u);
  const auto attributes = root.Attributes(u"\\ro.bin");
  ASSERT_TRUE(attributes);
  EXPECT_FALSE(attributes->read_only);
  EXPECT_FALSE(root.ClearReadOnly(u"\\missing.bin"));
  ExpectOutsideUnchanged();
}

TEST_P(InstallRootTest, FilesKeepTheSharingAndTypeRulesOfAPlainOpen) {
  const int holder = ::open((install / "real.bin").c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_FALSE(root.OpenFile(u"\\real.bin", File::Mode::kRead));
  EXPECT_FALSE(root.OpenFile(u"\\real.bin", File::Mode::kCreate));
  ::close(holder);
  EXPECT_TRUE(root.OpenFile(u"\\real.bin", File::Mode::kUpdate));

  ASSERT_EQ(::mkfifo((install / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(root.OpenFile(u"\\fifo", File::Mode::kRead));  // refused, not blocked
  EXPECT_FALSE(root.OpenFile(u"\\fifo", File::Mode::kAppend));
  EXPECT_FALSE(root.CreateDirectories(u"\\fifo\\sub"));
}

// The one open that verification makes of each file tells what the look, the open and
// the size would: nothing there, there but not to be opened, or opened (and locked).
TEST_P(InstallRootTest, OpenForReadingFindsWhatTheLookTheOpenAndTheSizeFind) {
  using State = InstallRoot::ReadOpen::State;
  ASSERT_EQ(::mkfifo((install / "fifo").c_str(), 0600), 0);
  const int holder = ::open((install / "ro.bin").c_str(), O_RDONLY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  for (const std::u16string path :
       {u"\\real.bin", u"/dir/inner.bin", u"\\dir", u"\\fifo", u"\\ro.bin", u"\\file_link", u"\\ro_link",
        u"\\dangling", u"\\dir_link\\inner.bin", u"\\rel_link", u"\\hard_link", u"\\ro_hard", u"\\absent.bin",
        u"\\real.bin\\below", u"\\dir\\..\\real.bin", u""}) {
    const std::string name = platform::Utf16ToUtf8(path);
    InstallRoot::ReadOpen found = root.OpenForReading(path);
    if (!root.Attributes(path) || path.empty()) {
      EXPECT_EQ(found.state, State::kAbsent) << name;
      continue;
    }
    const std::optional<File> opened = root.OpenFile(path, File::Mode::kRead);
    if (!opened) {
      EXPECT_EQ(found.state, State::kUnopened) << name;
      continue;
    }
    ASSERT_EQ(found.state, State::kOpened) << name;
    ASSERT_TRUE(found.file) << name;
    EXPECT_EQ(found.size, opened->Size()) << name;
    std::vector<std::uint8_t> bytes(64);
    bytes.resize(found.file->ReadAt(0, bytes));
    std::vector<std::uint8_t> expected(64);
    expected.resize(opened->ReadAt(0, expected));
    EXPECT_EQ(bytes, expected) << name;
  }
  ::close(holder);
  // Opened for reading, the file holds a shared lock as a plain open does.
  InstallRoot::ReadOpen real = root.OpenForReading(u"\\real.bin");
  ASSERT_EQ(real.state, State::kOpened);
  EXPECT_EQ(real.size, std::uint64_t{6});
  const int writer = ::open((install / "real.bin").c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  EXPECT_NE(::flock(writer, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(::flock(writer, LOCK_SH | LOCK_NB), 0);
  ::close(writer);
  ExpectOutsideUnchanged();
}

TEST_P(InstallRootTest, TheRootStaysTheDirectoryItOpenedEvenWhenItsNameMoves) {
  fs::rename(install, work / "moved");
  fs::create_symlink(outside, install);  // the old name now leads outside
  ASSERT_TRUE(root.OpenFile(u"\\target.bin", File::Mode::kCreate));
  EXPECT_TRUE(fs::exists(work / "moved/target.bin"));
  ExpectOutsideUnchanged();
}

INSTANTIATE_TEST_SUITE_P(Resolutions, InstallRootTest,
                         ::testing::Values(InstallRoot::Resolution::kWholePath,
                                           InstallRoot::Resolution::kComponentWise),
                         [](const auto& param_info) {
                           return param_info.param == InstallRoot::Resolution::kWholePath ? "WholePath" : "ComponentWise";
                         });

TEST_P(InstallRootTest, ReplaceRenamesOverAFileOrALinkInOneDirectoryOnly) {
  WriteFile(install / "dir/record.new", "new record");
  WriteFile(install / "dir/record", "old record");
  ASSERT_TRUE(root.Replace(u"\\dir\\record", u"\\dir\\record.new"));
  EXPECT_EQ(ReadText(install / "dir/record"), "new record");
  EXPECT_FALSE(fs::exists(install / "dir/record.new"));
  // Over a link and over a second name: the name is replaced, what it led to is kept.
  WriteFile(install / "scratch", "over a link");
  ASSERT_TRUE(root.Replace(u"\\file_link", u"\\scratch"));
  EXPECT_FALSE(IsLink(install / "file_link"));
  EXPECT_EQ(ReadText(install / "file_link"), "over a link");
  WriteFile(install / "scratch", "over a second name");
  ASSERT_TRUE(root.Replace(u"\\hard_link", u"\\scratch"));
  EXPECT_EQ(ReadText(install / "hard_link"), "over a second name");
  ExpectOutsideUnchanged();
  // Never from a link, a second name, another directory or onto a directory.
  WriteFile(install / "scratch", "kept");
  EXPECT_FALSE(root.Replace(u"\\real.bin", u"\\ro_link"));
  EXPECT_FALSE(root.Replace(u"\\real.bin", u"\\ro_hard"));
  EXPECT_FALSE(root.Replace(u"\\dir\\other", u"\\scratch"));
  EXPECT_FALSE(root.Replace(u"\\dir", u"\\scratch"));
  EXPECT_FALSE(root.Replace(u"\\dir_link\\inner.bin", u"\\dir_link\\x"));
  EXPECT_FALSE(root.Replace(u"\\real.bin", u"\\missing"));
  EXPECT_EQ(ReadText(install / "scratch"), "kept");
  EXPECT_EQ(ReadText(install / "real.bin"), "inside");
  EXPECT_TRUE(IsLink(install / "ro_link"));
  ExpectOutsideUnchanged();
}

TEST(InstallRootOpen, AClosedRootFailsEverything) {
  TempDir work;
  WriteFile(work / "file", "x");
  for (const fs::path& path : {work / "file", work / "missing"}) {
    const InstallRoot root = InstallRoot::Open(U16(path));
    EXPECT_FALSE(root.is_open());
    EXPECT_FALSE(root.Attributes(u""));
    EXPECT_FALSE(root.OpenFile(u"\\a.bin", File::Mode::kAppend));
    EXPECT_FALSE(root.CreateDirectories(u"\\a"));
  }
  EXPECT_FALSE(fs::exists(work / "missing"));
}

TEST(InstallRootOpen, ALinkedInstallDirectoryIsTheUsersChoiceAndIsFollowed) {
  TempDir work;
  fs::create_directories(work / "games/KRDN");
  fs::create_symlink(work / "games/KRDN", work / "KRDN");
  const InstallRoot root = InstallRoot::Open(U16(work / "KRDN"));
  ASSERT_TRUE(root.is_open());
  ASSERT_TRUE(root.OpenFile(u"\\tern.sav", File::Mode::kCreate));
  EXPECT_TRUE(fs::is_regular_file(work / "games/KRDN/tern.sav"));
}

}  // namespace
