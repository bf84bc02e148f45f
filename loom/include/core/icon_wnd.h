// SIconWnd ("icon"): shows an icon resource ("src" = "ICON_LOGO:16", a name and an
// optional size in pixels) stretched to its client area. It owns its icon handle.
#pragma once

#include "core/swnd.h"
#include "platform/base/icon.h"

namespace LOOM {

class SIconWnd : public SWindow {
  LOOM_CLASS_TAG(SIconWnd, SWindow, u"icon", u"window", ObjectKind::Window)

 public:
  // The platform's flags for drawing an icon with its mask (DI_NORMAL).
  static constexpr UINT kDrawIconNormal = 3;

  SIconWnd() = default;
  ~SIconWnd() override;

  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  // Along an axis whose size is left to the content, the icon's size; (0, 0) without
  // an icon.
  SIZE PreferredSize(int width_hint, int height_hint) override;

  // Takes ownership of icon (the previous one is destroyed); nullptr clears it.
  void SetIcon(HICON icon);
  HICON Icon() const { return icon_; }
  // Loads "name" or "name:size" through the application's resources; false (and no
  // icon) when nothing loads.
  bool LoadIconReference(std::u16string_view reference);

 protected:
  void OnPaint(IRenderTarget* rt) override;

 private:
  HICON icon_ = nullptr;
};

}  // namespace LOOM
