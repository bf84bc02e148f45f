// What the console front-end's text modes write where: names a server gave reach a
// terminal with their controls and bidirectional characters escaped, a pipe or a file
// unchanged.
#include "tools/repair-cli/text_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace krdn::cli {
namespace {

struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TempFile = std::unique_ptr<std::FILE, FileClose>;

std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  return text;
}

// A name with a right-to-left override (it shows as "...exe.txt") and a C1 CSI, which
// starts a terminal's escape sequences.
constexpr std::string_view kStatus = "下载文件: \\bin\\report\xE2\x80\xAEtxt.exe\xC2\x9B" "2J......成功\r\n";
constexpr std::string_view kFailure = "文件\\bin\\report\xE2\x80\xAEtxt.exe下载失败\r\n";

struct Written {
  std::string out;
  std::string err;
};

Written RunThrough(bool quiet, bool terminals) {
  const TempFile out(std::tmpfile());
  const TempFile err(std::tmpfile());
  EXPECT_TRUE(out && err);
  TextOutput output(quiet, {.out = out.get(), .err = err.get(), .out_is_terminal = terminals,
                            .err_is_terminal = false});
  output.Status(kStatus);
  output.Dialog("网络连接不稳定", 2, kFailure);
  output.End(1, kFailure, {});
  TextOutput on_terminal_err(quiet, {.out = out.get(), .err = err.get(), .out_is_terminal = terminals,
                                     .err_is_terminal = terminals});
  on_terminal_err.End(1, kFailure, {});
  return {Contents(out.get()), Contents(err.get())};
}

TEST(TextOutput, ATerminalSeesServerGivenNamesEscapedWithTheLineEndsKept) {
  const Written shown = RunThrough(false, true);
  EXPECT_EQ(shown.out, "下载文件: \\bin\\report\\u{202E}txt.exe\\u{009B}2J......成功\r\n");
  // Standard error was no terminal for the first output, and is one for the second.
  EXPECT_EQ(shown.err, "krdn-repair-cli: attempt 2: 网络连接不稳定 (" + std::string(kFailure.substr(0, kFailure.size() - 2)) +
                           ")\n" + std::string(kFailure) + "文件\\bin\\report\\u{202E}txt.exe下载失败\r\n");
}

TEST(TextOutput, APipeOrAFileGetsTheBytesAsTheyAre) {
  const Written piped = RunThrough(false, false);
  EXPECT_EQ(piped.out, kStatus);
  EXPECT_EQ(piped.err.find("\\u{"), std::string::npos) << piped.err;
  const Written quiet = RunThrough(true, true);
  EXPECT_EQ(quiet.out, "") << "quiet prints no status texts";
  EXPECT_NE(quiet.err.find("report\\u{202E}txt.exe下载失败\r\n"), std::string::npos) << quiet.err;
}

}  // namespace
}  // namespace krdn::cli
