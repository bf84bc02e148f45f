// What only the GDI back-end answers: GDI's own drawing keeps no alpha, so outlines
// drawn under the alpha guard keep the alpha the pixels had, and an inversion turns
// the colour channels over (255 - c) and keeps the alpha.
#include <gtest/gtest.h>

#include "render_support.h"

namespace LOOM {
namespace {

using test::Factory;
using test::Fill;
using test::Target;

TEST(GdiBackend, InvertingATranslucentPixelTurnsItsColourOverAndKeepsItsAlpha) {
  auto f = Factory();
  auto rt = Target(f.get(), 1, 1);
  rt->SetPixelAt(0, 0, 0x80404040);
  rt->CopyFromTarget({0, 0, 1, 1}, nullptr, 0, 0, DSTINVERT);
  EXPECT_EQ(rt->PixelAt(0, 0), 0x80BFBFBFu);
  rt->SetPixelAt(0, 0, 0xFF102030);
  rt->InvertRect({0, 0, 1, 1});
  EXPECT_EQ(rt->PixelAt(0, 0), 0xFFEFDFCFu);
}

TEST(GdiBackend, AnOutlineKeepsTheAlphaOfThePixelsItCovers) {
  auto f = Factory();
  auto rt = Target(f.get(), 4, 4);
  Fill(rt.get(), 4, 4, 0x80000000);
  IPen* pen = nullptr;
  rt->NewPen(PS_SOLID, RGBA(0, 0, 255, 255), 1, &pen);
  rt->Select(pen);
  pen->Release();
  rt->StrokeRect({0, 0, 4, 4});
  EXPECT_EQ(rt->PixelAt(0, 0), 0x800000FFu);  // GDI's colour, the guarded alpha
  EXPECT_EQ(rt->PixelAt(3, 0), 0x800000FFu);
  EXPECT_EQ(rt->PixelAt(1, 1), 0x80000000u);
}

TEST(GdiBackend, AGradientBelowFullOpacityIsBlendedThroughTheLayer) {
  auto f = Factory();
  auto rt = Target(f.get(), 4, 1);
  Fill(rt.get(), 4, 1, 0xFF000000);
  rt->FillGradientRect({0, 0, 4, 1}, false, RGBA(255, 255, 255, 255), RGBA(255, 255, 255, 255), 128);
  // White at opacity 128 over opaque black.
  const std::uint32_t p = rt->PixelAt(2, 0);
  EXPECT_EQ(p >> 24, 0xFFu);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 2);
}

}  // namespace
}  // namespace LOOM
