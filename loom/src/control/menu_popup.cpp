// The pop-up menu: its items from markup, its geometry, drawing with the system menu
// skins, and the loop that runs while it is shown.
#include "core/menu_popup.h"

#include <algorithm>

#include "core/application.h"
#include "core/font_pool.h"
#include "core/rect_util.h"
#include "core/render_refs.h"
#include "core/skin_pool.h"
#include "core/text_util.h"
#include "platform/ui/input.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/monitor.h"
#include "platform/ui/paint.h"

namespace LOOM {
namespace {

constexpr int kBorder = 2;
constexpr int kRightPadding = 16;
constexpr int kDefaultIconSide = 16;
constexpr COLORREF kTextColor = RGBA(0, 0, 0, 255);
constexpr COLORREF kGreyColor = RGBA(160, 160, 160, 255);
constexpr COLORREF kBackColor = RGBA(255, 255, 255, 255);

ISkinObj* MenuSkin(std::u16string_view name) {
  SApplication* app = SApplication::Instance();
  return app && !name.empty() ? app->SkinPools().GetSkin(name, 100) : nullptr;
}

int AttrInt(const SXmlNode& node, std::u16string_view name, int fallback, int low, int high) {
  SXmlAttr attr = node.Attribute(name);
  if (!attr) return fallback;
  return std::clamp(IntOr0(attr.Value(), true), low, high);
}

}  // namespace

SMenuPopup::SMenuPopup() = default;

SMenuPopup::~SMenuPopup() {
  if (IsWindow()) DestroyWindow();
}

bool SMenuPopup::Load(const SXmlNode& menu) {
  if (!menu) return false;
  items_.clear();
  measured_ = false;
  hot_ = -1;
  SApplication* app = SApplication::Instance();
  tr_ctx_ = menu.Attribute(u"trCtx") ? menu.Attribute(u"trCtx").Value() : std::u16string();
  icon_skin_ = menu.Attribute(u"iconSkin") ? MenuSkin(menu.Attribute(u"iconSkin").Value()) : nullptr;
  item_height_ = AttrInt(menu, u"itemHeight", 26, 8, 200);
  icon_margin_ = AttrInt(menu, u"iconMargin", 4, 0, 100);
  text_margin_ = AttrInt(menu, u"textMargin", 8, 0, 100);
  for (SXmlNode child = menu.Child(); child; child = child.NextSiblingElement()) {
    SMenuItem item;
    if (EqualsNoCase(child.Name(), u"sep")) {
      item.separator = true;
    } else if (EqualsNoCase(child.Name(), u"item")) {
      item.id = child.Attribute(u"id").AsUint(0);
      item.icon = child.Attribute(u"icon") ? child.Attribute(u"icon").AsInt(-1) : -1;
      std::u16string text = child.Text();
      item.text = app ? app->TranslateInContext(text, tr_ctx_) : text;
      item.disabled = child.Attribute(u"disable").AsBool(false);
    } else {
      continue;
    }
    items_.push_back(std::move(item));
  }
  return true;
}

void SMenuPopup::EnableItem(UINT id, bool enabled) {
  for (SMenuItem& item : items_) {
    if (!item.separator && item.id == id) item.disabled = !enabled;
  }
  if (hot_ >= 0 && items_[static_cast<std::size_t>(hot_)].disabled) SetHot(-1);
}

bool SMenuPopup::IsItemEnabled(UINT id) const {
  for (const SMenuItem& item : items_) {
    if (!item.separator && item.id == id) return !item.disabled;
  }
  return false;
}

// ---- geometry ---------------------------------------------------------------------------

IFont* SMenuPopup::MenuFont() const {
  SApplication* app = SApplication::Instance();
  return app ? app->FontPool().FontForDescription(u"", 100) : nullptr;
}

int SMenuPopup::SeparatorHeight() const {
  ISkinObj* sep = MenuSkin(u"_skin.sys.menu.sep");
  const int line = sep ? std::max<LONG>(1, sep->CellSize().cy) : 1;
  return line + 6;
}

void SMenuPopup::Measure() {
  if (measured_) return;
  SApplication* app = SApplication::Instance();
  int widest = 0;
  if (auto rt = MakeTarget(app ? app->RenderFactory() : nullptr, 1, 1)) {
    if (IFont* font = MenuFont()) rt->Select(font);
    for (const SMenuItem& item : items_) {
      SIZE extent{};
      if (!item.separator) rt->TextExtent(item.text, &extent);
      widest = std::max<int>(widest, extent.cx);
    }
  }
  const int icon_side = icon_skin_ ? static_cast<int>(icon_skin_->CellSize().cx) : kDefaultIconSide;
  int height = 2 * kBorder;
  for (const SMenuItem& item : items_) height += item.separator ? SeparatorHeight() : item_height_;
  const int width = 2 * kBorder + icon_side + 2 * icon_margin_ + 2 * text_margin_ + widest + kRightPadding;
  size_ = {std::min(width, 4096), std::min(height, 8192)};
  measured_ = true;
}

SIZE SMenuPopup::MenuSize() {
  Measure();
  return size_;
}

RECT SMenuPopup::ItemRect(int index) {
  Measure();
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  int y = kBorder;
  for (int i = 0; i < index; ++i) y += items_[static_cast<std::size_t>(i)].separator ? SeparatorHeight() : item_height_;
  const int height = items_[static_cast<std::size_t>(index)].separator ? SeparatorHeight() : item_height_;
  return {kBorder, y, size_.cx - kBorder, y + height};
}

int SMenuPopup::ItemAt(POINT pt) {
  for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
    const SMenuItem& item = items_[static_cast<std::size_t>(i)];
    if (!item.separator && !item.disabled && RectContains(ItemRect(i), pt)) return i;
  }
  return -1;
}

// ---- drawing -----------------------------------------------------------------------------

void SMenuPopup::Paint(IRenderTarget* rt) {
  Measure();
  const RECT all{0, 0, size_.cx, size_.cy};
  rt->FillColorRect(all, kBackColor);
  if (ISkinObj* border = MenuSkin(u"_skin.sys.menu.border")) border->DrawCell(rt, all, 0);
  ISkinObj* back = MenuSkin(u"_skin.sys.menu.skin");
  ISkinObj* sep = MenuSkin(u"_skin.sys.menu.sep");
  if (IFont* font = MenuFont()) rt->Select(font);
  const int icon_side = icon_skin_ ? static_cast<int>(icon_skin_->CellSize().cx) : kDefaultIconSide;
  for (int i = 0; i < static_cast<int>(items_.size()); ++i) {
    const SMenuItem& item = items_[static_cast<std::size_t>(i)];
    const RECT rc = ItemRect(i);
    if (item.separator) {
      const int mid = (rc.top + rc.bottom) / 2;
      const RECT line{rc.left + icon_side + 2 * icon_margin_, mid - 1, rc.right, mid + 1};
      if (sep) {
        sep->DrawCell(rt, line, 0);
      } else {
        rt->FillColorRect(line, kGreyColor);
      }
      continue;
    }
    if (back) back->DrawCell(rt, rc, i == hot_ && back->StateCount() > 1 ? 1 : 0);
    if (icon_skin_ && item.icon >= 0 && item.icon < icon_skin_->StateCount()) {
      const SIZE cell = icon_skin_->CellSize();
      const LONG top = rc.top + (RectHeight(rc) - cell.cy) / 2;
      const RECT icon{rc.left + icon_margin_, top, rc.left + icon_margin_ + cell.cx, top + cell.cy};
      icon_skin_->DrawCellAlpha(rt, icon, item.icon, item.disabled ? 96 : 255);
    }
    RECT text{rc.left + icon_side + 2 * icon_margin_ + text_margin_, rc.top, rc.right - text_margin_, rc.bottom};
    rt->SetTextColor(item.disabled ? kGreyColor : kTextColor);
    rt->TextDraw(item.text, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }
}

void SMenuPopup::OnPaint() {
  PAINTSTRUCT ps;
  ::HDC dc = platform::BeginPaint(NativeHandle(), &ps);
  SApplication* app = SApplication::Instance();
  const SIZE size = MenuSize();
  if (auto rt = dc && app ? MakeTarget(app->RenderFactory(), size.cx, size.cy) : nullptr) {
    Paint(rt.get());
    if (auto* bitmap = static_cast<IBitmap*>(rt->CurrentObject(OT_BITMAP))) {
      platform::BlitToDC(dc, 0, 0, size.cx, size.cy, static_cast<const std::uint32_t*>(bitmap->Bits()), size.cx);
    }
  }
  platform::EndPaint(NativeHandle(), &ps);
}

// ---- running -----------------------------------------------------------------------------

void SMenuPopup::SetHot(int index) {
  if (index == hot_) return;
  hot_ = index;
  if (IsWindow()) platform::InvalidateRect(NativeHandle(), nullptr, FALSE);
}

void SMenuPopup::MoveHot(int step) {
  const int count = static_cast<int>(items_.size());
  int at = hot_;
  for (int tries = 0; tries < count; ++tries) {
    at = at < 0 ? (step > 0 ? 0 : count - 1) : (at + step + count) % count;
    const SMenuItem& item = items_[static_cast<std::size_t>(at)];
    if (!item.separator && !item.disabled) {
      SetHot(at);
      return;
    }
  }
}

void SMenuPopup::Choose(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  const SMenuItem& item = items_[static_cast<std::size_t>(index)];
  if (item.separator || item.disabled) return;
  chosen_ = item.id;
  done_ = true;
}

void SMenuPopup::Dismiss() {
  chosen_ = 0;
  done_ = true;
}

bool SMenuPopup::OnKey(const MSG& msg) {
  switch (msg.message) {
    case WM_KEYDOWN:
      switch (static_cast<int>(msg.wParam)) {
        case VK_UP: MoveHot(-1); break;
        case VK_DOWN: MoveHot(1); break;
        case VK_HOME: hot_ = -1; MoveHot(1); break;
        case VK_END: hot_ = -1; MoveHot(-1); break;
        case VK_RETURN:
        case VK_SPACE: Choose(hot_); break;
        case VK_ESCAPE: Dismiss(); break;
        default: break;
      }
      return true;
    case WM_SYSKEYDOWN:
      Dismiss();
      return true;
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
      return true;
    default:
      return false;
  }
}

UINT SMenuPopup::Track(POINT screen, HWND owner) {
  if (items_.empty() || IsWindow()) return 0;
  const SIZE size = MenuSize();
  // Keep the menu on the work area: flip it to the other side of the point if needed.
  MONITORINFO info;
  if (platform::GetMonitorInfoW(platform::MonitorFromPoint(screen, MONITOR_DEFAULTTONEAREST), &info)) {
    const RECT work = info.rcWork;
    if (screen.x + size.cx > work.right) screen.x = std::max(work.left, screen.x - size.cx);
    if (screen.y + size.cy > work.bottom) screen.y = std::max(work.top, screen.y - size.cy);
  }
  if (!Create(u"loom menu", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, screen.x, screen.y,
              size.cx, size.cy, owner)) {
    return 0;
  }
  ShowWindow(SW_SHOWNOACTIVATE);
  platform::SetCapture(NativeHandle());
  const HWND active = platform::GetActiveWindow();
  done_ = false;
  chosen_ = 0;
  hot_ = -1;
  MSG msg;
  while (!done_) {
    if (!platform::GetMessageW(&msg, nullptr, 0, 0)) {
      // A quit request ends the menu and goes on to the enclosing loop.
      platform::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (OnKey(msg)) continue;
    platform::TranslateMessage(&msg);
    platform::DispatchMessageW(&msg);
    if (!IsWindow() || platform::GetActiveWindow() != active) break;
  }
  if (IsWindow() && platform::GetCapture() == NativeHandle()) platform::ReleaseCapture();
  if (IsWindow()) DestroyWindow();
  return done_ ? chosen_ : 0;
}

BOOL SMenuPopup::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) {
  if (map_id != 0) return FALSE;
  const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  const RECT all{0, 0, size_.cx, size_.cy};
  switch (msg) {
    case WM_PAINT:
      return RunHandler(result, [&] { OnPaint(); });
    case WM_ERASEBKGND:
      result = 1;
      return TRUE;
    case WM_MOUSEACTIVATE:
      result = MA_NOACTIVATE;
      return TRUE;
    case WM_MOUSEMOVE:
      return RunHandler(result, [&] {
        if (RectContains(all, pt)) SetHot(ItemAt(pt));
      });
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      return RunHandler(result, [&] {
        if (!RectContains(all, pt)) Dismiss();
      });
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      return RunHandler(result, [&] {
        if (RectContains(all, pt)) Choose(ItemAt(pt));
      });
    case WM_CAPTURECHANGED:
      return RunHandler(result, [&] {
        if (reinterpret_cast<HWND>(lp) != hwnd && !done_) Dismiss();
      });
    default:
      return CSimpleWnd::ProcessWindowMessage(hwnd, msg, wp, lp, result, map_id);
  }
}

}  // namespace LOOM
