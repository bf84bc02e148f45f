// The status box under a long repair run: status lines appended one by one the way the
// main window appends them (empty selection at the end with 32-bit positions, a
// replacement without undo, a scroll to -1 without redraw), and the box repainted with
// few and with many lines. The append cost should stay flat as the text grows, and the
// paint cost should not depend on the number of lines.
//   build/release/bench/loom_edit/loom_edit_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "core/application.h"
#include "core/edit.h"
#include "core/text_util.h"
#include "tests/loom_tree/test_container.h"

namespace LOOM {
namespace {

struct Toolkit {
  Toolkit()
      : factory(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app(factory.get(), platform::CurrentModule(), u"LOOMHOST", reg) {}
  SObjectDefaultRegister reg;
  SAutoRefPtr<IRenderFactory> factory;
  SApplication app;
};

Toolkit& Kit() {
  static Toolkit kit;
  return kit;
}

// The main window's status box, read-only with its limit raised.
struct StatusBox {
  StatusBox() : host(SAutoRefPtr<test::TestContainer>::Adopt(new test::TestContainer())) {
    Kit();  // the application makes the elements
    SXmlDoc doc;
    doc.LoadText(
        u"<root colorBkgnd=\"#202020\"><edit name=\"status\" pos=\"472,363\" size=\"511,67\" ncskin=\"\" "
        u"multiLines=\"1\" padding=\"5,5,5,5\" autoSel=\"0\" notifyChange=\"0\" colorText=\"#33ffff\"/></root>");
    host->LoadFromMarkup(doc.Child());
    host->Resize(Kit().factory.get(), 1030, 541);
    host->LayoutIfDirty();
    box = dynamic_cast<SEdit*>(host->ChildWithName(u"status"));
    box->SetReadOnly(true);
    box->SetTextLimit(2147483647);
  }
  ~StatusBox() { host->SendElementMessage(WM_DESTROY); }
  StatusBox(const StatusBox&) = delete;
  StatusBox& operator=(const StatusBox&) = delete;

  void Append(std::u16string_view text) {
    const LONG end = box->TextLength();
    box->SendElementMessage(EM_SETSEL, static_cast<WPARAM>(end), end);
    box->ReplaceSelection(text, false);
    box->ScrollTo(true, -1, false);
  }
  // One file's line, in its two halves as the verification pass writes it.
  void AppendFileLine(int i) {
    Append(u"校验文件: data\\pack\\file" + IntToText(i) + u".bin......");
    Append(u"成功\r\n");
  }
  void Paint() {
    host->dirty = box->ElementArea();
    host->Repaint();
  }

  SAutoRefPtr<test::TestContainer> host;
  SEdit* box = nullptr;
};

// CPU time of this thread: other work on a shared machine does not count.
double ThreadNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// 100,000 lines into a fresh box per iteration; the counters give the cost of one line
// (two appends) over the first and the last 10,000 lines, the least of the iterations
// (thread CPU time), and their ratio.
void BM_AppendStatusLines(benchmark::State& state) {
  constexpr int kLines = 100000;
  constexpr int kWindow = 10000;
  double first_ns = 1e300;
  double last_ns = 1e300;
  for (auto _ : state) {
    StatusBox status;
    double mark = ThreadNs();
    for (int i = 0; i < kLines; ++i) {
      if (i == kLines - kWindow) mark = ThreadNs();
      status.AppendFileLine(i);
      if (i == kWindow - 1) first_ns = std::min(first_ns, ThreadNs() - mark);
    }
    last_ns = std::min(last_ns, ThreadNs() - mark);
    benchmark::DoNotOptimize(status.box->TextLength());
  }
  state.counters["first10k_ns_per_line"] = first_ns / kWindow;
  state.counters["last10k_ns_per_line"] = last_ns / kWindow;
  state.counters["last_over_first"] = last_ns / first_ns;
}
BENCHMARK(BM_AppendStatusLines)->Unit(benchmark::kMillisecond)->Iterations(5);

// Repainting the box (the view at its top) holding range(0) lines.
void BM_PaintStatusBox(benchmark::State& state) {
  StatusBox status;
  for (int i = 0; i < state.range(0); ++i) status.AppendFileLine(i);
  status.Paint();
  for (auto _ : state) status.Paint();
  state.counters["lines"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_PaintStatusBox)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Typing into the directory box: one character and the repaint it causes.
void BM_TypeIntoDirectoryBox(benchmark::State& state) {
  Kit();
  auto host = SAutoRefPtr<test::TestContainer>::Adopt(new test::TestContainer());
  SXmlDoc doc;
  doc.LoadText(u"<root colorBkgnd=\"#202020\"><edit name=\"dir\" pos=\"46,393\" size=\"281,37\" ncskin=\"\" "
               u"padding=\"4,0,2,0\" colorText=\"#33ffff\" maxBuf=\"2147483647\"/></root>");
  host->LoadFromMarkup(doc.Child());
  host->Resize(Kit().factory.get(), 1030, 541);
  host->LayoutIfDirty();
  auto* dir = dynamic_cast<SEdit*>(host->ChildWithName(u"dir"));
  host->FocusElement(dir->Handle());
  host->Repaint();
  int n = 0;
  for (auto _ : state) {
    host->RouteHostMessage(WM_CHAR, (++n % 64 == 0) ? VK_BACK : u'a' + n % 26, 0);
    host->Repaint();
  }
  host->SendElementMessage(WM_DESTROY);
}
BENCHMARK(BM_TypeIntoDirectoryBox)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace LOOM
