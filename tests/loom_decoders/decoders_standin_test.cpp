// Where the platform has no imaging component, "imgdecoder-wic" yields no decoder.
#include <gtest/gtest.h>

#include "core/img_decoder.h"

namespace LOOM {
namespace {

TEST(DecoderChoice, WicYieldsNoneWithoutThePlatformsImagingComponent) {
  EXPECT_EQ(NewImgDecoderFactory(u"imgdecoder-wic"), nullptr);
}

}  // namespace
}  // namespace LOOM
