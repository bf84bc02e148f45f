#include "core/focus_manager.h"

#include <algorithm>
#include <vector>

#include "core/swnd.h"
#include "platform/ui/input.h"

namespace LOOM {

namespace {

// Pre-order neighbours inside the tree of root.
SWindow* NextInPreOrder(SWindow* e, const SWindow* root) {
  if (e->FirstChild()) return e->FirstChild();
  for (; e && e != root; e = e->GetParent())
    if (e->NextSibling()) return e->NextSibling();
  return nullptr;
}

SWindow* LastInPreOrder(SWindow* e) {
  while (e->LastChild()) e = e->LastChild();
  return e;
}

SWindow* PrevInPreOrder(SWindow* e, const SWindow* root) {
  if (e == root) return nullptr;
  if (SWindow* prev = e->PrevSibling()) return LastInPreOrder(prev);
  return e->GetParent();
}

bool IsGroupCandidate(const SWindow* e) { return e->InRadioGroup() && e->IsShown() && !e->HasDisabledState(); }

}  // namespace

WORD HeldModifiers() {
  WORD mods = 0;
  if (platform::GetKeyState(VK_MENU) < 0) mods |= kAccelAlt;
  if (platform::GetKeyState(VK_CONTROL) < 0) mods |= kAccelCtrl;
  if (platform::GetKeyState(VK_SHIFT) < 0) mods |= kAccelShift;
  return mods;
}

bool CFocusManager::IsCandidate(const SWindow* element) {
  return element && element->AcceptsFocus() && element->IsShown() && !element->HasDisabledState();
}

void CFocusManager::MoveFocusTo(SWND swnd, int reason) {
  if (swnd == focused_) {
    if (swnd == 0 && stored_ != kNoStoredFocus) stored_ = kNoStoredFocus;
    return;
  }
  if (stored_ != kNoStoredFocus) {
    stored_ = swnd;  // the host is inactive: remember what to focus when it comes back
    return;
  }
  if (moving_) return;
  moving_ = true;
  SWND old = focused_;
  focused_ = 0;
  if (SWindow* old_element = ElementForHandle(old)) old_element->SendElementMessage(WM_KILLFOCUS, swnd);
  SWindow* element = ElementForHandle(swnd);
  if (element && !element->HasDisabledState() && element->AcceptsFocus()) {
    focused_ = swnd;
    reason_ = reason;
    element->SendElementMessage(WM_SETFOCUS, old, reason);
  }
  moving_ = false;
}

void CFocusManager::StashFocus() {
  SWindow* element = ElementForHandle(focused_);
  if (element && !element->IsDescendantOf(root_)) element = nullptr;
  // Nothing focused: a focus stored earlier stays stored.
  if (!element) {
    focused_ = 0;
    return;
  }
  stored_ = focused_;
  focused_ = 0;
  element->SendElementMessage(WM_KILLFOCUS, 0);
}

void CFocusManager::RecallFocus() {
  SWND stored = stored_;
  if (stored == kNoStoredFocus) return;
  stored_ = kNoStoredFocus;
  SWindow* element = ElementForHandle(stored);
  if (!element || element->HasDisabledState() || !element->IsShown() || !element->IsDescendantOf(root_)) return;
  focused_ = stored;
  reason_ = kFocusByRestore;
  element->SendElementMessage(WM_SETFOCUS, 0, kFocusByRestore);
}

bool CFocusManager::HandleNavigationKey(UINT vk) { return HandleNavigationKey(vk, HeldModifiers()); }

bool CFocusManager::HandleNavigationKey(UINT vk, WORD modifiers) {
  SWindow* focused = ElementForHandle(focused_);
  if (focused && !focused->IsDescendantOf(root_)) focused = nullptr;
  if (vk == static_cast<UINT>(VK_TAB) && !(modifiers & kAccelCtrl) &&
      !(focused && (focused->KeyWants() & SC_WANTTAB))) {
    MoveByTab(focused, (modifiers & kAccelShift) != 0);
    return true;
  }
  if (focused && focused->InRadioGroup()) {
    if (vk == static_cast<UINT>(VK_LEFT) || vk == static_cast<UINT>(VK_UP)) {
      MoveInGroup(focused, true);
      return true;
    }
    if (vk == static_cast<UINT>(VK_RIGHT) || vk == static_cast<UINT>(VK_DOWN)) {
      MoveInGroup(focused, false);
      return true;
    }
  }
  return OfferAccelerator({static_cast<WORD>(vk), modifiers});
}

void CFocusManager::MoveByTab(SWindow* focused, bool backwards) {
  SWindow* start = focused;
  auto step = [&](SWindow* e) { return backwards ? PrevInPreOrder(e, root_) : NextInPreOrder(e, root_); };
  SWindow* first = backwards ? LastInPreOrder(root_) : root_;
  SWindow* e = start ? step(start) : first;
  bool wrapped = false;
  for (;;) {
    if (!e) {
      if (wrapped) return;
      wrapped = true;
      e = first;
    }
    if (e == start) return;
    // A radio-like group is one stop: the rest of the focused element's group is passed.
    bool same_group = start && start->InRadioGroup() && e->InRadioGroup() && e->GetParent() == start->GetParent();
    if (!same_group && IsCandidate(e)) {
      SWindow* target = e;
      if (e->InRadioGroup())
        if (SWindow* selected = e->GroupSelection(); selected && IsCandidate(selected)) target = selected;
      MoveFocusTo(target->Handle(), kFocusByKeyboard);
      return;
    }
    e = step(e);
  }
}

void CFocusManager::MoveInGroup(SWindow* focused, bool backwards) {
  SWindow* parent = focused->GetParent();
  if (!parent) return;
  auto step = [&](SWindow* e) {
    SWindow* n = backwards ? e->PrevSibling() : e->NextSibling();
    return n ? n : (backwards ? parent->LastChild() : parent->FirstChild());
  };
  for (SWindow* e = step(focused); e && e != focused; e = step(e)) {
    if (IsGroupCandidate(e)) {
      MoveFocusTo(e->Handle(), kFocusByKeyboard);
      return;
    }
  }
}

void CFocusManager::AddAccelerator(const SAccelerator& accel, IAcceleratorTarget* target) {
  if (target) accelerators_[accel].push_front(target);
}

void CFocusManager::RemoveAccelerator(const SAccelerator& accel, IAcceleratorTarget* target) {
  auto it = accelerators_.find(accel);
  if (it == accelerators_.end()) return;
  auto& targets = it->second;
  if (auto t = std::find(targets.begin(), targets.end(), target); t != targets.end()) targets.erase(t);
  if (targets.empty()) accelerators_.erase(it);
}

void CFocusManager::RemoveAcceleratorsOf(IAcceleratorTarget* target) {
  for (auto it = accelerators_.begin(); it != accelerators_.end();) {
    it->second.remove(target);
    it = it->second.empty() ? accelerators_.erase(it) : std::next(it);
  }
}

bool CFocusManager::OfferAccelerator(const SAccelerator& accel) {
  auto it = accelerators_.find(accel);
  if (it == accelerators_.end()) return false;
  // A copy: a target may unregister itself (or others) while it handles the key.
  std::vector<IAcceleratorTarget*> targets(it->second.begin(), it->second.end());
  for (IAcceleratorTarget* t : targets) {
    auto now = accelerators_.find(accel);
    if (now == accelerators_.end()) return false;
    if (std::find(now->second.begin(), now->second.end(), t) == now->second.end()) continue;
    if (t->OnAcceleratorPressed(accel)) return true;
  }
  return false;
}

}  // namespace LOOM
