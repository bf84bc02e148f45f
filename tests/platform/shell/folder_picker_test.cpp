// The folder picker: zenity or kdialog stand-ins on the PATH answer with a folder,
// cancel, or are absent; the calling thread keeps handling messages meanwhile.
#include "platform/shell/folder_picker.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/timer.h"
#include "platform/base/utf.h"
#include "shell_fixture.h"

namespace shell_test {
namespace {

using platform::FolderPick;

class FolderPickerTest : public TempDirTest {
 protected:
  std::string Bin() { return (dir_ / "bin").string(); }
};

TEST_F(FolderPickerTest, ZenityIsAskedForADirectoryWithTheTitle) {
  std::string args = (dir_ / "args").string();
  Write("bin/zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args + "'\necho '/home/玩家/Games/'\n", true);
  PathPrefix path(Bin(), true);
  FolderPick pick = platform::BrowseForFolder(nullptr, u"选择目录");
  EXPECT_EQ(pick.outcome, FolderPick::Outcome::kChosen);
  EXPECT_EQ(pick.path, u"/home/玩家/Games");
  EXPECT_EQ(Read(args), "--file-selection\n--directory\n--title=选择目录\n");
}

TEST_F(FolderPickerTest, KdialogIsTheSecondChoice) {
  Write("bin/kdialog", "#!/bin/sh\n[ \"$1\" = --getexistingdirectory ] && echo /srv/games\n", true);
  PathPrefix path(Bin(), true);
  FolderPick pick = platform::BrowseForFolder(nullptr, u"选择目录");
  EXPECT_EQ(pick.outcome, FolderPick::Outcome::kChosen);
  EXPECT_EQ(pick.path, u"/srv/games");
}

TEST_F(FolderPickerTest, CancellingOrNonsenseOutputChoosesNothing) {
  Write("bin/zenity", "#!/bin/sh\nexit 1\n", true);
  {
    PathPrefix path(Bin(), true);
    EXPECT_EQ(platform::BrowseForFolder(nullptr, u"t").outcome, FolderPick::Outcome::kCancelled);
  }
  Write("bin/zenity", "#!/bin/sh\necho relative/path\n", true);
  PathPrefix path(Bin(), true);
  FolderPick pick = platform::BrowseForFolder(nullptr, u"t");
  EXPECT_EQ(pick.outcome, FolderPick::Outcome::kCancelled);
  EXPECT_TRUE(pick.path.empty());
}

TEST_F(FolderPickerTest, WithoutAPickerTheCallerFallsBack) {
  std::filesystem::create_directory(Bin());
  PathPrefix path(Bin(), true);
  EXPECT_EQ(platform::BrowseForFolder(nullptr, u"t").outcome, FolderPick::Outcome::kUnavailable);
}

// The stand-in answers only after a file appears that a timer of the calling thread
// writes: the thread must keep handling its messages while the picker is open.
std::string g_go_file;
void WriteGoFile(HWND, UINT, UINT_PTR, DWORD) { std::ofstream(g_go_file) << "1"; }

TEST_F(FolderPickerTest, TheCallingThreadKeepsHandlingMessagesMeanwhile) {
  g_go_file = (dir_ / "go").string();
  Write("bin/zenity",
        "#!/bin/sh\nfor i in $(seq 500); do [ -e '" + g_go_file + "' ] && { echo /tmp; exit 0; }; sleep 0.01; done\nexit 1\n",
        true);
  PathPrefix path(Bin());  // the script needs seq and sleep
  UINT_PTR timer = platform::SetTimer(nullptr, 0, 20, WriteGoFile);
  FolderPick pick = platform::BrowseForFolder(nullptr, u"t");
  platform::KillTimer(nullptr, timer);
  EXPECT_EQ(pick.outcome, FolderPick::Outcome::kChosen);
  EXPECT_EQ(pick.path, u"/tmp");
}

TEST(FolderPickerOutput, TakesTheFirstAbsoluteLine) {
  EXPECT_EQ(platform::FolderFromPickerOutput("/a/b\n"), u"/a/b");
  EXPECT_EQ(platform::FolderFromPickerOutput("/a/b/\r\nsecond\n"), u"/a/b");
  EXPECT_EQ(platform::FolderFromPickerOutput("/\n"), u"/");
  EXPECT_EQ(platform::FolderFromPickerOutput(""), u"");
  EXPECT_EQ(platform::FolderFromPickerOutput("~/x\n"), u"");
  EXPECT_EQ(platform::FolderFromPickerOutput(std::string_view("/a\0b\n", 5)), u"");
}

}  // namespace
}  // namespace shell_test
