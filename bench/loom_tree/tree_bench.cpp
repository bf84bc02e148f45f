// Building, laying out and painting element trees through the test container: the
// main window's layout with stand-in skins of the real sizes, and a tree of 2,000
// elements; a hover change repaints only the hovered element's rectangle.
//   build/release/bench/loom_tree/loom_tree_bench
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/application.h"
#include "core/skin.h"
#include "core/skin_pool.h"
#include "core/text_util.h"
#include "tests/loom_tree/test_container.h"

namespace LOOM {
namespace {

constexpr char16_t kMainWindow[] = uR"(<root cache="1" skin="bg">
  <window pos="0,0,-0,-0" colorBkgnd="#ffffffff" colorText="#ffffff" alpha="0">
    <caption pos="0,0,-0,32" focusable="1" drawfocusrect="0">
      <icon pos="10,8" size="16,16"/>
      <imgbtn name="btn_close" skin="close" pos="993,2" size="30,30" tip="close"/>
      <imgbtn name="btn_minimize" skin="close" pos="943,2" size="30,30"/>
    </caption>
    <imgbtn name="btn_start" pos="129,458" size="218, 49" skin="btn4"/>
    <edit name="dir" pos="46,393" colorText="#33ffff" skin="dirbox" width="281" height="37"/>
    <edit name="status" pos="472,363" colorText="#33ffff" size="511, 67" skin="status" padding="5,5,5,5"/>
    <imgbtn name="btn_stop" pos="414,458" size="218, 49" skin="btn4"/>
    <imgbtn name="btn_quit" pos="678,458" size="218, 49" skin="btn4"/>
    <progress name="progressbar" pos="0,531" size="1030, 10"/>
    <imgbtn name="btn_search" pos="332,391" size="83,39" skin="search"/>
  </window>
</root>)";

// 40 rows of 50 state-following cells: 2,000 elements below the rows.
std::u16string GridMarkup() {
  std::u16string m = u"<root cache=\"1\" colorBkgnd=\"#202020\">";
  for (int row = 0; row < 40; ++row) {
    m += u"<window pos=\"0," + IntToText(row * 13) + u",-0,@12\">";
    for (int col = 0; col < 50; ++col) m += u"<window size=\"20,12\" skin=\"cell\"/>";
    m += u"</window>";
  }
  return m + u"</root>";
}

SAutoRefPtr<IBitmap> Picture(IRenderFactory* f, int w, int h) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | static_cast<std::uint32_t>(x * 7 + y * 13);
  IBitmap* bmp = nullptr;
  f->NewBitmap(&bmp);
  bmp->InitBlank(w, h, px.data());
  return SAutoRefPtr<IBitmap>::Adopt(bmp);
}

// The application, with stand-in skins of the main window's sizes and state counts.
struct Toolkit {
  Toolkit()
      : factory(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app(factory.get(), platform::CurrentModule(), u"LOOMHOST", reg) {
    auto pool = SAutoRefPtr<SSkinPool>::Adopt(new SSkinPool());
    struct Stand {
      const char16_t* name;
      int w, h, states;
    };
    for (Stand s : {Stand{u"bg", 1030, 541, 1}, Stand{u"close", 90, 30, 3}, Stand{u"btn4", 872, 49, 4},
                    Stand{u"dirbox", 281, 37, 1}, Stand{u"status", 511, 67, 1}, Stand{u"search", 332, 39, 4}}) {
      auto skin = SAutoRefPtr<SSkinImgFrame>::Adopt(new SSkinImgFrame());
      skin->ApplyAttribute(u"name", s.name, true);
      skin->SetStateCount(s.states);
      skin->AttachImage(Picture(factory.get(), s.w, s.h).get());
      pool->AddSkin(skin.get());
    }
    IObject* cell = app.NewSkinByTag(u"colorrect");
    cell->ApplyAttribute(u"name", u"cell", true);
    cell->ApplyAttribute(u"normal", u"#FF0000", true);
    cell->ApplyAttribute(u"hover", u"#00FF00", true);
    pool->AddSkin(static_cast<ISkinObj*>(cell));
    cell->Release();
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
  auto host = SAutoRefPtr<test::TestContainer>::Adopt(new test::TestContainer());
  SXmlDoc doc;
  doc.LoadText(markup);
  host->LoadFromMarkup(doc.Child());
  host->Resize(Kit().factory.get(), w, h);
  host->LayoutIfDirty();
  return host;
}

void Destroy(test::TestContainer& host) { host.SendElementMessage(WM_DESTROY); }

std::u16string MarkupOf(int which) { return which == 0 ? std::u16string(kMainWindow) : GridMarkup(); }
constexpr SIZE kSize[2] = {{1030, 541}, {1030, 530}};

void BM_Build(benchmark::State& state) {
  int which = static_cast<int>(state.range(0));
  std::u16string markup = MarkupOf(which);
  for (auto _ : state) {
    auto host = BuildTree(markup, kSize[which].cx, kSize[which].cy);
    Destroy(*host);
  }
}

void BM_Relayout(benchmark::State& state) {
  int which = static_cast<int>(state.range(0));
  auto host = BuildTree(MarkupOf(which), kSize[which].cx, kSize[which].cy);
  int flip = 0;
  for (auto _ : state) {
    // A width change makes every full-width element take a new rectangle.
    host->TakeRect({0, 0, kSize[which].cx + (flip ^= 1), kSize[which].cy});
    host->LayoutIfDirty();
  }
  Destroy(*host);
}

void BM_FullPaint(benchmark::State& state) {
  int which = static_cast<int>(state.range(0));
  auto host = BuildTree(MarkupOf(which), kSize[which].cx, kSize[which].cy);
  host->Repaint();
  for (auto _ : state) {
    host->dirty = host->ElementArea();
    host->Repaint();
  }
  state.counters["px"] = static_cast<double>(kSize[which].cx) * kSize[which].cy;
  Destroy(*host);
}

// One hover change (on or off one button) and the repaint it asks for.
void BM_HoverRepaint(benchmark::State& state) {
  int which = static_cast<int>(state.range(0));
  auto host = BuildTree(MarkupOf(which), kSize[which].cx, kSize[which].cy);
  host->Repaint();
  POINT on = which == 0 ? POINT{200, 480} : POINT{305, 200}, off = which == 0 ? POINT{60, 200} : POINT{1020, 525};
  bool inside = false;
  double painted = 0;
  for (auto _ : state) {
    inside = !inside;
    POINT p = inside ? on : off;
    host->Mouse(WM_MOUSEMOVE, p.x, p.y);
    RECT area = host->Repaint();
    painted += static_cast<double>(RectWidth(area)) * RectHeight(area);
  }
  state.counters["px"] = benchmark::Counter(painted, benchmark::Counter::kAvgIterations);
  Destroy(*host);
}

// Argument 0: the main window; 1: the tree of 2,000 cells.
BENCHMARK(BM_Build)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Relayout)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HoverRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace LOOM
