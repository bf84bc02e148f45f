#include "core/tip_ctrl.h"

#include <algorithm>

#include "core/application.h"
#include "core/render_refs.h"
#include "platform/ui/monitor.h"
#include "platform/ui/paint.h"
#include "platform/ui/timer.h"

namespace LOOM {

namespace {

constexpr DWORD kTipStyle = WS_POPUP | 0x3;  // always shown, no prefix processing
constexpr DWORD kTipExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
// The platform's tooltip background (COLOR_INFOBK) and the default pen and text colour.
constexpr COLORREF kInfoBackground = RGBA(255, 255, 225, 255);
constexpr COLORREF kOutline = RGBA(0, 0, 0, 255);
constexpr COLORREF kTextColor = RGBA(0, 0, 0, 255);
constexpr int kBaseFontHeight = -12;
constexpr int kTextInset = 5;
constexpr RECT kMeasureBox{0, 0, 500, 1000};

IRenderFactory* Factory() {
  SApplication* app = SApplication::Instance();
  return app ? app->RenderFactory() : nullptr;
}

// The two characters backslash and n stand for a line break in tip texts.
std::u16string WithLineBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'n') {
      out.push_back(u'\n');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool IsHidingButton(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return true;
    default:
      return false;
  }
}

}  // namespace

STipCtrl::STipCtrl(HWND host) : host_(host) { MakeFont(100); }

bool STipCtrl::CreateTipWindow() {
  return Create(u"loom tooltip", kTipStyle, kTipExStyle, 0, 0, 0, 0, nullptr) != nullptr;
}

void STipCtrl::OnFinalMessage(HWND) { Release(); }

void STipCtrl::MakeFont(int scale) {
  IRenderFactory* factory = Factory();
  if (!factory) return;
  SLogFont lf;
  lf.height = kBaseFontHeight * scale / 100;
  lf.weight = 400;
  lf.face = u"宋体";
  if (auto font = LOOM::MakeFont(factory, lf)) font_ = std::move(font);
  scale_ = scale;
}

BOOL STipCtrl::PreTranslateMessage(MSG* msg) {
  if (msg && IsWindow()) TrackMouseMessage(*msg);
  return FALSE;
}

void STipCtrl::SetTipTarget(const TipId& id, const RECT& rc, std::u16string_view text, int scale) {
  if (id == id_) return;
  id_ = id;
  target_ = rc;
  if (scale != scale_) MakeFont(scale);
  text_ = WithLineBreaks(text);
  if (IsWindow() && platform::IsWindowVisible(NativeHandle())) ShowTip();
}

void STipCtrl::DropTip() {
  id_ = TipId{};
  HideTip();
}

void STipCtrl::TrackMouseMessage(const MSG& msg) {
  if (msg.message == WM_MOUSEMOVE) {
    // Only the host's own mouse moves are in its coordinates.
    if (msg.hwnd != host_) return;
    POINT pt{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    const bool inside = pt.x >= target_.left && pt.x < target_.right && pt.y >= target_.top && pt.y < target_.bottom;
    if (!inside) {
      HideTip();
      return;
    }
    if (platform::IsWindowVisible(NativeHandle()) || text_.empty()) return;
    platform::SetTimer(NativeHandle(), kShowTimer, kShowDelayMs, nullptr);
    platform::ClientToScreen(host_, &pt);
    platform::SetWindowPos(NativeHandle(), nullptr, pt.x, pt.y + kPointerGap, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (IsHidingButton(msg.message)) {
    HideTip();
  }
}

SIZE STipCtrl::MeasureText() const {
  auto rt = MakeTarget(Factory(), 1, 1);
  if (!rt) return SIZE{};
  if (font_) rt->Select(font_.get());
  RECT rc = kMeasureBox;
  rt->TextDraw(text_, &rc, DT_WORDBREAK | DT_CALCRECT);
  return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void STipCtrl::ShowTip() {
  platform::KillTimer(NativeHandle(), kShowTimer);
  if (!text_.empty()) {
    SIZE text = MeasureText();
    RECT now = WindowRect();
    RECT rc{now.left, now.top, now.left + text.cx + 2 * kTextInset, now.top + text.cy + 2 * kTextInset};
    MONITORINFO info{};
    if (HMONITOR monitor = platform::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST);
        monitor && platform::GetMonitorInfoW(monitor, &info)) {
      if (rc.right > info.rcMonitor.right) {
        LONG excess = rc.right - info.rcMonitor.right;
        rc.left -= excess;
        rc.right -= excess;
      }
      if (rc.bottom > info.rcMonitor.bottom) {
        LONG excess = rc.bottom - info.rcMonitor.bottom;
        rc.top -= excess;
        rc.bottom -= excess;
      }
    }
    platform::SetWindowPos(NativeHandle(), HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                           SWP_SHOWWINDOW | SWP_NOACTIVATE);
    platform::InvalidateRect(NativeHandle(), nullptr, FALSE);
  }
  platform::SetTimer(NativeHandle(), kHideTimer, kHideDelayMs, nullptr);
}

void STipCtrl::HideTip() {
  if (IsWindow()) {
    platform::KillTimer(NativeHandle(), kShowTimer);
    platform::KillTimer(NativeHandle(), kHideTimer);
    platform::ShowWindow(NativeHandle(), SW_HIDE);
  }
  target_ = RECT{};
  text_.clear();
}

void STipCtrl::OnTimer(UINT_PTR id) {
  if (id == kShowTimer) {
    ShowTip();
  } else if (id == kHideTimer) {
    HideTip();
  }
}

void STipCtrl::OnPaint() {
  PAINTSTRUCT ps;
  ::HDC hdc = platform::BeginPaint(NativeHandle(), &ps);
  RECT client = WindowClientRect();
  auto rt = hdc && client.right > 0 && client.bottom > 0 ? MakeTarget(Factory(), client.right, client.bottom) : nullptr;
  if (rt) {
    rt->FillColorRect(client, kOutline);
    rt->FillColorRect(RECT{1, 1, client.right - 1, client.bottom - 1}, kInfoBackground);
    if (font_) rt->Select(font_.get());
    rt->SetTextColor(kTextColor);
    RECT text_rc{kTextInset, kTextInset, client.right - kTextInset, client.bottom - kTextInset};
    rt->TextDraw(text_, &text_rc, DT_WORDBREAK);
    if (auto* bitmap = static_cast<IBitmap*>(rt->CurrentObject(OT_BITMAP))) {
      platform::BlitToDC(hdc, 0, 0, client.right, client.bottom, static_cast<const std::uint32_t*>(bitmap->Bits()),
                         static_cast<int>(bitmap->Width()));
    }
  }
  platform::EndPaint(NativeHandle(), &ps);
}

BOOL STipCtrl::ProcessWindowMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT& result, DWORD map_id) {
  if (map_id != 0) return FALSE;
  switch (msg) {
    case WM_TIMER: return RunHandler(result, [&] { OnTimer(wp); });
    case WM_PAINT: return RunHandler(result, [&] { OnPaint(); });
    case WM_ERASEBKGND: return RunHandler(result, [] { return 1; });
    case WM_MOUSEACTIVATE: return RunHandler(result, [] { return MA_NOACTIVATE; });
    default: return FALSE;
  }
}

// ---- the factory -------------------------------------------------------------------------

IToolTip* SDefToolTipFactory::CreateToolTip(HWND host) {
  auto tip = SAutoRefPtr<STipCtrl>::Adopt(new STipCtrl(host));
  if (!tip->CreateTipWindow()) return nullptr;
  // The window holds a reference of its own until its final message.
  tip->AddRef();
  return tip.detach();
}

void SDefToolTipFactory::DestroyToolTip(IToolTip* tip) {
  if (auto* ctrl = dynamic_cast<STipCtrl*>(tip)) ctrl->DestroyWindow();
}

}  // namespace LOOM
