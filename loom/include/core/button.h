// Buttons. SButton ("button") is a focusable element that turns a click, Space or Enter
// into its command event, answers a key combination ("accel", or an "(&X)" mark in its
// text) and, with "animate", cross-fades between its normal and hover cells over a few
// of the host's animation frames. SImageButton ("imgbtn") is the button the program's
// windows use: it draws only its skin and, when its layout leaves the size to the
// content, takes the size of one skin cell.
#pragma once

#include "core/focus_manager.h"
#include "core/swnd.h"

namespace LOOM {

class SButton : public SWindow, public IAcceleratorTarget, public ITimelineHandler {
  LOOM_CLASS_TAG(SButton, SWindow, u"button", u"window", ObjectKind::Window)

 public:
  // Fade progress: the weight (0-254) of the hover cell while a fade runs.
  static constexpr WORD kFadeIdle = 255;
  static constexpr WORD kFadeStart = 50;
  static constexpr BYTE kDefaultFadeStep = 25;
  // The system skin a button draws until markup gives it one.
  static constexpr int kDefaultSkinIndex = 4;

  SButton();
  ~SButton() override;

  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  BOOL HandleElementMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  UINT KeyWants() const override { return SC_WANTCHARS; }
  bool RepaintsOnStateChange() const override { return true; }

  // The key combination (ParseAcceleratorText's code; 0 none). Setting one replaces
  // the previous registration with the host.
  DWORD Accelerator() const { return accel_; }
  void SetAccelerator(DWORD code);
  bool Animates() const { return animate_ != 0; }
  void SetAnimate(bool animate) { animate_ = animate ? 1 : 0; }
  BYTE FadeStep() const { return fade_step_; }
  WORD FadeProgress() const { return fade_; }
  bool IsFading() const { return fade_ != kFadeIdle; }

  // IAcceleratorTarget: a disabled button (or a hidden one, with
  // "disableAccelIfInvisible") ignores its key; otherwise it fires its command.
  bool OnAcceleratorPressed(const SAccelerator& accel) override;
  // ITimelineHandler: one step of the fade.
  void OnNextFrame() override;

 protected:
  // Stops any fade, then starts one on exactly normal -> hover or hover -> normal
  // (not while this button holds the mouse capture).
  void AfterStateChange(DWORD old_state, DWORD new_state) override;
  void ContainerChanging(ISwndContainer* old_container, ISwndContainer* new_container) override;
  void ContainerChanged(ISwndContainer* old_container, ISwndContainer* new_container) override;

  int OnCreate() override;
  void OnDestroy() override;
  void OnSize(UINT type, SIZE size) override;
  void OnPaint(IRenderTarget* rt) override;
  BOOL OnEraseBkgnd(IRenderTarget* rt) override;

  // The skin's cells for the current state or fade.
  void PaintSkin(IRenderTarget* rt, ISkinObj* skin, const RECT& rc);
  void StopFade();

 private:
  void RegisterAccelerator();
  void UnregisterAccelerator();

  DWORD accel_ = 0;
  int animate_ = 0;
  WORD fade_ = kFadeIdle;
  BYTE fade_step_ = kDefaultFadeStep;
  bool disable_accel_if_invisible_ = false;
  bool fade_registered_ = false;
};

class SImageButton : public SButton {
  LOOM_CLASS_TAG(SImageButton, SButton, u"imgbtn", u"button", ObjectKind::Window)

 public:
  SImageButton();
  // Along an axis whose size is left to the content, one cell of the skin.
  SIZE PreferredSize(int width_hint, int height_hint) override;
};

}  // namespace LOOM
