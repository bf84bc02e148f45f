// Linear layouts: children follow one another along one orientation, separated by an
// interval; weights share out the free space; across the orientation each child is
// aligned by its gravity. "hbox" and "vbox" are horizontal and vertical ones.
#pragma once

#include <array>

#include "core/layout_param_base.h"

namespace LOOM {

enum LinearGravity : int { kGravityInherit = -1, kGravityStart = 0, kGravityCenter = 1, kGravityEnd = 2 };

// "left"/"top" 0, "center" 1, "right"/"bottom" 2; -1 for anything else.
int ParseLinearGravity(std::u16string_view value);

class SLinearLayoutParam : public TLayoutParamBase<SLinearLayoutParam> {
  LOOM_CLASS_TAG(SLinearLayoutParam, TLayoutParamBase<SLinearLayoutParam>, u"SLinearLayoutParam", u"object",
                 ObjectKind::Undef)

 public:
  SLinearLayoutParam() = default;
  SLinearLayoutParam(const SLinearLayoutParam& o)
      : TLayoutParamBase(o), weight(o.weight), gravity(o.gravity), extend(o.extend) {}
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void Clear() override;

  float weight = 0;
  int gravity = kGravityInherit;
  std::array<SLayoutSize, 4> extend{};  // left, top, right, bottom
};

class SLinearLayout : public TObjRefImpl<SObjectImpl<ILayout>> {
  LOOM_CLASS_TAG(SLinearLayout, SObjectImpl<ILayout>, u"linearLayout", u"object", ObjectKind::Layout)

 public:
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  bool AcceptsParams(const ILayoutParam* param) const override;
  ILayoutParam* NewLayoutParams() const override { return new SLinearLayoutParam(); }
  void PlaceChildren(SWindow* owner) override;
  SIZE MeasureContent(SWindow* owner, int width_hint, int height_hint) override;

  bool vertical = false;
  int gravity = kGravityStart;
  SLayoutSize interval{};
};

class SHBox : public SLinearLayout {
  LOOM_CLASS_TAG(SHBox, SLinearLayout, u"hbox", u"linearLayout", ObjectKind::Layout)
};

class SVBox : public SLinearLayout {
  LOOM_CLASS_TAG(SVBox, SLinearLayout, u"vbox", u"linearLayout", ObjectKind::Layout)

 public:
  SVBox() { vertical = true; }
};

}  // namespace LOOM
