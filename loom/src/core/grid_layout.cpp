#include "core/grid_layout.h"

#include <algorithm>
#include <vector>

#include "core/application.h"
#include "core/rect_util.h"
#include "core/swnd.h"
#include "core/ui_def.h"

namespace LOOM {

namespace {

int CountValue(std::u16string_view value) { return std::clamp(IntOr0(value, false), 0, 1 << 16); }

std::vector<SWindow*> Participants(SWindow* owner) {
  std::vector<SWindow*> out;
  for (SWindow* c = owner->FirstChild(); c; c = c->NextSibling())
    if (c->IsLayoutParticipant()) out.push_back(c);
  return out;
}

// A child of size `size` placed in a cell [start, start + cell) by gravity.
std::pair<int, int> AlignInCell(int start, int cell, int size, int gravity) {
  if (gravity == 3 || size < 0) return {start, start + cell};
  int offset = gravity == 1 ? (cell - size) / 2 : gravity == 2 ? cell - size : 0;
  return {start + offset, start + offset + size};
}

}  // namespace

int ParseGridGravity(std::u16string_view value) {
  if (value == u"left" || value == u"top") return 0;
  if (value == u"center") return 1;
  if (value == u"right" || value == u"bottom") return 2;
  if (value == u"fill") return 3;
  return -1;
}

HRESULT SGridLayoutParam::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool) {
  if (EqualsNoCase(name, u"rowSpan")) row_span = std::max(1, CountValue(value));
  else if (EqualsNoCase(name, u"columnSpan")) column_span = std::max(1, CountValue(value));
  else if (EqualsNoCase(name, u"layout_xGravity")) x_gravity = ParseGridGravity(value);
  else if (EqualsNoCase(name, u"layout_yGravity")) y_gravity = ParseGridGravity(value);
  else if (EqualsNoCase(name, u"columnWeight")) column_weight = static_cast<float>(std::clamp(ReadDouble(value).value_or(0), 0.0, 1e6));
  else if (EqualsNoCase(name, u"rowWeight")) row_weight = static_cast<float>(std::clamp(ReadDouble(value).value_or(0), 0.0, 1e6));
  else return ApplySizeAttribute(name, value);
  return S_OK;
}

void SGridLayoutParam::Clear() {
  width = height = {SIZE_WRAP_CONTENT, SizeUnit::px};
  row_span = column_span = 1;
  x_gravity = y_gravity = -1;
  column_weight = row_weight = 0;
}

HRESULT SGridLayout::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool) {
  if (EqualsNoCase(name, u"columnCount")) column_count = CountValue(value);
  else if (EqualsNoCase(name, u"rowCount")) row_count = CountValue(value);
  else if (EqualsNoCase(name, u"xInterval")) x_interval = ResolveLayoutDimension(value);
  else if (EqualsNoCase(name, u"yInterval")) y_interval = ResolveLayoutDimension(value);
  else if (EqualsNoCase(name, u"interval")) x_interval = y_interval = ResolveLayoutDimension(value);
  else if (EqualsNoCase(name, u"xGravity")) x_gravity = ParseGridGravity(value);
  else if (EqualsNoCase(name, u"yGravity")) y_gravity = ParseGridGravity(value);
  else if (EqualsNoCase(name, u"gravity")) x_gravity = y_gravity = ParseGridGravity(value);
  else return E_NOTIMPL;
  return S_OK;
}

bool SGridLayout::AcceptsParams(const ILayoutParam* param) const {
  return dynamic_cast<const SGridLayoutParam*>(param) != nullptr;
}

SGridLayout::Grid SGridLayout::GridFor(int children) const {
  int columns = column_count > 0 ? column_count : (row_count > 0 ? (children + row_count - 1) / row_count : 1);
  columns = std::max(1, columns);
  int rows = row_count > 0 ? row_count : std::max(1, (children + columns - 1) / columns);
  return {columns, rows};
}

void SGridLayout::PlaceChildren(SWindow* owner) {
  if (!owner) return;
  RECT area = owner->ChildrenArea();
  std::vector<SWindow*> children = Participants(owner);
  Grid grid = GridFor(static_cast<int>(children.size()));
  int scale = owner->CurrentScale();
  int xi = std::max(0, DimensionToPixels(x_interval, scale)), yi = std::max(0, DimensionToPixels(y_interval, scale));
  auto cell = [](long long extent, long long count, long long gap) {
    return static_cast<int>(std::max<long long>(0, (extent - (count - 1) * gap) / count));
  };
  auto start = [](long long index, long long cell_size, long long gap) {
    return static_cast<int>(std::min<long long>(index * (cell_size + gap), 1 << 26));
  };
  int cell_w = cell(RectWidth(area), grid.columns, xi), cell_h = cell(RectHeight(area), grid.rows, yi);
  for (std::size_t i = 0; i < children.size(); ++i) {
    SWindow* c = children[i];
    int col = static_cast<int>(i % static_cast<std::size_t>(grid.columns));
    int row = static_cast<int>(i / static_cast<std::size_t>(grid.columns));
    const auto* p = dynamic_cast<const SGridLayoutParam*>(c->LayoutParams());
    int xg = p && p->x_gravity >= 0 ? p->x_gravity : x_gravity;
    int yg = p && p->y_gravity >= 0 ? p->y_gravity : y_gravity;
    SIZE size{-1, -1};
    if (xg != 3 || yg != 3) size = c->PreferredSize(cell_w, cell_h);
    auto [left, right] = AlignInCell(start(col, cell_w, xi), cell_w, xg == 3 ? -1 : std::min<LONG>(size.cx, cell_w), xg);
    auto [top, bottom] = AlignInCell(start(row, cell_h, yi), cell_h, yg == 3 ? -1 : std::min<LONG>(size.cy, cell_h), yg);
    c->TakeRect(RectOffset({left, top, right, bottom}, area.left, area.top));
  }
}

SIZE SGridLayout::MeasureContent(SWindow* owner, int width_hint, int height_hint) {
  if (!owner) return {0, 0};
  std::vector<SWindow*> children = Participants(owner);
  Grid grid = GridFor(static_cast<int>(children.size()));
  LONG cell_w = 0, cell_h = 0;
  for (SWindow* c : children) {
    SIZE s = c->PreferredSize(width_hint < 0 ? -1 : width_hint / grid.columns, height_hint < 0 ? -1 : height_hint / grid.rows);
    cell_w = std::max(cell_w, s.cx);
    cell_h = std::max(cell_h, s.cy);
  }
  int scale = owner->CurrentScale();
  int xi = std::max(0, DimensionToPixels(x_interval, scale)), yi = std::max(0, DimensionToPixels(y_interval, scale));
  long long w = static_cast<long long>(cell_w) * grid.columns + static_cast<long long>(xi) * (grid.columns - 1);
  long long h = static_cast<long long>(cell_h) * grid.rows + static_cast<long long>(yi) * (grid.rows - 1);
  return {static_cast<LONG>(std::min<long long>(w, 1 << 26)), static_cast<LONG>(std::min<long long>(h, 1 << 26))};
}

}  // namespace LOOM
