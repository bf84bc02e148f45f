#include "nine_grid.h"

namespace LOOM {
namespace {

// One axis of the nine-grid: source and destination edges of the three cells, with the
// shrinking rules applied when both margins do not fit.
struct GridAxis {
  int s[4];
  int d[4];
};

bool MakeAxis(int s0, int s1, int d0, int d1, int m0, int m1, GridAxis& a) {
  a.s[0] = s0;
  a.s[1] = s0 + m0;
  a.s[2] = s1 - m1;
  a.s[3] = s1;
  if (!(a.s[0] <= a.s[1] && a.s[1] <= a.s[2] && a.s[2] <= a.s[3])) return false;
  int w = d1 - d0;
  a.d[0] = d0;
  a.d[3] = d1;
  if (m0 + m1 > w) {
    if (m0 >= w) {  // the first column takes the whole width
      a.s[1] = a.s[2] = a.s[3] = s0 + w;
      a.d[1] = a.d[2] = d1;
    } else if (m1 >= w) {  // the last column takes the whole width
      a.s[0] = a.s[1] = a.s[2] = s1 - w;
      a.d[1] = a.d[2] = d0;
    } else {  // the first keeps its margin, the last gets the rest from its right end
      a.s[2] = s1 - (w - m0);
      a.d[1] = a.d[2] = d0 + m0;
    }
  } else {
    a.d[1] = d0 + m0;
    a.d[2] = d1 - m1;
  }
  return true;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

bool LayOutNineGrid(const RECT& dst, const RECT& src, const RECT& margins, NineGrid* grid) {
  grid->count = 0;
  // Checked in 64 bits first, so that no edge computation below can overflow.
  auto fits = [](long long m0, long long m1, long long size) { return m0 >= 0 && m1 >= 0 && m0 + m1 <= size; };
  if (!fits(margins.left, margins.right, static_cast<long long>(src.right) - src.left) ||
      !fits(margins.top, margins.bottom, static_cast<long long>(src.bottom) - src.top))
    return false;
  GridAxis x{}, y{};
  if (!MakeAxis(src.left, src.right, dst.left, dst.right, margins.left, margins.right, x) ||
      !MakeAxis(src.top, src.bottom, dst.top, dst.bottom, margins.top, margins.bottom, y))
    return false;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      RECT s{x.s[col], y.s[row], x.s[col + 1], y.s[row + 1]};
      RECT d{x.d[col], y.d[row], x.d[col + 1], y.d[row + 1]};
      if (Empty(s) || Empty(d)) continue;
      grid->cells[grid->count++] = NineGridCell{s, d, row != 1 && col != 1};
    }
  }
  return true;
}

}  // namespace LOOM
