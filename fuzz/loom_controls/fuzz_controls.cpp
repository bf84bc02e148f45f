// Arbitrary markup of the basic controls: the tree is built, painted, hovered, pressed,
// keyed and animated; every progress bar gets odd values and ranges, every static text
// is measured in odd boxes; then the tree is destroyed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>

#include "core/application.h"
#include "core/button.h"
#include "core/progress.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "core/static_text.h"
#include "core/xml.h"
#include "tests/loom_tree/inline_toolkit.h"
#include "tests/loom_tree/test_container.h"

namespace {

constexpr char kUiDef[] = R"(<?xml version="1.0" encoding="utf-8"?>
<uidef>
  <font face="微软雅黑" size="12"/>
  <skin>
    <colorrect name="states" normal="#FF0000" hover="#00FF00" pushdown="#0000FF" disable="#808080"/>
    <colorrect name="three" normal="#FF0000" hover="#00FF00" pushdown="#0000FF"/>
    <gradation name="progress_bkgnd_skin" colorFrom="#212329" colorTo="#212329"/>
    <gradation name="progress_pos_skin" colorFrom="#4afff9" colorTo="#4afff9"/>
    <colorrect name="_skin.sys.btn.normal" normal="#FEFEFE" hover="#DBEDFE" pushdown="#C6E2FD"/>
    <gradation name="_skin.sys.prog.bkgnd" colorFrom="#000000" colorTo="#000000"/>
    <gradation name="_skin.sys.prog.bar" colorFrom="#FFFFFF" colorTo="#FFFFFF"/>
  </skin>
</uidef>)";

void ForEach(LOOM::SWindow* e, const std::function<void(LOOM::SWindow*)>& visit) {
  for (LOOM::SWindow* c = e->FirstChild(); c; c = c->NextSibling()) {
    visit(c);
    ForEach(c, visit);
  }
}

void Exercise(LOOM::test::TestContainer& host, LOOM::IRenderFactory* factory) {
  constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
  // Element rectangles stay within the layout's range of +-2^26.
  constexpr LONG kFar = 1 << 26;
  LOOM::IRenderTarget* raw = nullptr;
  factory->NewTarget(&raw, 1, 1);
  auto scratch = LOOM::SAutoRefPtr<LOOM::IRenderTarget>::Adopt(raw);
  ForEach(&host, [&](LOOM::SWindow* e) {
    if (auto* bar = dynamic_cast<LOOM::SProgress*>(e)) {
      bar->SetProgressRange(kMax, kMin);
      bar->SetProgressValue(kMax);
      (void)bar->Percent();
      bar->SetProgressRange(kMin, kMax);
      bar->SetProgressValue(0);
    } else if (auto* text = dynamic_cast<LOOM::SStatic*>(e)) {
      for (RECT box : {RECT{0, 0, 0, 0}, RECT{0, 0, 1, 1 << 26}, RECT{5, 5, -50, -50}, RECT{-kFar, -kFar, kFar, kFar}}) {
        text->MeasureText(scratch.get(), text->GetElementText(), box, 0);
        text->LayoutLines(scratch.get(), text->GetElementText(), box, DT_VCENTER);
      }
    }
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static LOOM::test::InlineToolkit toolkit(kUiDef);
  LOOM::SXmlDoc doc;
  if (!doc.LoadBuffer(data, size)) return 0;
  LOOM::SXmlNode top = doc.Child();
  if (!top) return 0;

  auto host = LOOM::SAutoRefPtr<LOOM::test::TestContainer>::Adopt(new LOOM::test::TestContainer());
  host->LoadFromMarkup(top);
  host->Resize(toolkit.factory.get(), 320, 240);
  host->Repaint();
  for (auto [msg, x, y] : {std::tuple{WM_MOUSEMOVE, 40, 30}, {WM_MOUSEMOVE, 10, 10}, {WM_MOUSEMOVE, 40, 30},
                           {WM_LBUTTONDOWN, 40, 30}, {WM_MOUSEMOVE, 200, 100}, {WM_LBUTTONUP, 200, 100},
                           {WM_LBUTTONDBLCLK, 12, 12}, {WM_LBUTTONUP, 12, 12}, {WM_MOUSEMOVE, 100, 60}}) {
    host->RouteHostMessage(msg, 0, LOOM::test::MousePoint(x, y));
    host->FrameTick();
    host->Repaint();
  }
  for (int key : {VK_TAB, VK_SPACE, VK_RETURN, int{'A'}}) {
    host->RouteHostMessage(WM_KEYDOWN, static_cast<WPARAM>(key), 0);
    host->RouteHostMessage(WM_KEYUP, static_cast<WPARAM>(key), 0);
  }
  for (WORD key : {WORD{'O'}, WORD{'X'}, WORD{13}, WORD{116}})
    for (WORD mods = 0; mods < 8; ++mods) host->FocusManagerOf()->OfferAccelerator({key, mods});
  for (int tick = 0; tick < 260; ++tick) host->FrameTick();
  Exercise(*host, toolkit.factory.get());
  host->RouteHostMessage(WM_MOUSELEAVE, 0, 0);
  host->Repaint();
  host->SendElementMessage(WM_DESTROY);
  return 0;
}
