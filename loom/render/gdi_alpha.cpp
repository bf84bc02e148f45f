#include "gdi_alpha.h"

#include <algorithm>

#include "gdi_backend.h"

namespace LOOM {

SAlphaLayer::SAlphaLayer(::HDC target, const RECT& area, bool copy) : target_(target), area_(area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0 || !BitmapSizeAcceptable(width, height)) return;
  void* bits = nullptr;
  section_ = NewPixelSection(width, height, &bits);
  if (!section_) return;
  dc_ = ::CreateCompatibleDC(target);
  if (!dc_) return;
  pixels_ = static_cast<std::uint32_t*>(bits);
  previous_ = ::SelectObject(dc_, section_);
  ::SetBkMode(dc_, TRANSPARENT);
  ::SetGraphicsMode(dc_, GM_ADVANCED);
  // The primitive uses the target's coordinates.
  ::SetViewportOrgEx(dc_, -area.left, -area.top, nullptr);
  ::SelectObject(dc_, ::GetCurrentObject(target, OBJ_PEN));
  ::SelectObject(dc_, ::GetCurrentObject(target, OBJ_BRUSH));
  ::SelectObject(dc_, ::GetCurrentObject(target, OBJ_FONT));
  ::SetTextColor(dc_, ::GetTextColor(target));
  if (copy) ::BitBlt(dc_, area.left, area.top, width, height, target, area.left, area.top, SRCCOPY);
  ::GdiFlush();
  const std::size_t count = static_cast<std::size_t>(width) * height;
  for (std::size_t i = 0; i < count; ++i) pixels_[i] |= 0xFF000000u;
}

SAlphaLayer::~SAlphaLayer() {
  if (dc_) {
    // Stock objects in, so that the target's own are selected nowhere else any more.
    ::SelectObject(dc_, ::GetStockObject(BLACK_PEN));
    ::SelectObject(dc_, ::GetStockObject(BLACK_BRUSH));
    ::SelectObject(dc_, ::GetStockObject(DEFAULT_GUI_FONT));
    if (previous_) ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
  }
  if (section_) ::DeleteObject(section_);
}

void SAlphaLayer::BlendOnto(BYTE opacity) {
  if (!dc_ || opacity == 0) return;
  ::GdiFlush();
  const int width = area_.right - area_.left, height = area_.bottom - area_.top;
  const std::size_t count = static_cast<std::size_t>(width) * height;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t& p = pixels_[i];
    p = (p >> 24) != 0 ? 0 : (p | 0xFF000000u);
  }
  BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
  ::AlphaBlend(target_, area_.left, area_.top, width, height, dc_, area_.left, area_.top, width, height, blend);
}

namespace {
// Guarded areas up to this many pixels need no allocation.
constexpr std::size_t kGuardBufferPixels = 65536;
}  // namespace

SAlphaGuard::SAlphaGuard(::HDC target, std::uint32_t* pixels, int width, int height, const RECT& area)
    : pixels_(pixels), stride_(width) {
  if (!pixels_) return;
  POINT origin{};
  ::GetViewportOrgEx(target, &origin);
  // One pixel more to the right and below: what GDI may touch at the edge.
  device_ = RECT{std::max<LONG>(0, area.left + origin.x), std::max<LONG>(0, area.top + origin.y),
                 std::min<LONG>(width, area.right + 1 + origin.x), std::min<LONG>(height, area.bottom + 1 + origin.y)};
  if (device_.right <= device_.left || device_.bottom <= device_.top) {
    pixels_ = nullptr;
    return;
  }
  const std::size_t count =
      static_cast<std::size_t>(device_.right - device_.left) * static_cast<std::size_t>(device_.bottom - device_.top);
  // Guarded calls run on the UI thread; the buffer is per thread all the same.
  thread_local std::uint8_t buffer[kGuardBufferPixels];
  if (count <= kGuardBufferPixels) {
    saved_ = buffer;
  } else {
    heap_.resize(count);
    saved_ = heap_.data();
  }
  ::GdiFlush();
  std::size_t i = 0;
  for (int y = device_.top; y < device_.bottom; ++y)
    for (int x = device_.left; x < device_.right; ++x)
      saved_[i++] = static_cast<std::uint8_t>(pixels_[static_cast<std::size_t>(y) * stride_ + x] >> 24);
}

SAlphaGuard::~SAlphaGuard() {
  if (!pixels_) return;
  ::GdiFlush();
  std::size_t i = 0;
  for (int y = device_.top; y < device_.bottom; ++y) {
    for (int x = device_.left; x < device_.right; ++x) {
      std::uint32_t& p = pixels_[static_cast<std::size_t>(y) * stride_ + x];
      p = (p & 0x00FFFFFFu) | (static_cast<std::uint32_t>(saved_[i++]) << 24);
    }
  }
}

}  // namespace LOOM
