// SHostWndAttr: the window attributes a layout's top element "LOOM" gives its host:
// title, size, resize margins and limits, styles, opacity, icons and window type.
#pragma once

#include <string>
#include <string_view>

#include "core/values.h"
#include "platform/base/win_types.h"

namespace LOOM {

// What the host's destruction does (see SHostWnd): "undefine", "appMain", "normal".
enum class HostWndType : int { kUndefine = 0, kAppMain = 1, kNormal = 2 };

struct SHostWndAttr {
  std::u16string title;
  std::u16string tr_ctx;
  SLayoutSize width{0, SizeUnit::px};
  SLayoutSize height{0, SizeUnit::px};
  SLayoutSize margin[4]{};     // resize borders: left, top, right, bottom
  SLayoutSize min_size[2]{};   // smallest tracking size: width, height
  SLayoutSize max_inset[4]{};  // how far a maximised window passes the work area
  DWORD wnd_style = 0;
  DWORD wnd_style_ex = 0;
  bool resizable = false;
  bool app_wnd = false;
  bool tool_window = false;
  bool translucent = false;
  bool send_wheel_to_hover = false;
  bool allow_spy = true;
  BYTE alpha = 255;
  std::u16string small_icon;
  std::u16string big_icon;
  HostWndType wnd_type = HostWndType::kUndefine;

  // Back to the defaults.
  void Reset() { *this = SHostWndAttr(); }
  // S_OK when applied; E_INVALIDARG when the value is malformed (the attribute keeps
  // its value); E_NOTIMPL for a name that is not a host attribute.
  HRESULT Apply(std::u16string_view name, std::u16string_view value);

  RECT MarginPixels(int scale) const;
  RECT MaxInsetPixels(int scale) const;
  SIZE MinSizePixels(int scale) const;
};

}  // namespace LOOM
