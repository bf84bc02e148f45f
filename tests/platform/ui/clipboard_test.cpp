// The clipboard for text.
#include <thread>

#include "platform/ui/clipboard.h"
#include "tests/platform/ui/window_fixture.h"

namespace window_test {
namespace {

using namespace platform;

class ClipboardTest : public WindowTest {};

TEST_F(ClipboardTest, TextMakesTheRoundTripWholeUpToItsFirstNul) {
  HWND hwnd = MakeShown();  // on X the selection needs a window to own it
  (void)hwnd;
  ASSERT_TRUE(platform::SetClipboardText(u"当前客户端版本号: 3.1.7\r\n"));
  EXPECT_TRUE(platform::HasClipboardText());
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"当前客户端版本号: 3.1.7\r\n"));
  ASSERT_TRUE(platform::SetClipboardText(std::u16string(u"before\0after", 12)));
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"before"));
  ASSERT_TRUE(platform::SetClipboardText(u"\U0001F600"));
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"\U0001F600"));
}

TEST_F(ClipboardTest, OtherThreadsAreRefused) {
  ASSERT_TRUE(platform::SetClipboardText(u"kept"));
  bool set = true;
  std::optional<std::u16string> got = u"x";
  std::thread other([&] {
    set = platform::SetClipboardText(u"lost");
    got = platform::GetClipboardText();
  });
  other.join();
  EXPECT_FALSE(set);
  EXPECT_EQ(got, std::nullopt);
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"kept"));
}

}  // namespace
}  // namespace window_test
