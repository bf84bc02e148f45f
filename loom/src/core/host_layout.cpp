// Applying a layout to the host, and its size, frame and limits.
#include <algorithm>

#include "core/application.h"
#include "core/event_args.h"
#include "core/host_wnd.h"
#include "core/layout.h"
#include "core/res_provider_mgr.h"
#include "core/skin_pool.h"
#include "core/ui_def.h"
#include "platform/base/icon.h"
#include "platform/ui/monitor.h"
#include "platform/ui/paint.h"

namespace LOOM {

namespace {

constexpr DWORD kComputedResizable = WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

// Empties a private pool's place on the application's stack, loads it again from the
// layout's element and pushes it when it has entries. A fresh pool each time: the old
// one may still be referenced by skins or lookups in progress.
template <class Pool, class Mgr, class LoadFn>
void ReloadPool(SAutoRefPtr<Pool>& pool, bool& pushed, Mgr& mgr, const SXmlNode& node, LoadFn load) {
  if (pushed) mgr.Remove(pool.get());
  pushed = false;
  pool = SAutoRefPtr<Pool>::Adopt(new Pool());
  if (node) load(*pool, node);
  if (pool->Size() > 0) {
    mgr.Push(pool.get());
    pushed = true;
  }
}

}  // namespace

void SHostWnd::ReloadPrivatePools(const SXmlNode& loom) {
  SApplication* app = SApplication::Instance();
  if (!app) return;
  ReloadPool(style_pool_, style_pool_pushed_, app->StylePools(), loom.Child(u"style"),
             [](SStylePool& p, const SXmlNode& n) { p.Load(n); });
  ReloadPool(skin_pool_, skin_pool_pushed_, app->SkinPools(), loom.Child(u"skin"),
             [](SSkinPool& p, const SXmlNode& n) { p.LoadSkins(n); });
  ReloadPool(template_pool_, template_pool_pushed_, app->TemplatePools(), loom.Child(u"template"),
             [](STemplatePool& p, const SXmlNode& n) { p.Load(n); });
}

void SHostWnd::DropPrivatePools() {
  SApplication* app = SApplication::Instance();
  if (!app) return;
  if (style_pool_pushed_) app->StylePools().Remove(style_pool_.get());
  if (skin_pool_pushed_) app->SkinPools().Remove(skin_pool_.get());
  if (template_pool_pushed_) app->TemplatePools().Remove(template_pool_.get());
  style_pool_pushed_ = skin_pool_pushed_ = template_pool_pushed_ = false;
}

void SHostWnd::ApplyStyles() {
  DWORD style = WS_MINIMIZEBOX;
  DWORD ex_style = 0;
  if (attr_.resizable) style = kComputedResizable;
  if (attr_.app_wnd) {
    style |= WS_SYSMENU;
    ex_style |= WS_EX_APPWINDOW;
  } else if (attr_.tool_window) {
    ex_style |= WS_EX_TOOLWINDOW;
  }
  if (attr_.wnd_style != 0) style = attr_.wnd_style & ~WS_VISIBLE;
  if (attr_.wnd_style_ex != 0) ex_style = attr_.wnd_style_ex;
  else if (attr_.translucent) ex_style |= WS_EX_LAYERED;
  ModifyStyle(0, style);
  ModifyStyleEx(0, ex_style);
}

void SHostWnd::ApplyOpacity() {
  if (attr_.translucent) {
    ModifyStyleEx(0, WS_EX_LAYERED);
    CreateDummyWindow();
  } else if (attr_.wnd_style_ex & WS_EX_LAYERED) {
    platform::SetLayeredWindowAttributes(NativeHandle(), 0, attr_.alpha, LWA_ALPHA);
  } else if (attr_.alpha != 255) {
    ModifyStyleEx(0, WS_EX_LAYERED);
    platform::SetLayeredWindowAttributes(NativeHandle(), 0, attr_.alpha, LWA_ALPHA);
  }
}

void SHostWnd::ApplyIcons() {
  SApplication* app = SApplication::Instance();
  if (!app) return;
  auto set_icon = [&](const std::u16string& ref, UINT which) {
    if (ref.empty()) return;
    HICON icon = app->ResProviders().OpenIconByRef(ref);
    if (!icon) return;
    auto previous = reinterpret_cast<HICON>(SendWindowMessage(WM_SETICON, which, reinterpret_cast<LPARAM>(icon)));
    if (previous && previous != icon) platform::DestroyIcon(previous);
  };
  set_icon(attr_.small_icon, ICON_SMALL);
  set_icon(attr_.big_icon, ICON_BIG);
}

SIZE SHostWnd::ComputeSize(int width, int height) {
  const int scale = Scale();
  if (width == 0) {
    width = DimensionToPixels(attr_.width, scale);
    if (width <= 0) width = -1;
  } else {
    attr_.width = SLayoutSize{static_cast<float>(width), SizeUnit::px};
  }
  if (height == 0) {
    height = DimensionToPixels(attr_.height, scale);
    if (height <= 0) height = -1;
  } else {
    attr_.height = SLayoutSize{static_cast<float>(height), SizeUnit::px};
  }
  if (width <= 0 || height <= 0) {
    SIZE desired = PreferredSize(width, height);
    if (width < 0) width = std::max<LONG>(0, desired.cx);
    if (height < 0) height = std::max<LONG>(0, desired.cy);
    if (!follows_root_size_) {
      SubscribeEvent(EVT_SIZE, Subscriber(&SHostWnd::OnRootSizeChanged, this));
      follows_root_size_ = true;
    }
    // A side that follows the content cannot be dragged.
    if (attr_.width.value == SIZE_WRAP_CONTENT) attr_.margin[0] = attr_.margin[2] = SLayoutSize{};
    if (attr_.height.value == SIZE_WRAP_CONTENT) attr_.margin[1] = attr_.margin[3] = SLayoutSize{};
  }
  return SIZE{width, height};
}

bool SHostWnd::ApplyLayout(const SXmlNode& loom, int width, int height) {
  if (!loom || !CSimpleWnd::IsWindow()) return false;
  SApplication* app = SApplication::Instance();

  // No script module in this system: only the previous tree goes.
  SendElementMessage(WM_DESTROY);
  ReloadPrivatePools(loom);

  attr_.Reset();
  for (SXmlAttr a = loom.FirstAttribute(); a; a = a.Next()) attr_.Apply(a.Name(), a.Value());

  ApplyStyles();
  std::u16string title = app ? app->TranslateInContext(attr_.title, attr_.tr_ctx) : attr_.title;
  platform::SetWindowTextW(NativeHandle(), title.c_str());
  ApplyOpacity();
  ApplyIcons();

  LoadFromMarkup(loom.Child(u"root"));

  SIZE size = ComputeSize(width, height);
  platform::SetWindowPos(NativeHandle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  TakeRect(ClientRectOfHost());
  full_redraw_ = true;
  dirty_ = true;
  if (invalid_) invalid_->Clear();

  EventInit init(this);
  RaiseEvent(init);
  return true;
}

bool SHostWnd::OnRootSizeChanged(EventArgs*) {
  if (sizing_ || !CSimpleWnd::IsWindow()) return false;
  // The root's whole rectangle, margin included, is the window's client area.
  const RECT root = ElementArea();
  const RECT now = WindowRect();
  const LONG width = root.right - root.left, height = root.bottom - root.top;
  if (width == now.right - now.left && height == now.bottom - now.top) return false;
  platform::SetWindowPos(NativeHandle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return false;
}

RECT SHostWnd::ClientRectOfHost() const { return WindowClientRect(); }

void SHostWnd::OnWndSize(UINT type, int width, int height) {
  if (type == SIZE_MINIMIZED || width == 0 || height == 0) return;
  sizing_ = true;
  if (cache_) cache_->Resize(SIZE{width, height});
  TakeRect(RECT{0, 0, width, height});
  sizing_ = false;
  Redraw();
}

LRESULT SHostWnd::OnNcCalcSize(WPARAM calc_valid_rects, LPARAM lp) {
  // The client area is the whole window: the host has no platform frame or caption.
  if (!calc_valid_rects || !lp) return 0;
  auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lp);
  const WINDOWPOS* pos = params->lppos;
  if (!pos || (pos->flags & SWP_NOSIZE)) return 0;
  RECT old = WindowRect();
  if (WindowStyle() & WS_CHILD) {
    platform::MapWindowPoints(nullptr, platform::GetParent(NativeHandle()), reinterpret_cast<POINT*>(&old), 2);
  }
  POINT origin = (pos->flags & SWP_NOMOVE) ? POINT{old.left, old.top} : POINT{pos->x, pos->y};
  params->rgrc[0] = RECT{origin.x, origin.y, origin.x + pos->cx, origin.y + pos->cy};
  return 0;
}

LRESULT SHostWnd::OnNcHitTest(POINT screen_point) {
  if (!attr_.resizable || platform::IsZoomed(NativeHandle())) return HTCLIENT;
  POINT pt = screen_point;
  platform::ScreenToClient(NativeHandle(), &pt);
  const RECT client = WindowClientRect();
  const RECT m = attr_.MarginPixels(Scale());
  if (pt.x > client.right - m.right) {
    if (pt.y > client.bottom - m.bottom) return HTBOTTOMRIGHT;
    if (pt.y < m.top) return HTTOPRIGHT;
    return HTRIGHT;
  }
  if (pt.x < m.left) {
    if (pt.y > client.bottom - m.bottom) return HTBOTTOMLEFT;
    if (pt.y < m.top) return HTTOPLEFT;
    return HTLEFT;
  }
  if (pt.y > client.bottom - m.bottom) return HTBOTTOM;
  if (pt.y < m.top) return HTTOP;
  return HTCLIENT;
}

void SHostWnd::OnGetMinMaxInfo(MINMAXINFO* info) {
  if (!info) return;
  HMONITOR monitor = platform::MonitorFromWindow(NativeHandle(), MONITOR_DEFAULTTONULL);
  MONITORINFO mi{};
  if (!monitor || !platform::GetMonitorInfoW(monitor, &mi)) return;
  const RECT inset = attr_.MaxInsetPixels(Scale());
  const RECT& work = mi.rcWork;
  const RECT& whole = mi.rcMonitor;
  info->ptMaxPosition = POINT{std::abs(work.left - whole.left) - inset.left, std::abs(work.top - whole.top) - inset.top};
  info->ptMaxSize = POINT{work.right - work.left + inset.left + inset.right,
                          work.bottom - work.top + inset.top + inset.bottom};
  info->ptMaxTrackSize = info->ptMaxSize;
  const SIZE min_size = attr_.MinSizePixels(Scale());
  info->ptMinTrackSize = POINT{min_size.cx, min_size.cy};
}

}  // namespace LOOM
