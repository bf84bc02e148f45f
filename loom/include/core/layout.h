// Layouts and layout parameters. Every element owns a layout, which places its
// children, and a layout parameter, which says where the element itself wants to sit
// inside its parent. Layouts and parameters are objects of kind 3 made by tag.
#pragma once

#include "core/object.h"
#include "core/values.h"

namespace LOOM {

class SWindow;
class SObjectFactoryMgr;

// Size values: a dimension, or one of three markers.
inline constexpr float SIZE_WRAP_CONTENT = -1.0f;  // as large as the content needs
inline constexpr float SIZE_MATCH_PARENT = -2.0f;  // as large as the parent's content area
inline constexpr float SIZE_SPEC = -3.0f;          // given by the positions

// Axis argument of the parameter queries.
enum class LayoutAxis : int { Horz = 0, Vert = 1, Any = 2, Both = 3 };

struct ILayoutParam : IObject {
  // Queries with Any answer true when either axis qualifies, with Both when both do.
  virtual bool IsMatchParent(LayoutAxis axis) const = 0;
  // Size -1, or size -3 when no position is given.
  virtual bool IsWrapContent(LayoutAxis axis) const = 0;
  // A size that is not a marker.
  virtual bool IsSpecifiedSize(LayoutAxis axis) const = 0;
  // The size of one axis (Horz or Vert), markers included.
  virtual SLayoutSize SpecifiedSize(LayoutAxis axis) const = 0;
  // The setters take Horz, Vert or Both.
  virtual void SetMatchParent(LayoutAxis axis) = 0;
  virtual void SetWrapContent(LayoutAxis axis) = 0;
  virtual void SetSpecifiedSize(LayoutAxis axis, const SLayoutSize& size) = 0;
  // Back to the defaults: no positions, no offsets, both sizes wrap content.
  virtual void Clear() = 0;
  // A copy with one reference.
  virtual ILayoutParam* Clone() const = 0;

 protected:
  ~ILayoutParam() = default;
};

struct ILayout : IObject {
  // Whether the parameter is of the kind this layout reads.
  virtual bool AcceptsParams(const ILayoutParam* param) const = 0;
  // A new default parameter of that kind, with one reference.
  virtual ILayoutParam* NewLayoutParams() const = 0;
  // Places the children of owner inside its children area (client less padding).
  virtual void PlaceChildren(SWindow* owner) = 0;
  // The size the children of owner need for the given hints (-1: unknown extent).
  virtual SIZE MeasureContent(SWindow* owner, int width_hint, int height_hint) = 0;

 protected:
  ~ILayout() = default;
};

// A layout made by tag through the application's registry (kind 3); nullptr when the
// tag names no layout. One reference to the caller.
ILayout* NewLayoutByTag(std::u16string_view tag);

// A dimension or a "@dim/" reference through the current UI definitions.
SLayoutSize ResolveLayoutDimension(std::u16string_view text);

// The default layout tag of every element.
inline constexpr std::u16string_view kDefaultLayoutTag = u"LoomLayout";

}  // namespace LOOM
