#include "core/host_wnd_attr.h"

#include <algorithm>
#include <vector>

#include "core/application.h"
#include "core/layout.h"
#include "core/text_util.h"
#include "core/ui_def.h"

namespace LOOM {

namespace {

bool ReadBit(std::u16string_view value) { return IntOr0(value, true) != 0; }

// A dimension with units, an "@dim/" reference, or the wrap-content word.
bool ReadDimension(std::u16string_view text, SLayoutSize& out) {
  text = Trim(text);
  if (EqualsNoCase(text, u"wrapContent") || EqualsNoCase(text, u"wrap_content")) {
    out = SLayoutSize{SIZE_WRAP_CONTENT, SizeUnit::px};
    return true;
  }
  if (SApplication* app = SApplication::Instance(); app && StartsWithNoCase(text, u"@dim/")) {
    out = app->UiDef().ResolveDimension(text);
    return true;
  }
  SLayoutSize parsed{};
  if (!ParseDimension(text, parsed)) return false;
  out = parsed;
  return true;
}

// Exactly `count` comma-separated dimensions, or nothing changes.
bool ReadDimensions(std::u16string_view text, SLayoutSize* out, std::size_t count) {
  std::vector<std::u16string> parts = Split(text, u',');
  if (parts.size() != count) return false;
  std::vector<SLayoutSize> values(count);
  for (std::size_t i = 0; i < count; ++i)
    if (!ReadDimension(parts[i], values[i])) return false;
  std::copy(values.begin(), values.end(), out);
  return true;
}

int Pixels(const SLayoutSize& d, int scale) { return std::max(0, DimensionToPixels(d, scale)); }

}  // namespace

HRESULT SHostWndAttr::Apply(std::u16string_view name, std::u16string_view value) {
  auto is = [&](std::u16string_view n) { return EqualsNoCase(name, n); };
  if (is(u"title")) {
    title = value;
  } else if (is(u"trCtx")) {
    tr_ctx = value;
  } else if (is(u"width")) {
    if (!ReadDimension(value, width)) return E_INVALIDARG;
  } else if (is(u"height")) {
    if (!ReadDimension(value, height)) return E_INVALIDARG;
  } else if (is(u"margin")) {
    if (!ReadDimensions(value, margin, 4)) return E_INVALIDARG;
  } else if (is(u"minsize")) {
    if (!ReadDimensions(value, min_size, 2)) return E_INVALIDARG;
  } else if (is(u"maxInset")) {
    if (!ReadDimensions(value, max_inset, 4)) return E_INVALIDARG;
  } else if (is(u"wndStyle")) {
    wnd_style = static_cast<DWORD>(IntOr0(value, true));
  } else if (is(u"wndStyleEx")) {
    wnd_style_ex = static_cast<DWORD>(IntOr0(value, true));
  } else if (is(u"resizable")) {
    resizable = ReadBit(value);
  } else if (is(u"appWnd")) {
    app_wnd = ReadBit(value);
  } else if (is(u"toolWindow")) {
    tool_window = ReadBit(value);
  } else if (is(u"translucent")) {
    translucent = ReadBit(value);
  } else if (is(u"sendWheel2Hover")) {
    send_wheel_to_hover = ReadBit(value);
  } else if (is(u"allowSpy")) {
    allow_spy = ReadBit(value);
  } else if (is(u"alpha")) {
    alpha = static_cast<BYTE>(std::clamp(IntOr0(value, true), 0, 255));
  } else if (is(u"smallIcon")) {
    small_icon = value;
  } else if (is(u"bigIcon")) {
    big_icon = value;
  } else if (is(u"wndType")) {
    // The words are compared exactly; anything else keeps the previous type.
    if (value == u"undefine") wnd_type = HostWndType::kUndefine;
    else if (value == u"appMain") wnd_type = HostWndType::kAppMain;
    else if (value == u"normal") wnd_type = HostWndType::kNormal;
    else return E_INVALIDARG;
  } else {
    return E_NOTIMPL;
  }
  return S_OK;
}

RECT SHostWndAttr::MarginPixels(int scale) const {
  return RECT{Pixels(margin[0], scale), Pixels(margin[1], scale), Pixels(margin[2], scale), Pixels(margin[3], scale)};
}

RECT SHostWndAttr::MaxInsetPixels(int scale) const {
  return RECT{Pixels(max_inset[0], scale), Pixels(max_inset[1], scale), Pixels(max_inset[2], scale),
              Pixels(max_inset[3], scale)};
}

SIZE SHostWndAttr::MinSizePixels(int scale) const {
  return SIZE{Pixels(min_size[0], scale), Pixels(min_size[1], scale)};
}

}  // namespace LOOM
