// Counted results and the selection scope: what the target has selected, and how many
// references each object holds, when scopes end early, move, or are refused.
#include <gtest/gtest.h>

#include <utility>

#include "core/render_refs.h"
#include "render_support.h"

namespace LOOM {
namespace {

using test::Factory;
using test::Fill;
using test::Target;

// The references an object holds right now.
long RefsOf(IObjRef* obj) {
  obj->AddRef();
  return obj->Release();
}

COLORREF PenColor(IRenderTarget* rt) { return static_cast<IPen*>(rt->CurrentObject(OT_PEN))->Color(); }

constexpr COLORREF kRed = RGBA(255, 0, 0, 255), kBlue = RGBA(0, 0, 255, 255);
constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF, kRedPixel = 0xFFFF0000;  // stored as 0xAARRGGBB

class RenderRefsTest : public ::testing::Test {
 protected:
  SAutoRefPtr<IRenderFactory> f_ = Factory();
  SAutoRefPtr<IRenderTarget> rt_ = Target(f_.get(), 4, 4);
};

TEST_F(RenderRefsTest, MakersHandBackOneReferenceOrNull) {
  auto target = MakeTarget(f_.get(), 2, 2);
  ASSERT_TRUE(target);
  EXPECT_EQ(RefsOf(target.get()), 1);
  EXPECT_FALSE(MakeTarget(f_.get(), kMaxBitmapSide + 1, 1));
  EXPECT_FALSE(MakeTarget(nullptr, 2, 2));

  auto pen = MakePen(rt_.get(), PS_SOLID, kRed, 2);
  ASSERT_TRUE(pen);
  EXPECT_EQ(RefsOf(pen.get()), 1);
  EXPECT_EQ(pen->Width(), 2);
  EXPECT_FALSE(MakePen(nullptr, PS_SOLID, kRed, 1));

  auto bitmap = MakeBitmap(f_.get());
  ASSERT_TRUE(bitmap);
  ASSERT_EQ(bitmap->InitBlank(3, 2), S_OK);
  auto copy = CloneOf(bitmap.get());
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), bitmap.get());
  EXPECT_EQ(RefsOf(copy.get()), 1);
  auto larger = ResampledOf(bitmap.get(), 6, 4, 0);
  ASSERT_TRUE(larger);
  EXPECT_EQ(larger->Width(), 6u);
  EXPECT_EQ(RefsOf(larger.get()), 1);  // the target it was drawn in is gone
  EXPECT_FALSE(CloneOf(nullptr));

  rt_->ClipPushRect({1, 1, 3, 2});
  auto clip = ClipRegionOf(rt_.get());
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->Bounds(), (RECT{1, 1, 3, 2}));
  EXPECT_EQ(RefsOf(clip.get()), 1);
}

TEST_F(RenderRefsTest, ScopeRestoresThePreviousObjectAndLeavesNoReferenceBehind) {
  IRenderObj* before = rt_->CurrentObject(OT_PEN);
  const long before_refs = RefsOf(before);
  auto pen = MakePen(rt_.get(), PS_SOLID, kRed, 1);
  {
    SSelectScope selected(rt_.get(), pen.get());
    EXPECT_TRUE(selected.Selected());
    EXPECT_EQ(rt_->CurrentObject(OT_PEN), pen.get());
    EXPECT_EQ(RefsOf(pen.get()), 2);  // ours and the target's
  }
  EXPECT_EQ(rt_->CurrentObject(OT_PEN), before);
  EXPECT_EQ(RefsOf(before), before_refs);
  EXPECT_EQ(RefsOf(pen.get()), 1);
}

// Draws with a pen for as long as it wants, leaving early when told to.
void StrokeUnlessEarly(IRenderTarget* rt, IPen* pen, bool early) {
  SSelectScope selected(rt, pen);
  if (early) return;
  rt->StrokeRect({0, 0, 4, 4});
}

TEST_F(RenderRefsTest, ScopeRestoresOnAnEarlyReturn) {
  Fill(rt_.get(), 4, 4, kOpaqueWhite);  // outlines keep the alpha they find on some back-ends
  IRenderObj* before = rt_->CurrentObject(OT_PEN);
  auto pen = MakePen(rt_.get(), PS_SOLID, kRed, 1);
  StrokeUnlessEarly(rt_.get(), pen.get(), true);
  EXPECT_EQ(rt_->CurrentObject(OT_PEN), before);
  EXPECT_EQ(rt_->PixelAt(0, 0), kOpaqueWhite);
  StrokeUnlessEarly(rt_.get(), pen.get(), false);
  EXPECT_EQ(rt_->CurrentObject(OT_PEN), before);
  EXPECT_EQ(rt_->PixelAt(0, 0), kRedPixel);
}

TEST_F(RenderRefsTest, MovedScopeRestoresOnceWhereItEnds) {
  IRenderObj* before = rt_->CurrentObject(OT_PEN);
  auto red = MakePen(rt_.get(), PS_SOLID, kRed, 1);
  auto blue = MakePen(rt_.get(), PS_SOLID, kBlue, 1);
  SSelectScope outer(nullptr, nullptr);
  EXPECT_FALSE(outer.Selected());
  {
    SSelectScope inner(rt_.get(), red.get());
    outer = std::move(inner);
    EXPECT_FALSE(inner.Selected());
  }  // the moved-from scope ends: nothing comes back
  EXPECT_EQ(PenColor(rt_.get()), kRed);
  {
    SSelectScope moved(std::move(outer));
    rt_->Select(blue.get());  // a later selection the ended scopes must not undo twice
    moved.Restore();
    EXPECT_EQ(rt_->CurrentObject(OT_PEN), before);
    rt_->Select(blue.get());
  }
  outer.Restore();
  EXPECT_EQ(PenColor(rt_.get()), kBlue);
}

TEST_F(RenderRefsTest, MoveAssignmentRestoresWhatTheTargetScopeHeld) {
  IRenderObj* before = rt_->CurrentObject(OT_PEN);
  auto red = MakePen(rt_.get(), PS_SOLID, kRed, 1);
  auto blue = MakePen(rt_.get(), PS_SOLID, kBlue, 1);
  SSelectScope first(rt_.get(), red.get());
  SSelectScope second(rt_.get(), blue.get());  // previous: red
  second = std::move(first);  // red comes back, then the scope holds first's previous
  EXPECT_EQ(PenColor(rt_.get()), kRed);
  second.Restore();
  EXPECT_EQ(rt_->CurrentObject(OT_PEN), before);
}

TEST_F(RenderRefsTest, RefusedSelectionChangesNothing) {
  IRenderObj* before = rt_->CurrentObject(OT_PEN);
  auto region = MakeRegion(rt_.get());
  ASSERT_TRUE(region);
  {
    SSelectScope refused(rt_.get(), region.get());
    EXPECT_FALSE(refused.Selected());
  }
  EXPECT_EQ(rt_->CurrentObject(OT_PEN), before);
  EXPECT_EQ(RefsOf(region.get()), 1);
  EXPECT_FALSE(SelectKeepingPrevious(rt_.get(), region.get()));
}

// The target's own reference may be the last one to the object it replaces: the object
// handed out as the previous one must still be alive.
TEST_F(RenderRefsTest, ThePreviousObjectOutlivesTheTargetsLastReference) {
  SAutoRefPtr<IRenderObj> first;
  {
    auto red = MakePen(rt_.get(), PS_SOLID, kRed, 1);
    rt_->Select(red.get());
  }  // only the target holds the red pen now
  auto blue = MakePen(rt_.get(), PS_SOLID, kBlue, 1);
  first = SelectKeepingPrevious(rt_.get(), blue.get());
  ASSERT_TRUE(first);
  EXPECT_EQ(static_cast<IPen*>(first.get())->Color(), kRed);
  EXPECT_EQ(RefsOf(first.get()), 1);
  IRenderObj* old = nullptr;
  ASSERT_EQ(rt_->SelectDefault(OT_PEN, &old), S_OK);  // blue: ours and the handed-out one
  auto held = SAutoRefPtr<IRenderObj>::Adopt(old);
  EXPECT_EQ(held.get(), blue.get());
  EXPECT_EQ(RefsOf(blue.get()), 2);
}

}  // namespace
}  // namespace LOOM
