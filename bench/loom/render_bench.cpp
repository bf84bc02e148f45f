// Painting the main window's pieces into a render target, against a plain cairo paint
// of a surface of the same size in the same run; and text measurement with its cache.
//   build/release/bench/loom/loom_bench
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <string>
#include <vector>

#include "core/render.h"

namespace LOOM {
namespace {

SAutoRefPtr<IRenderFactory> Factory() { return SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory()); }

SAutoRefPtr<IBitmap> Picture(IRenderFactory* f, int w, int h) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | static_cast<std::uint32_t>(x * 7 + y * 13);
  IBitmap* bmp = nullptr;
  f->NewBitmap(&bmp);
  bmp->InitBlank(w, h, px.data());
  return SAutoRefPtr<IBitmap>::Adopt(bmp);
}

SAutoRefPtr<IRenderTarget> Target(IRenderFactory* f, int w, int h) {
  IRenderTarget* rt = nullptr;
  f->NewTarget(&rt, w, h);
  return SAutoRefPtr<IRenderTarget>::Adopt(rt);
}

// Baseline: cairo painting one image surface onto another, nothing else.
void BM_PlainCairoPaint(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  cairo_surface_t* src = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  // The same opaque content as Picture(): a fresh surface is known to be clear, and
  // cairo would skip painting it.
  cairo_surface_flush(src);
  auto* px = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(src));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | static_cast<std::uint32_t>(x * 7 + y * 13);
  cairo_surface_mark_dirty(src);
  cairo_surface_t* dst = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(dst);
  for (auto _ : state) {
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_paint(cr);
    cairo_surface_flush(dst);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(dst);
  cairo_surface_destroy(src);
}
BENCHMARK(BM_PlainCairoPaint)->Args({1030, 541})->Args({511, 67});

void BM_BackgroundImage(benchmark::State& state) {
  auto f = Factory();
  auto bmp = Picture(f.get(), 1030, 541);
  auto rt = Target(f.get(), 1030, 541);
  for (auto _ : state) {
    // The background skin: a frame skin, nine-grid with zero margins stretched 1:1.
    rt->DrawImageNineGrid({0, 0, 1030, 541}, bmp.get(), {0, 0, 1030, 541}, {0, 0, 0, 0}, EM_STRETCH, 255);
    benchmark::DoNotOptimize(rt->PixelAt(0, 0));
  }
}
BENCHMARK(BM_BackgroundImage);

void BM_NineGridFrame(benchmark::State& state) {
  auto f = Factory();
  auto bmp = Picture(f.get(), 511, 67);
  auto rt = Target(f.get(), 511, 67);
  for (auto _ : state) {
    rt->DrawImageNineGrid({0, 0, 511, 67}, bmp.get(), {0, 0, 511, 67}, {10, 10, 10, 10}, EM_STRETCH, 255);
    benchmark::DoNotOptimize(rt->PixelAt(0, 0));
  }
}
BENCHMARK(BM_NineGridFrame);

void BM_NineGridFrameScaled(benchmark::State& state) {
  auto f = Factory();
  auto bmp = Picture(f.get(), 90, 30);
  auto rt = Target(f.get(), 511, 67);
  for (auto _ : state) {
    rt->DrawImageNineGrid({0, 0, 511, 67}, bmp.get(), {0, 0, 30, 30}, {5, 5, 5, 5}, EM_STRETCH, 255);
    benchmark::DoNotOptimize(rt->PixelAt(0, 0));
  }
}
BENCHMARK(BM_NineGridFrameScaled);

SAutoRefPtr<IFont> StatusFont(IRenderFactory* f) {
  SLogFont lf;
  lf.height = -12;
  lf.weight = 400;
  lf.face = u"微软雅黑";
  IFont* font = nullptr;
  f->NewFont(&font, lf);
  return SAutoRefPtr<IFont>::Adopt(font);
}

void BM_CjkTextLines(benchmark::State& state) {
  auto f = Factory();
  auto rt = Target(f.get(), 511, 1700);
  auto font = StatusFont(f.get());
  rt->Select(font.get());
  rt->SetTextColor(RGBA(0x33, 0xff, 0xff, 255));
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      RECT rc{0, i * 17, 511, i * 17 + 17};
      rt->TextDraw(u"正在校验文件: data\\sound\\bgm" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)), &rc,
                   DT_SINGLELINE | DT_VCENTER);
    }
    benchmark::DoNotOptimize(rt->PixelAt(0, 0));
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_CjkTextLines);

// First measurement of a status line: a fresh font each time, so nothing is cached.
void BM_MeasureStatusLineFirst(benchmark::State& state) {
  auto f = Factory();
  auto rt = Target(f.get(), 10, 10);
  for (auto _ : state) {
    auto font = StatusFont(f.get());
    rt->Select(font.get());
    SIZE size{};
    rt->TextExtent(u"当前客户端版本号: 1.0.23", &size);
    benchmark::DoNotOptimize(size);
  }
}
BENCHMARK(BM_MeasureStatusLineFirst);

void BM_MeasureStatusLineAgain(benchmark::State& state) {
  auto f = Factory();
  auto rt = Target(f.get(), 10, 10);
  auto font = StatusFont(f.get());
  rt->Select(font.get());
  SIZE size{};
  rt->TextExtent(u"当前客户端版本号: 1.0.23", &size);
  for (auto _ : state) {
    rt->TextExtent(u"当前客户端版本号: 1.0.23", &size);
    benchmark::DoNotOptimize(size);
  }
}
BENCHMARK(BM_MeasureStatusLineAgain);

}  // namespace
}  // namespace LOOM
