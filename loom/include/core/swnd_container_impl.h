// SwndContainerImpl: the dispatching half of a host. It is the root element of its
// tree and turns the host's window messages into element messages: the element under
// the mouse, hover and leave, mouse capture, keyboard focus (CFocusManager), cursors,
// element timers and animation frames. The host window derives from it and supplies
// the host operations of ISwndContainer (native window, render targets, redraw,
// caret, tooltip, timers, message loop).
#pragma once

#include <vector>

#include "core/focus_manager.h"
#include "core/swnd.h"

namespace LOOM {

class SwndContainerImpl : public ISwndContainer, public SWindow {
  LOOM_CLASS_TAG(SwndContainerImpl, SWindow, u"SwndContainerImpl", u"window", ObjectKind::Window)

 public:
  SwndContainerImpl();
  ~SwndContainerImpl() override;

  // ---- the container's own operations ----------------------------------------------
  void FrameTick() override;
  bool AddDropTarget(SWND swnd, IDropTarget* target) override;
  void RemoveDropTarget(SWND swnd) override;
  SWND CapturedElement() const override { return capture_; }
  bool ReleaseElementCapture() override;
  SWND CaptureElement(SWND swnd) override;
  void FocusElement(SWND swnd) override;
  SWND HoveredElement() const override { return hover_; }
  SWND FocusedElement() const override { return focus_.FocusedElement(); }
  CFocusManager* FocusManagerOf() override { return &focus_; }
  bool AddFrameHandler(ITimelineHandler* handler) override;
  bool RemoveFrameHandler(ITimelineHandler* handler) override;
  bool AddMouseTracker(SWND swnd) override;
  bool RemoveMouseTracker(SWND swnd) override;
  void MarkTreeOrderDirty() override { tree_order_dirty_ = true; }
  void RenumberTree() override;
  LRESULT RouteHostMessage(UINT msg, WPARAM wp, LPARAM lp) override;

  // The handled flag of the message last routed.
  bool IsMsgHandled() const { return handled_; }
  void SetMsgHandled(bool handled) { handled_ = handled; }
  bool HoverInNonClient() const { return hover_in_nc_; }
  bool TreeOrderDirty() const { return tree_order_dirty_; }
  std::size_t FrameHandlerCount() const { return frame_handlers_.size(); }
  std::size_t MouseTrackerCount() const { return trackers_.size(); }

  // A host timer with bit 31 set: a missing element gets its timer killed (false);
  // the root's own ids are the host's (false); any other element receives WM_TIMER
  // with its own timer id (true).
  bool RouteElementTimer(UINT_PTR id);


 private:
  void OnMouseMoveMsg(WPARAM wp, LPARAM lp);
  void OnMouseLeaveMsg();
  LRESULT OnMouseButtonMsg(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnWheelMsg(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnKeyMsg(UINT msg, WPARAM wp, LPARAM lp);
  void OnSetCursorMsg(LPARAM lp);
  void SendHoverEnter(SWindow* element, WPARAM wp, LPARAM lp);
  void SendHoverLeave(SWindow* element, bool in_nc);
  void UpdateTrackers(POINT pt);
  void BroadcastDepthFirst(SWindow* element, UINT msg, WPARAM wp, LPARAM lp);

  SWND capture_ = 0;
  SWND hover_ = 0;
  bool hover_in_nc_ = false;
  bool handled_ = true;
  bool tree_order_dirty_ = true;
  CFocusManager focus_;
  std::vector<ITimelineHandler*> frame_handlers_;
  std::vector<SWND> trackers_;
};

}  // namespace LOOM
