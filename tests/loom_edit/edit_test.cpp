// Edit boxes in the test container: classes and registration, the element's messages
// and the engine behind them, read-only and number boxes, Enter and Tab, limits, the
// default formats and the cue text.
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "core/panel.h"
#include "core/rich_edit.h"
#include "core/text_host.h"
#include "platform/ui/clipboard.h"
#include "platform/base/utf.h"
#include "tests/loom_edit/edit_fixture.h"

namespace LOOM {
namespace {

using test::EditFixture;

class EditTest : public EditFixture {};

TEST_F(EditTest, TagsMakeThePanelRichEditAndEditClassChain) {
  Build(u"<root><div name=\"d\" pos=\"0,0\" size=\"50,50\"/><richedit name=\"r\" pos=\"0,60\" size=\"50,20\"/>"
        u"<edit name=\"e\" pos=\"0,90\" size=\"50,20\"/></root>");
  EXPECT_NE(dynamic_cast<SPanel*>(Find(u"d")), nullptr);
  EXPECT_EQ(dynamic_cast<SRichEdit*>(Find(u"d")), nullptr);
  auto* rich = dynamic_cast<SRichEdit*>(Find(u"r"));
  ASSERT_NE(rich, nullptr);
  EXPECT_EQ(dynamic_cast<SEdit*>(rich), nullptr);
  auto* edit = Control<SEdit>(u"e");
  EXPECT_TRUE(edit->MatchesTag(u"edit"));
  EXPECT_TRUE(edit->MatchesTag(u"richedit"));
  EXPECT_TRUE(edit->MatchesTag(u"div"));
  EXPECT_FALSE(rich->MatchesTag(u"edit"));
  // A plain edit is plain text that selects all on focus; a rich edit is neither.
  EXPECT_EQ(edit->Options() & SRichEdit::kOptRich, 0u);
  EXPECT_NE(edit->Options() & SRichEdit::kOptAutoSel, 0u);
  EXPECT_NE(rich->Options() & SRichEdit::kOptRich, 0u);
  EXPECT_EQ(rich->Options() & SRichEdit::kOptAutoSel, 0u);
  EXPECT_NE(edit->TextServices(), nullptr);
  EXPECT_EQ(edit->MaxLength(), 0x7FFF);
}

TEST_F(EditTest, MarkupTextBecomesTheEnginesTextAndWindowTextRoundTrips) {
  SEdit* e = BuildEdit(u"multiLines=\"1\"", u"edit");
  e->SetWindowText(u"one\r\ntwo");
  EXPECT_EQ(e->GetWindowText(), u"one\r\ntwo");
  EXPECT_EQ(e->TextLength(), 8);
  e->SetWindowText(u"");
  EXPECT_EQ(e->TextLength(), 0);
  EXPECT_EQ(e->GetWindowText(), u"");

  Build(u"<root><edit name=\"e\" pos=\"0,0\" size=\"100,30\">C:\\KRDN</edit></root>");
  EXPECT_EQ(Control<SEdit>(u"e")->GetWindowText(), u"C:\\KRDN");
}

TEST_F(EditTest, SettingTextLongerThanTheLimitRaisesTheLimitInsteadOfCuttingIt) {
  SEdit* e = BuildEdit(u"maxBuf=\"5\"");
  EXPECT_EQ(e->MaxLength(), 5);
  e->SetWindowText(u"0123456789");
  EXPECT_EQ(e->GetWindowText(), u"0123456789");
  EXPECT_EQ(e->MaxLength(), 10);
  // Typing is held to the limit.
  host_->FocusElement(e->Handle());
  Send(e, EM_SETSEL, 10, 10);
  Type(u"ab");
  EXPECT_EQ(e->GetWindowText(), u"0123456789");
}

TEST_F(EditTest, TextLimitZeroIsTheDefaultAndTheLargestTakesAnything) {
  SEdit* e = BuildEdit(u"");
  e->SetTextLimit(10);
  EXPECT_EQ(e->MaxLength(), 10);
  e->SetTextLimit(0);
  EXPECT_EQ(e->MaxLength(), 32767);
  e->SetTextLimit(2147483647);
  EXPECT_EQ(e->MaxLength(), 2147483647);
  std::u16string big(100000, u'x');
  Send(e, EM_SETSEL, 0, 0);
  e->ReplaceSelection(big, false);
  EXPECT_EQ(e->TextLength(), 100000);
}

TEST_F(EditTest, SelectionMessagesTakeFullPositionsAndClampBeyondTheEnd) {
  SEdit* e = BuildEdit(u"");
  e->SetTextLimit(2147483647);
  e->SetWindowText(std::u16string(70000, u'a'));
  Send(e, EM_SETSEL, 69990, 69995);
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{69990, 69995}));
  EXPECT_EQ(Send(e, EM_GETSEL), -1) << "the packed answer cannot hold positions past 65,535";
  Send(e, EM_SETSEL, 5, 2000000);
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{5, 70000}));
  Send(e, EM_SETSEL, 0, -1);
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{0, 70000}));
  // SelectRange packs two 16-bit positions: the low word starts, the high word ends.
  e->SelectRange(MAKELONG(3, 7), true);
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{3, 7}));
  e->ReplaceSelection(u"XY", true);
  EXPECT_EQ(e->TextLength(), 70000 - 4 + 2);
  EXPECT_NE(Send(e, EM_CANUNDO), 0);
  Send(e, EM_UNDO);
  EXPECT_EQ(e->GetWindowText(), std::u16string(70000, u'a'));
}

TEST_F(EditTest, TypingGoesThroughTheFocusedBoxAndIsUndone) {
  SEdit* e = BuildEdit(u"autoSel=\"0\"");
  host_->FocusElement(e->Handle());
  Type(u"hello");
  EXPECT_EQ(e->GetWindowText(), u"hello");
  host_->RouteHostMessage(WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(e->GetWindowText(), u"hell");
  Send(e, EM_UNDO);
  EXPECT_NE(e->GetWindowText(), u"hell");
}

TEST_F(EditTest, TypingRepaintsOnlyTheBox) {
  Build(u"<root colorBkgnd=\"#0000FF\"><edit name=\"dir\" pos=\"10,10\" size=\"200,37\" autoSel=\"0\"/>"
        u"<edit name=\"status\" pos=\"10,60\" size=\"200,67\" multiLines=\"1\"/></root>");
  auto* dir = Control<SEdit>(u"dir");
  host_->FocusElement(dir->Handle());
  host_->Repaint();
  host_->ClearRecords();
  Type(u"C:\\KRDN");
  ASSERT_FALSE(host_->invalidated.empty());
  for (const RECT& rc : host_->invalidated) {
    EXPECT_EQ(RectIntersect(rc, dir->ElementArea()), rc) << "repainted outside the box";
  }
  const RECT painted = host_->Repaint();
  EXPECT_EQ(RectIntersect(painted, dir->ElementArea()), painted);
}

TEST_F(EditTest, FocusWithAutoSelSelectsEverythingAndAClickDoesNotUndoIt) {
  SEdit* e = BuildEdit(u"");
  e->SetWindowText(u"C:\\KRDN");
  EXPECT_FALSE(e->TextHost()->Active());
  host_->Mouse(WM_LBUTTONDOWN, 60, 30, MK_LBUTTON);
  host_->Mouse(WM_LBUTTONUP, 60, 30);
  EXPECT_TRUE(e->IsFocused());
  EXPECT_TRUE(e->TextHost()->Active());
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{0, 7}));
  // Typing replaces the whole selection.
  Type(u"D");
  EXPECT_EQ(e->GetWindowText(), u"D");
  host_->FocusElement(0);
  EXPECT_FALSE(e->TextHost()->Active());
  EXPECT_FALSE(host_->caret_shown);
}

TEST_F(EditTest, AutoSelSelectsTextsLongerThan65535Characters) {
  SEdit* e = BuildEdit(u"");
  e->SetWindowText(std::u16string(70000, u'k'));
  host_->FocusElement(e->Handle());
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{0, 70000})) << "the whole text, not its first 65,535";
}

TEST_F(EditTest, ReadOnlyBoxesRefuseTypingPastingAndCuttingButKeepCopying) {
  SEdit* e = BuildEdit(u"autoSel=\"0\" multiLines=\"1\"");
  e->SetWindowText(u"log line");
  e->SetReadOnly(true);
  EXPECT_NE(e->EditStyle() & ES_READONLY, 0u);
  host_->FocusElement(e->Handle());
  Send(e, EM_SETSEL, 0, 3);
  Type(u"zz");
  host_->RouteHostMessage(WM_CHAR, VK_BACK, 0);
  host_->RouteHostMessage(WM_KEYDOWN, VK_DELETE, 0);
  ASSERT_TRUE(platform::SetClipboardText(u"pasted"));
  Send(e, WM_PASTE);
  Send(e, WM_CUT);
  EXPECT_EQ(e->GetWindowText(), u"log line");
  Send(e, WM_COPY);
  EXPECT_EQ(platform::GetClipboardText(), std::optional<std::u16string>(u"log"));
  // The program still writes into it.
  Send(e, EM_SETSEL, 8, 8);
  e->ReplaceSelection(u"!", false);
  EXPECT_EQ(e->GetWindowText(), u"log line!");
  // And it can be made writable again.
  e->SetReadOnly(false);
  Send(e, EM_SETSEL, 0, 0);
  Type(u">");
  EXPECT_EQ(e->GetWindowText(), u">log line!");
}

TEST_F(EditTest, NumberBoxesTakeDigitsSignsAndSeparatorsOnly) {
  SEdit* e = BuildEdit(u"number=\"1\" autoSel=\"0\"");
  host_->FocusElement(e->Handle());
  Type(u"a1-b2,3.x4 ");
  EXPECT_EQ(e->GetWindowText(), u"1-2,3.4");
  host_->RouteHostMessage(WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(e->GetWindowText(), u"1-2,3.") << "Backspace still edits";
  // A number box reports the disable-no-scroll bit that shares its value.
  DWORD bars = 0;
  e->TextHost()->TxGetScrollBars(&bars);
  EXPECT_NE(bars & ES_DISABLENOSCROLL, 0u);
}

TEST_F(EditTest, EnterInASingleLineBoxIsLeftToTheWindow) {
  SEdit* e = BuildEdit(u"autoSel=\"0\"");
  host_->FocusElement(e->Handle());
  Type(u"ab");
  BOOL handled = TRUE;
  Send(e, WM_KEYDOWN, VK_RETURN, 0, &handled);
  EXPECT_FALSE(handled);
  Type(u"\r");
  Type(u"\n");  // Ctrl+Enter: a single line has no break to insert
  EXPECT_EQ(e->GetWindowText(), u"ab");
  EXPECT_EQ(e->KeyWants() & SC_WANTRETURN, 0u);
}

TEST_F(EditTest, EnterInAMultiLineBoxNeedsWantReturnOrCtrl) {
  SEdit* e = BuildEdit(u"multiLines=\"1\" autoSel=\"0\"");
  host_->FocusElement(e->Handle());
  Type(u"a");
  BOOL handled = TRUE;
  Send(e, WM_KEYDOWN, VK_RETURN, 0, &handled);
  EXPECT_FALSE(handled);
  Type(u"\r");
  EXPECT_EQ(e->GetWindowText(), u"a") << "plain Enter is the window's";
  Type(u"\n");  // Ctrl+Enter arrives as a line feed
  Type(u"b");
  EXPECT_EQ(e->GetWindowText(), u"a\r\nb");

  e = BuildEdit(u"multiLines=\"1\" wantReturn=\"1\" autoSel=\"0\"");
  EXPECT_NE(e->KeyWants() & SC_WANTRETURN, 0u);
  host_->FocusElement(e->Handle());
  Type(u"a\rb");
  EXPECT_EQ(e->GetWindowText(), u"a\r\nb");
}

TEST_F(EditTest, TabReachesTheEngineOnlyWithWantTab) {
  SEdit* e = BuildEdit(u"autoSel=\"0\"");
  host_->FocusElement(e->Handle());
  Type(u"a\tb");
  EXPECT_EQ(e->GetWindowText(), u"ab");
  e = BuildEdit(u"autoSel=\"0\" wantTab=\"1\"");
  host_->FocusElement(e->Handle());
  Type(u"a\tb");
  EXPECT_EQ(e->GetWindowText(), u"a\tb");
  EXPECT_NE(e->KeyWants() & SC_WANTTAB, 0u);
  e = BuildEdit(u"wantTab=\"FALSE\"");
  EXPECT_EQ(e->KeyWants() & SC_WANTTAB, 0u);
}

TEST_F(EditTest, AKeyDownHandlerStopsTheKey) {
  SEdit* e = BuildEdit(u"autoSel=\"0\"");
  e->SetWindowText(u"abc");
  host_->FocusElement(e->Handle());
  Send(e, EM_SETSEL, 0, 0);
  int seen = 0;
  e->EventTable().Connect(EVT_KEYDOWN, [&](EventArgs* args) {
    ++seen;
    return static_cast<EventEditKeyDown*>(args)->key == VK_DELETE;
  });
  host_->RouteHostMessage(WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(e->GetWindowText(), u"abc");
  host_->RouteHostMessage(WM_KEYDOWN, VK_RIGHT, 0);
  host_->RouteHostMessage(WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(Selection(e), (std::pair<DWORD, DWORD>{2, 2}));
  EXPECT_EQ(seen, 3);
}

TEST_F(EditTest, ChangeNotificationsFollowNotifyChange) {
  SEdit* e = BuildEdit(u"notifyChange=\"1\" autoSel=\"0\"");
  EXPECT_EQ(Send(e, EM_GETEVENTMASK) & ENM_CHANGE, ENM_CHANGE);
  int changes = 0;
  e->EventTable().Connect(EVT_RE_NOTIFY, [&](EventArgs* args) {
    changes += static_cast<EventRichEditNotify*>(args)->code == EN_CHANGE;
    return false;
  });
  host_->FocusElement(e->Handle());
  Type(u"x");
  EXPECT_GE(changes, 1);
  e->ApplyAttribute(u"notifyChange", u"0", false);
  EXPECT_EQ(Send(e, EM_GETEVENTMASK) & ENM_CHANGE, 0);
  const int before = changes;
  Type(u"y");
  EXPECT_EQ(changes, before);
}

TEST_F(EditTest, DefaultCharFormatOnlyTakesTheLargeRecord) {
  SEdit* e = BuildEdit(u"colorText=\"#33ffff\"");
  const CHARFORMAT2W& cf = e->DefaultCharFormat();
  EXPECT_EQ(cf.cbSize, sizeof(CHARFORMAT2W));
  EXPECT_EQ(cf.crTextColor, 0xFFFF33u) << "the colour's low 24 bits, blue-green-red";
  EXPECT_GT(cf.yHeight, 0);
  EXPECT_GT(e->LineHeight(), 0);
  CHARFORMATW small{};
  small.cbSize = sizeof(CHARFORMATW);
  EXPECT_EQ(Send(e, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&small)), 0);
  CHARFORMAT2W big = cf;
  big.dwMask = CFM_COLOR;
  big.crTextColor = 0x0000FF;
  EXPECT_NE(Send(e, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&big)), 0);
  EXPECT_EQ(e->DefaultCharFormat().crTextColor, 0x0000FFu);
  PARAFORMAT para{};
  para.cbSize = sizeof(PARAFORMAT);
  EXPECT_EQ(Send(e, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&para)), 0);
  EXPECT_EQ(e->DefaultParaFormat().wAlignment, PFA_LEFT);
  e = BuildEdit(u"align=\"right\"");
  EXPECT_EQ(e->DefaultParaFormat().wAlignment, PFA_RIGHT);
  EXPECT_NE(e->EditStyle() & ES_RIGHT, 0u);
}

TEST_F(EditTest, PropertyBitsFollowStyleAndOptions) {
  SEdit* e = BuildEdit(u"multiLines=\"1\" readOnly=\"1\" password=\"1\" wordWrap=\"1\"");
  DWORD bits = 0;
  e->TextHost()->TxGetPropertyBits(0xFFFFFFFF, &bits);
  EXPECT_EQ(bits & TXTBIT_RICHTEXT, 0u);
  EXPECT_NE(bits & TXTBIT_MULTILINE, 0u);
  EXPECT_NE(bits & TXTBIT_READONLY, 0u);
  EXPECT_NE(bits & TXTBIT_USEPASSWORD, 0u);
  EXPECT_NE(bits & TXTBIT_WORDWRAP, 0u);
  EXPECT_NE(bits & TXTBIT_HIDESELECTION, 0u);
  e->TextHost()->TxGetPropertyBits(TXTBIT_MULTILINE, &bits);
  EXPECT_EQ(bits, TXTBIT_MULTILINE) << "masked with what the engine asks";
}

TEST_F(EditTest, ASingleLineBoxCentresItsLineVertically) {
  Build(u"<root><edit name=\"dir\" pos=\"0,0\" size=\"281,37\" ncskin=\"\" padding=\"4,0,2,0\"/></root>");
  auto* e = Control<SEdit>(u"dir");
  const RECT inset = e->ViewInset();
  EXPECT_GT(inset.top, 0);
  EXPECT_EQ(inset.top, inset.bottom);
  EXPECT_GT(inset.left, 0) << "the padding's 4 pixels";
  // A multi-line box keeps its padding.
  Build(u"<root><edit name=\"s\" pos=\"0,0\" size=\"200,67\" ncskin=\"\" multiLines=\"1\" padding=\"5,5,5,5\"/></root>");
  auto* s = Control<SEdit>(u"s");
  EXPECT_EQ(s->ViewInset().top, s->ViewInset().left);
}

TEST_F(EditTest, TheCueTextShowsOnlyWhileTheBoxIsEmptyAndUnfocused) {
  SEdit* e = BuildEdit(u"cueText=\"type here\" cueColor=\"#FF0000\" autoSel=\"0\"");
  EXPECT_EQ(e->CueText(), u"type here");
  const RECT area = e->ClientArea();
  EXPECT_TRUE(e->CueShown());
  EXPECT_TRUE(AnyPixel(area, test::kPixRed));
  host_->FocusElement(e->Handle());
  EXPECT_FALSE(e->CueShown());
  EXPECT_FALSE(AnyPixel(area, test::kPixRed)) << "gaining the focus repaints the box without its cue";
  host_->FocusElement(0);
  EXPECT_TRUE(AnyPixel(area, test::kPixRed));
  e->SetWindowText(u"x");
  EXPECT_FALSE(e->CueShown());
  EXPECT_FALSE(AnyPixel(area, test::kPixRed));
  EXPECT_EQ(e->ApplyAttribute(u"cueColor", u"", false), E_FAIL);

  e = BuildEdit(u"cueText=\"\"");
  EXPECT_FALSE(e->CueShown()) << "an empty cue shows nothing";
}

TEST_F(EditTest, TheEngineDrawsTheTextInTheBoxAndKeepsTheBackgroundElsewhere) {
  SEdit* e = BuildEdit(u"colorText=\"#FFFFFF\" multiLines=\"1\" padding=\"5,5,5,5\"");
  const RECT area = e->ClientArea();
  EXPECT_EQ(PixelsOtherThan(area, test::kPixBlue), 0);
  e->SetWindowText(u"WWWW");
  EXPECT_GT(PixelsOtherThan(area, test::kPixBlue), 20);
  // Nothing is drawn outside the box.
  EXPECT_EQ(PixelsOtherThan(RECT{0, 0, 400, 10}, test::kPixBlue), 0);
  EXPECT_EQ(PixelsOtherThan(RECT{0, 80, 400, 300}, test::kPixBlue), 0);
  // Every pixel stays opaque: the engine's drawing keeps the element's alpha.
  host_->Repaint();
  for (LONG y = area.top; y < area.bottom; ++y)
    for (LONG x = area.left; x < area.right; ++x) ASSERT_EQ(host_->PixelAt(x, y) >> 24, 0xFFu);
}

TEST_F(EditTest, RtfFromAFileStreamsInAndDevicesAreRefused) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("loom_edit_rtf_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                     "_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "notes.rtf";
  std::ofstream(file) << "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 hello\\par world}";
  SEdit* e = BuildEdit(u"multiLines=\"1\" rtf=\"" + platform::Utf8ToUtf16(file.string()) + u"\"");
  EXPECT_EQ(e->GetWindowText(), u"hello\r\nworld");
  // A device would never end, a directory is no file: both leave the box empty.
  e = BuildEdit(u"rtf=\"/dev/zero\"");
  EXPECT_EQ(e->TextLength(), 0);
  e = BuildEdit(u"rtf=\"" + platform::Utf8ToUtf16(dir.string()) + u"\"");
  EXPECT_EQ(e->TextLength(), 0);
  std::filesystem::remove_all(dir);
}

TEST_F(EditTest, BadInputNeitherCrashesNorCorruptsTheText) {
  SEdit* e = BuildEdit(u"multiLines=\"1\"");
  e->SetTextLimit(2147483647);
  const std::u16string odd{u'a', 0xD800, u'b', 0xDC00, u'c'};
  e->SetWindowText(odd);
  EXPECT_EQ(e->TextLength(), 5);
  // Positions far past the end in every selection message.
  Send(e, EM_SETSEL, 1000000, 2000000);
  e->ReplaceSelection(u"!", false);
  EXPECT_EQ(e->GetWindowText().back(), u'!');
  Send(e, EM_SETSEL, static_cast<WPARAM>(-5), -7);
  EXPECT_LE(Selection(e).second, 6u);
  e->SelectRange(0xFFFFFFFF, false);
  // A null text is an empty one.
  EXPECT_NE(Send(e, WM_SETTEXT, 0, 0), 0);
  EXPECT_EQ(e->TextLength(), 0);
  Send(e, EM_REPLACESEL, 0, 0);
  // A line of a million characters.
  e->ReplaceSelection(std::u16string(1000000, u'm'), false);
  EXPECT_EQ(e->TextLength(), 1000000);
  e->ScrollTo(true, 1 << 30, true);
  e->ScrollTo(false, -(1 << 30), true);
  host_->Repaint();
  // WM_GETTEXT into a short buffer is cut and terminated.
  char16_t small[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(Send(e, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(small)), 3);
  EXPECT_EQ(small[3], 0);
}

}  // namespace
}  // namespace LOOM
