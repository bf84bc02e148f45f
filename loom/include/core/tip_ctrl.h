// STipCtrl: the tooltip window of a host. A top-most pop-up that never takes the
// activation; it appears 500 ms after the mouse rests on a target (24 pixels below the
// pointer, kept inside the monitor) and disappears after 5 s, when the mouse leaves
// the target or a button is pressed. SDefToolTipFactory makes one per host.
#pragma once

#include <string>

#include "core/render.h"
#include "core/simple_wnd.h"
#include "core/tooltip.h"

namespace LOOM {

class STipCtrl : public TObjRefImpl<IToolTip>, public CSimpleWnd {
 public:
  static constexpr UINT kShowDelayMs = 500;
  static constexpr UINT kHideDelayMs = 5000;
  static constexpr UINT_PTR kShowTimer = 1;
  static constexpr UINT_PTR kHideTimer = 2;
  // The tip's offset below the pointer.
  static constexpr int kPointerGap = 24;

  explicit STipCtrl(HWND host);
  // Creates the tooltip window ("loom tooltip"); false when it cannot be made.
  bool CreateTipWindow();

  BOOL PreTranslateMessage(MSG* msg) override;
  void SetTipTarget(const TipId& id, const RECT& rc, std::u16string_view text, int scale) override;
  void DropTip() override;
  void TrackMouseMessage(const MSG& msg) override;

  const std::u16string& TipText() const { return text_; }
  const RECT& TargetRect() const { return target_; }
  const TipId& CurrentTip() const { return id_; }

  BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result, DWORD map_id) override;

 protected:
  // The window is gone: the window's own reference goes with it.
  void OnFinalMessage(HWND hwnd) override;

 private:
  void MakeFont(int scale);
  void ShowTip();
  void HideTip();
  void OnTimer(UINT_PTR id);
  void OnPaint();
  // The text's size wrapped at 500 pixels, in the tip's font.
  SIZE MeasureText() const;

  HWND host_;
  std::u16string text_;
  RECT target_{};
  int scale_ = 100;
  TipId id_{};
  SAutoRefPtr<IFont> font_;
};

class SDefToolTipFactory : public TObjRefImpl<IToolTipFactory> {
 public:
  IToolTip* CreateToolTip(HWND host) override;
  void DestroyToolTip(IToolTip* tip) override;
};

}  // namespace LOOM
