// The two devices that keep a real alpha channel while GDI draws into a 32-bit
// section (GDI's lines, shapes and text clear the alpha byte of every pixel they
// write):
//
// - the alpha layer draws one primitive into a temporary section whose pixels all
//   start with alpha 255; afterwards a pixel whose alpha is still set was not touched
//   and becomes transparent, one whose alpha GDI cleared was drawn and becomes opaque,
//   and the layer is blended onto the target with an opacity;
// - the alpha guard saves the alpha bytes of a rectangle before a GDI call and writes
//   them back afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/base/win_types.h"

namespace LOOM {

class SAlphaLayer {
 public:
  // `area` in the target's coordinates (its logical units); with `copy` the layer
  // starts as a copy of the target's pixels there.
  SAlphaLayer(::HDC target, const RECT& area, bool copy);
  ~SAlphaLayer();
  SAlphaLayer(const SAlphaLayer&) = delete;
  SAlphaLayer& operator=(const SAlphaLayer&) = delete;

  // nullptr when the layer's section could not be made: then nothing is drawn.
  ::HDC Context() const { return dc_; }
  // Turns the drawn pixels opaque and the rest transparent, and blends the layer onto
  // the target at its area with the opacity.
  void BlendOnto(BYTE opacity);

 private:
  ::HDC target_;
  RECT area_;
  ::HDC dc_ = nullptr;
  HBITMAP section_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
};

class SAlphaGuard {
 public:
  // `area` in the target's logical coordinates; `pixels` the target's section
  // (width x height), or nullptr when the target has none.
  SAlphaGuard(::HDC target, std::uint32_t* pixels, int width, int height, const RECT& area);
  ~SAlphaGuard();
  SAlphaGuard(const SAlphaGuard&) = delete;
  SAlphaGuard& operator=(const SAlphaGuard&) = delete;

 private:
  std::uint32_t* pixels_;
  int stride_;
  RECT device_{};
  std::uint8_t* saved_ = nullptr;
  std::vector<std::uint8_t> heap_;
};

}  // namespace LOOM
