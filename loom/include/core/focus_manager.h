// Keyboard focus inside one element tree: the focused element, the focus kept while
// the host is inactive, Tab order, arrow keys in radio-like groups, accelerators.
#pragma once

#include <list>
#include <map>

#include "core/swnd_defs.h"

namespace LOOM {

class SWindow;

// Modifier bits of an accelerator.
inline constexpr WORD kAccelAlt = 1;
inline constexpr WORD kAccelCtrl = 2;
inline constexpr WORD kAccelShift = 4;

// A key code with a modifier set.
struct SAccelerator {
  WORD key = 0;
  WORD modifiers = 0;
  friend bool operator==(const SAccelerator&, const SAccelerator&) = default;
  friend bool operator<(const SAccelerator& a, const SAccelerator& b) {
    return a.key != b.key ? a.key < b.key : a.modifiers < b.modifiers;
  }
};

struct IAcceleratorTarget {
  // True when the target took the key.
  virtual bool OnAcceleratorPressed(const SAccelerator& accel) = 0;

 protected:
  ~IAcceleratorTarget() = default;
};

// Reasons of a focus change (the set-focus message carries it).
enum FocusReason : int { kFocusByCode = 0, kFocusByKeyboard = 1, kFocusByRestore = 2 };

// The stored focus when there is nothing to restore.
inline constexpr SWND kNoStoredFocus = static_cast<SWND>(-1);

class CFocusManager {
 public:
  explicit CFocusManager(SWindow* root) : root_(root) {}
  CFocusManager(const CFocusManager&) = delete;
  CFocusManager& operator=(const CFocusManager&) = delete;

  SWND FocusedElement() const { return focused_; }
  SWND StoredFocus() const { return stored_; }
  int LastReason() const { return reason_; }

  void MoveFocusTo(SWND swnd, int reason);
  // The host became inactive: the focus is stored and the element loses it.
  void StashFocus();
  // The host became active again: the stored element gets the focus back.
  void RecallFocus();
  // Tab, arrow keys and accelerators; true when the key was taken. The modifiers are
  // those held now, or the given set.
  bool HandleNavigationKey(UINT vk);
  bool HandleNavigationKey(UINT vk, WORD modifiers);

  void AddAccelerator(const SAccelerator& accel, IAcceleratorTarget* target);
  void RemoveAccelerator(const SAccelerator& accel, IAcceleratorTarget* target);
  void RemoveAcceleratorsOf(IAcceleratorTarget* target);
  // Offers an accelerator to its targets, most recently registered first.
  bool OfferAccelerator(const SAccelerator& accel);

  // Focus candidates: focusable, visible and enabled.
  static bool IsCandidate(const SWindow* element);

 private:
  void MoveByTab(SWindow* focused, bool backwards);
  void MoveInGroup(SWindow* focused, bool backwards);

  SWindow* root_;
  SWND focused_ = 0;
  SWND stored_ = kNoStoredFocus;
  bool moving_ = false;
  int reason_ = kFocusByCode;
  std::map<SAccelerator, std::list<IAcceleratorTarget*>> accelerators_;
};

// The modifier set of the keys held now (Ctrl, Alt, Shift).
WORD HeldModifiers();

}  // namespace LOOM
