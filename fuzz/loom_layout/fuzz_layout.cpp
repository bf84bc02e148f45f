// Arbitrary layout markup: the tree is built, laid out, painted once and given a few
// input messages, then destroyed. The input is also the layout resource "FUZZ", so an
// "include" of it includes itself.
#include <cstddef>
#include <cstdint>

#include "core/application.h"
#include "core/render.h"
#include "core/res_provider.h"
#include "core/res_provider_mgr.h"
#include "core/xml.h"
#include "tests/loom_tree/inline_toolkit.h"
#include "tests/loom_tree/test_container.h"

namespace {

// Definitions with a style class, a template and a few skins for the markup to name.
constexpr char kUiDef[] = R"(<?xml version="1.0" encoding="utf-8"?>
<uidef>
  <font face="微软雅黑" size="12"/>
  <string><greeting value="hello"/></string>
  <color><accent value="#00FF00"/></color>
  <dim><gap value="7"/></dim>
  <skin>
    <colorrect name="states" normal="#FF0000" hover="#00FF00" pushdown="#0000FF" disable="#808080"/>
    <colorrect name="frame" normal="#00FF00" hover="#0000FF"/>
    <gradation name="grad" colorFrom="#212329" colorTo="#4afff9"/>
  </skin>
  <style><class name="boxed" layout="vbox" colorBkgnd="#0000FF" interval="3"/></style>
  <template><cell><window name="{{name}}" pos="{{x}},0" size="10,10"/></cell></template>
</uidef>)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static LOOM::test::InlineToolkit toolkit(kUiDef);
  LOOM::SXmlDoc doc;
  if (!doc.LoadBuffer(data, size)) return 0;
  LOOM::SXmlNode top = doc.Child();
  if (!top) return 0;

  platform::EmbeddedResource entries[] = {{u"LAYOUT", u"FUZZ", 2052, data, size}};
  HINSTANCE__ module{entries, 1};
  auto layouts = LOOM::SAutoRefPtr<LOOM::IResProvider>::Adopt(LOOM::NewResourceProvider(0));
  LOOM::OpenModuleSource(layouts.get(), &module);
  toolkit.app.ResProviders().AttachProvider(layouts.get());

  {
    auto host = LOOM::SAutoRefPtr<LOOM::test::TestContainer>::Adopt(new LOOM::test::TestContainer());
    host->LoadFromMarkup(top);
    host->Resize(toolkit.factory.get(), 320, 240);
    host->Repaint();
    for (auto [msg, x, y] : {std::tuple{WM_MOUSEMOVE, 40, 30}, {WM_LBUTTONDOWN, 40, 30}, {WM_MOUSEMOVE, 200, 100},
                             {WM_LBUTTONUP, 200, 100}, {WM_MOUSEMOVE, 10, 200}})
      host->RouteHostMessage(msg, 0, LOOM::test::MousePoint(x, y));
    host->RouteHostMessage(WM_KEYDOWN, VK_TAB, 0);
    host->RouteHostMessage(WM_MOUSELEAVE, 0, 0);
    host->Repaint();
    host->SendElementMessage(WM_DESTROY);
  }
  toolkit.app.ResProviders().DetachProvider(layouts.get());
  return 0;
}
