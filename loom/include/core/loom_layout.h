// The default layout: each child names its edges with "pos" relative to the parent's
// content area, to its neighbours among the layout participants, or to a sibling with
// a given id; sizes are fixed, fill the parent, or wrap the content.
#pragma once

#include <array>

#include "core/layout_param_base.h"
#include "core/object_factory.h"

namespace LOOM {

// Kinds of a position item.
enum PosKind : int {
  kPosNormal = 1,       // from the near edge, or with "-" from the far edge
  kPosCenter = 2,       // "|": from the middle
  kPosPercent = 3,      // "%": a share of the extent
  kPosAfterPrev = 4,    // "[": after the previous participant's far edge
  kPosBeforeNext = 5,   // "]": before the next participant's near edge
  kPosWithPrev = 6,     // "{": with the previous participant's near edge
  kPosWithNext = 7,     // "}": with the next participant's far edge
  kPosSize = 8,         // "@": a size, only as a second item
  kPosSibNear = 10,     // "sib.left@id:v" / "sib.top@id:v"
  kPosSibFar = 11,      // "sib.right@id:v" / "sib.bottom@id:v"
};

struct SPosItem {
  int kind = kPosNormal;
  int ref_id = -1;
  signed char sign = 1;
  SLayoutSize value{};
  friend bool operator==(const SPosItem&, const SPosItem&) = default;
};

// Parses one item; false (and item untouched) when it does not parse.
bool ParsePosItem(std::u16string_view text, SPosItem& item);

struct LoomLayoutParamStruct {
  int count = 0;                  // 0, 2 or 4 position items
  std::array<SPosItem, 4> pos{};  // first x, second x, first y, second y
  float offset_x = 0;
  float offset_y = 0;
};

class LoomLayoutParam : public TLayoutParamBase<LoomLayoutParam>, public LoomLayoutParamStruct {
  LOOM_CLASS_TAG(LoomLayoutParam, TLayoutParamBase<LoomLayoutParam>, u"LoomLayoutParam", u"object", ObjectKind::Undef)

 public:
  LoomLayoutParam() = default;
  LoomLayoutParam(const LoomLayoutParam& o) : TLayoutParamBase(o), LoomLayoutParamStruct(o) {}

  // "pos", "size", "width", "height", "offset"; E_NOTIMPL for other names.
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override;
  void Clear() override;

  const SPosItem& FirstX() const { return pos[0]; }
  const SPosItem& SecondX() const { return pos[1]; }
  const SPosItem& FirstY() const { return pos[2]; }
  const SPosItem& SecondY() const { return pos[3]; }

 protected:
  bool HasPositions() const override { return count > 0; }

 private:
  HRESULT ApplyPos(std::u16string_view value);
  HRESULT ApplyOffset(std::u16string_view value);
};

class LoomLayout : public TObjRefImpl<SObjectImpl<ILayout>> {
  LOOM_CLASS_TAG(LoomLayout, SObjectImpl<ILayout>, u"LoomLayout", u"object", ObjectKind::Layout)

 public:
  // The layout has no attributes of its own.
  HRESULT ApplyAttribute(std::u16string_view, std::u16string_view, bool) override { return E_NOTIMPL; }
  bool AcceptsParams(const ILayoutParam* param) const override;
  ILayoutParam* NewLayoutParams() const override { return new LoomLayoutParam(); }
  void PlaceChildren(SWindow* owner) override;
  SIZE MeasureContent(SWindow* owner, int width_hint, int height_hint) override;
};

// Registers the layouts and their tags ("LoomLayout", "linearLayout", "hbox", "vbox",
// "gridLayout").
void RegisterLayoutObjects(SObjectFactoryMgr& mgr);

}  // namespace LOOM
