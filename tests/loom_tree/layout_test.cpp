// The position grammar and the layouts: where children end up, what wraps its
// content, and what makes a tree lay out again.
#include "core/linear_layout.h"
#include "core/loom_layout.h"
#include "tree_fixture.h"

namespace LOOM {
namespace {

class LayoutTest : public test::TreeFixture {};

TEST(PosGrammar, ItemsParseWithEveryPrefixAndRejectGarbage) {
  SPosItem item;
  ASSERT_TRUE(ParsePosItem(u"|-114", item));
  EXPECT_EQ(item.kind, kPosCenter);
  EXPECT_EQ(item.sign, -1);
  EXPECT_EQ(item.value.value, 114);
  ASSERT_TRUE(ParsePosItem(u"%50", item));
  EXPECT_EQ(item.kind, kPosPercent);
  ASSERT_TRUE(ParsePosItem(u"-0", item));
  EXPECT_EQ(item.kind, kPosNormal);
  EXPECT_EQ(item.sign, -1);
  ASSERT_TRUE(ParsePosItem(u"@30dp", item));
  EXPECT_EQ(item.kind, kPosSize);
  EXPECT_EQ(item.value.unit, SizeUnit::dp);
  ASSERT_TRUE(ParsePosItem(u"sib.right@12:-4", item));
  EXPECT_EQ(item.kind, kPosSibFar);
  EXPECT_EQ(item.ref_id, 12);
  EXPECT_EQ(item.sign, -1);
  EXPECT_EQ(item.value.value, 4);
  for (const char16_t* kind : {u"[", u"]", u"{", u"}"}) EXPECT_TRUE(ParsePosItem(std::u16string(kind) + u"3", item));
  SPosItem untouched = item;
  for (const char16_t* bad : {u"", u"|", u"-", u"abc", u"sib.left@0:5", u"sib.left@3", u"sib.middle@3:1", u"[x"}) {
    EXPECT_FALSE(ParsePosItem(bad, item));
    EXPECT_EQ(item, untouched);
  }
}

TEST_F(LayoutTest, PosAttributeResultsAndTheSizesItImplies) {
  LoomLayoutParam p;
  EXPECT_EQ(p.ApplyAttribute(u"pos", u"1,2,3", true), E_INVALIDARG);
  EXPECT_EQ(p.count, 0);
  EXPECT_EQ(p.ApplyAttribute(u"pos", u"0,0,-0,-0", true), S_OK);
  EXPECT_TRUE(p.IsMatchParent(LayoutAxis::Both));
  EXPECT_EQ(p.ApplyAttribute(u"pos", u"9,9,@100,@-20", true), S_OK);
  EXPECT_EQ(p.SpecifiedSize(LayoutAxis::Horz).value, 100);
  EXPECT_TRUE(p.IsWrapContent(LayoutAxis::Vert));
  EXPECT_EQ(p.ApplyAttribute(u"pos", u"0,0,-0,32", true), S_OK);
  EXPECT_TRUE(p.IsMatchParent(LayoutAxis::Horz));
  EXPECT_EQ(p.SpecifiedSize(LayoutAxis::Vert).value, SIZE_SPEC);
  EXPECT_FALSE(p.IsWrapContent(LayoutAxis::Vert));
  // A pair that does not parse leaves that pair as it was and still succeeds.
  EXPECT_EQ(p.ApplyAttribute(u"pos", u"5,x,@1,@2", true), S_OK);
  EXPECT_EQ(p.FirstX().value.value, 0);
  EXPECT_EQ(p.SecondX().kind, kPosSize);
  EXPECT_EQ(p.ApplyAttribute(u"pos", u" 993 ,\t2 ", true), S_OK);
  EXPECT_EQ(p.FirstX().value.value, 993);
  EXPECT_EQ(p.count, 2) << "two items make a pair position";
  EXPECT_EQ(p.SecondX().kind, kPosSize) << "the earlier second pair is kept but no longer counts";
  p.Clear();
  EXPECT_EQ(p.ApplyAttribute(u"size", u"218, 49", true), S_OK);
  EXPECT_EQ(p.ApplyAttribute(u"pos", u"129,458", true), S_OK);
  EXPECT_EQ(p.SpecifiedSize(LayoutAxis::Horz).value, 218);
  EXPECT_EQ(p.SpecifiedSize(LayoutAxis::Vert).value, 49);
  EXPECT_EQ(p.ApplyAttribute(u"width", u"matchParent", true), S_OK);
  EXPECT_TRUE(p.IsMatchParent(LayoutAxis::Horz));
  EXPECT_EQ(p.ApplyAttribute(u"height", u"WRAPCONTENT", true), S_OK);
  EXPECT_TRUE(p.IsWrapContent(LayoutAxis::Vert));
  EXPECT_EQ(p.ApplyAttribute(u"width", u"@dim/gap", true), S_OK);
  EXPECT_EQ(p.SpecifiedSize(LayoutAxis::Horz).value, 7);
  EXPECT_EQ(p.ApplyAttribute(u"size", u"1,2,3", true), E_FAIL);
  EXPECT_EQ(p.ApplyAttribute(u"offset", u"-0.5,-0.5", true), S_OK);
  EXPECT_EQ(p.offset_x, -0.5f);
  EXPECT_EQ(p.ApplyAttribute(u"offset", u"1 ,2", true), E_FAIL);
  EXPECT_EQ(p.ApplyAttribute(u"offset", u"1", true), E_FAIL);
  EXPECT_EQ(p.offset_y, -0.5f);
  EXPECT_EQ(p.ApplyAttribute(u"nosuch", u"1", true), E_NOTIMPL);
}

TEST_F(LayoutTest, CentreRelativePositionsAndFarEdges) {
  Build(uR"(<root><window name="box" pos="0,0,@530,@203">
      <window name="retry" pos="|-114,139" size="87,39"/>
      <window name="close" pos="|10,139" size="87,39"/>
      <window name="fill" pos="0,0,-0,32"/>
      <window name="inset" pos="5,40,-10,-10"/>
    </window></root>)",
        600, 300);
  EXPECT_EQ(RectOf(u"retry"), (RECT{151, 139, 238, 178}));
  EXPECT_EQ(RectOf(u"close").left, 275);
  EXPECT_EQ(RectOf(u"fill"), (RECT{0, 0, 530, 32}));
  EXPECT_EQ(RectOf(u"inset"), (RECT{5, 40, 520, 193}));
}

TEST_F(LayoutTest, PercentsAreClampedAndNeighboursChain) {
  Build(uR"(<root><window pos="0,0,@200,@100">
      <window name="half" pos="%50,%25,%150,%-150"/>
      <window name="a" pos="10,5" size="20,10"/>
      <window name="b" pos="[5,{0" size="20,10"/>
      <window name="c" pos="]-5,}0,@10,@10"/>
      <window name="d" pos="]0,]0" size="10,10"/>
    </window></root>)");
  EXPECT_EQ(RectOf(u"half").left, 100);
  EXPECT_EQ(RectOf(u"half").top, 25);
  EXPECT_EQ(RectOf(u"half").right, 200) << "above 100 acts as 100";
  EXPECT_EQ(RectOf(u"half").bottom, 25) << "the far side of 100% is 0; the rectangle never inverts";
  EXPECT_EQ(RectOf(u"b"), (RECT{35, 5, 55, 15}));
  // c ends 5 before d's left edge, d stands at the far edges of the parent.
  EXPECT_EQ(RectOf(u"d"), (RECT{200, 100, 210, 110}));
  EXPECT_EQ(RectOf(u"c").left, 195);
  EXPECT_EQ(RectOf(u"c").top, 110) << "with the next participant's far edge";
}

TEST_F(LayoutTest, ChildrenWithoutPosFlowLeftToRightSharingTheTop) {
  Build(uR"(<root><window pos="0,0,-0,-0">
      <window name="first" pos="10,20" size="30,10"/>
      <window name="second" size="40,15"/>
      <window name="hidden" size="500,500" visible="0" display="0"/>
      <window name="third" size="5,5"/>
      <window name="kept" size="7,7" visible="0"/>
      <window name="fourth" size="5,5"/>
    </window></root>)");
  EXPECT_EQ(RectOf(u"second"), (RECT{40, 20, 80, 35}));
  EXPECT_EQ(RectOf(u"third"), (RECT{80, 20, 85, 25})) << "a hidden child without display takes no place";
  EXPECT_EQ(RectOf(u"fourth"), (RECT{92, 20, 97, 25})) << "a hidden child with display keeps its place";
}

TEST_F(LayoutTest, OffsetsCentreAChildOnItsPosition) {
  Build(uR"(<root><window pos="0,0,@200,@100">
      <window name="centred" pos="|0,|0" size="40,20" offset="-0.5,-0.5"/>
      <window name="after" pos="[0,{0" size="10,10"/>
    </window></root>)");
  EXPECT_EQ(RectOf(u"centred"), (RECT{80, 40, 120, 60}));
  EXPECT_EQ(RectOf(u"after"), (RECT{120, 40, 130, 50})) << "neighbours wait for the offset";
}

TEST_F(LayoutTest, WrapContentMeasuresTextAndChildren) {
  Build(uR"(<root><window pos="0,0,-0,-0">
      <window name="line" pos="0,0" valign="top" align="left">a fairly long line of words to wrap</window>
      <window name="wrapped" pos="0,50" maxWidth="60" valign="top" align="left">a fairly long line of words to wrap</window>
      <window name="padded" pos="0,200" padding="3,4" margin="1">x</window>
      <window name="holder" pos="300,0">
        <window pos="0,0" size="20,10"/>
        <window pos="5,5,-10,@30"/>
      </window>
      <window name="sized" pos="0,300" size="50,wrapContent">y</window>
    </window></root>)",
        800, 400);
  RECT line = RectOf(u"line"), wrapped = RectOf(u"wrapped");
  EXPECT_GT(RectWidth(line), 100);
  EXPECT_LE(RectWidth(wrapped), 60);
  EXPECT_GT(RectHeight(wrapped), 2 * RectHeight(line)) << "the text wraps at the maximum width";
  SWindow* padded = Find(u"padded");
  EXPECT_EQ(padded->ClientArea(), RectDeflate(padded->ElementArea(), {1, 1, 1, 1}));
  EXPECT_EQ(padded->TextArea(), RectDeflate(padded->ClientArea(), {3, 4, 3, 4}));
  EXPECT_EQ(RectWidth(RectOf(u"sized")), 50);
  EXPECT_EQ(RectHeight(RectOf(u"sized")), RectHeight(line)) << "only the wrapping direction is measured";
  // The children's need: an item counted from the far edge needs that distance too;
  // with an unknown extent it cannot be placed and does not count.
  SWindow* holder = Find(u"holder");
  EXPECT_EQ(holder->Layout()->MeasureContent(holder, 100, 50), (SIZE{100, 35}));
  EXPECT_EQ(holder->Layout()->MeasureContent(holder, -1, -1), (SIZE{20, 35}));
}

TEST_F(LayoutTest, CircularAndMissingReferencesNeverHang) {
  Build(uR"(<root><window pos="0,0,@100,@100">
      <window name="x" id="1" pos="sib.left@2:0,sib.top@2:0" size="10,10"/>
      <window name="y" id="2" pos="sib.left@1:0,sib.top@1:0" size="10,10"/>
      <window name="p" pos="]0,0" size="10,10"/>
      <window name="q" pos="[0,0" size="10,10"/>
      <window name="ghost" pos="sib.right@99:-5,sib.top@99:3" size="4,4"/>
    </window></root>)");
  for (const char16_t* n : {u"x", u"y", u"p", u"q"}) {
    RECT rc = RectOf(n);
    EXPECT_GE(rc.right, rc.left);
    EXPECT_GE(rc.bottom, rc.top);
    EXPECT_LE(std::abs(rc.left), 200);
  }
  EXPECT_EQ(RectOf(u"ghost"), (RECT{95, 3, 99, 7})) << "a missing sibling falls back to the parent's edges";
}

TEST_F(LayoutTest, RelayoutHappensOnlyWhereSomethingChanged) {
  auto& host = Build(uR"(<root><window name="a" pos="0,0,@100,@100"><recorder name="r" pos="1,1,@10,@10"/></window>
                         <window name="b" pos="200,0,@50,@50"/></root>)");
  auto* r = Recorder(u"r");
  r->log.clear();
  host.LayoutIfDirty();
  EXPECT_EQ(r->Count(WM_SIZE), 0) << "nothing was dirty";
  Find(u"b")->ApplyAttribute(u"pos", u"210,0,@50,@50", false);
  host.LayoutIfDirty();
  EXPECT_EQ(RectOf(u"b").left, 210);
  EXPECT_EQ(r->Count(WM_SIZE), 0) << "the other subtree was not laid out";
  r->ApplyAttribute(u"size", u"20,20", false);
  host.LayoutIfDirty();
  EXPECT_EQ(RectOf(u"r"), (RECT{1, 1, 21, 21})) << "a given size wins over the second items";
  r->ApplyAttribute(u"pos", u"2,2", false);
  host.LayoutIfDirty();
  EXPECT_EQ(RectOf(u"r"), (RECT{2, 2, 22, 22}));
  EXPECT_EQ(r->Count(WM_SIZE), 2);
}

TEST_F(LayoutTest, HiddenElementsPostponeTheirChildrenUntilShown) {
  auto& host = Build(uR"(<root><window name="panel" visible="0" pos="0,0,@100,@100"><window name="kid" pos="5,5,@10,@10"/></window></root>)");
  EXPECT_EQ(RectOf(u"kid"), (RECT{})) << "not laid out while hidden";
  Find(u"panel")->ShowElement(true);
  EXPECT_EQ(RectOf(u"kid"), (RECT{5, 5, 15, 15}));
  (void)host;
}

TEST_F(LayoutTest, FloatingElementsKeepTheirPlace) {
  auto& host = Build(uR"(<root><window name="f" pos="0,0" size="10,10"/><window name="n" size="10,10"/></root>)");
  SWindow* f = Find(u"f");
  RECT spot{50, 60, 70, 80};
  f->PlaceAt(&spot);
  host.AskRelayout(host.Handle(), true);
  host.LayoutIfDirty();
  EXPECT_EQ(f->ElementArea(), spot);
  EXPECT_EQ(RectOf(u"n"), (RECT{0, 0, 10, 10})) << "a float element is no participant";
  f->PlaceAt(nullptr);
  host.LayoutIfDirty();
  EXPECT_EQ(f->ElementArea(), (RECT{0, 0, 10, 10}));
  EXPECT_EQ(RectOf(u"n"), (RECT{10, 0, 20, 10}));
}

TEST_F(LayoutTest, LinearBoxesShareFreeSpaceByWeight) {
  Build(uR"(<root><window name="row" layout="hbox" pos="0,0,@300,@40" interval="10" gravity="center">
      <window name="fixed" size="50,20"/>
      <window name="one" width="0" height="10" weight="1"/>
      <window name="two" width="0" height="matchParent" weight="2" extend="2"/>
    </window>
    <window name="col" layout="vbox" pos="0,100,@100,@200" gravity="right">
      <window name="top" size="30,20"/>
      <window name="next" size="40,20" layout_gravity="left"/>
    </window></root>)");
  EXPECT_EQ(Find(u"row")->Layout()->TagName(), u"hbox");
  // 300 - 50 - 2 * 10 = 230 shared 1:2.
  EXPECT_EQ(RectOf(u"fixed"), (RECT{0, 10, 50, 30}));
  EXPECT_EQ(RectOf(u"one"), (RECT{60, 15, 135, 25}));
  EXPECT_EQ(RectOf(u"two"), (RECT{147, 2, 298, 38}));
  EXPECT_EQ(RectOf(u"top"), (RECT{70, 100, 100, 120}));
  EXPECT_EQ(RectOf(u"next"), (RECT{0, 120, 40, 140}));
}

}  // namespace
}  // namespace LOOM
