// Text output: opacity, format flags and measurement.
#include <gtest/gtest.h>

#include "platform/toolkit/font_faces.h"
#include "render_support.h"

namespace LOOM {
namespace {

using test::Factory;
using test::Fill;
using test::Target;

constexpr std::uint32_t kBackground = 0xFF204060;

class TextTest : public ::testing::Test {
 protected:
  TextTest() {
    SLogFont lf;
    lf.height = -16;
    lf.weight = 400;
    lf.face = u"微软雅黑";
    IFont* font = nullptr;
    f_->NewFont(&font, lf);
    font_ = SAutoRefPtr<IFont>::Adopt(font);
  }
  SAutoRefPtr<IRenderTarget> TextTarget(int w, int h) {
    auto rt = Target(f_.get(), w, h);
    rt->Select(font_.get());
    Fill(rt.get(), w, h, kBackground);
    return rt;
  }
  struct Ink {
    int first;
    int last;
  };
  // Columns [first, last] that text changed, or {-1, -1}.
  static Ink InkColumns(IRenderTarget* rt, int w, int h) {
    int first = -1, last = -1;
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        if (rt->PixelAt(x, y) != kBackground) {
          if (first < 0) first = x;
          last = x;
        }
    return {first, last};
  }
  SAutoRefPtr<IRenderFactory> f_ = Factory();
  SAutoRefPtr<IFont> font_;
};

TEST(FontFaces, ProjectAliasesResolveTheMarkupFaces) {
  EXPECT_TRUE(platform::FontFaceInstalled(u"微软雅黑"));
  EXPECT_TRUE(platform::FontFaceInstalled(u"宋体"));
  EXPECT_FALSE(platform::FontFaceInstalled(u"No Such Face 12345"));
  EXPECT_FALSE(platform::FontFaceInstalled(u""));
}

TEST_F(TextTest, TextAtHalfOpacityLeavesEveryPixelOutsideTheGlyphsUntouched) {
  const int w = 120, h = 30;
  auto opaque = TextTarget(w, h);
  auto half = TextTarget(w, h);
  opaque->SetTextColor(RGBA(255, 255, 255, 255));
  half->SetTextColor(RGBA(255, 255, 255, 128));
  RECT rc{0, 0, w, h};
  opaque->TextDraw(u"状态 Status", &rc, DT_SINGLELINE);
  half->TextDraw(u"状态 Status", &rc, DT_SINGLELINE);
  int glyph_pixels = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool glyph = opaque->PixelAt(x, y) != kBackground;
      glyph_pixels += glyph;
      if (!glyph) ASSERT_EQ(half->PixelAt(x, y), kBackground) << x << "," << y;
      else EXPECT_EQ(half->PixelAt(x, y) >> 24, 0xFFu);  // the opaque background stays opaque
    }
  EXPECT_GT(glyph_pixels, 50);
}

TEST_F(TextTest, TransparentTextColourDrawsNothing) {
  auto rt = TextTarget(60, 20);
  rt->SetTextColor(RGB(255, 255, 255));  // opacity byte 0
  RECT rc{0, 0, 60, 20};
  rt->TextDraw(u"abc", &rc, 0);
  EXPECT_EQ(InkColumns(rt.get(), 60, 20).first, -1);
}

TEST_F(TextTest, EmptyTextDrawsNothingAndCalculatesAnEmptyRectangle) {
  auto rt = TextTarget(40, 20);
  rt->SetTextColor(RGBA(255, 255, 255, 255));
  RECT rc{5, 6, 40, 20};
  EXPECT_EQ(rt->TextDraw(u"", &rc, 0), S_OK);
  EXPECT_EQ(InkColumns(rt.get(), 40, 20).first, -1);
  EXPECT_EQ(rt->TextDraw(u"", &rc, DT_CALCRECT), S_OK);
  EXPECT_EQ(rc, (RECT{5, 6, 5, 6}));
}

TEST_F(TextTest, CalculateRectangleMeasuresWithoutDrawing) {
  auto rt = TextTarget(200, 60);
  rt->SetTextColor(RGBA(255, 255, 255, 255));
  RECT rc{10, 10, 200, 60};
  rt->TextDraw(u"当前客户端版本号", &rc, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(rc.left, 10);
  EXPECT_GT(rc.right - rc.left, 8 * 10);
  EXPECT_GE(rc.bottom - rc.top, 16);
  EXPECT_EQ(InkColumns(rt.get(), 200, 60).first, -1);
  SIZE extent{};
  rt->TextExtent(u"当前客户端版本号", &extent);
  EXPECT_EQ(extent.cx, rc.right - rc.left);
  // Word break keeps the width and grows the height.
  RECT wrapped{0, 0, 40, 0};
  rt->TextDraw(u"当前客户端版本号", &wrapped, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_LE(wrapped.right, 40);
  EXPECT_GT(wrapped.bottom, rc.bottom - rc.top);
}

TEST_F(TextTest, AlignmentFlagsPlaceTheText) {
  const int w = 200, h = 40;
  auto left = TextTarget(w, h), centre = TextTarget(w, h), right = TextTarget(w, h);
  for (auto* rt : {left.get(), centre.get(), right.get()}) rt->SetTextColor(RGBA(255, 255, 255, 255));
  RECT rc{0, 0, w, h};
  left->TextDraw(u"abc", &rc, DT_SINGLELINE);
  centre->TextDraw(u"abc", &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  right->TextDraw(u"abc", &rc, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
  auto l = InkColumns(left.get(), w, h), c = InkColumns(centre.get(), w, h), r = InkColumns(right.get(), w, h);
  ASSERT_GE(l.first, 0);
  EXPECT_LT(l.first, 5);
  EXPECT_NEAR((c.first + c.last) / 2, w / 2, 6);
  EXPECT_GT(r.last, w - 6);
}

TEST_F(TextTest, EndEllipsisKeepsTheTextInsideTheRectangle) {
  auto rt = TextTarget(200, 20);
  rt->SetTextColor(RGBA(255, 255, 255, 255));
  RECT rc{0, 0, 50, 20};
  rt->TextDraw(u"a very long status line that does not fit", &rc, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
  auto ink = InkColumns(rt.get(), 200, 20);
  ASSERT_GE(ink.first, 0);
  EXPECT_LT(ink.last, 50);
}

TEST_F(TextTest, TextOutsideTheRectangleIsClippedUnlessNoClip) {
  auto rt = TextTarget(200, 20);
  rt->SetTextColor(RGBA(255, 255, 255, 255));
  RECT rc{0, 0, 10, 20};
  rt->TextDraw(u"clipped text", &rc, DT_SINGLELINE);
  EXPECT_LT(InkColumns(rt.get(), 200, 20).last, 10);
  rt->TextDraw(u"clipped text", &rc, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(InkColumns(rt.get(), 200, 20).last, 10);
}

TEST_F(TextTest, MeasuringTheSameTextTwiceGivesTheSameSize) {
  auto rt = TextTarget(10, 10);
  SIZE a{}, b{};
  rt->TextExtent(u"正在校验文件", &a);
  rt->TextExtent(u"正在校验文件", &b);
  EXPECT_EQ(a, b);
  EXPECT_GT(a.cx, 0);
}

}  // namespace
}  // namespace LOOM
