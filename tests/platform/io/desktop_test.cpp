#include "platform/io/desktop.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/utf.h"
#include "tests/platform/io/pe_builder.h"
#include "tests/support/command_output.h"
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
    unsetenv("XDG_DATA_HOME");
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

// The value of a key of the shortcut ("" when it has none).
std::string Key(const std::string& entry, const std::string& key) {
  const std::size_t at = entry.find("\n" + key + "=");
  if (at == std::string::npos) return {};
  const std::size_t start = at + key.size() + 2;
  return entry.substr(start, entry.find('\n', start) - start);
}

// desktop-file-validate's verdict: empty when the file passes (hints and the warning
// that Comment repeats Name aside), else what it said.
std::string Validate(const std::filesystem::path& file) {
  const std::string out = krdn::testing::CommandOutput("desktop-file-validate '" + file.string() + "' 2>&1; echo \"rc=$?\"");
  const bool passed = out.ends_with("rc=0\n") && out.find("error:") == std::string::npos;
  return passed ? std::string() : out;
}

TEST_F(Desktop, AWindowsLauncherStartsThroughWineInItsFolderWithItsOwnIcon) {
  const std::filesystem::path client = home / "游戏 dir";
  const std::vector<std::uint8_t> exe = pe_test::Executable(
      {{16, 32, pe_test::Bitmap32(16, 0xFF0000FFu)}, {48, 32, pe_test::Bitmap32(48, 0x8000FF00u)}});
  WriteFile(client / "VoLauncher.exe", std::string(exe.begin(), exe.end()));
  const std::filesystem::path link = home / "Desktop/Velmora3.desktop";
  std::filesystem::create_directories(link.parent_path());
  WriteFile(link, "old content that is much longer than the new one will be, and must not survive\n");
  ASSERT_TRUE(platform::CreateShortcut(platform::Utf8ToUtf16((client / "VoLauncher.exe").string()),
                                       platform::Utf8ToUtf16(link.string()), u"Velmora3"));
  const std::string entry = ReadText(link);
  EXPECT_EQ(entry.find("old content"), std::string::npos);
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_EQ(Key(entry, "Name"), "Velmora3");
  EXPECT_EQ(Key(entry, "Exec"), "wine \"" + (client / "VoLauncher.exe").string() + "\"");
  EXPECT_EQ(Key(entry, "Path"), client.string());
  EXPECT_EQ(Validate(link), "");
  struct stat st {};
  ASSERT_EQ(stat(link.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  // Written under a temporary name and renamed: nothing else is left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(link.parent_path())) ++files;
  EXPECT_EQ(files, 1);

  // The icon is the launcher's largest image, as a PNG.
  const std::string icon = Key(entry, "Icon");
  EXPECT_EQ(icon, (home / ".local/share/krdn-repair/icons/Velmora3.png").string());
  const std::string png = ReadText(icon);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(static_cast<unsigned char>(png[19]), 48u) << "the 48-pixel image";

  // Started as a desktop starts it: wine (a stand-in here) gets the launcher, in its folder.
  const std::filesystem::path bin = home / "bin", marker = home / "started";
  WriteFile(bin / "wine", "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" > '" + marker.string() + "'\n");
  std::filesystem::permissions(bin / "wine", std::filesystem::perms::owner_all);
  const char* path = std::getenv("PATH");
  const std::string launch = "PATH='" + bin.string() + ":" + (path ? path : "/usr/bin:/bin") + "' gio launch '" +
                             link.string() + "' 2>&1";
  krdn::testing::CommandOutput(launch);
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) usleep(10000);
  EXPECT_EQ(ReadText(marker), client.string() + "\n" + (client / "VoLauncher.exe").string() + "\n");
}

TEST_F(Desktop, ANativeLauncherStartsDirectlyWithTheToolsIcon) {
  // Characters the Exec syntax reserves (GLib, like most desktops, cannot start a
  // program whose path holds a "%", so the test leaves that out).
  const std::filesystem::path client = home / "client $HOME 'quoted' \"x\" `y`";
  const std::filesystem::path marker = home / "started";
  WriteFile(client / "VoLauncher.exe", "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$#\" > '" + marker.string() + "'\n");
  std::filesystem::permissions(client / "VoLauncher.exe", std::filesystem::perms::owner_all);
  const std::filesystem::path link = home / "Velmora3.desktop";
  ASSERT_TRUE(platform::CreateShortcut(platform::Utf8ToUtf16((client / "VoLauncher.exe").string()),
                                       platform::Utf8ToUtf16(link.string()), u"Velmora3"));
  const std::string entry = ReadText(link);
  EXPECT_EQ(Key(entry, "Icon"), "krdn-repair");
  EXPECT_EQ(Key(entry, "Exec").rfind("\"", 0), 0u) << "no wine for a native program";
  EXPECT_EQ(Validate(link), "");
  krdn::testing::CommandOutput("gio launch '" + link.string() + "' 2>&1");
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) usleep(10000);
  EXPECT_EQ(ReadText(marker), client.string() + "\n0\n") << "the launcher itself, in its folder, without arguments";
}

TEST_F(Desktop, AWindowsLauncherWithoutIconsGetsTheToolsIcon) {
  const std::vector<std::uint8_t> exe = pe_test::Executable({});
  WriteFile(home / "c/VoLauncher.exe", std::string(exe.begin(), exe.end()));
  WriteFile(home / "d/VoLauncher.exe", "MZ and nothing else");
  for (const char* dir : {"c", "d"}) {
    const std::filesystem::path link = home / (std::string(dir) + ".desktop");
    ASSERT_TRUE(platform::CreateShortcut(platform::Utf8ToUtf16((home / dir / "VoLauncher.exe").string()),
                                         platform::Utf8ToUtf16(link.string()), u"Velmora3"));
    const std::string entry = ReadText(link);
    EXPECT_EQ(Key(entry, "Icon"), "krdn-repair") << dir;
    EXPECT_EQ(Key(entry, "Exec").rfind("wine ", 0), 0u) << dir;
  }
}

TEST_F(Desktop, TheShortcutFileNameOfAName) {
  EXPECT_EQ(platform::ShortcutFileName(u"Velmora3"), u"Velmora3.desktop");
}

TEST_F(Desktop, ShortcutIntoAMissingDirectoryFails) {
  EXPECT_FALSE(platform::CreateShortcut(u"/x/VoLauncher.exe",
                                        platform::Utf8ToUtf16((home / "no/such/dir/Velmora3.desktop").string()),
                                        u"Velmora3"));
}

}  // namespace
