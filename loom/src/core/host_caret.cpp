// The caret of an edit control, drawn by the host into its cache by inverting the pixels
// under it: drawing it twice leaves the cache as it was, so erasing needs no saved pixels.
// A repaint erases it before painting the tree and draws it again afterwards.
#include "core/application.h"
#include "core/render_refs.h"
#include "core/host_wnd.h"
#include "core/rect_util.h"
#include "platform/ui/caret.h"

namespace LOOM {

SCaret::SCaret(SWND owner, IBitmap* bitmap, int width, int height)
    : owner_(owner), size_{std::max(0, width), std::max(0, height)} {
  SApplication* app = SApplication::Instance();
  image_ = app ? MakeTarget(app->RenderFactory(), size_.cx, size_.cy) : nullptr;
  if (!image_) return;
  RECT all{0, 0, size_.cx, size_.cy};
  if (bitmap) {
    RECT source{0, 0, static_cast<LONG>(bitmap->Width()), static_cast<LONG>(bitmap->Height())};
    image_->DrawImageExpanded(all, bitmap, source, EM_STRETCH, 255);
  } else {
    image_->FillColorRect(all, RGBA(0, 0, 0, 255));
  }
}

RECT SHostWnd::CaretArea() const {
  if (!caret_) return RECT{};
  SWindow* owner = ElementForHandle(caret_->Owner());
  if (!owner) return RECT{};
  RECT visible = owner->ClientArea();
  for (SWindow* up = owner->GetParent(); up; up = up->GetParent()) visible = RectIntersect(visible, up->ClientArea());
  SIZE size = caret_->Size();
  RECT caret{caret_pos_.x, caret_pos_.y, caret_pos_.x + size.cx, caret_pos_.y + size.cy};
  return RectIntersect(caret, visible);
}

void SHostWnd::ToggleCaret(bool invalidate) {
  if (!cache_) return;
  RECT area = CaretArea();
  if (RectIsEmpty(area)) return;
  cache_->InvertRect(area);
  if (!invalidate) return;
  if (attr_.translucent) {
    if (invalid_) invalid_->CombineRect(area, RGN_OR);
    InvalidateScreen(nullptr);
  } else if (CSimpleWnd::IsWindow()) {
    platform::InvalidateRect(NativeHandle(), &area, FALSE);
  }
}

bool SHostWnd::CreateCaret(SWND owner, IBitmap* bitmap, int width, int height) {
  if (!CSimpleWnd::IsWindow()) return false;
  // The old caret's pixels go before its image does.
  if (caret_drawn_) ToggleCaret(true);
  caret_drawn_ = false;
  // The platform's own caret only places the input method's window; the host draws.
  // It is a plain one: a toolkit bitmap is no bitmap handle of the platform's.
  platform::CreateCaret(NativeHandle(), nullptr, width, height);
  platform::HideCaret(NativeHandle());
  caret_ = SAutoRefPtr<SCaret>::Adopt(new SCaret(owner, bitmap, width, height));
  return true;
}

bool SHostWnd::ShowCaret(bool show) {
  if (!caret_) return false;
  caret_shown_ = show;
  const UINT_PTR timer = MakeElementTimerId(Handle(), kCaretTimer);
  if (show) {
    SetHostTimer(timer, platform::GetCaretBlinkTime());
    if (!caret_drawn_) {
      ToggleCaret(true);
      caret_drawn_ = true;
    }
  } else {
    KillHostTimer(timer);
    if (caret_drawn_) {
      ToggleCaret(true);
      caret_drawn_ = false;
    }
  }
  return true;
}

bool SHostWnd::MoveCaret(POINT pt) {
  platform::SetCaretPos(pt.x, pt.y);
  const bool redraw = caret_shown_ && caret_drawn_;
  if (redraw) ToggleCaret(true);
  caret_pos_ = pt;
  if (redraw) ToggleCaret(true);
  return true;
}

}  // namespace LOOM
