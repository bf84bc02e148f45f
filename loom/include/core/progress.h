// SProgress ("progress"): a bar that fills from the left (or, "vertical", from the top)
// in proportion to its value within [min, max]. A background skin covers the whole
// client area and a position skin the filled part; "showPercent" centres the
// percentage over a horizontal bar. Without skins of its own the bar takes the
// toolkit's system skins, and refuses to be created when those are missing too.
#pragma once

#include <string>

#include "core/swnd.h"

namespace LOOM {

class SProgress : public SWindow {
  LOOM_CLASS_TAG(SProgress, SWindow, u"progress", u"window", ObjectKind::Window)

 public:
  // System skin indices of the fallbacks.
  static constexpr int kSysBkgnd = 15;
  static constexpr int kSysBar = 16;
  static constexpr int kSysVertBkgnd = 17;
  static constexpr int kSysVertBar = 18;

  SProgress();

  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  SIZE PreferredSize(int width_hint, int height_hint) override;
  void TintElement(COLORREF color) override;
  void ScaleSwitched(int scale) override;

  // The value raised to min, then lowered to max; repaints. Always true.
  bool SetProgressValue(int value);
  // Stores both ends, then lowers the value to max and raises it to min; repaints.
  void SetProgressRange(int min, int max);
  int ProgressValue() const { return value_; }
  int RangeMin() const { return min_; }
  int RangeMax() const { return max_; }
  bool IsVertical() const { return vertical_; }
  bool ShowsPercent() const { return show_percent_; }
  ISkinObj* BarBackgroundSkin() const { return bkgnd_skin_.get(); }
  ISkinObj* BarPositionSkin() const { return pos_skin_.get(); }

  // The filled part of rc for the current value: empty at or below min, all of rc at
  // or above max (whatever the markup stored), never outside rc.
  RECT FilledRect(const RECT& rc) const;
  // The percentage shown: (value - min) * 100 / (max - min), within 0-100.
  int Percent() const;

 protected:
  int OnCreate() override;
  void OnPaint(IRenderTarget* rt) override;

 private:
  // A bar skin: the name it was given (empty for a system skin) and the system index.
  struct BarSkin {
    std::u16string name;
    int system_index = -1;
  };
  ISkinObj* LookUp(const BarSkin& which, int scale) const;
  // How far along [0, extent] the value reaches.
  LONG FilledExtent(LONG extent) const;

  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool show_percent_ = false;
  bool vertical_ = false;
  BarSkin bkgnd_;
  BarSkin pos_;
  SAutoRefPtr<ISkinObj> bkgnd_skin_;
  SAutoRefPtr<ISkinObj> pos_skin_;
};

}  // namespace LOOM
