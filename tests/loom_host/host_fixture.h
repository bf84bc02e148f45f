// An application over the test executable's resources (UI definitions and layouts), on
// the windowing thread, with helpers to make hosts and read what they show.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/application.h"
#include "core/host_dialog.h"
#include "core/host_wnd.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "core/text_util.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/testing/test_input.h"
#include "platform/ui/windowing.h"

namespace LOOM::test {

// An element that records the messages it receives ("recorder" in markup).
class RecorderElement : public SWindow {
  LOOM_CLASS_TAG(RecorderElement, SWindow, u"recorder", u"window", ObjectKind::Window)

 public:
  BOOL HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
    log.push_back(msg);
    if (msg == WM_TIMER) timer_ids.push_back(static_cast<UINT>(wp));
    return SWindow::HandleElementMessage(msg, wp, lp, result);
  }
  int Count(UINT msg) const { return static_cast<int>(std::count(log.begin(), log.end(), msg)); }
  UINT KeyWants() const override { return key_wants; }
  std::vector<UINT> log;
  std::vector<UINT> timer_ids;
  UINT key_wants = 0;
};

// Drops whatever a test left in the thread's queue, WM_QUIT included.
inline void DrainQueue() {
  platform::test::DrainMessages();
  MSG msg;
  while (platform::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

class HostFixture : public ::testing::Test {
 protected:
  HostFixture()
      : factory_(SAutoRefPtr<IRenderFactory>::Adopt(NewRenderFactory())),
        app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    app_.Register<RecorderElement>();
    provider_ = SAutoRefPtr<IResProvider>::Adopt(NewResourceProvider(0));
    OpenModuleSource(provider_.get(), platform::CurrentModule());
    app_.ResProviders().AttachProvider(provider_.get(), u"uidef:xml_init");
  }
  void SetUp() override {
    ASSERT_TRUE(platform::InitWindowing());
    DrainQueue();
  }
  void TearDown() override {
    platform::ReleaseCapture();
    DrainQueue();
  }

  // The element of a name in a host; a missing one ends the test.
  template <class T = SWindow>
  static T* Find(SHostWnd& host, std::u16string_view name) {
    auto* e = dynamic_cast<T*>(host.ChildWithName(name));
    if (!e) throw std::runtime_error("no element " + ToU8(name));
    return e;
  }
  static RECT WindowRectOf(HWND hwnd) {
    RECT rc{};
    platform::GetWindowRect(hwnd, &rc);
    return rc;
  }
  // The cache's pixels, row by row.
  static std::vector<COLORREF> CachePixels(SHostWnd& host) {
    std::vector<COLORREF> out;
    RECT rc = host.ElementArea();
    for (int y = rc.top; y < rc.bottom; ++y)
      for (int x = rc.left; x < rc.right; ++x) out.push_back(host.Cache()->PixelAt(x, y));
    return out;
  }

  SObjectDefaultRegister reg_;
  SAutoRefPtr<IRenderFactory> factory_;
  SApplication app_;
  SAutoRefPtr<IResProvider> provider_;
};

// Opaque colours as the cache and the screen store them (0xAARRGGBB words).
inline constexpr std::uint32_t kPixRed = 0xFFFF0000u, kPixGreen = 0xFF00FF00u, kPixBlue = 0xFF0000FFu,
                               kPixWhite = 0xFFFFFFFFu;

}  // namespace LOOM::test
