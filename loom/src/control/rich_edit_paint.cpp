// The edit element on screen: the text area and its insets, and the engine's drawing
// into the render target.
#include <algorithm>

#include "core/rect_util.h"
#include "core/rich_edit.h"
#include "core/text_host.h"
#include "platform/ui/monitor.h"

namespace LOOM {
namespace {

constexpr LONG kHimetricPerInch = 2540;

LONG ToHimetric(LONG pixels) {
  UINT dpi = platform::GetDpiForSystem();
  return static_cast<LONG>(static_cast<long long>(pixels) * kHimetricPerInch / (dpi > 0 ? dpi : 96));
}

}  // namespace

void SRichEdit::OnNcCalcSize() {
  const RECT client = ClientArea();
  const RECT padding = PaddingPixels();
  RECT inset = padding;
  // A plain single-line box sits in the middle of its height.
  if ((options_ & kOptVCenter) && !(options_ & kOptRich) && !(style_bits_ & ES_MULTILINE)) {
    const LONG middle = (RectHeight(client) - line_height_) / 2;
    inset.top = inset.bottom = middle;
  }
  extent_ = {ToHimetric(RectWidth(client)), ToHimetric(RectHeight(client))};
  inset_ = {ToHimetric(inset.left), ToHimetric(inset.top), ToHimetric(inset.right), ToHimetric(inset.bottom)};

  platform::ITextServices* services = TextServices();
  if (!services || !created_) return;
  const bool focused = IsFocused();
  if (focused) ActivateEngine(false);
  services->OnTxPropertyBitsChange(TXTBIT_CLIENTRECTCHANGE | TXTBIT_EXTENTCHANGE, 0);
  if (focused) ActivateEngine(true);
}

void SRichEdit::OnPaint(IRenderTarget* rt) {
  platform::ITextServices* services = TextServices();
  if (!rt || !services) return;
  const RECT client = ClientArea();
  rt->ClipPushRect(client);
  // The engine draws straight into the target's context, over the background already
  // painted. The back-end keeps every pixel's alpha while the context is lent: cairo
  // blends with it, GDI lends its context under the alpha guard of the clip.
  HDC dc = rt->LockDC(0);
  if (dc) {
    services->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr, &client, nullptr, nullptr, nullptr, 0,
                     TXTVIEW_ACTIVE);
  }
  rt->UnlockDC(dc);
  rt->ClipPop();
}

}  // namespace LOOM
