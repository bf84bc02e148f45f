// The rate cap as the user writes it: curl's spelling of a rate, and the console
// front-end's --limit-rate.
#include "repair/limit_rate.h"

#include <gtest/gtest.h>

#include "tools/repair-cli/options.h"

namespace krdn {
namespace {

TEST(LimitRate, BytesASecondWithAnOptionalBinarySuffixOfEitherCase) {
  EXPECT_EQ(ParseLimitRate("1024"), 1024u);
  EXPECT_EQ(ParseLimitRate("1k"), 1024u);
  EXPECT_EQ(ParseLimitRate("500K"), 500u * 1024);
  EXPECT_EQ(ParseLimitRate("2m"), 2u * 1024 * 1024);
  EXPECT_EQ(ParseLimitRate("3G"), 3ull << 30);
  EXPECT_EQ(ParseLimitRate("0064k"), 64u * 1024);
  // The largest that fits in 64 bits, and one more.
  EXPECT_EQ(ParseLimitRate("17179869183G"), 17179869183ull << 30);
  EXPECT_EQ(ParseLimitRate("17179869184G"), std::nullopt);
  EXPECT_EQ(ParseLimitRate("18446744073709551615"), 18446744073709551615ull);
  EXPECT_EQ(ParseLimitRate("18446744073709551616"), std::nullopt);
}

TEST(LimitRate, AnythingElseIsNoRate) {
  for (const char* bad : {"", "K", "k1", "-1K", "+1K", "1.5M", "1KB", "1T", " 1K", "1K ", "0", "0K", "1023", "1 K"}) {
    EXPECT_EQ(ParseLimitRate(bad), std::nullopt) << '"' << bad << '"';
  }
}

TEST(LimitRate, TheConsoleTakesItAsLimitRateAndRefusesWhatIsNone) {
  const cli::Command none = cli::ParseCommand({"krdn-repair-cli", "--dir", "d"});
  ASSERT_EQ(none.kind, cli::Command::Kind::kRun);
  EXPECT_EQ(none.options.settings.limit_rate, 0u) << "no cap unless asked";

  const cli::Command capped = cli::ParseCommand({"krdn-repair-cli", "--limit-rate", "2M", "--dir", "d"});
  ASSERT_EQ(capped.kind, cli::Command::Kind::kRun);
  EXPECT_EQ(capped.options.settings.limit_rate, 2u << 20);

  const cli::Command bad = cli::ParseCommand({"krdn-repair-cli", "--dir", "d", "--limit-rate", "2MB"});
  EXPECT_EQ(bad.kind, cli::Command::Kind::kUsageError);
  EXPECT_EQ(bad.problem, "--limit-rate takes " + std::string(kLimitRateSpelling) + ": 2MB");
  EXPECT_EQ(cli::ParseCommand({"krdn-repair-cli", "--dir", "d", "--limit-rate"}).kind,
            cli::Command::Kind::kUsageError);
}

}  // namespace
}  // namespace krdn
