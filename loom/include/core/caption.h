// SCaption ("caption"): the title strip of a host window. Pressing the left button on
// it moves the whole window with the pointer (the platform's move loop, through the
// system command move-by-caption); a double click maximises or restores a window that
// is resizable and has a maximise box. A caption never raises a command.
#pragma once

#include "core/swnd.h"

namespace LOOM {

class SCaption : public SWindow {
  LOOM_CLASS_TAG(SCaption, SWindow, u"caption", u"window", ObjectKind::Window)

 public:
  // System commands "by caption": the low bits carry the hit-test code of a caption.
  static constexpr UINT kMoveByCaption = 0xF012;
  static constexpr UINT kMaximizeByCaption = 0xF032;
  static constexpr UINT kRestoreByCaption = 0xF122;

  BOOL HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  bool DragPending() const { return drag_pending_; }

 protected:
  // Whether a maximised window may be dragged: only where the platform restores it on
  // the way (workstation release 6).
  virtual bool DragsMaximisedWindow() const;

  void CaptionButtonDown(WPARAM flags, LPARAM point);
  void CaptionMouseMove(WPARAM flags);
  void CaptionDoubleClick();

 private:
  HWND HostWindow() const;
  bool HostMaximised() const;

  bool drag_pending_ = false;
};

}  // namespace LOOM
