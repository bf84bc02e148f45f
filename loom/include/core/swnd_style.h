// The visual style every element carries: colours, fonts per paint state, text
// alignment, margin and padding, cursor, alpha and a few flags.
#pragma once

#include <array>
#include <string>

#include "core/object.h"
#include "core/render.h"
#include "core/values.h"

namespace LOOM {

// Horizontal and vertical alignment values.
inline constexpr UINT kAlignLeft = 0, kAlignCenter = 0x100, kAlignRight = 0x200;
inline constexpr UINT kAlignTop = 0, kAlignMiddle = 0x1000, kAlignBottom = 0x2000;

// Style flag bits.
inline constexpr UINT kStyleDotted = 0x1;
inline constexpr UINT kStyleTrackMouse = 0x2;
inline constexpr UINT kStyleBkgndBlend = 0x4;

// Attribute results of the style are combined with this bit.
inline constexpr HRESULT kStyleAttrBit = 0x10000;

class SwndStyle final : public SObjectImpl<IObject> {
 public:
  static constexpr std::u16string_view kClassTag = u"style";
  std::u16string_view TagName() const override { return kClassTag; }
  bool MatchesTag(std::u16string_view name) const override { return name == kClassTag; }

  // Not counted: the style lives inside its element.
  long AddRef() override { return 1; }
  long Release() override { return 1; }
  void OnFinalRelease() override {}

  // Results: 0 changed, 1 nothing to refresh, E_NOTIMPL for names it does not know,
  // E_FAIL for values it refuses. Margins and paddings answer 1 while loading.
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;

  // Text format: the text mode when set, else the alignment and dotted flags.
  UINT TextFormat() const;
  COLORREF TextColor(int paint_state) const;
  // The font of a paint state (falling back to state 0); nullptr when none is set.
  IFont* Font(int paint_state) const;
  // Re-chooses the fonts for a scale (percent).
  void SetScale(int scale);
  int Scale() const { return scale_; }

  RECT MarginPixels() const;
  RECT PaddingPixels() const;
  bool HasStateFontsOrColors() const;

  COLORREF background_color = kNoColor;
  COLORREF border_color = kNoColor;
  std::u16string cursor = u"arrow";
  BYTE alpha = 255;
  BYTE sep_space = 5;
  UINT flags = kStyleBkgndBlend;
  std::array<SLayoutSize, 4> margin{};   // left, top, right, bottom
  std::array<SLayoutSize, 4> padding{};  // left, top, right, bottom
  UINT text_mode = 0;
  UINT align = kAlignCenter;
  UINT valign = kAlignMiddle;
  std::array<COLORREF, 4> text_colors{kNoColor, kNoColor, kNoColor, kNoColor};
  std::array<std::u16string, 4> font_descs;

 private:
  HRESULT ApplySides(std::array<SLayoutSize, 4>& sides, std::u16string_view value, bool loading);
  void ResolveFont(int index);

  std::array<IFont*, 4> fonts_{};  // borrowed from the font pool
  int scale_ = 100;
};

// Splits a margin list: one value sets all sides, two set left/right and top/bottom,
// four set left, top, right, bottom. False (and nothing changed) for other counts.
bool ParseSideList(std::u16string_view value, std::array<SLayoutSize, 4>& sides);

}  // namespace LOOM
