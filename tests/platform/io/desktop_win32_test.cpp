// The desktop shortcut on Windows, read back through the shell link interface.
#include "platform/io/desktop.h"

#include <gtest/gtest.h>

#include "platform/base/utf.h"
#include "tests/support/shell_link_reading.h"
#include "tests/support/temp_dir.h"

namespace {

using krdn::testing::ReadLink;
using krdn::testing::TempDir;
using krdn::testing::WriteFile;

TEST(Desktop, TheDesktopFolderExistsAndTheShortcutIsALnk) {
  const std::u16string desktop = platform::DesktopDirectory();
  ASSERT_FALSE(desktop.empty());
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(desktop)));
  EXPECT_EQ(platform::ShortcutFileName(u"Velmora3"), u"Velmora3.lnk");
}

TEST(Desktop, TheShortcutLeadsToTheLauncherAndStartsInItsFolder) {
  TempDir dir;
  const std::filesystem::path client = dir / "KRDN game";
  WriteFile(client / "VoLauncher.exe", "MZ");
  const std::filesystem::path shortcut = dir / "Velmora3.lnk";
  WriteFile(shortcut, "an older shortcut, replaced whole");
  ASSERT_TRUE(platform::CreateShortcut((client / "VoLauncher.exe").u16string(), shortcut.u16string(), u"Velmora3"));
  const auto reading = ReadLink(shortcut);
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->target, (client / "VoLauncher.exe").wstring());
  EXPECT_EQ(reading->working_directory, client.wstring());
  EXPECT_EQ(reading->description, L"Velmora3");
  // Nothing is left beside it.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST(Desktop, AShortcutThatCannotBeWrittenFails) {
  TempDir dir;
  EXPECT_FALSE(platform::CreateShortcut(u"C:\\KRDN\\VoLauncher.exe", (dir / "missing" / "Velmora3.lnk").u16string(),
                                        u"Velmora3"));
}

}  // namespace
