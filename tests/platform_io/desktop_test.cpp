#include "platform/desktop.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using krdn::testing::ReadText;
using krdn::testing::TempDir;
using krdn::testing::WriteFile;

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", home.path().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
  }
  TempDir home;
};

TEST_F(Desktop, ComesFromTheUserDirectoriesElseTheHomeDesktop) {
  EXPECT_EQ(platform::Utf16ToUtf8(platform::DesktopDirectory()), home.path().string() + "/Desktop");

  WriteFile(home / ".config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n");
  EXPECT_EQ(platform::Utf16ToUtf8(platform::DesktopDirectory()), home.path().string() + "/桌面");

  TempDir config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  WriteFile(config / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desk/\"\n");
  EXPECT_EQ(platform::Utf16ToUtf8(platform::DesktopDirectory()), "/srv/desk");
}

TEST_F(Desktop, ShortcutIsAnExecutableLauncherThatReplacesAnOldOne) {
  const std::filesystem::path link = home / "Velmora3.desktop";
  WriteFile(link, "old content that is much longer than the new one will be, and must not survive\n");
  const std::u16string target = platform::Utf8ToUtf16((home / "游戏 dir/VoLauncher.exe").string());
  ASSERT_TRUE(platform::CreateShortcut(target, platform::Utf8ToUtf16(link.string()), u"Velmora3"));
  const std::string text = ReadText(link);
  EXPECT_EQ(text.find("old content"), std::string::npos);
  EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(text.find("\nName=Velmora3\n"), std::string::npos);
  EXPECT_NE(text.find("\nComment=Velmora3\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=\"" + home.path().string() + "/游戏 dir/VoLauncher.exe\"\n"), std::string::npos) << text;
  struct stat st {};
  ASSERT_EQ(stat(link.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_EQ(platform::ShortcutFileName(u"Velmora3"), u"Velmora3.desktop");
}

TEST_F(Desktop, ShortcutIntoAMissingDirectoryFails) {
  EXPECT_FALSE(platform::CreateShortcut(u"/x/VoLauncher.exe",
                                        platform::Utf8ToUtf16((home / "no/such/dir/Velmora3.desktop").string()),
                                        u"Velmora3"));
}

}  // namespace
