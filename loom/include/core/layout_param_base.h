// The width and height that every layout parameter carries, with the queries the
// layout engine and the elements ask of them.
#pragma once

#include <string>
#include <vector>

#include "core/layout.h"
#include "core/text_util.h"

namespace LOOM {

// Layout parameters are not made by tag; they carry no kind.
template <class Derived>
class TLayoutParamBase : public TObjRefImpl<SObjectImpl<ILayoutParam>> {
 public:
  bool IsMatchParent(LayoutAxis axis) const override { return Test(axis, [](float v) { return v == SIZE_MATCH_PARENT; }); }
  bool IsWrapContent(LayoutAxis axis) const override {
    return Test(axis, [this](float v) { return v == SIZE_WRAP_CONTENT || (v == SIZE_SPEC && !HasPositions()); });
  }
  bool IsSpecifiedSize(LayoutAxis axis) const override { return Test(axis, [](float v) { return v >= 0; }); }
  SLayoutSize SpecifiedSize(LayoutAxis axis) const override { return axis == LayoutAxis::Vert ? height : width; }
  void SetMatchParent(LayoutAxis axis) override { Set(axis, {SIZE_MATCH_PARENT, SizeUnit::px}); }
  void SetWrapContent(LayoutAxis axis) override { Set(axis, {SIZE_WRAP_CONTENT, SizeUnit::px}); }
  void SetSpecifiedSize(LayoutAxis axis, const SLayoutSize& size) override { Set(axis, size); }
  ILayoutParam* Clone() const override { return new Derived(static_cast<const Derived&>(*this)); }

  SLayoutSize width{SIZE_WRAP_CONTENT, SizeUnit::px};
  SLayoutSize height{SIZE_WRAP_CONTENT, SizeUnit::px};

 protected:
  TLayoutParamBase() = default;
  TLayoutParamBase(const TLayoutParamBase& o) : TObjRefImpl(), width(o.width), height(o.height) {}
  // Whether the positions give the size (the "pos" of the default layout).
  virtual bool HasPositions() const { return false; }
  // "width", "height" and "size"; E_NOTIMPL for other names.
  HRESULT ApplySizeAttribute(std::u16string_view name, std::u16string_view value);

 private:
  template <class Pred>
  bool Test(LayoutAxis axis, Pred pred) const {
    switch (axis) {
      case LayoutAxis::Horz: return pred(width.value);
      case LayoutAxis::Vert: return pred(height.value);
      case LayoutAxis::Any: return pred(width.value) || pred(height.value);
      case LayoutAxis::Both: return pred(width.value) && pred(height.value);
    }
    return false;
  }
  void Set(LayoutAxis axis, const SLayoutSize& size) {
    if (axis != LayoutAxis::Vert) width = size;
    if (axis != LayoutAxis::Horz) height = size;
  }
};

// Reads a size value: "matchParent"/"full" (-2), "wrapContent" (-1), a dimension or a
// "@dim/" reference.
SLayoutSize ParseLayoutSize(std::u16string_view value);

template <class Derived>
HRESULT TLayoutParamBase<Derived>::ApplySizeAttribute(std::u16string_view name, std::u16string_view value) {
  if (EqualsNoCase(name, u"width")) {
    width = ParseLayoutSize(value);
    return S_OK;
  }
  if (EqualsNoCase(name, u"height")) {
    height = ParseLayoutSize(value);
    return S_OK;
  }
  if (EqualsNoCase(name, u"size")) {
    std::vector<std::u16string> parts = Split(value, u',');
    if (parts.size() != 2) return E_FAIL;
    width = ParseLayoutSize(parts[0]);
    height = ParseLayoutSize(parts[1]);
    return S_OK;
  }
  return E_NOTIMPL;
}

}  // namespace LOOM
