// What only the cairo back-end answers: shapes and inversions keep pixels valid
// premultiplied whatever their opacity.
#include <gtest/gtest.h>

#include "render_support.h"

namespace LOOM {
namespace {

using test::Factory;
using test::Target;

TEST(CairoBackend, InvertingATranslucentPixelGivesTheInverseAtTheSameOpacity) {
  auto f = Factory();
  auto rt = Target(f.get(), 1, 1);
  rt->SetPixelAt(0, 0, 0x80404040);
  rt->CopyFromTarget({0, 0, 1, 1}, nullptr, 0, 0, DSTINVERT);
  EXPECT_EQ(rt->PixelAt(0, 0), 0x80404040u);  // alpha - colour
  rt->SetPixelAt(0, 0, 0x80102030);
  rt->InvertRect({0, 0, 1, 1});
  EXPECT_EQ(rt->PixelAt(0, 0), 0x80706050u);
}

TEST(CairoBackend, AnOutlineOnTransparentPixelsIsOpaque) {
  auto f = Factory();
  auto rt = Target(f.get(), 4, 4);
  IPen* pen = nullptr;
  rt->NewPen(PS_SOLID, RGBA(255, 0, 0, 255), 1, &pen);
  rt->Select(pen);
  pen->Release();
  rt->StrokeRect({0, 0, 4, 4});
  EXPECT_EQ(rt->PixelAt(0, 0), 0xFFFF0000u);
  EXPECT_EQ(rt->PixelAt(1, 1), 0u);
}

}  // namespace
}  // namespace LOOM
