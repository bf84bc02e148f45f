// The text with its paragraph index, input normalisation, and undo steps.
#include <gtest/gtest.h>

#include "platform/text/linux/text_document.h"
#include "platform/text/linux/text_undo.h"

namespace text_test {
namespace {

using namespace platform::text;

// Every start in the index must follow a break and every break must start a
// paragraph: checked against the text itself.
void ExpectIndexMatchesText(const TextDocument& doc) {
  TextPos paragraph = 0;
  ASSERT_EQ(doc.ParagraphStart(0), 0);
  for (TextPos i = 0; i < doc.Length(); ++i) {
    ASSERT_EQ(doc.ParagraphOf(i), paragraph) << "position " << i;  // a break ends its paragraph
    if (doc.At(i) == kBreak) {
      ++paragraph;
      ASSERT_LT(paragraph, doc.ParagraphCount());
      ASSERT_EQ(doc.ParagraphStart(paragraph), i + 1);
      ASSERT_EQ(doc.ParagraphEnd(paragraph - 1), i);
    }
  }
  ASSERT_EQ(doc.ParagraphCount(), paragraph + 1);
  ASSERT_EQ(doc.ParagraphOf(doc.Length()), paragraph);
}

TEST(TextDocumentTest, ReplacementsKeepTheParagraphIndexInStep) {
  TextDocument doc;
  ExpectIndexMatchesText(doc);
  auto splice = doc.Replace(0, 0, u"one\rtwo\rthree");
  EXPECT_EQ(splice.first, 0);
  EXPECT_EQ(splice.removed, 1);
  EXPECT_EQ(splice.added, 3);
  ExpectIndexMatchesText(doc);

  splice = doc.Replace(2, 5, u"X");  // "e\rtwo" goes: one break with it
  EXPECT_EQ(doc.Text(), u"onX\rthree");
  EXPECT_EQ(splice.first, 0);
  EXPECT_EQ(splice.removed, 2);
  EXPECT_EQ(splice.added, 1);
  ExpectIndexMatchesText(doc);

  splice = doc.Replace(doc.Length(), 0, u"\r\r");  // appending adds paragraphs at the end
  EXPECT_EQ(splice.first, 1);
  EXPECT_EQ(splice.added, 3);
  ExpectIndexMatchesText(doc);

  splice = doc.Replace(0, 1, u"\r");  // a break before everything moves every start
  ExpectIndexMatchesText(doc);
  EXPECT_EQ(doc.ParagraphCount(), 5);

  doc.Replace(0, doc.Length(), u"");
  ExpectIndexMatchesText(doc);
  EXPECT_EQ(doc.ParagraphCount(), 1);
}

TEST(TextDocumentTest, SurrogatePairsAreOnePosition) {
  TextDocument doc;
  doc.Replace(0, 0, u"a\U0001F600b\xD800" u"c");  // a, pair, b, lone high surrogate, c
  EXPECT_EQ(doc.Length(), 6);
  EXPECT_EQ(doc.Snap(2), 1);  // between the halves: back to the pair's start
  EXPECT_EQ(doc.NextPosition(1), 3);
  EXPECT_EQ(doc.PreviousPosition(3), 1);
  EXPECT_EQ(doc.NextPosition(4), 5);  // the lone surrogate is a character of its own
  EXPECT_EQ(doc.PreviousPosition(5), 4);
  EXPECT_EQ(doc.Snap(-5), 0);
  EXPECT_EQ(doc.Snap(1000), 6);
}

TEST(TextDocumentTest, InputIsNormalisedAndOutputCarriesCrLf) {
  EXPECT_EQ(NormalizeInput(u"a\r\nb\nc\rd", false), u"a\rb\rc\rd");
  EXPECT_EQ(NormalizeInput(u"a\r\n\r\nb", false), u"a\r\rb");
  EXPECT_EQ(NormalizeInput(std::u16string(u"x\0y", 3), false), u"xy");
  EXPECT_EQ(NormalizeInput(u"C:\\KRDN\r\nmore", true), u"C:\\KRDN");
  EXPECT_EQ(WithCrLf(u"a\rb\r"), u"a\r\nb\r\n");
}

TEST(UndoHistoryTest, TypingBackspaceAndDeleteRunsMergeOthersDoNot) {
  UndoHistory history;
  history.Record({0, 1, u"", 0, 0, UndoKind::kTyping});
  history.Record({1, 1, u"", 1, 1, UndoKind::kTyping});
  history.Record({2, 1, u"", 2, 2, UndoKind::kTyping});
  auto typed = history.TakeUndo();
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->pos, 0);
  EXPECT_EQ(typed->inserted, 3);
  EXPECT_FALSE(history.CanUndo());

  history.Record({5, 0, u"c", 6, 6, UndoKind::kBackspace});
  history.Record({4, 0, u"b", 5, 5, UndoKind::kBackspace});
  history.Record({7, 0, u"x", 7, 7, UndoKind::kDelete});
  history.Record({7, 0, u"y", 7, 7, UndoKind::kDelete});
  auto deleted = history.TakeUndo();
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->removed, u"xy");
  auto erased = history.TakeUndo();
  ASSERT_TRUE(erased);
  EXPECT_EQ(erased->pos, 4);
  EXPECT_EQ(erased->removed, u"bc");

  history.Record({0, 1, u"", 0, 0, UndoKind::kTyping});
  history.CloseMerging();
  history.Record({1, 1, u"", 1, 1, UndoKind::kTyping});
  history.Record({9, 1, u"", 9, 9, UndoKind::kTyping});  // not adjacent
  EXPECT_EQ(history.TakeUndo()->pos, 9);
  EXPECT_EQ(history.TakeUndo()->pos, 1);
  EXPECT_EQ(history.TakeUndo()->pos, 0);
}

TEST(UndoHistoryTest, NewChangesDropRedoAndTheLimitDropsTheOldest) {
  UndoHistory history;
  history.SetLimit(3);
  for (TextPos i = 0; i < 5; ++i) history.Record({i * 10, 1, u"", 0, 0, UndoKind::kOther});
  EXPECT_EQ(history.TakeUndo()->pos, 40);
  history.PushRedo({40, 0, u"z", 0, 0, UndoKind::kOther});
  EXPECT_TRUE(history.CanRedo());
  history.Record({1, 1, u"", 0, 0, UndoKind::kOther});
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.TakeUndo()->pos, 1);
  EXPECT_EQ(history.TakeUndo()->pos, 30);
  EXPECT_EQ(history.TakeUndo()->pos, 20);
  EXPECT_FALSE(history.CanUndo());
  history.SetLimit(0);
  history.Record({1, 1, u"", 0, 0, UndoKind::kOther});
  EXPECT_FALSE(history.CanUndo());
}

}  // namespace
}  // namespace text_test
