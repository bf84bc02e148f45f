// The controls' per-frame and per-update costs through the test container: one frame
// of an image button's hover fade (tick and repaint), a step of the progress bar, and
// the multi-line layout of static text (measuring and painting), by text length.
//   build/release/bench/loom_controls/loom_controls_bench
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/application.h"
#include "core/button.h"
#include "core/progress.h"
#include "core/skin.h"
#include "core/skin_pool.h"
#include "core/static_text.h"
#include "core/text_util.h"
#include "tests/loom_tree/test_container.h"

namespace LOOM {
namespace {

SAutoRefPtr<IBitmap> Picture(IRenderFactory* f, int w, int h) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | static_cast<std::uint32_t>(x * 7 + y * 13);
  IBitmap* bmp = nullptr;
  f->NewBitmap(&bmp);
  bmp->InitBlank(w, h, px.data());
  return SAutoRefPtr<IBitmap>::Adopt(bmp);
}

// The application with the main window's four-cell button picture (872 x 49) and the
// progress bar's gradients.
struct Toolkit {
  Toolkit()
      : factory(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app(factory.get(), platform::CurrentModule(), u"LOOMHOST", reg) {
    auto pool = SAutoRefPtr<SSkinPool>::Adopt(new SSkinPool());
    auto button = SAutoRefPtr<SSkinImgFrame>::Adopt(new SSkinImgFrame());
    button->ApplyAttribute(u"name", u"btn4", true);
    button->SetStateCount(4);
    button->AttachImage(Picture(factory.get(), 872, 49).get());
    pool->AddSkin(button.get());
    for (auto [name, colour] : {std::pair{u"bkgnd", u"#212329"}, std::pair{u"pos", u"#4afff9"}}) {
      IObject* g = app.NewSkinByTag(u"gradation");
      g->ApplyAttribute(u"name", name, true);
      g->ApplyAttribute(u"colorFrom", colour, true);
      g->ApplyAttribute(u"colorTo", colour, true);
      pool->AddSkin(static_cast<ISkinObj*>(g));
      g->Release();
    }
    app.SkinPools().Push(pool.get());
  }
  SObjectDefaultRegister reg;
  SAutoRefPtr<IRenderFactory> factory;
  SApplication app;
};

Toolkit& Kit() {
  static Toolkit kit;
  return kit;
}

SAutoRefPtr<test::TestContainer> BuildTree(std::u16string_view markup, int w, int h) {
  Toolkit& kit = Kit();  // the application exists before any element is made
  auto host = SAutoRefPtr<test::TestContainer>::Adopt(new test::TestContainer());
  SXmlDoc doc;
  doc.LoadText(markup);
  host->LoadFromMarkup(doc.Child());
  host->Resize(kit.factory.get(), w, h);
  host->LayoutIfDirty();
  host->Repaint();
  return host;
}

void BM_FadeFrame(benchmark::State& state) {
  auto host = BuildTree(uR"(<root colorBkgnd="#000000">
      <imgbtn name="b" pos="129,458" size="218,49" skin="btn4" animate="1"/></root>)",
                        1030, 541);
  auto* button = static_cast<SButton*>(host->ChildWithName(u"b"));
  bool inside = false;
  for (auto _ : state) {
    if (!button->IsFading()) {
      inside = !inside;
      host->Mouse(WM_MOUSEMOVE, inside ? 200 : 10, inside ? 480 : 10);
    } else {
      host->FrameTick();
    }
    host->Repaint();
  }
  host->SendElementMessage(WM_DESTROY);
}

void BM_ProgressStep(benchmark::State& state) {
  auto host = BuildTree(uR"(<root><progress name="p" pos="0,531" size="1030,10" bkgndSkin="bkgnd" posSkin="pos"/></root>)",
                        1030, 541);
  auto* bar = static_cast<SProgress*>(host->ChildWithName(u"p"));
  int value = 0;
  for (auto _ : state) {
    bar->SetProgressValue(value = (value + 1) % 101);
    host->Repaint();
  }
  host->SendElementMessage(WM_DESTROY);
}

// A text of n characters (words of 5 letters and a space, a break every 60) in a
// 400-pixel wide multi-line static: measuring for its size, then painting.
void BM_MultiLineText(benchmark::State& state) {
  std::u16string text;
  for (int i = 0; i < state.range(0); ++i) text.push_back(i % 60 == 59 ? u'\n' : (i % 6 == 5 ? u' ' : u'a' + i % 26));
  auto host = BuildTree(uR"(<root><text name="t" pos="0,0" width="400" multiLines="1" colorText="#ffffff"/></root>)",
                        400, 4000);
  SWindow* t = host->ChildWithName(u"t");
  for (auto _ : state) {
    t->SetElementText(text);
    host->Repaint();
  }
  state.counters["chars"] = static_cast<double>(state.range(0));
  host->SendElementMessage(WM_DESTROY);
}

BENCHMARK(BM_FadeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProgressStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MultiLineText)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace LOOM
