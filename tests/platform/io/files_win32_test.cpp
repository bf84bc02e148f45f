// Files on Windows: share modes as the locks, the read-only attribute, devices refused,
// and the absolute paths the console front-end is given.
#include "platform/io/files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/base/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::File;
using krdn::testing::ReadFile;
using krdn::testing::TempDir;
using krdn::testing::WriteFile;

std::u16string U16(const std::filesystem::path& path) { return path.u16string(); }
std::wstring Wide(const std::filesystem::path& path) { return path.wstring(); }

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// A handle of another party, as a running game would hold its files.
class Holder {
 public:
  Holder(const std::filesystem::path& path, DWORD access, DWORD share)
      : handle_(::CreateFileW(Wide(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~Holder() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST(Files, ModesChineseNamesAndBackslashesReachTheDisk) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / u"数据" / "sub");
  const std::u16string path = U16(dir.path()) + u"/数据\\sub/a.bin";
  EXPECT_FALSE(File::Open(path, File::Mode::kRead));
  EXPECT_FALSE(File::Open(path, File::Mode::kUpdate));
  {
    auto append = File::Open(path, File::Mode::kAppend);
    ASSERT_TRUE(append);
    ASSERT_TRUE(append->Append(Bytes("abc")));
    ASSERT_TRUE(append->Append(Bytes("def")));
  }
  {
    auto update = File::Open(path, File::Mode::kUpdate);
    ASSERT_TRUE(update);
    ASSERT_TRUE(update->WriteAt(1, Bytes("XY")));
    std::vector<std::uint8_t> back(10);
    EXPECT_EQ(update->ReadAt(0, back), 6u);  // short at the end of the file
    back.resize(6);
    EXPECT_EQ(back, Bytes("aXYdef"));
    // Far beyond the end: nothing, not an error that hangs or throws.
    EXPECT_EQ(update->ReadAt(1u << 20, back), 0u);
  }
  {
    auto cut = File::Open(path, File::Mode::kTruncate);
    ASSERT_TRUE(cut);
    ASSERT_TRUE(cut->Resize(2));
    ASSERT_TRUE(cut->ExtendWithZeros(5));
    EXPECT_EQ(cut->Size(), 5u);
  }
  EXPECT_EQ(ReadFile(dir.path() / u"数据" / "sub" / "a.bin"), (std::vector<std::uint8_t>{'a', 'X', 0, 0, 0}));
  {
    auto create = File::Open(path, File::Mode::kCreate);
    ASSERT_TRUE(create);
    EXPECT_EQ(create->Size(), 0u);
  }
  EXPECT_EQ(platform::NativePath(u"C:/KRDN/数据.pak"), "C:\\KRDN\\数据.pak");
}

TEST(Files, ShareModesLockAgainstOtherHandles) {
  TempDir dir;
  WriteFile(dir / "locked.bin", "data");
  {
    const Holder exclusive(dir / "locked.bin", GENERIC_READ | GENERIC_WRITE, 0);
    ASSERT_TRUE(exclusive.held());
    for (const File::Mode mode : {File::Mode::kRead, File::Mode::kUpdate, File::Mode::kCreate, File::Mode::kAppend}) {
      EXPECT_FALSE(File::Open(U16(dir / "locked.bin"), mode));
    }
  }
  EXPECT_EQ(krdn::testing::ReadText(dir / "locked.bin"), "data");  // kCreate emptied nothing it could not open

  // Readers share with readers; a writer needs the file to itself, and keeps readers out.
  auto reader = File::Open(U16(dir / "locked.bin"), File::Mode::kRead);
  ASSERT_TRUE(reader);
  EXPECT_TRUE(File::Open(U16(dir / "locked.bin"), File::Mode::kRead));
  EXPECT_FALSE(File::Open(U16(dir / "locked.bin"), File::Mode::kTruncate));
  reader->Close();
  auto writer = File::Open(U16(dir / "locked.bin"), File::Mode::kUpdate);
  ASSERT_TRUE(writer);
  EXPECT_FALSE(File::Open(U16(dir / "locked.bin"), File::Mode::kRead));
  const Holder other_reader(dir / "locked.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_FALSE(other_reader.held());
}

TEST(Files, DirectoriesAndDevicesNeverOpen) {
  TempDir dir;
  std::filesystem::create_directory(dir / "a_dir");
  EXPECT_FALSE(File::Open(U16(dir / "a_dir"), File::Mode::kRead));
  EXPECT_FALSE(File::Open(U16(dir / "a_dir"), File::Mode::kAppend));
  for (const std::u16string device : {u"NUL", u"CON", u"\\\\.\\NUL"}) {
    EXPECT_FALSE(File::Open(device, File::Mode::kRead)) << platform::Utf16ToUtf8(device);
    EXPECT_FALSE(File::Open(device, File::Mode::kAppend)) << platform::Utf16ToUtf8(device);
  }
}

// (Windows keeps writers out of a read-only file; wine run by root does not, so the
// attribute is what is checked here.)
TEST(Files, ReadOnlyIsTheAttribute) {
  TempDir dir;
  WriteFile(dir / "ro.bin", "x");
  ASSERT_NE(::SetFileAttributesW(Wide(dir / "ro.bin").c_str(), FILE_ATTRIBUTE_READONLY), 0);
  auto attributes = platform::GetFileAttributes(U16(dir / "ro.bin"));
  ASSERT_TRUE(attributes);
  EXPECT_TRUE(attributes->read_only);
  EXPECT_FALSE(attributes->directory);
  EXPECT_TRUE(File::Open(U16(dir / "ro.bin"), File::Mode::kRead));
  ASSERT_NE(::SetFileAttributesW(Wide(dir / "ro.bin").c_str(), FILE_ATTRIBUTE_NORMAL), 0);
  attributes = platform::GetFileAttributes(U16(dir / "ro.bin"));
  ASSERT_TRUE(attributes);
  EXPECT_FALSE(attributes->read_only);
  EXPECT_TRUE(File::Open(U16(dir / "ro.bin"), File::Mode::kUpdate));
}

TEST(Files, CreateDirectoryMakesOneLevelOnly) {
  TempDir dir;
  EXPECT_TRUE(platform::CreateDirectory(U16(dir / "one")));
  EXPECT_TRUE(platform::CreateDirectory(U16(dir / "one")));
  EXPECT_FALSE(platform::CreateDirectory(U16(dir / "two/three")));
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(platform::CreateDirectory(U16(dir / "file")));
}

TEST(Files, CreateNewNeverReplacesAnExistingFile) {
  TempDir dir;
  auto made = File::CreateNew(U16(dir / "secret"));
  ASSERT_TRUE(made);
  ASSERT_TRUE(made->WriteAt(0, Bytes("key")));
  made->Close();
  EXPECT_FALSE(File::CreateNew(U16(dir / "secret")));
  EXPECT_EQ(ReadFile(dir / "secret"), Bytes("key"));
  EXPECT_FALSE(File::CreateNew(U16(dir / "missing/secret")));
}

TEST(Files, AbsolutePathsOfDrivesRelativeNamesAndUnixPathsUnderWine) {
  EXPECT_EQ(platform::AbsolutePath(u"C:\\KRDN\\"), u"C:\\KRDN");
  EXPECT_EQ(platform::AbsolutePath(u"C:/KRDN/games/../x"), u"C:\\KRDN\\x");
  EXPECT_EQ(platform::AbsolutePath(u"C:\\"), u"C:\\");
  EXPECT_EQ(platform::AbsolutePath(u""), u"");

  TempDir dir;
  wchar_t previous[MAX_PATH] = {};
  ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_NE(::SetCurrentDirectoryW(Wide(dir.path()).c_str()), 0);
  const std::u16string relative = platform::AbsolutePath(u"KRDN");
  ::SetCurrentDirectoryW(previous);
  EXPECT_EQ(relative, platform::AbsolutePath(U16(dir.path())) + u"\\KRDN");

  // Wine maps the Unix root to drive Z:; a Unix path names the same folder there.
  if (::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name") == nullptr) {
    GTEST_SKIP() << "not running under wine";
  }
  EXPECT_EQ(platform::AbsolutePath(u"/tmp/krdn/"), u"Z:\\tmp\\krdn");
  EXPECT_EQ(platform::AbsolutePath(u"/"), u"Z:\\");
}

}  // namespace
