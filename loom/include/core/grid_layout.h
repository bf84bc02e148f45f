// The grid layout: children fill the cells of a grid row by row. Registered for the
// markup vocabulary; no window of this system uses it.
#pragma once

#include "core/layout_param_base.h"

namespace LOOM {

class SGridLayoutParam : public TLayoutParamBase<SGridLayoutParam> {
  LOOM_CLASS_TAG(SGridLayoutParam, TLayoutParamBase<SGridLayoutParam>, u"SGridLayoutParam", u"object",
                 ObjectKind::Undef)

 public:
  SGridLayoutParam() = default;
  SGridLayoutParam(const SGridLayoutParam& o)
      : TLayoutParamBase(o), row_span(o.row_span), column_span(o.column_span), x_gravity(o.x_gravity),
        y_gravity(o.y_gravity), column_weight(o.column_weight), row_weight(o.row_weight) {}
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void Clear() override;

  int row_span = 1;
  int column_span = 1;
  int x_gravity = -1;
  int y_gravity = -1;
  float column_weight = 0;
  float row_weight = 0;
};

class SGridLayout : public TObjRefImpl<SObjectImpl<ILayout>> {
  LOOM_CLASS_TAG(SGridLayout, SObjectImpl<ILayout>, u"gridLayout", u"object", ObjectKind::Layout)

 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  bool AcceptsParams(const ILayoutParam* param) const override;
  ILayoutParam* NewLayoutParams() const override { return new SGridLayoutParam(); }
  void PlaceChildren(SWindow* owner) override;
  SIZE MeasureContent(SWindow* owner, int width_hint, int height_hint) override;

  int column_count = 0;  // 0: one column
  int row_count = 0;     // 0: as many rows as the children need
  SLayoutSize x_interval{};
  SLayoutSize y_interval{};
  int x_gravity = 3;  // "fill"
  int y_gravity = 3;

 private:
  struct Grid {
    int columns;
    int rows;
  };
  Grid GridFor(int children) const;
};

// Gravity of the grid: "left"/"top" 0, "center" 1, "right"/"bottom" 2, "fill" 3; -1
// for anything else.
int ParseGridGravity(std::u16string_view value);

}  // namespace LOOM
