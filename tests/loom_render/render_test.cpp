// Pixels of the render back-end: images, nine-grids, fills, copies, clipping. What
// only one back-end answers is in render_backend_*_test.cpp.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "core/img_decoder.h"
#include "platform/base/icon.h"
#include "render_support.h"

namespace LOOM {
namespace {

using test::Bitmap;
using test::Factory;
using test::Fill;
using test::Target;

constexpr std::uint32_t kOpaqueRed = 0xFFFF0000, kOpaqueGreen = 0xFF00FF00, kOpaqueBlue = 0xFF0000FF;
constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFF;

class RenderTest : public ::testing::Test {
 protected:
  SAutoRefPtr<IRenderFactory> f_ = Factory();
};

TEST_F(RenderTest, NewTargetIsTransparentAndPixelAtOutsideIsNoColor) {
  auto rt = Target(f_.get(), 8, 4);
  ASSERT_TRUE(rt);
  EXPECT_EQ(rt->PixelAt(0, 0), 0u);
  EXPECT_EQ(rt->PixelAt(-1, 0), kNoColor);
  EXPECT_EQ(rt->PixelAt(8, 0), kNoColor);
  EXPECT_EQ(rt->PixelAt(0, 4), kNoColor);
  EXPECT_EQ(rt->SetPixelAt(0, -1, kOpaqueRed), kNoColor);
  EXPECT_EQ(rt->SetPixelAt(2, 1, kOpaqueRed), 0u);
  EXPECT_EQ(rt->PixelAt(2, 1), kOpaqueRed);
  // Pixels are addressed through the origin.
  rt->SetOrigin(2, 1);
  EXPECT_EQ(rt->PixelAt(0, 0), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(-3, 0), kNoColor);
}

TEST_F(RenderTest, OversizedTargetsAndBitmapsAreRefusedWithoutAllocating) {
  IRenderTarget* rt = nullptr;
  EXPECT_EQ(f_->NewTarget(&rt, 100000, 100000), 0);
  EXPECT_EQ(rt, nullptr);
  IBitmap* bmp = nullptr;
  f_->NewBitmap(&bmp);
  SAutoRefPtr<IBitmap> holder = SAutoRefPtr<IBitmap>::Adopt(bmp);
  EXPECT_EQ(bmp->InitBlank(-1, 5), E_OUTOFMEMORY);
  EXPECT_EQ(bmp->InitBlank(kMaxBitmapSide + 1, 1), E_OUTOFMEMORY);
  EXPECT_EQ(bmp->Width(), 0u);
}

TEST_F(RenderTest, ColorFillOfOpacityZeroChangesNothing) {
  auto rt = Target(f_.get(), 4, 4);
  Fill(rt.get(), 4, 4, 0x80402010);
  rt->FillColorRect({0, 0, 4, 4}, 0x000000FF);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(rt->PixelAt(x, y), 0x80402010u);
}

TEST_F(RenderTest, ColorFillBlendsWithItsOpacityAndReplaceOverwritesAlpha) {
  auto rt = Target(f_.get(), 4, 1);
  rt->FillColorRect({0, 0, 2, 1}, RGBA(255, 0, 0, 255));
  EXPECT_EQ(rt->PixelAt(0, 0), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(2, 0), 0u);
  rt->FillColorRect({0, 0, 4, 1}, RGBA(0, 0, 255, 128));
  std::uint32_t p = rt->PixelAt(3, 0);  // half blue on transparent: premultiplied
  EXPECT_EQ(p >> 24, 128u);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 1);
  rt->ReplaceRect({0, 0, 4, 1}, RGBA(0, 255, 0, 0));
  EXPECT_EQ(rt->PixelAt(0, 0), 0u);
}

TEST_F(RenderTest, DrawImageBlitsUnscaledAndRefusesAnAreaPastTheEdge) {
  auto rt = Target(f_.get(), 6, 6);
  auto bmp = Bitmap(f_.get(), 4, 4, [](int x, int) { return x < 2 ? kOpaqueRed : kOpaqueBlue; });
  EXPECT_EQ(rt->DrawImage({1, 1, 10, 10}, bmp.get(), 0, 0, 255), S_OK);
  EXPECT_EQ(rt->PixelAt(0, 0), 0u);
  EXPECT_EQ(rt->PixelAt(1, 1), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(4, 4), kOpaqueBlue);
  EXPECT_EQ(rt->PixelAt(5, 5), 0u);  // the bitmap is only 4 wide
  EXPECT_EQ(rt->DrawImage({0, 0, 4, 4}, bmp.get(), 2, 0, 255), E_FAIL);
  EXPECT_EQ(rt->DrawImage({0, 0, 4, 4}, bmp.get(), -1, 0, 255), E_FAIL);
}

TEST_F(RenderTest, StretchAndTileFillTheDestination) {
  auto rt = Target(f_.get(), 10, 10);
  auto bmp = Bitmap(f_.get(), 2, 2, [](int x, int y) { return (x + y) % 2 ? kOpaqueRed : kOpaqueBlue; });
  rt->DrawImageExpanded({0, 0, 5, 5}, bmp.get(), {0, 0, 2, 2}, EM_TILE, 255);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(rt->PixelAt(x, y), (x + y) % 2 ? kOpaqueRed : kOpaqueBlue);
  EXPECT_EQ(rt->PixelAt(5, 0), 0u);
  auto solid = Bitmap(f_.get(), 3, 3, [](int, int) { return kOpaqueGreen; });
  rt->DrawImageExpanded({5, 5, 10, 10}, solid.get(), {1, 1, 2, 2}, EM_STRETCH, 255);
  EXPECT_EQ(rt->PixelAt(5, 5), kOpaqueGreen);
  EXPECT_EQ(rt->PixelAt(9, 9), kOpaqueGreen);
  // A source outside the bitmap draws nothing.
  auto before = rt->PixelAt(0, 0);
  EXPECT_EQ(rt->DrawImageExpanded({0, 0, 5, 5}, solid.get(), {3, 0, 6, 3}, EM_STRETCH, 255), S_OK);
  EXPECT_EQ(rt->PixelAt(0, 0), before);
}

TEST_F(RenderTest, NineGridWithMarginsWiderThanTheDestinationKeepsTheLeftMargin) {
  // Source columns: 0-9 red, 10-24 green, 25-29 blue.
  auto bmp = Bitmap(f_.get(), 30, 1, [](int x, int) { return x < 10 ? (x == 9 ? kOpaqueWhite : kOpaqueRed)
                                                              : x < 25 ? kOpaqueGreen : (x == 25 ? kOpaqueWhite : kOpaqueBlue); });
  auto rt = Target(f_.get(), 20, 1);
  EXPECT_EQ(rt->DrawImageNineGrid({0, 0, 15, 1}, bmp.get(), {0, 0, 30, 1}, {10, 0, 10, 0}, EM_STRETCH, 255), S_OK);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(rt->PixelAt(x, 0), kOpaqueRed) << x;
  EXPECT_EQ(rt->PixelAt(9, 0), kOpaqueWhite);   // source column 9
  EXPECT_EQ(rt->PixelAt(10, 0), kOpaqueWhite);  // source column 25: the right end's last 5
  for (int x = 11; x < 15; ++x) EXPECT_EQ(rt->PixelAt(x, 0), kOpaqueBlue) << x;
  EXPECT_EQ(rt->PixelAt(15, 0), 0u);
}

TEST_F(RenderTest, NineGridWhoseMarginsExceedTheSourceDrawsNothing) {
  auto bmp = Bitmap(f_.get(), 10, 10, [](int, int) { return kOpaqueRed; });
  auto rt = Target(f_.get(), 20, 20);
  EXPECT_EQ(rt->DrawImageNineGrid({0, 0, 20, 20}, bmp.get(), {0, 0, 10, 10}, {6, 0, 5, 0}, EM_STRETCH, 255), S_FALSE);
  EXPECT_EQ(rt->DrawImageNineGrid({0, 0, 20, 20}, bmp.get(), {0, 0, 10, 10}, {-1, 0, 0, 0}, EM_STRETCH, 255), S_FALSE);
  EXPECT_EQ(rt->DrawImageNineGrid({0, 0, 20, 20}, bmp.get(), {0, 0, 10, 10}, {0x7FFFFFFF, 0, 0x7FFFFFFF, 0},
                                  EM_STRETCH, 255), S_FALSE);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(rt->PixelAt(x, y), 0u);
}

TEST_F(RenderTest, NineGridKeepsCornersUnscaledAndStretchesTheMiddle) {
  // 3x3 source: corners red, edges green, centre blue; margins 1 on every side.
  auto bmp = Bitmap(f_.get(), 3, 3, [](int x, int y) {
    bool ex = x != 1, ey = y != 1;
    return ex && ey ? kOpaqueRed : (ex || ey ? kOpaqueGreen : kOpaqueBlue);
  });
  auto rt = Target(f_.get(), 8, 6);
  rt->DrawImageNineGrid({0, 0, 8, 6}, bmp.get(), {0, 0, 3, 3}, {1, 1, 1, 1}, EM_STRETCH, 255);
  EXPECT_EQ(rt->PixelAt(0, 0), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(7, 5), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(3, 0), kOpaqueGreen);
  EXPECT_EQ(rt->PixelAt(0, 3), kOpaqueGreen);
  EXPECT_EQ(rt->PixelAt(4, 3), kOpaqueBlue);
  EXPECT_EQ(rt->PixelAt(6, 4), kOpaqueBlue);
}

TEST_F(RenderTest, ImageOpacityScalesPremultipliedPixels) {
  auto bmp = Bitmap(f_.get(), 1, 1, [](int, int) { return kOpaqueWhite; });
  auto rt = Target(f_.get(), 1, 1);
  rt->DrawImage({0, 0, 1, 1}, bmp.get(), 0, 0, 128);
  std::uint32_t p = rt->PixelAt(0, 0);
  EXPECT_EQ(p >> 24, 128u);
  EXPECT_EQ((p >> 16) & 0xFF, 128u);
}

TEST_F(RenderTest, RasterCopiesKeepTheDestinationAlpha) {
  auto dst = Target(f_.get(), 2, 1);
  auto src = Target(f_.get(), 2, 1);
  dst->SetPixelAt(0, 0, 0xFF0F0F0F);
  dst->SetPixelAt(1, 0, 0x80404040);
  src->SetPixelAt(0, 0, 0xFFFF00FF);
  src->SetPixelAt(1, 0, 0xFFFFFFFF);
  EXPECT_EQ(dst->CopyFromTarget({0, 0, 2, 1}, src.get(), 0, 0, SRCAND), S_OK);
  EXPECT_EQ(dst->PixelAt(0, 0), 0xFF0F000Fu);
  EXPECT_EQ(dst->PixelAt(1, 0), 0x80404040u);
  dst->CopyFromTarget({0, 0, 1, 1}, src.get(), 0, 0, SRCINVERT);
  EXPECT_EQ(dst->PixelAt(0, 0), 0xFFF000F0u);
  dst->CopyFromTarget({0, 0, 2, 1}, nullptr, 0, 0, DSTINVERT);
  EXPECT_EQ(dst->PixelAt(0, 0), 0xFF0FFF0Fu);
  // The inverse of a translucent pixel is the back-end's own (render_backend_*_test.cpp).
  EXPECT_EQ(dst->PixelAt(1, 0) >> 24, 0x80u);
  EXPECT_EQ(dst->CopyFromTarget({0, 0, 2, 1}, src.get(), 0, 0, SRCCOPY), S_OK);
  EXPECT_EQ(dst->PixelAt(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dst->CopyFromTarget({0, 0, 2, 1}, src.get(), 0, 0, 0x00EE0086), E_INVALIDARG);
}

TEST_F(RenderTest, ClipPushesNestWithTheOrigin) {
  auto rt = Target(f_.get(), 10, 10);
  rt->ClipPushRect({0, 0, 5, 5});
  rt->ShiftOrigin(2, 2);
  rt->ClipPushRect({0, 0, 5, 5});  // device 2..7 intersected with 0..5
  RECT box{};
  rt->ClipBounds(&box);
  EXPECT_EQ(box, (RECT{0, 0, 3, 3}));
  rt->FillColorRect({-2, -2, 8, 8}, RGBA(255, 0, 0, 255));
  EXPECT_EQ(rt->PixelAt(0, 0), kOpaqueRed);   // device (2,2)
  EXPECT_EQ(rt->PixelAt(-1, -1), 0u);         // device (1,1): outside the second clip
  EXPECT_EQ(rt->PixelAt(3, 3), 0u);           // device (5,5): outside the first clip
  rt->ClipPop();
  POINT origin{};
  rt->Origin(&origin);
  EXPECT_EQ(origin, (POINT{2, 2}));  // the origin of the first push's moment
  rt->ClipPop();
  rt->Origin(&origin);
  EXPECT_EQ(origin, (POINT{0, 0}));
  EXPECT_EQ(rt->ClipPop(), E_FAIL);
  rt->FillColorRect({9, 9, 10, 10}, RGBA(0, 0, 255, 255));
  EXPECT_EQ(rt->PixelAt(9, 9), kOpaqueBlue);
}

TEST_F(RenderTest, ClipRegionsCombineInEveryMode) {
  auto rt = Target(f_.get(), 10, 1);
  IRegion* raw = nullptr;
  ASSERT_EQ(rt->NewRegion(&raw), S_OK);
  SAutoRefPtr<IRegion> rgn = SAutoRefPtr<IRegion>::Adopt(raw);
  rgn->CombineRect({0, 0, 4, 1}, RGN_COPY);
  rgn->CombineRect({2, 0, 6, 1}, RGN_XOR);  // 0-1 and 4-5
  EXPECT_TRUE(rgn->ContainsPoint({1, 0}));
  EXPECT_FALSE(rgn->ContainsPoint({3, 0}));
  rgn->CombineRect({5, 0, 6, 1}, RGN_DIFF);  // 0-1 and 4
  rgn->CombineRect({8, 0, 9, 1}, RGN_OR);
  EXPECT_EQ(rgn->Bounds(), (RECT{0, 0, 9, 1}));
  rt->ClipPushRegion(rgn.get(), RGN_AND);
  rt->FillColorRect({0, 0, 10, 1}, RGBA(0, 255, 0, 255));
  std::string drawn;
  for (int x = 0; x < 10; ++x) drawn += rt->PixelAt(x, 0) ? '#' : '.';
  EXPECT_EQ(drawn, "##..#...#.");
  rt->ClipPop();
  rt->ClipExcludeRect({0, 0, 9, 1});
  rt->FillColorRect({0, 0, 10, 1}, RGBA(255, 0, 0, 255));
  EXPECT_EQ(rt->PixelAt(9, 0), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(2, 0), 0u);
}

TEST_F(RenderTest, ClipSaveRestoresToItsCookie) {
  auto rt = Target(f_.get(), 4, 4);
  int cookie = 0;
  rt->ClipSave(&cookie);
  rt->ClipPushRect({0, 0, 1, 1});
  rt->ClipPushRect({0, 0, 1, 1});
  EXPECT_EQ(rt->ClipRestore(cookie), S_OK);
  RECT box{};
  rt->ClipBounds(&box);
  EXPECT_EQ(box, (RECT{0, 0, 4, 4}));
  EXPECT_EQ(rt->ClipRestore(cookie), E_INVALIDARG);
}

TEST_F(RenderTest, GradientWithEqualColoursIsSolid) {
  auto rt = Target(f_.get(), 5, 5);
  rt->FillGradientRect({0, 0, 5, 5}, true, RGB(0x4a, 0xff, 0xf9), RGB(0x4a, 0xff, 0xf9), 255);
  EXPECT_EQ(rt->PixelAt(0, 0), 0xFF4AFFF9u);
  EXPECT_EQ(rt->PixelAt(4, 4), 0xFF4AFFF9u);
  rt->FillGradientRect({0, 0, 5, 5}, false, RGB(0, 0, 0), RGB(255, 255, 255), 255);
  EXPECT_LT(rt->PixelAt(0, 2) & 0xFF, rt->PixelAt(4, 2) & 0xFF);
}

TEST_F(RenderTest, SelectionsAndDefaults) {
  auto rt = Target(f_.get(), 4, 4);
  EXPECT_EQ(rt->SelectDefault(OT_PEN), S_FALSE);
  EXPECT_EQ(rt->SelectDefault(99), E_INVALIDARG);
  IPen* pen = nullptr;
  rt->NewPen(PS_SOLID, RGBA(255, 0, 0, 255), 1, &pen);
  IRenderObj* old = nullptr;
  EXPECT_EQ(rt->Select(pen, &old), S_OK);
  EXPECT_EQ(rt->CurrentObject(OT_PEN), pen);
  EXPECT_EQ(old->ObjectType(), OT_PEN);
  old->Release();
  pen->Release();  // the target keeps its own reference
  Fill(rt.get(), 4, 4, kOpaqueWhite);
  rt->StrokeRect({0, 0, 4, 4});
  EXPECT_EQ(rt->PixelAt(0, 0), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(3, 3), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(1, 1), kOpaqueWhite);
  EXPECT_EQ(rt->SelectDefault(OT_PEN), S_OK);
  EXPECT_EQ(rt->CurrentObject(OT_REGION), nullptr);
}

TEST_F(RenderTest, UnsupportedSlotsAnswerAsSpecified) {
  auto rt = Target(f_.get(), 1, 1);
  EXPECT_EQ(rt->ReservedDraw39(), E_NOTIMPL);
  EXPECT_EQ(rt->ReservedDraw40(), E_NOTIMPL);
  EXPECT_EQ(rt->ReservedQuery56(), E_NOINTERFACE);
  EXPECT_EQ(rt->Reserved63(), E_NOTIMPL);
  EXPECT_EQ(f_->NewPath(), 0);
  EXPECT_EQ(rt->SetRasterOp(0x1234), E_INVALIDARG);
  DWORD previous = 0;
  EXPECT_EQ(rt->SetRasterOp(SRCINVERT, &previous), S_OK);
  EXPECT_EQ(previous, SRCCOPY);
}

TEST_F(RenderTest, ResampleCloneAndSaveRoundTrip) {
  auto bmp = Bitmap(f_.get(), 4, 2, [](int x, int) { return x < 2 ? kOpaqueRed : 0x80008000u; });
  IBitmap* half = nullptr;
  ASSERT_EQ(bmp->ResamplePercent(&half, 50, 3), S_OK);
  EXPECT_EQ(half->Size(), (SIZE{2, 1}));
  half->Release();
  IBitmap* same = nullptr;
  ASSERT_EQ(bmp->Resample(&same, 4, 2, 0), S_OK);
  EXPECT_EQ(std::memcmp(same->Bits(), bmp->Bits(), 32), 0);
  same->Release();

  SAutoRefPtr<IImgDecoderFactory> decoders = SAutoRefPtr<IImgDecoderFactory>::Adopt(NewImgDecoderFactory(u"imgdecoder-gdip"));
  f_->SetDecoderFactory(decoders.get());
  auto dir = std::filesystem::temp_directory_path() / ("loom_render_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::u16string path = (dir / "out.png").u16string();
  ASSERT_EQ(bmp->SaveFile(path, kImagePng), S_OK);
  IBitmap* loaded = nullptr;
  f_->NewBitmap(&loaded);
  ASSERT_EQ(loaded->LoadFile(path), S_OK);
  EXPECT_EQ(loaded->Size(), (SIZE{4, 2}));
  const auto* a = static_cast<const std::uint32_t*>(loaded->Bits());
  EXPECT_EQ(a[0], kOpaqueRed);
  EXPECT_EQ(a[3], 0x80008000u);
  loaded->Release();
  std::filesystem::remove_all(dir);
}

TEST_F(RenderTest, BitmapLoadWithoutDecoderFailsAndDrawsNothing) {
  IBitmap* bmp = nullptr;
  f_->NewBitmap(&bmp);
  SAutoRefPtr<IBitmap> holder = SAutoRefPtr<IBitmap>::Adopt(bmp);
  const unsigned char junk[] = {1, 2, 3};
  EXPECT_EQ(bmp->LoadMemory(junk, sizeof junk), E_FAIL);
  auto rt = Target(f_.get(), 2, 2);
  EXPECT_EQ(rt->DrawImage({0, 0, 2, 2}, bmp, 0, 0, 255), E_FAIL);
}

TEST_F(RenderTest, ShapesStayInsideTheirRectangle) {
  const RECT box{4, 4, 16, 12};
  auto inside_only = [&box](IRenderTarget* rt) {
    int inside = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) {
        bool in = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
        if (rt->PixelAt(x, y) == 0) continue;
        if (!in) return -1;
        ++inside;
      }
    return inside;
  };
  IPen* pen = nullptr;
  IBrush* brush = nullptr;
  auto rt = Target(f_.get(), 20, 20);
  rt->NewPen(PS_SOLID, RGBA(255, 0, 0, 255), 1, &pen);
  rt->NewSolidBrush(RGBA(0, 0, 255, 255), &brush);
  rt->Select(pen);
  rt->Select(brush);
  pen->Release();
  brush->Release();
  using Draw = std::function<void(IRenderTarget*)>;
  const Draw draws[] = {
      [&](IRenderTarget* t) { t->StrokeEllipse(box); },
      [&](IRenderTarget* t) { t->FillEllipseBrush(box); },
      [&](IRenderTarget* t) { t->FillColorEllipse(box, RGBA(0, 255, 0, 255)); },
      [&](IRenderTarget* t) { t->StrokeRoundRect(box, {3, 3}); },
      [&](IRenderTarget* t) { t->FillRoundRectBrush(box, {4, 4}); },
      [&](IRenderTarget* t) { t->FillColorRoundRect(box, {2, 2}, RGBA(0, 255, 0, 255)); },
      [&](IRenderTarget* t) { t->FillPie(box, 0, 90); },
      [&](IRenderTarget* t) { t->StrokeArc(box, 45, -180, true); },
      [&](IRenderTarget* t) { t->FillRectBrush(box); },
  };
  for (std::size_t i = 0; i < std::size(draws); ++i) {
    rt->ReplaceRect({0, 0, 20, 20}, 0);
    draws[i](rt.get());
    EXPECT_GT(inside_only(rt.get()), 0) << "shape " << i;
  }
  rt->ReplaceRect({0, 0, 20, 20}, 0);
  POINT line[] = {{4, 4}, {15, 4}, {15, 11}};
  rt->StrokePolyline(line, 3);
  EXPECT_EQ(rt->PixelAt(10, 4), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(15, 8), kOpaqueRed);
  EXPECT_EQ(rt->PixelAt(10, 8), 0u);
}

TEST_F(RenderTest, BlendFromTargetScalesAndRefusesASourceOutsideIt) {
  auto src = Target(f_.get(), 2, 2);
  Fill(src.get(), 2, 2, kOpaqueGreen);
  auto dst = Target(f_.get(), 4, 4);
  EXPECT_EQ(dst->BlendFromTarget({0, 0, 4, 4}, src.get(), {0, 0, 2, 2}, 255), S_OK);
  EXPECT_EQ(dst->PixelAt(3, 3), kOpaqueGreen);
  EXPECT_EQ(dst->BlendFromTarget({0, 0, 4, 4}, src.get(), {1, 1, 3, 3}, 255), E_FAIL);
  // Blending a target onto itself reads a snapshot.
  EXPECT_EQ(dst->BlendFromTarget({0, 0, 2, 2}, dst.get(), {2, 2, 4, 4}, 255), S_OK);
  EXPECT_EQ(dst->PixelAt(0, 0), kOpaqueGreen);
}

TEST_F(RenderTest, IconsDrawAtTheirOwnOrAGivenSize) {
  std::vector<std::uint32_t> px(4, kOpaqueBlue);
  HICON icon = platform::CreateIconFromPixels(2, 2, px);
  ASSERT_NE(icon, nullptr);
  auto rt = Target(f_.get(), 6, 6);
  EXPECT_EQ(rt->DrawIconImage(1, 1, icon, 0, 0, 0), S_OK);
  EXPECT_EQ(rt->PixelAt(2, 2), kOpaqueBlue);
  EXPECT_EQ(rt->PixelAt(3, 3), 0u);
  EXPECT_EQ(rt->DrawIconImage(2, 2, icon, 4, 4, 0), S_OK);
  EXPECT_EQ(rt->PixelAt(5, 5), kOpaqueBlue);
  EXPECT_EQ(rt->DrawIconImage(0, 0, nullptr, 4, 4, 0), 1);
  platform::DestroyIcon(icon);
}

TEST_F(RenderTest, ResizeClearsAndCompatibleTargetsAreIndependent) {
  auto rt = Target(f_.get(), 4, 4);
  Fill(rt.get(), 4, 4, kOpaqueRed);
  rt->ClipPushRect({0, 0, 1, 1});
  ASSERT_EQ(rt->Resize({8, 2}), S_OK);
  EXPECT_EQ(rt->PixelAt(7, 1), 0u);
  EXPECT_EQ(rt->PixelAt(0, 2), kNoColor);
  RECT box{};
  rt->ClipBounds(&box);
  EXPECT_EQ(box, (RECT{0, 0, 8, 2}));
  IRenderTarget* other = nullptr;
  ASSERT_EQ(rt->NewCompatibleTarget({3, 3}, &other), S_OK);
  EXPECT_EQ(other->PixelAt(2, 2), 0u);
  other->Release();
}

}  // namespace
}  // namespace LOOM
