// Element painting: invalidation, subtree painting with caches and layers, painting
// outside a repaint, update regions and the non-client repaint on hover.
#include "tree_fixture.h"

namespace LOOM {
namespace {

using test::kPixBlue;
using test::kPixGreen;
using test::kPixRed;
using test::RecorderElement;

class PaintTest : public test::TreeFixture {
 protected:
  COLORREF Pixel(int x, int y) { return host_->PixelAt(x, y); }
};

TEST_F(PaintTest, AHiddenElementNeverPaintsNorDoItsChildren) {
  auto& host = Build(uR"(<root><recorder name="p" visible="0" pos="0,0" size="40,40" colorBkgnd="#ff0000">
                           <recorder name="c" pos="0,0" size="20,20" colorBkgnd="#0000ff"/></recorder></root>)");
  host.Repaint();
  EXPECT_EQ(Pixel(5, 5), 0u);
  EXPECT_EQ(Pixel(30, 30), 0u);
  EXPECT_EQ(Recorder(u"c")->Count(WM_PAINT), 0);
  EXPECT_TRUE(Recorder(u"c")->IsShown(false));
  Find(u"p")->ShowElement(true);
  host.Repaint();
  EXPECT_EQ(Pixel(5, 5), kPixBlue);
  EXPECT_EQ(Pixel(30, 30), kPixRed);
}

TEST_F(PaintTest, AnElementWithAlphaZeroShowsOnlyItsChildren) {
  auto& host = Build(uR"(<root><window name="w" pos="0,0,-0,-0" colorBkgnd="#ffffffff" alpha="0">
                           <window pos="10,10" size="10,10" colorBkgnd="#ff0000"/></window></root>)",
                     60, 60);
  EXPECT_TRUE(Find(u"w")->PaintsToCache());
  host.Repaint();
  EXPECT_EQ(Pixel(5, 5), 0u);
  EXPECT_EQ(Pixel(15, 15), kPixRed);
}

TEST_F(PaintTest, ACachedParentKeepsItsCacheWhileAChildRepaints) {
  auto& host = Build(uR"(<root><recorder name="bg" cache="1" pos="0,0,-0,-0" colorBkgnd="#0000ff">
                           <recorder name="btn" pos="10,10" size="20,20" skin="states"/></recorder></root>)",
                     100, 100);
  RecorderElement *bg = Recorder(u"bg"), *btn = Recorder(u"btn");
  host.Repaint();
  EXPECT_EQ(bg->Count(WM_ERASEBKGND), 1);
  EXPECT_EQ(Pixel(15, 15), kPixRed);
  EXPECT_EQ(Pixel(50, 50), kPixBlue);
  host.invalidated.clear();
  btn->ChangeState(WndState_Hover, 0, true);
  ASSERT_EQ(host.invalidated.size(), 1u);
  EXPECT_EQ(host.invalidated[0], (RECT{10, 10, 30, 30})) << "the invalidation reaches the host as one rectangle";
  EXPECT_EQ(host.Repaint(), (RECT{10, 10, 30, 30}));
  EXPECT_EQ(bg->Count(WM_ERASEBKGND), 1) << "the parent's cache was blended, not redrawn";
  EXPECT_EQ(btn->Count(WM_ERASEBKGND), 2);
  EXPECT_EQ(Pixel(15, 15), kPixGreen);
  EXPECT_EQ(Pixel(9, 9), kPixBlue);
  // Its own invalidation redraws the cache.
  bg->MarkDirty();
  host.Repaint();
  EXPECT_EQ(bg->Count(WM_ERASEBKGND), 2);
}

TEST_F(PaintTest, InvalidationStopsAtHiddenOrHeldElementsAndOutsideTheRectangle) {
  auto& host = Build(uR"(<root><window name="a" pos="10,10" size="20,20"/><window name="h" visible="0" pos="0,0" size="5,5"/></root>)");
  host.invalidated.clear();
  SWindow* a = Find(u"a");
  RECT outside{100, 100, 120, 120}, part{0, 0, 15, 15};
  a->MarkDirty(&outside);
  Find(u"h")->MarkDirty();
  a->HoldUpdates();
  a->MarkDirty();
  EXPECT_TRUE(host.invalidated.empty());
  a->ReleaseUpdates();
  a->MarkDirty(&part);
  ASSERT_EQ(host.invalidated.size(), 1u);
  EXPECT_EQ(host.invalidated[0], (RECT{10, 10, 15, 15}));
}

TEST_F(PaintTest, ElementsWithoutBackgroundBlendingRepaintTheirOwnUpdateRegion) {
  auto& host = Build(uR"(<root><recorder name="under" pos="0,0" size="60,60" colorBkgnd="#ff0000"/>
                         <recorder name="e" pos="10,10" size="40,40" bkgndBlend="0" colorBkgnd="#00ff00"/>
                         <window name="above" pos="30,30" size="40,40" colorBkgnd="#0000ff"/></root>)",
                     100, 100);
  host.Repaint();
  RecorderElement *e = Recorder(u"e"), *under = Recorder(u"under");
  int under_paints = under->Count(WM_PAINT);
  e->Style().background_color = RGBA(0xff, 0xff, 0, 0xff);
  host.invalidated.clear();
  RECT part{10, 10, 50, 35};
  e->MarkDirty(&part);
  EXPECT_TRUE(host.invalidated.empty());
  ASSERT_EQ(host.update_list.size(), 1u);
  e->MarkDirty(&part);
  EXPECT_EQ(host.update_list.size(), 1u) << "listed once";
  EXPECT_TRUE(RectIsEmpty(host.Repaint())) << "nothing else of the window was repainted";
  EXPECT_EQ(Pixel(20, 20), 0xFFFFFF00u) << "the new colour";
  EXPECT_EQ(Pixel(40, 32), kPixBlue) << "what lies above is painted over it";
  EXPECT_EQ(Pixel(20, 45), kPixGreen) << "outside the update region nothing changed";
  EXPECT_EQ(under->Count(WM_PAINT), under_paints) << "what lies beneath is not repainted";
  EXPECT_EQ(e->UpdateRegion(), nullptr);
  ASSERT_FALSE(host.released.empty());
  EXPECT_EQ(host.released.back().mode, static_cast<UINT>(kPaintCopy));
}

TEST_F(PaintTest, PaintingAtOnceComposesTheElementsBeneathAndAbove) {
  auto& host = Build(uR"(<root><window name="below" pos="0,0" size="50,50" colorBkgnd="#ff0000"/>
                         <window name="mid" pos="10,10" size="30,30"/>
                         <window name="above" pos="30,30" size="20,20" colorBkgnd="#0000ff"/></root>)",
                     60, 60);
  host.Repaint();
  SWindow* mid = Find(u"mid");
  host.Picture()->FillColorRect({0, 0, 60, 60}, RGBA(0, 255, 0, 255));  // scribble over the host picture
  IRenderTarget* rt = mid->BeginElementPaint(nullptr, kPaintBackground, false);
  ASSERT_NE(rt, nullptr);
  rt->FillColorRect({15, 15, 20, 20}, RGBA(255, 255, 255, 255));
  mid->EndElementPaint(rt);
  EXPECT_EQ(Pixel(12, 12), kPixRed) << "beneath";
  EXPECT_EQ(Pixel(17, 17), 0xFFFFFFFFu) << "its own drawing";
  EXPECT_EQ(Pixel(35, 35), kPixBlue) << "above";
  EXPECT_EQ(Pixel(5, 5), kPixGreen) << "outside the element nothing was touched";
  ASSERT_EQ(host.released.size(), 1u);
  EXPECT_EQ(host.released[0].rc, (RECT{10, 10, 40, 40}));
  EXPECT_EQ(host.released[0].mode, static_cast<UINT>(kPaintBackground));

  // With the updates held the drawing goes into a target that is thrown away.
  mid->HoldUpdates();
  rt = mid->BeginElementPaint(nullptr, kPaintCopy, false);
  ASSERT_NE(rt, nullptr);
  mid->EndElementPaint(rt);
  mid->ReleaseUpdates();
  EXPECT_EQ(host.released.size(), 1u);
}

TEST_F(PaintTest, PaintBelowAndAboveFollowTheTreeOrder) {
  auto& host = Build(uR"(<root><recorder name="a" pos="0,0" size="20,20" colorBkgnd="#ff0000"/>
                         <recorder name="b" pos="0,0" size="20,20"/>
                         <recorder name="c" pos="0,0" size="20,20" colorBkgnd="#0000ff"/></root>)",
                     30, 30);
  host.RenumberTree();
  RecorderElement *a = Recorder(u"a"), *b = Recorder(u"b"), *c = Recorder(u"c");
  for (auto* r : {a, b, c}) r->log.clear();
  IRenderTarget* raw = nullptr;
  factory_->NewTarget(&raw, 30, 30);
  auto rt = SAutoRefPtr<IRenderTarget>::Adopt(raw);
  b->PaintBelow(rt.get(), {0, 0, 20, 20});
  EXPECT_EQ(rt->PixelAt(5, 5), kPixRed);
  EXPECT_EQ(a->Count(WM_PAINT), 1);
  EXPECT_EQ(b->Count(WM_PAINT) + c->Count(WM_PAINT), 0);
  b->PaintAbove(rt.get(), {0, 0, 10, 10});
  EXPECT_EQ(rt->PixelAt(5, 5), kPixBlue);
  EXPECT_EQ(rt->PixelAt(15, 15), kPixRed) << "above is clipped to the rectangle";
  EXPECT_EQ(a->Count(WM_PAINT), 1);
  EXPECT_EQ(c->Count(WM_PAINT), 1);
}

TEST_F(PaintTest, HoverRepaintsTheBorderAtOnce) {
  auto& host = Build(uR"(<root><window name="edit" pos="10,10" size="40,20" margin="3" ncskin="frame" colorBkgnd="#ff0000"/></root>)",
                     60, 60);
  host.Repaint();
  EXPECT_EQ(Pixel(11, 11), kPixGreen);
  EXPECT_EQ(Pixel(20, 20), kPixRed);
  host.released.clear();
  host.Mouse(WM_MOUSEMOVE, 20, 20);
  EXPECT_EQ(Pixel(11, 11), kPixBlue) << "before any repaint";
  EXPECT_EQ(Pixel(20, 20), kPixRed);
  ASSERT_FALSE(host.released.empty());
  EXPECT_EQ(host.released[0].rc, (RECT{10, 10, 50, 30}));
  host.RouteHostMessage(WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Pixel(11, 11), kPixGreen);
}

TEST_F(PaintTest, LayeredElementsBlendTheirLayerWithTheirAlpha) {
  auto& host = Build(uR"(<root><window name="l" layeredWindow="1" alpha="128" pos="0,0" size="20,20" colorBkgnd="#ff0000">
                           <window pos="10,0" size="10,20" colorBkgnd="#0000ff"/></window></root>)",
                     30, 30);
  SWindow* l = Find(u"l");
  EXPECT_TRUE(l->UsesLayer());
  EXPECT_FALSE(l->PaintsToCache());
  ASSERT_NE(l->LayerTarget(), nullptr);
  host.Repaint();
  COLORREF red = Pixel(5, 5), blue = Pixel(15, 5);
  EXPECT_NEAR(static_cast<int>(red >> 24), 128, 1);
  EXPECT_NEAR(static_cast<int>((red >> 16) & 0xFF), 128, 1);
  EXPECT_EQ(red & 0xFFFF, 0u);
  EXPECT_NEAR(static_cast<int>(blue & 0xFF), 128, 1);
  // Dropping the flag releases the layer.
  l->ApplyAttribute(u"layeredWindow", u"0", false);
  EXPECT_EQ(l->LayerTarget(), nullptr);
  EXPECT_TRUE(l->PaintsToCache()) << "alpha below 255 now paints through a cache";
}

TEST_F(PaintTest, TheCacheFollowsTheAttributeAndTheSize) {
  auto& host = Build(uR"(<root><window name="c" pos="0,0" size="20,10"/></root>)");
  SWindow* c = Find(u"c");
  EXPECT_EQ(c->CacheTarget(), nullptr);
  c->ApplyAttribute(u"cache", u"1", false);
  ASSERT_NE(c->CacheTarget(), nullptr);
  EXPECT_TRUE(c->CacheNeedsRedraw());
  host.Repaint();
  EXPECT_FALSE(c->CacheNeedsRedraw());
  c->ApplyAttribute(u"size", u"30,15", false);
  host.LayoutIfDirty();
  IBitmap* bmp = static_cast<IBitmap*>(c->CacheTarget()->CurrentObject(OT_BITMAP));
  EXPECT_EQ(bmp->Size(), (SIZE{30, 15}));
  EXPECT_TRUE(c->CacheNeedsRedraw());
  c->ApplyAttribute(u"cache", u"0", false);
  EXPECT_EQ(c->CacheTarget(), nullptr);
}

TEST_F(PaintTest, PrePaintSelectsTheStateColourAndPostPaintRestoresIt) {
  Build(uR"(<root><window name="t" colorText="#ff0000" colorTextHover="#00ff00" font="size:20"/></root>)");
  SWindow* t = Find(u"t");
  IRenderTarget* raw = nullptr;
  factory_->NewTarget(&raw, 4, 4);
  auto rt = SAutoRefPtr<IRenderTarget>::Adopt(raw);
  rt->SetTextColor(RGBA(1, 2, 3, 255));
  IRenderObj* before = rt->CurrentObject(OT_FONT);
  SPaintState state;
  t->ChangeState(WndState_Hover, 0);
  t->PrePaint(rt.get(), state);
  EXPECT_EQ(rt->TextColor(), RGBA(0, 255, 0, 255));
  EXPECT_EQ(static_cast<IFont*>(rt->CurrentObject(OT_FONT))->Height(), -20) << "the hover state falls back to the font";
  t->PostPaint(rt.get(), state);
  EXPECT_EQ(rt->TextColor(), RGBA(1, 2, 3, 255));
  EXPECT_EQ(rt->CurrentObject(OT_FONT), before);
}

}  // namespace
}  // namespace LOOM
