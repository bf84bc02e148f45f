// The tooltip a host window shows for the element under the mouse, and the factory the
// application makes tooltips with. The host registers its tooltip as a message filter
// of its loop, so the tooltip sees the mouse messages before they are dispatched.
#pragma once

#include <string_view>

#include "core/obj_ref.h"
#include "core/services.h"
#include "platform/base/win_types.h"

namespace LOOM {

// Which tip is shown; two tips are the same when both words are equal.
struct TipId {
  DWORD high = 0;
  DWORD low = 0;
  friend bool operator==(const TipId&, const TipId&) = default;
};

// Counted: the host holds one reference, the tooltip window another until it is gone.
struct IToolTip : IObjRef, IMessageFilter {
  // A new target: its identity, rectangle (host client coordinates), text ("\n", the
  // two characters, breaks a line) and scale in percent. The same identity again
  // changes nothing.
  virtual void SetTipTarget(const TipId& id, const RECT& rc, std::u16string_view text, int scale) = 0;
  // Forgets the target and hides the tip.
  virtual void DropTip() = 0;
  // Mouse moves within the rectangle show the tip after a delay; leaving it or
  // pressing a button hides it.
  virtual void TrackMouseMessage(const MSG& msg) = 0;

 protected:
  ~IToolTip() = default;
};

struct IToolTipFactory : IObjRef {
  // A tooltip for a host window with one reference, or nullptr when none can be made.
  virtual IToolTip* CreateToolTip(HWND host) = 0;
  // Destroys the tooltip's window; the caller still releases its reference.
  virtual void DestroyToolTip(IToolTip* tip) = 0;

 protected:
  ~IToolTipFactory() = default;
};

}  // namespace LOOM
