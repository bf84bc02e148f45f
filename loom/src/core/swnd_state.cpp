// State bits and their propagation (visibility, enabling), text and translation,
// scale and tint, events raised by the element, tooltips, cursors and timers.
#include "core/application.h"
#include "core/res_provider_mgr.h"
#include "core/swnd.h"
#include "core/timer2.h"
#include "platform/ui/input.h"

namespace LOOM {

// ---- state -----------------------------------------------------------------------------

DWORD SWindow::ChangeState(DWORD add, DWORD remove, bool update) {
  DWORD old_state = state_;
  DWORD new_state = add | (old_state & ~remove);
  BeforeStateChange(old_state, new_state);
  state_ = new_state;
  AfterStateChange(old_state, new_state);
  if (update && RepaintsOnStateChange()) MarkDirty();
  return old_state;
}

void SWindow::BeforeStateChange(DWORD, DWORD) {}

void SWindow::AfterStateChange(DWORD old_state, DWORD new_state) {
  EventSwndStateChanged evt(this, old_state, new_state);
  RaiseEvent(evt);
}

bool SWindow::RepaintsOnStateChange() const {
  if (bg_skin_ && !bg_skin_->IgnoresState()) return true;
  return style_.HasStateFontsOrColors();
}

void SWindow::ShowElement(bool visible, bool update) {
  if (update) MarkDirty();  // the old area, while it still shows
  SendElementMessage(WM_SHOWWINDOW, visible ? 1 : 0, kReasonOwn);
  if (update) MarkDirty();
}

void SWindow::EnableElement(bool enabled, bool update) {
  SendElementMessage(WM_ENABLE, enabled ? 1 : 0, kReasonOwn);
  if (update) MarkDirty();
}

void SWindow::RecomputeEnabledFromParent() { SendElementMessage(WM_ENABLE, 1, kReasonParent); }

bool SWindow::IsShown(bool check_parent) const {
  return check_parent ? (state_ & WndState_Invisible) == 0 : (own_flags_ & kOwnVisible) != 0;
}

bool SWindow::HasDisabledState(bool check_parent) const {
  return check_parent ? (state_ & WndState_Disable) != 0 : (own_flags_ & kOwnDisabled) != 0;
}

bool SWindow::IsFocused() const { return container_ && swnd_ && container_->FocusedElement() == swnd_; }

void SWindow::OnShowWindow(bool visible, LPARAM reason) {
  if (reason != kReasonParent) SetOwnFlag(kOwnVisible, visible);
  else if (visible && !(own_flags_ & kOwnVisible)) visible = false;
  if (visible && parent_ && (parent_->state_ & WndState_Invisible)) visible = false;
  if (visible) {
    LayoutIfDirty();
    state_ &= ~WndState_Invisible;
  } else {
    state_ |= WndState_Invisible;
  }
  for (SWindow* c = first_child_; c;) {
    SWindow* next = c->next_;
    c->SendElementMessage(WM_SHOWWINDOW, visible ? 1 : 0, kReasonParent);
    c = next;
  }
  if (!visible && container_) {
    if (IsFocused()) container_->FocusElement(0);
    if (container_->CapturedElement() == swnd_) container_->ReleaseElementCapture();
  }
  if (!(own_flags_ & kOwnDisplay) && parent_) parent_->AskRelayout(swnd_, true);
  EventSwndVisibleChanged evt(this);
  RaiseEvent(evt);
}

void SWindow::OnEnable(bool enabled, LPARAM reason) {
  if (reason != kReasonParent) SetOwnFlag(kOwnDisabled, !enabled);
  else if (enabled && (own_flags_ & kOwnDisabled)) enabled = false;
  if (enabled && parent_ && (parent_->state_ & WndState_Disable)) enabled = false;
  if (enabled) state_ &= ~WndState_Disable;
  else state_ = (state_ | WndState_Disable) & ~WndState_Hover;
  for (SWindow* c = first_child_; c;) {
    SWindow* next = c->next_;
    c->SendElementMessage(WM_ENABLE, enabled ? 1 : 0, kReasonParent);
    c = next;
  }
  if (!enabled && IsFocused()) container_->FocusElement(0);
}

// ---- text ------------------------------------------------------------------------------

std::u16string SWindow::GetElementText(bool raw) const { return raw ? text_.Source() : text_.Translated(); }

void SWindow::SetElementText(std::u16string_view text) {
  text_.SetText(text);
  ContentUpdated();
}

void SWindow::ContentUpdated() {
  if (IsShown()) MarkDirty();
  ILayoutParam* param = LayoutParams();
  if (param && param->IsWrapContent(LayoutAxis::Any)) {
    AskRelayout(swnd_, true);
    if (IsShown()) MarkDirty();
  } else if (param && param->IsMatchParent(LayoutAxis::Any) && parent_) {
    parent_->ContentUpdated();
  }
}

void SWindow::SetTipText(std::u16string_view text) {
  tip_.SetText(text);
  if (container_ && swnd_ && container_->HoveredElement() == swnd_) container_->RefreshTip();
}

void SWindow::TranslateOwnText() {
  text_.Translate();
  tip_.Translate();
}

void SWindow::LanguageSwitched() {
  TranslateOwnText();
  ILayoutParam* param = LayoutParams();
  if (param && param->IsWrapContent(LayoutAxis::Any)) AskRelayout(swnd_, true);
  else MarkDirty();
  for (SWindow* c = first_child_; c; c = c->next_) c->SendElementMessage(UM_SETLANGUAGE);
}

// ---- scale and tint --------------------------------------------------------------------

int SWindow::CurrentScale() const { return container_ ? container_->Scale() : 100; }

void SWindow::ScaleSwitched(int scale) {
  style_.SetScale(scale);
  if (!bg_skin_name_.empty()) ApplySkinByName(std::u16string(bg_skin_name_), false, scale);
  if (!nc_skin_name_.empty()) ApplySkinByName(std::u16string(nc_skin_name_), true, scale);
  layout_dirty_ = kLayoutDirty;
  for (SWindow* c = first_child_; c; c = c->next_) c->SendElementMessage(UM_SETSCALE, static_cast<WPARAM>(scale));
}

void SWindow::TintElement(COLORREF color) {
  colorize_ = color;
  if (bg_skin_) bg_skin_->Colorize(color);
  if (nc_skin_) nc_skin_->Colorize(color);
  MarkDirty();
  for (SWindow* c = first_child_; c; c = c->next_) c->SendElementMessage(UM_SETCOLORIZE, color);
}

// ---- events ----------------------------------------------------------------------------

bool SWindow::RaiseEvent(EventArgs& args) {
  SAutoRefPtr<SWindow> keep(this);  // a handler may delete the element
  if (events_.IsSilenced()) return false;
  events_.RaiseEvent(args);
  if (!args.bubble_up) return args.handled > 0;
  if (owner_) return owner_->RaiseEvent(args);
  if (container_) return container_->EventReachedHost(&args);
  return args.handled > 0;
}

bool SWindow::FireCommand() {
  EventCmd evt(this);
  return RaiseEvent(evt);
}

bool SWindow::FireCtxMenu(POINT pt) {
  EventCtxMenu evt(this, pt);
  RaiseEvent(evt);
  return evt.cancel;
}

// ---- groups, cursors, tooltips ---------------------------------------------------------

SWindow* SWindow::GroupSelection() {
  SWindow* first = parent_ ? parent_->first_child_ : this;
  for (SWindow* c = first; c; c = c->next_)
    if (c->InRadioGroup() && c->IsGroupSelection()) return c;
  return nullptr;
}

bool SWindow::ChooseCursor(POINT) {
  SApplication* app = SApplication::Instance();
  if (!app) return false;
  HCURSOR cursor = app->ResProviders().OpenCursor(style_.cursor, false);
  if (!cursor) return false;
  platform::SetCursor(cursor);
  return true;
}

bool SWindow::QueryTip(POINT, SwndToolTipInfo& info) {
  EventSwndUpdateTooltip evt(this);
  RaiseEvent(evt);
  std::u16string text = evt.updated ? evt.tooltip : tip_.Translated();
  if (text.empty()) return false;
  info.swnd = swnd_;
  info.rc_target = rc_window_;
  info.text = std::move(text);
  return true;
}

// ---- timers ----------------------------------------------------------------------------

bool SWindow::SetElementTimer(UINT timer_id, UINT elapse_ms) {
  if (timer_id > kMaxElementTimerId || !container_) return false;
  return container_->SetHostTimer(MakeElementTimerId(swnd_, timer_id), elapse_ms);
}

void SWindow::KillElementTimer(UINT timer_id) {
  if (timer_id > kMaxElementTimerId || !container_) return;
  container_->KillHostTimer(MakeElementTimerId(swnd_, timer_id));
}

bool SWindow::SetThreadTimer(UINT timer_id, UINT elapse_ms) {
  SApplication* app = SApplication::Instance();
  return app && app->Timer2().SetThreadTimer(swnd_, timer_id, elapse_ms);
}

void SWindow::KillThreadTimer(UINT timer_id) {
  if (SApplication* app = SApplication::Instance()) app->Timer2().KillThreadTimer(swnd_, timer_id);
}

}  // namespace LOOM
