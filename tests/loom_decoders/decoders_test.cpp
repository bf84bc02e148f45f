// Decoders: premultiplied frames, frame counts and delays, and refusal of bad input.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "core/img_decoder.h"
#include "image_builders.h"
#include "loom/decoders/decoded_image.h"
#include "loom/decoders/icon_file.h"

namespace LOOM {
namespace {

using test::Bytes;

SAutoRefPtr<IImgDecoderFactory> Decoder(std::u16string_view name) {
  return SAutoRefPtr<IImgDecoderFactory>::Adopt(NewImgDecoderFactory(name));
}

SAutoRefPtr<IImgX> Load(IImgDecoderFactory* f, const Bytes& bytes, int* frames = nullptr) {
  IImgX* img = nullptr;
  EXPECT_EQ(f->NewImage(&img), 1);
  int n = img->LoadMemory(bytes.data(), bytes.size());
  if (frames) *frames = n;
  return SAutoRefPtr<IImgX>::Adopt(img);
}

int DelayOf(const IImgX* img, UINT index) {
  const IImgFrame* frame = img ? img->Frame(index) : nullptr;
  return frame ? frame->Delay() : -1;
}

std::vector<std::uint8_t> Pixels(const IImgFrame* frame) {
  UINT w = 0, h = 0;
  if (!frame || !frame->Size(&w, &h)) return {};
  std::vector<std::uint8_t> px(std::size_t{w} * h * 4);
  EXPECT_TRUE(frame->CopyFramePixels(nullptr, w * 4, static_cast<UINT>(px.size()), px.data()));
  return px;
}

// The imaging component behind "imgdecoder-wic" is the platform's: decoders_*_test.cpp.
TEST(DecoderChoice, NamesAreComparedExactly) {
  EXPECT_EQ(Decoder(u"imgdecoder-gdip")->Description(), u"gdi+");
  EXPECT_EQ(Decoder(u"imgdecoder-png")->Description(), u"apng");
  EXPECT_EQ(Decoder(u"imgdecoder-stb")->Description(), u"stb");
  EXPECT_FALSE(Decoder(u"IMGDECODER-GDIP"));
  EXPECT_FALSE(Decoder(u"imgdecoder-bmp"));
}

class EveryDecoder : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(EveryDecoder, HalfTransparentWhitePremultipliesByTruncation) {
  auto f = Decoder(GetParam());
  int frames = 0;
  auto img = Load(f.get(), test::SolidPng(3, 2, 255, 255, 255, 128), &frames);
  ASSERT_EQ(frames, 1);
  EXPECT_EQ(DelayOf(img.get(), 0), 0);
  EXPECT_EQ(img->Frame(1), nullptr);
  auto px = Pixels(img->Frame(0));
  ASSERT_EQ(px.size(), 24u);
  EXPECT_EQ(px[0], 128);  // 255 * 128 / 255
  EXPECT_EQ(px[1], 128);
  EXPECT_EQ(px[2], 128);
  EXPECT_EQ(px[3], 128);
}

TEST_P(EveryDecoder, FullyTransparentPixelsBecomeZero) {
  auto f = Decoder(GetParam());
  auto img = Load(f.get(), test::SolidPng(1, 1, 200, 100, 50, 0));
  auto px = Pixels(img->Frame(0));
  EXPECT_EQ(px, (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST_P(EveryDecoder, ColourChannelsComeOutBlueGreenRed) {
  auto f = Decoder(GetParam());
  auto img = Load(f.get(), test::SolidPng(1, 1, 200, 100, 50, 255));
  EXPECT_EQ(Pixels(img->Frame(0)), (std::vector<std::uint8_t>{50, 100, 200, 255}));
}

TEST_P(EveryDecoder, TruncatedAndForeignDataDecodesNothing) {
  auto f = Decoder(GetParam());
  Bytes png = test::SolidPng(8, 8, 1, 2, 3, 4);
  int frames = -1;
  Load(f.get(), Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)), &frames);
  EXPECT_EQ(frames, 0);
  Load(f.get(), Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}, &frames);
  EXPECT_EQ(frames, 0);
  Load(f.get(), Bytes{}, &frames);
  EXPECT_EQ(frames, 0);
}

TEST_P(EveryDecoder, HugeDeclaredSizeIsRefusedBeforeAllocating) {
  auto f = Decoder(GetParam());
  Bytes png = test::SolidPng(1, 1, 0, 0, 0, 255);
  // Rewrite the header to 100000 x 100000 (and fix its checksum).
  for (int i = 0; i < 2; ++i) {
    std::uint32_t v = 100000;
    for (int b = 0; b < 4; ++b) png[16 + i * 4 + b] = static_cast<std::uint8_t>(v >> (24 - 8 * b));
  }
  std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17));
  for (int b = 0; b < 4; ++b) png[29 + b] = static_cast<std::uint8_t>(crc >> (24 - 8 * b));
  int frames = -1;
  Load(f.get(), png, &frames);
  EXPECT_EQ(frames, 0);
}

INSTANTIATE_TEST_SUITE_P(Decoders, EveryDecoder,
                         ::testing::Values(u"imgdecoder-gdip", u"imgdecoder-png", u"imgdecoder-stb"));

TEST(GdipDecoder, JpegIsOneOpaqueFrame) {
  auto f = Decoder(u"imgdecoder-gdip");
  int frames = 0;
  auto img = Load(f.get(), test::SolidJpeg(16, 8, 128), &frames);
  ASSERT_EQ(frames, 1);
  UINT w = 0, h = 0;
  ASSERT_TRUE(img->Frame(0)->Size(&w, &h));
  EXPECT_EQ(w, 16u);
  EXPECT_EQ(h, 8u);
  auto px = Pixels(img->Frame(0));
  EXPECT_EQ(px[3], 255);
  EXPECT_NEAR(px[0], 128, 3);
  EXPECT_EQ(DelayOf(img.get(), 0), 0);
}

TEST(GdipDecoder, AnimatedGifGivesEveryFrameWithMillisecondDelays) {
  auto f = Decoder(u"imgdecoder-gdip");
  int frames = 0;
  auto img = Load(f.get(), test::AnimatedGif(4, 3, {0, 1, 2}, {0, 5, 20}), &frames);
  ASSERT_EQ(frames, 3);
  EXPECT_EQ(DelayOf(img.get(), 0), 100);
  EXPECT_EQ(DelayOf(img.get(), 1), 100);
  EXPECT_EQ(DelayOf(img.get(), 2), 200);
  EXPECT_EQ(Pixels(img->Frame(0))[2], 255);  // red
  EXPECT_EQ(Pixels(img->Frame(1))[1], 255);  // green
  EXPECT_EQ(Pixels(img->Frame(2))[0], 255);  // blue
}

TEST(GdipDecoder, TruncatedGifDecodesNothing) {
  auto f = Decoder(u"imgdecoder-gdip");
  Bytes gif = test::AnimatedGif(4, 3, {0, 1}, {1, 1});
  int frames = -1;
  Load(f.get(), Bytes(gif.begin(), gif.begin() + 30), &frames);
  EXPECT_EQ(frames, 0);
}

TEST(ApngDecoder, FramesAreComposedWithDelaysInHundredths) {
  std::vector<std::uint8_t> red = {255, 0, 0, 255}, half_blue = {0, 0, 255, 128};
  auto f = Decoder(u"imgdecoder-png");
  int frames = 0;
  auto img = Load(f.get(), test::AnimatedPng(1, 1, {{red, 1, 10, 0}, {half_blue, 50, 1000, 1}, {half_blue, 3, 0, 0}}),
                  &frames);
  ASSERT_EQ(frames, 3);
  EXPECT_EQ(DelayOf(img.get(), 0), 10);  // 1/10 s
  EXPECT_EQ(DelayOf(img.get(), 1), 5);   // 50/1000 s
  EXPECT_EQ(DelayOf(img.get(), 2), 3);
  // Over: (src * a + canvas * (255 - a)) >> 8 per channel, alpha included, then
  // premultiplied.
  auto over = Pixels(img->Frame(1));
  EXPECT_EQ(over[3], (128 * 128 + 255 * 127) >> 8);
  EXPECT_EQ(over[2], ((255 * 127) >> 8) * over[3] / 255);
  EXPECT_EQ(over[0], ((255 * 128) >> 8) * over[3] / 255);
  // Source: copied.
  EXPECT_EQ(Pixels(img->Frame(2)), (std::vector<std::uint8_t>{128, 0, 0, 128}));
  // The platform decoder shows an animated PNG's default image only.
  auto gdip = Decoder(u"imgdecoder-gdip");
  Load(gdip.get(), test::AnimatedPng(1, 1, {{red, 1, 10, 0}, {half_blue, 1, 10, 0}}), &frames);
  EXPECT_EQ(frames, 1);
}

TEST(ApngDecoder, FrameOutsideTheCanvasIsRefused) {
  Bytes apng = test::AnimatedPng(2, 2, {{std::vector<std::uint8_t>(16, 255), 1, 1, 0}});
  // Enlarge the frame width inside fcTL (offset: signature 8 + IHDR 25 + acTL 20 + 8 + seq 4).
  apng[8 + 25 + 20 + 8 + 4 + 3] = 3;
  auto f = Decoder(u"imgdecoder-png");
  int frames = -1;
  Load(f.get(), apng, &frames);
  EXPECT_EQ(frames, 0);
}

TEST(FrameCopy, WrongBufferSizeCopiesNothing) {
  auto f = Decoder(u"imgdecoder-gdip");
  auto img = Load(f.get(), test::SolidPng(2, 2, 1, 2, 3, 255));
  std::vector<BYTE> buf(15, 0xAA);
  EXPECT_FALSE(img->Frame(0)->CopyFramePixels(nullptr, 8, 15, buf.data()));
  EXPECT_EQ(buf[0], 0xAA);
}

TEST(IconFile, PicksTheClosestSizeAndDecodesBitmapAndPngEntries) {
  // A directory of a 16-pixel 32-bit bitmap (red) and a 32-pixel PNG (green).
  auto dib = [](int size, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Bytes d(40, 0);
    auto put32 = [&d](std::size_t at, std::uint32_t v) {
      for (int i = 0; i < 4; ++i) d[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<std::uint32_t>(size));
    put32(8, static_cast<std::uint32_t>(size * 2));
    d[12] = 1;
    d[14] = 32;
    for (int i = 0; i < size * size; ++i) d.insert(d.end(), {b, g, r, 255});
    d.insert(d.end(), static_cast<std::size_t>(((size + 31) / 32) * 4 * size), 0);
    return d;
  };
  Bytes png = test::SolidPng(32, 32, 0, 255, 0, 255);
  Bytes bmp = dib(16, 255, 0, 0);
  Bytes ico = {0, 0, 1, 0, 2, 0};
  auto entry = [&ico](int size, std::size_t len, std::size_t offset) {
    ico.insert(ico.end(), {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size), 0, 0, 1, 0, 32, 0});
    for (int i = 0; i < 4; ++i) ico.push_back(static_cast<std::uint8_t>(len >> (8 * i)));
    for (int i = 0; i < 4; ++i) ico.push_back(static_cast<std::uint8_t>(offset >> (8 * i)));
  };
  entry(16, bmp.size(), 6 + 32);
  entry(32, png.size(), 6 + 32 + bmp.size());
  ico.insert(ico.end(), bmp.begin(), bmp.end());
  ico.insert(ico.end(), png.begin(), png.end());

  RgbaImage out;
  ASSERT_TRUE(DecodeIconFile(ico, 16, out));
  EXPECT_EQ(out.width, 16u);
  EXPECT_EQ(out.rgba[0], 255);
  ASSERT_TRUE(DecodeIconFile(ico, 0, out));  // platform default: 32
  EXPECT_EQ(out.width, 32u);
  EXPECT_EQ(out.rgba[1], 255);
  ASSERT_TRUE(DecodeIconFile(ico, 24, out));  // scaled from the closest
  EXPECT_EQ(out.width, 24u);
  EXPECT_FALSE(DecodeIconFile(Bytes(ico.begin(), ico.begin() + 20), 16, out));
  ico[6 + 12] = 0xFF;  // first entry's offset past the end
  ico[6 + 13] = 0xFF;
  EXPECT_FALSE(DecodeIconFile(ico, 16, out));
}

}  // namespace
}  // namespace LOOM
