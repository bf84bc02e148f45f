// Rectangle arithmetic of the element tree (right and bottom exclusive).
#pragma once

#include <algorithm>

#include "platform/base/win_types.h"

namespace LOOM {

constexpr LONG RectWidth(const RECT& r) { return r.right - r.left; }
constexpr LONG RectHeight(const RECT& r) { return r.bottom - r.top; }
constexpr bool RectIsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
constexpr bool RectContains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
// The common part; an empty rectangle when they do not meet.
constexpr RECT RectIntersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return RectIsEmpty(r) ? RECT{} : r;
}
constexpr bool RectsMeet(const RECT& a, const RECT& b) { return !RectIsEmpty(RectIntersect(a, b)); }
// The bounding box; an empty side does not count.
constexpr RECT RectUnion(const RECT& a, const RECT& b) {
  if (RectIsEmpty(a)) return b;
  if (RectIsEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}
constexpr RECT RectOffset(const RECT& r, LONG dx, LONG dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
// Moves each side inward by the matching side of d; never past the opposite side.
constexpr RECT RectDeflate(const RECT& r, const RECT& d) {
  RECT out{r.left + d.left, r.top + d.top, r.right - d.right, r.bottom - d.bottom};
  if (out.right < out.left) out.right = out.left;
  if (out.bottom < out.top) out.bottom = out.top;
  return out;
}
// Right raised to left and bottom to top when smaller.
constexpr RECT RectNormalized(const RECT& r) {
  return {r.left, r.top, std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

}  // namespace LOOM
