// Key-combination texts and the "(&X)" mark.
#include <gtest/gtest.h>

#include <string>

#include "core/accel_text.h"

namespace LOOM {
namespace {

constexpr DWORD Code(WORD modifiers, WORD key) { return (static_cast<DWORD>(modifiers) << 16) | key; }

TEST(AcceleratorText, ModifiersAndKeyNamesInAnyCase) {
  EXPECT_EQ(ParseAcceleratorText(u"ctrl+alt+shift+f5"), Code(7, 116));
  EXPECT_EQ(ParseAcceleratorText(u"CTRL+X"), Code(2, 'X'));
  EXPECT_EQ(ParseAcceleratorText(u"alt+x"), Code(1, 'X'));
  EXPECT_EQ(ParseAcceleratorText(u"Shift+PageDown"), Code(4, 34));
  EXPECT_EQ(ParseAcceleratorText(u"esc"), Code(0, 27));
  EXPECT_EQ(ParseAcceleratorText(u"enter"), Code(0, 13));
  EXPECT_EQ(ParseAcceleratorText(u"space"), Code(0, 32));
  EXPECT_EQ(ParseAcceleratorText(u"delete"), Code(0, 46));
  EXPECT_EQ(ParseAcceleratorText(u"print"), Code(0, 42));
  EXPECT_EQ(ParseAcceleratorText(u"7"), Code(0, '7'));
  EXPECT_EQ(ParseAcceleratorText(u"ctrl+,"), Code(2, 188));
  EXPECT_EQ(ParseAcceleratorText(u"ctrl+\\"), Code(2, 220));
  EXPECT_EQ(ParseAcceleratorText(u"'"), Code(0, 222));
  // The first part that is no modifier is the key; later ones are ignored.
  EXPECT_EQ(ParseAcceleratorText(u"a+b+ctrl"), Code(2, 'A'));
}

TEST(AcceleratorText, FunctionAndNumberPadKeys) {
  EXPECT_EQ(KeyCodeOfName(u"f1"), 112);
  EXPECT_EQ(KeyCodeOfName(u"F12"), 123);
  EXPECT_EQ(KeyCodeOfName(u"f"), 'F') << "a single letter is the letter";
  EXPECT_EQ(KeyCodeOfName(u"fx"), 111) << "no number after the f counts as 0";
  EXPECT_EQ(KeyCodeOfName(u"num 0"), 96);
  EXPECT_EQ(KeyCodeOfName(u"num 9"), 105);
  EXPECT_EQ(KeyCodeOfName(u"num *"), 106);
  EXPECT_EQ(KeyCodeOfName(u"Num Del"), 110);
  EXPECT_EQ(KeyCodeOfName(u"num x"), 0);
}

TEST(AcceleratorText, UnknownEmptyOverlongAndOversizedGiveNothing) {
  EXPECT_EQ(ParseAcceleratorText(u""), 0u);
  EXPECT_EQ(ParseAcceleratorText(u"ctrl+banana"), Code(2, 0));
  EXPECT_EQ(ParseAcceleratorText(u"ctrl+shift"), Code(6, 0)) << "modifiers only";
  EXPECT_EQ(ParseAcceleratorText(u"ctrl++"), Code(2, 0));
  EXPECT_EQ(ParseAcceleratorText(u"?"), 0u);
  std::u16string long_text(99, u'a');
  EXPECT_EQ(ParseAcceleratorText(long_text), Code(0, 0)) << "99 characters still parse (one unknown key)";
  long_text.push_back(u'a');
  EXPECT_EQ(ParseAcceleratorText(long_text), 0u);
  // A key number that leaves the byte range must not spill into the modifier half.
  EXPECT_EQ(ParseAcceleratorText(u"f4294901760"), 0u);
  EXPECT_EQ(ParseAcceleratorText(u"alt+f145"), Code(1, 0));
  EXPECT_EQ(ParseAcceleratorText(u"alt+f144"), Code(1, 255));
  EXPECT_EQ(ParseAcceleratorText(u"num 200"), 0u);
}

TEST(AcceleratorText, MarkInTextNamesTheAltKey) {
  EXPECT_EQ(AcceleratorMarkOf(u"Open(&O)"), u'O');
  EXPECT_EQ(AcceleratorMarkOf(u"(&x)"), u'x');
  EXPECT_EQ(AcceleratorMarkOf(u"a (b) (&S)"), u'S') << "the last parenthesis counts";
  EXPECT_EQ(AcceleratorMarkOf(u"(&S) (b)"), 0);
  EXPECT_EQ(AcceleratorMarkOf(u"Open(&O"), 0);
  EXPECT_EQ(AcceleratorMarkOf(u"Open(O)"), 0);
  EXPECT_EQ(AcceleratorMarkOf(u"(&)"), 0);
  EXPECT_EQ(AcceleratorMarkOf(u")"), 0);
  EXPECT_EQ(AcceleratorMarkOf(u""), 0);
}

}  // namespace
}  // namespace LOOM
