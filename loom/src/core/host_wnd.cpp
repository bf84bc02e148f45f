// The host window: construction, creation, WM_CREATE and WM_DESTROY, the message map and
// the container operations that are plain answers.
#include "core/host_wnd.h"

#include "core/application.h"
#include "core/event_args.h"
#include "core/skin_pool.h"
#include "core/text_util.h"
#include "core/ui_def.h"
#include "core/xml.h"
#include "platform/base/icon.h"
#include "platform/ui/timer.h"

namespace LOOM {

namespace {

// The other mouse-button messages the host routes (WM_LBUTTONDOWN to WM_MBUTTONDBLCLK).
bool IsButtonMessage(UINT msg) { return msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK; }

// WM_KEYDOWN to WM_UNICHAR, the composition messages and WM_IME_CHAR.
bool IsKeyboardMessage(UINT msg) {
  return (msg >= WM_KEYDOWN && msg <= WM_UNICHAR) || (msg >= WM_IME_STARTCOMPOSITION && msg <= WM_IME_COMPOSITION) ||
         msg == WM_IME_CHAR;
}

constexpr UINT kCustomDrawCode = static_cast<UINT>(-12);

}  // namespace

SHostWnd::SHostWnd(std::u16string_view layout_name)
    : layout_name_(layout_name),
      style_pool_(SAutoRefPtr<SStylePool>::Adopt(new SStylePool())),
      skin_pool_(SAutoRefPtr<SSkinPool>::Adopt(new SSkinPool())),
      template_pool_(SAutoRefPtr<STemplatePool>::Adopt(new STemplatePool())) {
  EventTable().DeclareEvent(EVT_INIT, EventNameOf(EVT_INIT));
  EventTable().DeclareEvent(EVT_EXIT, EventNameOf(EVT_EXIT));
}

SHostWnd::~SHostWnd() {
  // Destroy the window while this object is still whole, so WM_DESTROY runs in full.
  if (CSimpleWnd::IsWindow()) DestroyWindow();
  DropPrivatePools();
  // A tree that never had a window still gets its destruction before the container
  // half of this object is gone.
  if (FirstChild()) SendElementMessage(WM_DESTROY);
}

HWND SHostWnd::Create(HWND owner, DWORD style, DWORD ex_style, int x, int y, int width, int height) {
  if (CSimpleWnd::IsWindow()) return NativeHandle();
  HWND hwnd = CSimpleWnd::Create(kWindowName, style, ex_style, x, y, width, height, owner);
  if (hwnd && (width == 0 || height == 0)) CenterWindow(owner);
  return hwnd;
}

HWND SHostWnd::Create(HWND owner, int x, int y, int width, int height) {
  return Create(owner, WS_CLIPCHILDREN | WS_MAXIMIZEBOX, 0, x, y, width, height);
}

int SHostWnd::OnWndCreate(const CREATESTRUCTW* create) {
  CreatePaintResources();
  if (SApplication* app = SApplication::Instance()) {
    if (IToolTipFactory* factory = app->ToolTipFactory()) {
      tooltip_ = SAutoRefPtr<IToolTip>::Adopt(factory->CreateToolTip(NativeHandle()));
      if (tooltip_) {
        if (IMessageLoop* loop = MessageLoop()) loop->AddMessageFilter(tooltip_.get());
      }
    }
    SetContainer(this);
    if (!layout_name_.empty()) {
      std::vector<std::u16string> parts = SplitFirst(layout_name_, u':');
      std::u16string type = parts.size() == 2 ? parts[0] : std::u16string(u"LAYOUT");
      std::u16string name = parts.size() == 2 ? parts[1] : parts[0];
      SXmlDoc doc;
      // A layout that does not load leaves an empty window; nothing is reported.
      if (app->LoadMarkupDocument(doc, name, type)) ApplyLayout(doc.Child(u"LOOM"), create->cx, create->cy);
    }
  }
  return 0;
}

void SHostWnd::OnWndDestroy() {
  EventExit exit(this);
  RaiseEvent(exit);
  SendElementMessage(WM_DESTROY);
  if (tooltip_) {
    if (IMessageLoop* loop = MessageLoop()) loop->RemoveMessageFilter(tooltip_.get());
    if (SApplication* app = SApplication::Instance(); app && app->ToolTipFactory())
      app->ToolTipFactory()->DestroyToolTip(tooltip_.get());
    tooltip_.reset();
  }
  DestroyDummyWindow();
  // The icons the layout set belong to the host.
  for (WPARAM which : {WPARAM{ICON_SMALL}, WPARAM{ICON_BIG}}) {
    if (auto icon = reinterpret_cast<HICON>(SendWindowMessage(WM_SETICON, which, 0))) platform::DestroyIcon(icon);
  }
  ReleasePaintResources();
  DropPrivatePools();
  tracking_mouse_ = false;
  click_ = {};

  const DWORD style = WindowStyle();
  const bool ends_loop =
      attr_.wnd_type == HostWndType::kAppMain ||
      (attr_.wnd_type == HostWndType::kUndefine && (style & (WS_POPUP | WS_CHILD)) == 0 &&
       (WindowExStyle() & WS_EX_TOOLWINDOW) == 0);
  if (ends_loop) platform::PostQuitMessage(1);
}

bool SHostWnd::OnHostEvent(EventArgs*) { return false; }

bool SHostWnd::EventReachedHost(EventArgs* args) { return OnHostEvent(args); }

IMessageLoop* SHostWnd::MessageLoop() {
  SApplication* app = SApplication::Instance();
  return app ? app->MainMessageLoop() : nullptr;
}

bool SHostWnd::SetHostTimer(UINT_PTR id, UINT elapse_ms) {
  return CSimpleWnd::IsWindow() && platform::SetTimer(NativeHandle(), id, elapse_ms, nullptr) != 0;
}

void SHostWnd::KillHostTimer(UINT_PTR id) {
  if (CSimpleWnd::IsWindow()) platform::KillTimer(NativeHandle(), id);
}

BOOL SHostWnd::ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) {
  if (map_id != 0) return FALSE;
  switch (msg) {
    case WM_SIZE:
      return RunHandler(result, [&] { OnWndSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp)); });
    case WM_PRINT: return RunHandler(result, [&] { OnPrint(reinterpret_cast<::HDC>(wp), lp); });
    case WM_PAINT: return RunHandler(result, [&] { OnPaintMessage(); });
    case WM_CREATE:
      return RunHandler(result, [&] { return OnWndCreate(reinterpret_cast<const CREATESTRUCTW*>(lp)); });
    case WM_DESTROY: return RunHandler(result, [&] { OnWndDestroy(); });
    case WM_ERASEBKGND: return RunHandler(result, [] { return 1; });
    case WM_MOUSELEAVE:
    case WM_MOUSEMOVE:
    case WM_MOUSEWHEEL: return RunHandler(result, [&] { return OnMouseMessage(msg, wp, lp); });
    case WM_ACTIVATE: return RunHandler(result, [&] { OnActivate(wp); });
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ACTIVATEAPP: return RunHandler(result, [&] { return RouteHostMessage(msg, wp, lp); });
    case WM_SETCURSOR: return RunHandler(result, [&] { return OnSetCursor(wp, lp); });
    case WM_TIMER: return RunHandler(result, [&] { OnTimer(wp); });
    case WM_NCACTIVATE: return RunHandler(result, [] { return TRUE; });
    case WM_NCCALCSIZE: return RunHandler(result, [&] { return OnNcCalcSize(wp, lp); });
    case WM_NCHITTEST:
      return RunHandler(result, [&] { return OnNcHitTest(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); });
    case WM_GETMINMAXINFO: return RunHandler(result, [&] { OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp)); });
    case WM_CAPTURECHANGED: return RunHandler(result, [&] { OnCaptureChanged(reinterpret_cast<HWND>(lp)); });
    case UM_UPDATESWND: return RunHandler(result, [&] { QueueElementUpdate(static_cast<SWND>(wp)); });
    case UM_SCRIPTTIMER: return RunHandler(result, [] {});  // no script module in this system
    case UM_MENUEVENT: return RunHandler(result, [&] { OnHostEvent(reinterpret_cast<EventArgs*>(lp)); });
    case WM_WINDOWPOSCHANGING: return RunHandler(result, [] {});
    case WM_GETOBJECT: return FALSE;
    case kMsgInspectorWindow:
    case kMsgRelatedElement:
    case kMsgDescribeElement:
    case kMsgElementAtPoint: return RunHandler(result, [&] { return OnInspection(msg, wp, lp); });
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (header && header->code == kCustomDrawCode) return ReflectNotifications(msg, wp, lp, result);
      return FALSE;
    }
    default: break;
  }
  if (IsButtonMessage(msg)) return RunHandler(result, [&] { return OnMouseMessage(msg, wp, lp); });
  if (IsKeyboardMessage(msg)) return RunHandler(result, [&] { return OnKeyMessage(msg, wp, lp); });
  return FALSE;
}

}  // namespace LOOM
