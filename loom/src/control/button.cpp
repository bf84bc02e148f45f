// Buttons: attributes, accelerators, press and release by keyboard, the hover fade and
// painting.
#include "core/button.h"

#include "core/accel_text.h"
#include "core/layout.h"
#include "core/skin_pool.h"
#include "core/text_util.h"

namespace LOOM {

namespace {

bool IsPressKey(WPARAM key) { return key == static_cast<WPARAM>(VK_SPACE) || key == static_cast<WPARAM>(VK_RETURN); }

POINT PointOf(LPARAM lp) { return {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

bool IsNormalHoverSwap(DWORD old_state, DWORD new_state) {
  return (old_state == WndState_Normal && new_state == WndState_Hover) ||
         (old_state == WndState_Hover && new_state == WndState_Normal);
}

}  // namespace

SButton::SButton() {
  SetBackgroundSkin(SystemSkinByIndex(kDefaultSkinIndex, 100));
  SetOwnFlag(kOwnFocusable, true);
}

SButton::~SButton() {
  // Normally done when the element is destroyed or leaves its container; a button
  // released without either must not stay in its host's tables.
  StopFade();
  UnregisterAccelerator();
}

// ---- attributes ------------------------------------------------------------------------

HRESULT SButton::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  HRESULT hr;
  if (EqualsNoCase(name, u"accel")) {
    SetAccelerator(ParseAcceleratorText(value));
    hr = S_FALSE;
  } else if (EqualsNoCase(name, u"animate")) {
    animate_ = IntOr0(value, true);
    hr = S_FALSE;
  } else if (EqualsNoCase(name, u"animateStep")) {
    fade_step_ = static_cast<BYTE>(IntOr0(value, true));
    hr = S_FALSE;
  } else if (EqualsNoCase(name, u"disableAccelIfInvisible")) {
    disable_accel_if_invisible_ = !(value == u"0" || EqualsNoCase(value, u"false"));
    hr = S_FALSE;
  } else {
    return SWindow::ApplyAttribute(name, value, loading);
  }
  return AttributeApplied(name, value, loading, hr);
}

// ---- accelerators ----------------------------------------------------------------------

void SButton::SetAccelerator(DWORD code) {
  UnregisterAccelerator();
  accel_ = code;
  RegisterAccelerator();
}

void SButton::RegisterAccelerator() {
  if (accel_ == 0 || !Container()) return;
  if (CFocusManager* focus = Container()->FocusManagerOf()) focus->AddAccelerator(AcceleratorOfCode(accel_), this);
}

void SButton::UnregisterAccelerator() {
  if (accel_ == 0 || !Container()) return;
  if (CFocusManager* focus = Container()->FocusManagerOf()) focus->RemoveAccelerator(AcceleratorOfCode(accel_), this);
}

bool SButton::OnAcceleratorPressed(const SAccelerator&) {
  if (HasDisabledState()) return false;
  if (disable_accel_if_invisible_ && !IsShown()) return false;
  FireCommand();
  return true;
}

void SButton::ContainerChanging(ISwndContainer* old_container, ISwndContainer* new_container) {
  StopFade();
  UnregisterAccelerator();
  SWindow::ContainerChanging(old_container, new_container);
}

void SButton::ContainerChanged(ISwndContainer* old_container, ISwndContainer* new_container) {
  SWindow::ContainerChanged(old_container, new_container);
  RegisterAccelerator();
}

// ---- the fade --------------------------------------------------------------------------

void SButton::AfterStateChange(DWORD old_state, DWORD new_state) {
  SWindow::AfterStateChange(old_state, new_state);
  StopFade();
  ISwndContainer* container = Container();
  if (!animate_ || !container || container->CapturedElement() == Handle()) return;
  if (!IsNormalHoverSwap(old_state, new_state)) return;
  fade_ = kFadeStart;
  fade_registered_ = container->AddFrameHandler(this);
  if (!fade_registered_) fade_ = kFadeIdle;
}

void SButton::OnNextFrame() {
  if (fade_ == kFadeIdle) return;
  // A step of 0 would never end the fade (and repaint every frame for ever): the
  // slowest fade is one step per frame.
  fade_ = static_cast<WORD>(fade_ + std::max<BYTE>(fade_step_, 1));
  if (fade_ > kFadeIdle - 1) StopFade();
  MarkDirty();
}

void SButton::StopFade() {
  if (fade_registered_ && Container()) Container()->RemoveFrameHandler(this);
  fade_registered_ = false;
  fade_ = kFadeIdle;
}

// ---- messages --------------------------------------------------------------------------

BOOL SButton::HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_KEYDOWN:
      if (!IsPressKey(wp)) break;
      ChangeState(WndState_PushDown, 0, true);
      result = 0;
      return TRUE;
    case WM_KEYUP:
      if (!IsPressKey(wp) || !(State() & WndState_PushDown)) break;
      ChangeState(0, WndState_PushDown, true);
      FireCommand();
      result = 0;
      return TRUE;
    case WM_LBUTTONDBLCLK:
      // A quick second click presses the button again.
      OnLButtonDown(static_cast<UINT>(wp), PointOf(lp));
      result = 0;
      return TRUE;
    default:
      break;
  }
  return SWindow::HandleElementMessage(msg, wp, lp, result);
}

int SButton::OnCreate() {
  int refused = SWindow::OnCreate();
  if (refused) return refused;
  // "Open(&O)" answers Alt+O.
  if (char16_t mark = AcceleratorMarkOf(GetElementText(true))) {
    std::u16string combination = u"alt+";
    combination.push_back(mark);
    if (DWORD code = ParseAcceleratorText(combination)) SetAccelerator(code);
  }
  return 0;
}

void SButton::OnDestroy() {
  UnregisterAccelerator();
  accel_ = 0;
  StopFade();
  SWindow::OnDestroy();
}

void SButton::OnSize(UINT type, SIZE size) {
  SWindow::OnSize(type, size);
  StopFade();
}

BOOL SButton::OnEraseBkgnd(IRenderTarget*) { return TRUE; }

void SButton::OnPaint(IRenderTarget* rt) {
  ISkinObj* skin = BackgroundSkin();
  if (!rt || !skin) return;
  PaintSkin(rt, skin, ClientArea());
  SWindow::OnPaint(rt);
}

void SButton::PaintSkin(IRenderTarget* rt, ISkinObj* skin, const RECT& rc) {
  if (fade_ == kFadeIdle) {
    // Not limited to the skin's cells: a three-cell skin has nothing to draw disabled.
    skin->DrawCell(rt, rc, PaintStateIndex(State()));
    return;
  }
  BYTE alpha = skin->Alpha();
  auto weighted = static_cast<BYTE>((alpha * fade_) >> 8);
  skin->DrawCellAlpha(rt, rc, 0, alpha);
  skin->DrawCellAlpha(rt, rc, 1, (State() & WndState_Hover) ? weighted : static_cast<BYTE>(alpha - weighted));
}

// ---- image buttons ---------------------------------------------------------------------

SImageButton::SImageButton() { SetOwnFlag(kOwnDrawFocusRect, false); }

SIZE SImageButton::PreferredSize(int width_hint, int height_hint) {
  SIZE size = SWindow::PreferredSize(width_hint, height_hint);
  ILayoutParam* param = LayoutParams();
  ISkinObj* skin = BackgroundSkin();
  if (!param || !skin) return size;
  SIZE cell = skin->CellSize();
  if (param->IsWrapContent(LayoutAxis::Horz)) size.cx = cell.cx;
  if (param->IsWrapContent(LayoutAxis::Vert)) size.cy = cell.cy;
  return size;
}

}  // namespace LOOM
