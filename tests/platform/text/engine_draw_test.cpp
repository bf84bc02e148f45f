// Drawing into a cairo surface: where text lands, the clip, the selection, alpha.
#include <cairo.h>

#include <cstdint>
#include <vector>

#include "tests/platform/text/fake_text_host.h"

namespace text_test {
namespace {

class Surface {
 public:
  Surface(int width, int height, std::uint32_t fill) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cr_ = cairo_create(surface_);
    auto* px = Pixels();
    std::fill(px, px + static_cast<std::size_t>(width) * height, fill);
    cairo_surface_mark_dirty(surface_);
  }
  ~Surface() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  cairo_t* Context() const { return cr_; }
  std::uint32_t* Pixels() const {
    cairo_surface_flush(surface_);
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface_));
  }
  std::uint32_t At(int x, int y) const { return Pixels()[static_cast<std::size_t>(y) * Width() + x]; }
  int Width() const { return cairo_image_surface_get_width(surface_); }
  int Height() const { return cairo_image_surface_get_height(surface_); }
  // Pixels in a rectangle that are not `fill`.
  int Changed(RECT rc, std::uint32_t fill) const {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
      for (int x = rc.left; x < rc.right; ++x) n += At(x, y) != fill;
    }
    return n;
  }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

class TextDrawTest : public EngineTest {
 protected:
  void Draw(Surface& surface, const RECT* update = nullptr) {
    ASSERT_EQ(engine_->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, surface.Context(), nullptr, &host_.client,
                              nullptr, const_cast<RECT*>(update), nullptr, 0, TXTVIEW_ACTIVE),
              S_OK);
  }
  static constexpr std::uint32_t kWhite = 0xFFFFFFFF;
};

TEST_F(TextDrawTest, TextLandsInsideTheViewAndNowhereElse) {
  host_.inset_himetric = {105, 52, 105, 52};  // 4 and 2 pixels at 96 dots per inch
  engine_->OnTxPropertyBitsChange(TXTBIT_VIEWINSETCHANGE, 0);
  SetText(u"Velmora 当前客户端版本号");
  Surface surface(300, 200, kWhite);
  Draw(surface);
  const RECT view{host_.client.left + 4, host_.client.top + 2, host_.client.right - 4, host_.client.bottom - 2};
  EXPECT_GT(surface.Changed(view, kWhite), 50);
  EXPECT_EQ(surface.Changed({0, 0, 300, view.top}, kWhite), 0);
  EXPECT_EQ(surface.Changed({0, view.top, view.left, 200}, kWhite), 0);
  EXPECT_EQ(surface.Changed({view.right, view.top, 300, 200}, kWhite), 0);
  EXPECT_EQ(surface.Changed({0, view.bottom, 300, 200}, kWhite), 0);

  // An update rectangle limits the drawing further.
  Surface part(300, 200, kWhite);
  const RECT update{view.left, view.top, view.left + 20, view.bottom};
  Draw(part, &update);
  EXPECT_GT(part.Changed(update, kWhite), 0);
  EXPECT_EQ(part.Changed({update.right, 0, 300, 200}, kWhite), 0);
}

TEST_F(TextDrawTest, TextColourSelectionAndPasswordMask) {
  host_.char_format.crTextColor = RGB(255, 0, 0);
  engine_->OnTxPropertyBitsChange(TXTBIT_CHARFORMATCHANGE, 0);
  SetText(u"WWWW WWWW");
  Surface plain(300, 200, kWhite);
  Draw(plain);
  bool red = false;
  for (int y = host_.client.top; y < host_.client.bottom; ++y) {
    for (int x = host_.client.left; x < host_.client.right; ++x) {
      const std::uint32_t p = plain.At(x, y);
      red |= ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
    }
  }
  EXPECT_TRUE(red);

  Focus();
  Select(0, 4);
  Surface selected(300, 200, kWhite);
  Draw(selected);
  const POINT start = PointOf(0);
  EXPECT_EQ(selected.At(start.x + 1, start.y + 1), 0xFF0078D7);  // the highlight behind the selection
  const POINT after = PointOf(5);
  EXPECT_NE(selected.At(after.x + 1, after.y + 1), 0xFF0078D7);

  // The same text as a password looks different and shows no 'W'.
  SetProperty(TXTBIT_USEPASSWORD, true);
  Select(0, 0);
  Surface masked(300, 200, kWhite);
  Draw(masked);
  EXPECT_NE(std::vector<std::uint32_t>(masked.Pixels(), masked.Pixels() + 300 * 200),
            std::vector<std::uint32_t>(plain.Pixels(), plain.Pixels() + 300 * 200));
}

TEST_F(TextDrawTest, TranslucentBackgroundStaysValidAndKeepsItsAlpha) {
  SetText(u"alpha kept");
  const std::uint32_t half = 0x80404040;  // premultiplied grey at half opacity
  Surface surface(300, 200, half);
  Draw(surface);
  int drawn = 0;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 300; ++x) {
      const std::uint32_t p = surface.At(x, y);
      const std::uint32_t a = p >> 24;
      ASSERT_GE(a, 0x80u);  // text never makes the box more transparent
      ASSERT_LE((p >> 16) & 0xFF, a);
      ASSERT_LE((p >> 8) & 0xFF, a);
      ASSERT_LE(p & 0xFF, a);
      drawn += p != half;
    }
  }
  EXPECT_GT(drawn, 20);
}

TEST_F(TextDrawTest, OnlyVisibleLinesAreDrawnAfterScrolling) {
  MakeMultiline();
  host_.max_length = 0x7FFFFFFF;
  std::u16string text;
  for (int i = 0; i < 100000; ++i) text += u"line " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"\r\n";
  SetText(text);
  Send(WM_VSCROLL, platform::MakeScrollWParam(SB_THUMBPOSITION, 1000000));
  Surface surface(300, 200, kWhite);
  Draw(surface);
  EXPECT_GT(surface.Changed(host_.client, kWhite), 50);
  const LRESULT first = Send(EM_GETFIRSTVISIBLELINE);
  EXPECT_GT(first, 1000);
  Select(static_cast<LONG>(Send(EM_LINEINDEX, first)), static_cast<LONG>(Send(EM_LINEINDEX, first)));
  EXPECT_EQ(PointOf(static_cast<LONG>(Send(EM_LINEINDEX, first))).y, host_.client.top - 1000000 % (PointOf(7).y - PointOf(0).y));
}

}  // namespace
}  // namespace text_test
