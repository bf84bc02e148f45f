// The container interface: what an element tree needs of the host it lives in. The
// dispatching part (capture, hover, focus, tree order, frame handlers, mouse trackers,
// routing of host messages) is SwndContainerImpl's; the host window supplies the
// rest (its native window, render targets, redraw, caret, tooltip, timers, loop).
#pragma once

#include <string>

#include "core/render.h"
#include "core/swnd_defs.h"
#include "platform/base/win_types.h"

namespace LOOM {

class EventArgs;
class CFocusManager;
struct IMessageLoop;

// Something that wants a call on every animation frame of its host.
struct ITimelineHandler {
  virtual void OnNextFrame() = 0;

 protected:
  ~ITimelineHandler() = default;
};

// Drag-and-drop target of an element (not used by this system's windows).
struct IDropTarget {
 protected:
  ~IDropTarget() = default;
};

// Modes of the render target an element paints into outside a repaint.
enum ElementPaintMode : UINT {
  kPaintScratch = 1,     // nothing copied in from the host or back
  kPaintBackground = 2,  // the elements beneath are painted in first, those above after
  kPaintCopy = 4,        // the host's picture is copied in and the result copied back
};

struct ISwndContainer {
  // Animation tick: every frame handler runs its next frame (nothing while the root
  // is invisible).
  virtual void FrameTick() = 0;
  virtual bool AddDropTarget(SWND swnd, IDropTarget* target) = 0;
  virtual void RemoveDropTarget(SWND swnd) = 0;
  // The end of every bubbling event: the host's event hook. True when handled.
  virtual bool EventReachedHost(EventArgs* args) = 0;
  // The native window, or nullptr.
  virtual HWND HostHandle() const = 0;
  // Used when an element has no "trCtx" of its own.
  virtual std::u16string HostTranslationContext() const = 0;
  virtual bool IsTranslucent() const = 0;
  virtual bool SendsWheelToHover() const = 0;
  // The root element's window rectangle (the host's client area).
  virtual RECT ContainerRect() const = 0;
  // A render target of rc's size with its origin moved to rc; unless the mode is
  // kPaintScratch the host's current picture of rc is copied in. One reference.
  virtual IRenderTarget* AcquireRenderTarget(const RECT& rc, UINT mode) = 0;
  // Unless the mode is kPaintScratch the target is copied back into the host's
  // picture at rc and onto the screen. Releases the target.
  virtual void ReleaseRenderTarget(IRenderTarget* rt, const RECT& rc, UINT mode) = 0;
  // The end of every invalidation: rc is repainted in the host's next repaint.
  virtual void InvalidateHostRect(const RECT& rc) = 0;
  // An element without background blending has areas to repaint by itself: the host
  // lists it (once) and calls its RepaintUpdateRegion in the next repaint. The host
  // window does this for message UM_UPDATESWND.
  virtual void QueueElementUpdate(SWND swnd) = 0;
  virtual SWND CapturedElement() const = 0;
  // Clears the capture; true.
  virtual bool ReleaseElementCapture() = 0;
  // The previous capture, or 0 and nothing when the element is disabled.
  virtual SWND CaptureElement(SWND swnd) = 0;
  virtual void FocusElement(SWND swnd) = 0;
  virtual SWND HoveredElement() const = 0;
  virtual SWND FocusedElement() const = 0;
  virtual bool CreateCaret(SWND owner, IBitmap* bitmap, int width, int height) = 0;
  virtual bool ShowCaret(bool show) = 0;
  virtual bool MoveCaret(POINT pt) = 0;
  // Brings the screen up to date at once (the platform's immediate update).
  virtual void UpdateNow() = 0;
  // The tooltip of the hover element changed.
  virtual void RefreshTip() = 0;
  virtual void ReservedHook() {}
  virtual CFocusManager* FocusManagerOf() = 0;
  virtual bool AddFrameHandler(ITimelineHandler* handler) = 0;
  virtual bool RemoveFrameHandler(ITimelineHandler* handler) = 0;
  // Elements that want hover and leave whenever the pointer crosses them
  // ("trackMouseEvent").
  virtual bool AddMouseTracker(SWND swnd) = 0;
  virtual bool RemoveMouseTracker(SWND swnd) = 0;
  virtual IMessageLoop* MessageLoop() = 0;
  virtual void MarkTreeOrderDirty() = 0;
  virtual void RenumberTree() = 0;
  // Always nullptr here: this system has no script module.
  virtual void* ScriptModule() { return nullptr; }
  // Percent; dimensions convert at this scale.
  virtual int Scale() const = 0;
  // Turns a host message (mouse, keys, focus, cursor) into element messages. The
  // handled flag is left for the host (IsMsgHandled).
  virtual LRESULT RouteHostMessage(UINT msg, WPARAM wp, LPARAM lp) = 0;

  // Host timers. Element timers are host timers whose ids carry bit 31, the element's
  // timer id in bits 24-30 and the low 24 bits of its handle (MakeElementTimerId).
  virtual bool SetHostTimer(UINT_PTR id, UINT elapse_ms) = 0;
  virtual void KillHostTimer(UINT_PTR id) = 0;

 protected:
  ~ISwndContainer() = default;
};

}  // namespace LOOM
