// Objects of tags whose class is a plain variant of its base: the tag and base tag are
// given at run time, and MatchesTag follows the registry's base chain. The registry
// makes one for every registered tag that has no class of its own yet.
#pragma once

#include <string>

#include "core/object.h"

namespace LOOM {

class SGenericObject final : public TObjRefImpl<SObjectImpl<IObject>> {
 public:
  SGenericObject(std::u16string_view tag, std::u16string_view base_tag, int kind)
      : tag_(tag), base_tag_(base_tag), kind_(kind) {}
  bool MatchesTag(std::u16string_view name) const override;
  std::u16string_view TagName() const override { return tag_; }
  int KindCode() const override { return kind_; }
  std::u16string_view BaseTag() const { return base_tag_; }

  static IObject* Make(std::u16string_view tag, std::u16string_view base_tag, int kind) {
    return new SGenericObject(tag, base_tag, kind);
  }

 private:
  std::u16string tag_;
  std::u16string base_tag_;
  int kind_;
};

}  // namespace LOOM
