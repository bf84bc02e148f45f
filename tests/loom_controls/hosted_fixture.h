// Controls in real host windows on the windowing thread: the application over the
// control tests' resources (with the layouts "XML_CONTROLS" and "XML_RESIZABLE") and a
// button that counts the animation frames it receives ("countbtn" in markup).
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/button.h"
#include "core/caption.h"
#include "core/host_wnd.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/testing/test_input.h"
#include "platform/ui/window.h"
#include "platform/ui/windowing.h"
#include "tests/loom_controls/controls_fixture.h"

namespace LOOM::test {

class FrameCountingButton : public SImageButton {
  LOOM_CLASS_TAG(FrameCountingButton, SImageButton, u"countbtn", u"imgbtn", ObjectKind::Window)

 public:
  void OnNextFrame() override {
    ++frames;
    SImageButton::OnNextFrame();
  }
  int frames = 0;
};

// A caption on a platform that restores a maximised window dragged by its caption
// ("v6caption" in markup).
class Version6Caption : public SCaption {
  LOOM_CLASS_TAG(Version6Caption, SCaption, u"v6caption", u"caption", ObjectKind::Window)

 protected:
  bool DragsMaximisedWindow() const override { return true; }
};

// A host that counts the commands reaching its hook, by sender name.
class CommandHost : public SHostWnd {
 public:
  using SHostWnd::SHostWnd;
  bool OnHostEvent(EventArgs* args) override {
    if (args->EventId() == EVT_CMD) commands.push_back(args->SenderName());
    return SHostWnd::OnHostEvent(args);
  }
  std::vector<std::u16string> commands;
};

// Drops whatever a test left in the thread's queue, WM_QUIT included.
inline void DrainQueue() {
  platform::test::DrainMessages();
  MSG msg;
  while (platform::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

class HostedFixture : public ::testing::Test {
 protected:
  HostedFixture() : factory_(MakeRenderFactory()), app_(factory_.get(), platform::CurrentModule(), u"LOOMHOST", reg_) {
    app_.Register<FrameCountingButton>();
    app_.Register<Version6Caption>();
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

  // Creates and shows a host at (x, y) with the layout's size.
  static HWND Open(SHostWnd& host, int x = 100, int y = 100) {
    HWND hwnd = host.Create(nullptr, 0, 0, 0, 0);
    if (!hwnd) throw std::runtime_error("no host window");
    platform::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    host.ShowWindow(SW_SHOWNORMAL);
    platform::test::DrainMessages();
    return hwnd;
  }
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
  // What the screen shows at a client point (0xAARRGGBB).
  static std::uint32_t Presented(HWND hwnd, int x, int y) { return platform::test::CapturePresented(hwnd).At(x, y); }

  SObjectDefaultRegister reg_;
  SAutoRefPtr<IRenderFactory> factory_;
  SApplication app_;
  SAutoRefPtr<IResProvider> provider_;
};

}  // namespace LOOM::test
