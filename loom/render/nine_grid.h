// The cells of a nine-grid: which part of the source each of the nine cells draws and
// where, with the rules for margins that do not fit the destination. Every back-end
// draws the cells with its own image operations.
#pragma once

#include "platform/base/win_types.h"

namespace LOOM {

struct NineGridCell {
  RECT src;
  RECT dst;
  bool corner;  // corners are drawn unscaled, the edges and the centre with the grid's mode
};

struct NineGrid {
  NineGridCell cells[9];
  int count = 0;  // cells with a non-empty source and destination, row by row
};

// False when the margins do not fit the source (negative, or wider or taller than it
// together): nothing is to be drawn.
bool LayOutNineGrid(const RECT& dst, const RECT& src, const RECT& margins, NineGrid* grid);

}  // namespace LOOM
