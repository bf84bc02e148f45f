// Starting the launcher: a Linux program directly, a Windows program through wine,
// neither when the file is missing, not executable, or wine is absent.
#include "platform/shell/process.h"
#include "platform/base/utf.h"
#include "shell_fixture.h"

namespace shell_test {
namespace {

class ProcessTest : public TempDirTest {
 protected:
  std::u16string U16(const std::string& s) { return platform::Utf8ToUtf16(s); }
};

TEST_F(ProcessTest, ALinuxProgramRunsInTheCallersDirectoryWithoutArguments) {
  std::string marker = (dir_ / "ran").string();
  std::string program =
      Write("游戏/VoLauncher.exe", "#!/bin/sh\n{ pwd; echo \"args:$#\"; ls /proc/$$/fd | wc -l; } > '" + marker + "'\n", true);
  ASSERT_EQ(platform::StartProgram(U16(program)), platform::StartResult::kStarted);
  ASSERT_TRUE(WaitForFile(marker));
  std::string out = Read(marker);
  EXPECT_NE(out.find(std::filesystem::current_path().string() + "\n"), std::string::npos);
  EXPECT_NE(out.find("args:0"), std::string::npos);
}

TEST_F(ProcessTest, AWindowsProgramStartsThroughWineWhenItIsInstalled) {
  std::string marker = (dir_ / "wine-args").string();
  std::string bin = (dir_ / "bin").string();
  Write("bin/wine", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + marker + "'\n", true);
  std::string program = Write("client/VoLauncher.exe", std::string("MZ\x90\0\x03", 5) + "windows program");
  {
    PathPrefix path(bin);
    ASSERT_TRUE(platform::IsWindowsExecutable(U16(program)));
    ASSERT_EQ(platform::StartProgram(U16(program)), platform::StartResult::kStarted);
  }
  ASSERT_TRUE(WaitForFile(marker));
  EXPECT_EQ(Read(marker), program + "\n");
}

TEST_F(ProcessTest, NothingStartsWithoutWineMissingFilesOrExecutePermission) {
  std::string empty_bin = (dir_ / "nothing").string();
  std::filesystem::create_directory(empty_bin);
  std::string windows = Write("a/VoLauncher.exe", "MZ windows program");
  {
    PathPrefix path(empty_bin, true);
    EXPECT_EQ(platform::StartProgram(U16(windows)), platform::StartResult::kNeedsWine);
  }
  using platform::StartResult;
  EXPECT_EQ(platform::StartProgram(U16((dir_ / "missing.exe").string())), StartResult::kNotStartable);
  EXPECT_EQ(platform::StartProgram(U16(Write("b/VoLauncher.exe", "#!/bin/sh\nexit 0\n", false))),
            StartResult::kNotStartable);
  EXPECT_EQ(platform::StartProgram(U16(dir_.string())), StartResult::kNotStartable);
}

TEST_F(ProcessTest, ProgramsAreFoundOnThePathButNeverInTheWorkingDirectory) {
  std::string bin = (dir_ / "bin").string();
  Write("bin/picker", "#!/bin/sh\n", true);
  Write("bin/plain", "not executable");
  PathPrefix path(":" + bin + "::", true);  // empty entries mean the working directory
  EXPECT_EQ(platform::FindProgramOnPath("picker"), bin + "/picker");
  EXPECT_EQ(platform::FindProgramOnPath("plain"), "");
  std::filesystem::current_path(dir_ / "bin");
  EXPECT_EQ(platform::FindProgramOnPath("plain"), "");
}

}  // namespace
}  // namespace shell_test
