// krdn-repair without a display: it says what failed and what to do on standard error
// and ends with its own exit code at once, instead of waiting for ever.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/command_output.h"

namespace {

struct Ended {
  int exit_code = -1;
  std::string output;
};

// Runs the program with the environment given (prefix of `env`), its standard error read
// back; `timeout` ends a program that hangs, so the test itself never does. A program
// killed so ends with 137: its own exit code also says that it ended by itself.
Ended RunProgram(const std::string& environment) {
  Ended ended;
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " + environment +
                              " timeout -s KILL 10 " KRDN_PROGRAM " 2>&1; echo \"exit=$?\"";
  ended.output = krdn::testing::CommandOutput(command);
  const std::size_t at = ended.output.rfind("exit=");
  if (at != std::string::npos) ended.exit_code = std::stoi(ended.output.substr(at + 5));
  return ended;
}

TEST(NoDisplay, WithoutDisplayTheProgramSaysSoAndEndsWithItsOwnCode) {
  Ended ended = RunProgram("XDG_RUNTIME_DIR=/nonexistent");
  EXPECT_EQ(ended.exit_code, 2) << ended.output;
  EXPECT_NE(ended.output.find("cannot open a display (DISPLAY is not set)"), std::string::npos) << ended.output;
  EXPECT_NE(ended.output.find("set DISPLAY"), std::string::npos) << ended.output;
}

TEST(NoDisplay, ADisplayThatRefusesTheConnectionIsNamed) {
  // No X server listens on display 97 (no socket, so the connection is refused).
  if (::access("/tmp/.X11-unix/X97", F_OK) == 0) GTEST_SKIP() << "an X server runs on :97";
  Ended ended = RunProgram("DISPLAY=:97");
  EXPECT_EQ(ended.exit_code, 2) << ended.output;
  EXPECT_NE(ended.output.find("cannot open the display \":97\""), std::string::npos) << ended.output;
}

// The window reads its rate cap from KRDN_LIMIT_RATE before anything else; a value that
// is no rate is said on standard error, and the program goes on (here to its end for
// want of a display).
TEST(NoDisplay, AKrdnLimitRateThatIsNoRateIsSaidAndLeftOut) {
  const Ended bad = RunProgram("KRDN_LIMIT_RATE=fast");
  EXPECT_EQ(bad.exit_code, 2) << bad.output;
  EXPECT_NE(bad.output.find("krdn-repair: KRDN_LIMIT_RATE=fast is no rate (bytes a second"), std::string::npos)
      << bad.output;
  EXPECT_NE(bad.output.find("; no cap\n"), std::string::npos) << bad.output;

  const Ended good = RunProgram("KRDN_LIMIT_RATE=512K");
  EXPECT_EQ(good.exit_code, 2) << good.output;
  EXPECT_EQ(good.output.find("KRDN_LIMIT_RATE"), std::string::npos) << good.output;
}

}  // namespace
