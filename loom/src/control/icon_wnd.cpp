// The icon element: loading by reference, painting and its desired size.
#include "core/icon_wnd.h"

#include "core/application.h"
#include "core/layout.h"
#include "core/rect_util.h"
#include "core/res_provider_mgr.h"
#include "core/text_util.h"

namespace LOOM {

namespace {

// "name:size" splits into both; any other text is all name, at the platform's default
// size (0).
std::pair<std::u16string, int> SplitIconReference(std::u16string_view reference) {
  std::vector<std::u16string> parts = Split(reference, u':');
  if (parts.size() != 2) return {std::u16string(reference), 0};
  return {parts[0], IntOr0(parts[1], false)};
}

}  // namespace

SIconWnd::~SIconWnd() { SetIcon(nullptr); }

void SIconWnd::SetIcon(HICON icon) {
  if (icon_ == icon) return;
  if (icon_) platform::DestroyIcon(icon_);
  icon_ = icon;
}

bool SIconWnd::LoadIconReference(std::u16string_view reference) {
  SetIcon(nullptr);
  SApplication* app = SApplication::Instance();
  if (!app || reference.empty()) return false;
  auto [name, size] = SplitIconReference(reference);
  // Negative sizes name no icon; the loader refuses sizes it cannot hold.
  if (size < 0) return false;
  SetIcon(app->ResProviders().OpenIcon(name, size, size, false));
  return icon_ != nullptr;
}

HRESULT SIconWnd::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"src")) {
    LoadIconReference(value);
    return AttributeApplied(name, value, loading, S_OK);
  }
  return SWindow::ApplyAttribute(name, value, loading);
}

void SIconWnd::OnPaint(IRenderTarget* rt) {
  if (!rt || !icon_) return;
  RECT rc = ClientArea();
  if (RectIsEmpty(rc)) return;  // a size of 0 would draw the icon at its own size
  rt->DrawIconImage(rc.left, rc.top, icon_, RectWidth(rc), RectHeight(rc), kDrawIconNormal);
}

SIZE SIconWnd::PreferredSize(int width_hint, int height_hint) {
  SIZE size = SWindow::PreferredSize(width_hint, height_hint);
  ILayoutParam* param = LayoutParams();
  if (!param) return size;
  const platform::IconImage* image = platform::GetIconImage(icon_);
  SIZE icon_size = image ? SIZE{image->width, image->height} : SIZE{0, 0};
  if (param->IsWrapContent(LayoutAxis::Horz)) size.cx = icon_size.cx;
  if (param->IsWrapContent(LayoutAxis::Vert)) size.cy = icon_size.cy;
  return size;
}

}  // namespace LOOM
