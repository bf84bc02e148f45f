#include "platform/io/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::File;
using krdn::testing::ReadFile;
using krdn::testing::TempDir;
using krdn::testing::WriteFile;

std::u16string U16(const std::filesystem::path& path) { return platform::Utf8ToUtf16(path.string()); }

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(Files, BackslashPathsAndChineseNamesReachTheDisk) {
  EXPECT_EQ(platform::NativePath(u"/tmp\\bin\\数据.pak"), "/tmp/bin/数据.pak");
  TempDir dir;
  const std::u16string base = U16(dir.path());
  std::filesystem::create_directories(dir / "数据/sub");
  auto file = File::Open(base + u"\\数据\\sub\\a.bin", File::Mode::kCreate);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->WriteAt(0, Bytes("hello")));
  file->Close();
  EXPECT_EQ(ReadFile(dir / "数据/sub/a.bin"), Bytes("hello"));
  const auto attributes = platform::GetFileAttributes(base + u"\\数据");
  ASSERT_TRUE(attributes);
  EXPECT_TRUE(attributes->directory);
  EXPECT_FALSE(platform::GetFileAttributes(base + u"\\missing"));
}

TEST(Files, ModesCreateKeepAndEmptyAsTheirNamesSay) {
  TempDir dir;
  const std::u16string path = U16(dir / "f.bin");
  EXPECT_FALSE(File::Open(path, File::Mode::kRead));
  EXPECT_FALSE(File::Open(path, File::Mode::kUpdate));
  EXPECT_FALSE(File::Open(path, File::Mode::kTruncate));
  {
    auto append = File::Open(path, File::Mode::kAppend);  // creates
    ASSERT_TRUE(append);
    ASSERT_TRUE(append->Append(Bytes("abc")));
    ASSERT_TRUE(append->Append(Bytes("def")));
  }
  {
    auto update = File::Open(path, File::Mode::kUpdate);
    ASSERT_TRUE(update);
    ASSERT_TRUE(update->WriteAt(1, Bytes("XY")));
    std::vector<std::uint8_t> back(10);
    EXPECT_EQ(update->ReadAt(0, back), 6u);  // short read at the end of the file
    back.resize(6);
    EXPECT_EQ(back, Bytes("aXYdef"));
  }
  {
    auto cut = File::Open(path, File::Mode::kTruncate);
    ASSERT_TRUE(cut);
    ASSERT_TRUE(cut->Resize(2));
  }
  EXPECT_EQ(ReadFile(dir / "f.bin"), Bytes("aX"));
  {
    auto extend = File::Open(path, File::Mode::kAppend);
    ASSERT_TRUE(extend);
    ASSERT_TRUE(extend->ExtendWithZeros(5));
    EXPECT_EQ(extend->Size(), 5u);
  }
  EXPECT_EQ(ReadFile(dir / "f.bin"), (std::vector<std::uint8_t>{'a', 'X', 0, 0, 0}));
  {
    auto create = File::Open(path, File::Mode::kCreate);  // empties
    ASSERT_TRUE(create);
    EXPECT_EQ(create->Size(), 0u);
  }
}

TEST(Files, LockedDirectoriesAndFifosCannotBeOpened) {
  TempDir dir;
  WriteFile(dir / "locked.bin", "data");
  const int holder = ::open((dir / "locked.bin").c_str(), O_RDWR);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_FALSE(File::Open(U16(dir / "locked.bin"), File::Mode::kRead));
  EXPECT_FALSE(File::Open(U16(dir / "locked.bin"), File::Mode::kUpdate));
  ::close(holder);
  EXPECT_TRUE(File::Open(U16(dir / "locked.bin"), File::Mode::kRead));

  // Readers share; a writer needs the file to itself.
  auto reader = File::Open(U16(dir / "locked.bin"), File::Mode::kRead);
  ASSERT_TRUE(reader);
  EXPECT_TRUE(File::Open(U16(dir / "locked.bin"), File::Mode::kRead));
  EXPECT_FALSE(File::Open(U16(dir / "locked.bin"), File::Mode::kTruncate));
  reader->Close();

  std::filesystem::create_directory(dir / "a_dir");
  EXPECT_FALSE(File::Open(U16(dir / "a_dir"), File::Mode::kRead));
  EXPECT_FALSE(File::Open(U16(dir / "a_dir"), File::Mode::kAppend));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(File::Open(U16(dir / "fifo"), File::Mode::kRead));  // refused, not blocked
  EXPECT_FALSE(File::Open(U16(dir / "fifo"), File::Mode::kUpdate));
}

TEST(Files, ReadOnlyAttributeComesFromTheOwnerWriteBit) {
  TempDir dir;
  WriteFile(dir / "ro.bin", "x");
  ASSERT_EQ(::chmod((dir / "ro.bin").c_str(), 0444), 0);
  auto attributes = platform::GetFileAttributes(U16(dir / "ro.bin"));
  ASSERT_TRUE(attributes);
  EXPECT_TRUE(attributes->read_only);
  ASSERT_EQ(::chmod((dir / "ro.bin").c_str(), 0644), 0);
  attributes = platform::GetFileAttributes(U16(dir / "ro.bin"));
  ASSERT_TRUE(attributes);
  EXPECT_FALSE(attributes->read_only);
}

TEST(Files, CreateDirectoryMakesOneLevelOnly) {
  TempDir dir;
  EXPECT_TRUE(platform::CreateDirectory(U16(dir / "one")));
  EXPECT_TRUE(platform::CreateDirectory(U16(dir / "one")));  // already there
  EXPECT_FALSE(platform::CreateDirectory(U16(dir / "two/three")));
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(platform::CreateDirectory(U16(dir / "file")));
  EXPECT_FALSE(platform::CreateDirectory(U16(dir / "file/sub")));
}

TEST(Files, CreateNewIsItsOwnersOnlyAndNeverReplacesOrFollows) {
  TempDir dir;
  const mode_t old_mask = ::umask(0);  // the mode must not depend on a narrowing umask
  auto made = File::CreateNew(U16(dir / "secret"));
  ::umask(old_mask);
  ASSERT_TRUE(made);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "secret").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_TRUE(made->WriteAt(0, Bytes("key")));
  made->Close();

  EXPECT_FALSE(File::CreateNew(U16(dir / "secret")));
  EXPECT_EQ(ReadFile(dir / "secret"), Bytes("key"));
  // A planted link, to a file or to nothing yet, is neither followed nor replaced.
  WriteFile(dir / "theirs", "theirs");
  std::filesystem::create_symlink(dir / "theirs", dir / "to-theirs");
  std::filesystem::create_symlink(dir / "nothing-yet", dir / "dangling");
  EXPECT_FALSE(File::CreateNew(U16(dir / "to-theirs")));
  EXPECT_FALSE(File::CreateNew(U16(dir / "dangling")));
  EXPECT_EQ(ReadFile(dir / "theirs"), Bytes("theirs"));
  EXPECT_FALSE(std::filesystem::exists(dir / "nothing-yet"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling"));
  EXPECT_FALSE(File::CreateNew(U16(dir / "missing/secret")));
}

}  // namespace
