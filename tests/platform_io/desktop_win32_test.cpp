// The desktop shortcut on Windows, read back through the shell link interface.
#include "platform/desktop.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using krdn::testing::TempDir;
using krdn::testing::WriteFile;

struct LinkReading {
  std::wstring target;
  std::wstring working_directory;
  std::wstring description;
};

// What IShellLinkW reads from a saved link; nothing when it cannot be loaded.
std::optional<LinkReading> ReadLink(const std::filesystem::path& path) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return std::nullopt;
  std::optional<LinkReading> reading;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.wstring().c_str(), STGM_READ))) {
        wchar_t target[MAX_PATH] = {};
        wchar_t folder[MAX_PATH] = {};
        wchar_t description[MAX_PATH] = {};
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(folder, MAX_PATH);
        link->GetDescription(description, MAX_PATH);
        reading = LinkReading{target, folder, description};
      }
      file->Release();
    }
    link->Release();
  }
  ::CoUninitialize();
  return reading;
}

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
