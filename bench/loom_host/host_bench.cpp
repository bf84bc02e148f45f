// Hosting costs: from creating a host for a 1030 x 541 layout to its first frame on
// screen; the repaint after one button changes state (only its rectangle is repainted
// and copied) against a full repaint; many invalidations before one paint.
// Run with SDL_VIDEODRIVER=offscreen, or on an X server (xvfb-run).
#include <benchmark/benchmark.h>

#include "core/application.h"
#include "core/host_wnd.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "platform/testing/test_input.h"
#include "platform/ui/windowing.h"

namespace {

using namespace LOOM;

// The application and resources every benchmark uses.
class BenchApp {
 public:
  BenchApp()
      : factory_(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    platform::InitWindowing();
    provider_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(provider_.get(), platform::CurrentModule());
    app_.ResProviders().AttachProvider(provider_.get(), u"uidef:xml_init");
  }

 private:
  SObjectDefaultRegister reg_;
  SAutoRefPtr<IRenderFactory> factory_;
  SApplication app_;
  SAutoRefPtr<IResProvider> provider_;
};

BenchApp& App() {
  static BenchApp app;
  return app;
}

// Creates, shows and paints a host; true when its first frame reached the screen.
bool ShowHost(SHostWnd& host) {
  HWND hwnd = host.Create(nullptr);
  if (!hwnd) return false;
  host.ShowWindow(SW_SHOWNA);
  return platform::test::PumpUntil([&] { return platform::test::PresentCount(hwnd) > 0 && host.RepaintCount() > 0; });
}

void BM_CreateToFirstFrame(benchmark::State& state) {
  App();
  for (auto _ : state) {
    SHostWnd host(u"LAYOUT:XML_BENCH");
    if (!ShowHost(host)) state.SkipWithError("no first frame");
    state.PauseTiming();
    host.DestroyWindow();
    platform::test::DrainMessages();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CreateToFirstFrame)->Unit(benchmark::kMillisecond);

// One button toggles its hover state; the host repaints and copies only its rectangle.
void BM_RepaintOneButton(benchmark::State& state) {
  App();
  SHostWnd host(u"LAYOUT:XML_BENCH");
  if (!ShowHost(host)) state.SkipWithError("no first frame");
  SWindow* button = host.ChildWithName(u"btn_start");
  const DWORD kHover = WndState_Hover;
  bool hover = false;
  for (auto _ : state) {
    hover = !hover;
    button->ChangeState(hover ? kHover : 0, hover ? 0 : kHover, true);
    platform::test::DrainMessages();
  }
  RECT copied = host.LastCopiedArea();
  state.counters["copied_px"] = static_cast<double>((copied.right - copied.left) * (copied.bottom - copied.top));
  host.DestroyWindow();
  platform::test::DrainMessages();
}
BENCHMARK(BM_RepaintOneButton)->Unit(benchmark::kMicrosecond);

// The whole window repainted and copied, as after a size change.
void BM_RepaintWholeWindow(benchmark::State& state) {
  App();
  SHostWnd host(u"LAYOUT:XML_BENCH");
  if (!ShowHost(host)) state.SkipWithError("no first frame");
  for (auto _ : state) {
    host.Redraw();
    platform::test::DrainMessages();
  }
  RECT copied = host.LastCopiedArea();
  state.counters["copied_px"] = static_cast<double>((copied.right - copied.left) * (copied.bottom - copied.top));
  host.DestroyWindow();
  platform::test::DrainMessages();
}
BENCHMARK(BM_RepaintWholeWindow)->Unit(benchmark::kMicrosecond);

// A hundred invalidations of several elements before one paint: one repaint.
void BM_ManyInvalidationsOneRepaint(benchmark::State& state) {
  App();
  SHostWnd host(u"LAYOUT:XML_BENCH");
  if (!ShowHost(host)) state.SkipWithError("no first frame");
  SWindow* elements[] = {host.ChildWithName(u"btn_start"), host.ChildWithName(u"btn_stop"),
                         host.ChildWithName(u"btn_quit"), host.ChildWithName(u"progressbar")};
  const int before = host.RepaintCount();
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) elements[i % 4]->MarkDirty();
    platform::test::DrainMessages();
  }
  state.counters["repaints_per_iteration"] =
      static_cast<double>(host.RepaintCount() - before) / static_cast<double>(state.iterations());
  host.DestroyWindow();
  platform::test::DrainMessages();
}
BENCHMARK(BM_ManyInvalidationsOneRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
