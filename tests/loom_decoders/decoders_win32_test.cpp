// The platform's imaging component behind "imgdecoder-wic": every frame of the
// container as premultiplied pixels, copied through its converter with the caller's
// rectangle and stride; delays 0; no saving.
#include <gtest/gtest.h>

#include <objbase.h>

#include <vector>

#include "core/img_decoder.h"
#include "image_builders.h"

namespace LOOM {
namespace {

class WicDecoder : public ::testing::Test {
 protected:
  WicDecoder() : com_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~WicDecoder() override {
    factory_.reset();
    if (SUCCEEDED(com_)) ::CoUninitialize();
  }

  SAutoRefPtr<IImgX> Load(const test::Bytes& bytes, int* frames) {
    IImgX* img = nullptr;
    EXPECT_EQ(factory_->NewImage(&img), 1);
    *frames = img->LoadMemory(bytes.data(), bytes.size());
    return SAutoRefPtr<IImgX>::Adopt(img);
  }

  HRESULT com_;
  SAutoRefPtr<IImgDecoderFactory> factory_ = SAutoRefPtr<IImgDecoderFactory>::Adopt(NewImgDecoderFactory(u"imgdecoder-wic"));
};

TEST_F(WicDecoder, YieldsAFactoryThatDecodesPremultipliedFrames) {
  ASSERT_TRUE(factory_);
  EXPECT_EQ(factory_->Description(), u"wic");
  int frames = 0;
  auto img = Load(test::SolidPng(3, 2, 255, 255, 255, 128), &frames);
  ASSERT_EQ(frames, 1);
  const IImgFrame* frame = img->Frame(0);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->Delay(), 0);
  UINT w = 0, h = 0;
  ASSERT_TRUE(frame->Size(&w, &h));
  EXPECT_EQ(w, 3u);
  EXPECT_EQ(h, 2u);
  std::vector<BYTE> px(24);
  ASSERT_TRUE(frame->CopyFramePixels(nullptr, 12, 24, px.data()));
  EXPECT_NEAR(px[0], 128, 1);
  EXPECT_EQ(px[3], 128);
  EXPECT_EQ(img->Frame(1), nullptr);
}

TEST_F(WicDecoder, CopiesTheRectangleAndStrideItIsGiven) {
  ASSERT_TRUE(factory_);
  int frames = 0;
  auto img = Load(test::SolidPng(4, 4, 0, 0, 255, 255), &frames);
  ASSERT_EQ(frames, 1);
  RECT part{1, 1, 3, 2};  // two pixels of one row, into a buffer of a wider stride
  std::vector<BYTE> px(16, 0xAA);
  ASSERT_TRUE(img->Frame(0)->CopyFramePixels(&part, 16, 16, px.data()));
  EXPECT_EQ(px[0], 255);  // blue
  EXPECT_EQ(px[7], 255);
  EXPECT_EQ(px[8], 0xAA);  // beyond the two pixels: untouched
}

TEST_F(WicDecoder, ForeignDataDecodesNothingAndSavingIsRefused) {
  ASSERT_TRUE(factory_);
  int frames = -1;
  Load(test::Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}, &frames);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(factory_->SaveBitmap(nullptr, u"unused.png", kImagePng), E_FAIL);
}

}  // namespace
}  // namespace LOOM
