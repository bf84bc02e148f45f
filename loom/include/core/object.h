// The object protocol shared by everything created by tag from markup: elements,
// skins, layouts and interpolators.
#pragma once

#include <string>
#include <string_view>

#include "core/obj_ref.h"
#include "platform/base/win_types.h"

namespace LOOM {

class SXmlNode;

// Object kind codes.
enum ObjectKind : int {
  Undef = -1,
  Window = 1,
  Skin = 2,
  Layout = 3,
  Interpolator = 4,
};

struct IObject : IObjRef {
  // True when name is this class's tag or, recursively, a base class's; case-sensitive.
  virtual bool MatchesTag(std::u16string_view name) const = 0;
  virtual std::u16string_view TagName() const = 0;
  virtual int KindCode() const = 0;
  virtual HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) = 0;
  // Narrow forms: the text is taken as UTF-8, the platform's narrow code page here.
  virtual HRESULT ApplyAttributeA(std::string_view name, std::string_view value, bool loading) = 0;
  virtual HRESULT AttributeApplied(std::u16string_view name, std::u16string_view value, bool loading,
                                   HRESULT result) = 0;
  virtual int ObjectId() const = 0;
  virtual std::u16string ObjectName() const = 0;
  virtual bool LoadFromMarkup(const SXmlNode& node) = 0;
  virtual HRESULT FallbackAttribute(std::u16string_view name, std::u16string_view value, bool loading) = 0;
  virtual void AfterMarkupLoaded(const SXmlNode& node) = 0;
  virtual std::u16string AttributeText(std::u16string_view name) const = 0;

 protected:
  ~IObject() = default;
};

// Attribute results: the low 16 bits say whether anything needs refreshing.
inline constexpr HRESULT kAttrHandled = S_OK;
inline constexpr HRESULT kAttrNoRefresh = S_FALSE;

// The common part of every object. T is IObject or an interface derived from it.
template <class T>
class SObjectImpl : public T {
 public:
  static constexpr std::u16string_view kClassTag = u"object";
  static constexpr std::u16string_view kBaseTag = u"";
  static constexpr int kKind = ObjectKind::Undef;

  bool MatchesTag(std::u16string_view name) const override { return name == kClassTag; }
  std::u16string_view TagName() const override { return kClassTag; }
  int KindCode() const override { return kKind; }
  HRESULT ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) override {
    return this->AttributeApplied(name, value, loading, this->FallbackAttribute(name, value, loading));
  }
  HRESULT ApplyAttributeA(std::string_view name, std::string_view value, bool loading) override;
  HRESULT AttributeApplied(std::u16string_view, std::u16string_view, bool, HRESULT result) override {
    return result;
  }
  int ObjectId() const override { return 0; }
  std::u16string ObjectName() const override { return {}; }
  bool LoadFromMarkup(const SXmlNode& node) override;
  HRESULT FallbackAttribute(std::u16string_view, std::u16string_view, bool) override { return E_FAIL; }
  void AfterMarkupLoaded(const SXmlNode&) override {}
  std::u16string AttributeText(std::u16string_view) const override { return {}; }

 protected:
  ~SObjectImpl() = default;
};

// Applies every attribute of node to obj with the loading flag set, in document order,
// skipping marked attributes; then calls AfterMarkupLoaded. Shared by SObjectImpl.
bool LoadObjectFromMarkup(IObject& obj, const SXmlNode& node);
HRESULT ApplyNarrowAttribute(IObject& obj, std::string_view name, std::string_view value, bool loading);

template <class T>
HRESULT SObjectImpl<T>::ApplyAttributeA(std::string_view name, std::string_view value, bool loading) {
  return ApplyNarrowAttribute(*this, name, value, loading);
}
template <class T>
bool SObjectImpl<T>::LoadFromMarkup(const SXmlNode& node) {
  return LoadObjectFromMarkup(*this, node);
}

// Declares the tag, base tag and kind of a class registered with the factory registry.
// Classes deriving from a tagged class override MatchesTag so that the chain is walked.
#define LOOM_CLASS_TAG(Class, Base, Tag, BaseTag, Kind)                                          \
 public:                                                                                         \
  static constexpr std::u16string_view kClassTag = Tag;                                          \
  static constexpr std::u16string_view kBaseTag = BaseTag;                                       \
  static constexpr int kKind = Kind;                                                             \
  bool MatchesTag(std::u16string_view name) const override {                                     \
    return name == kClassTag || Base::MatchesTag(name);                                          \
  }                                                                                              \
  std::u16string_view TagName() const override { return kClassTag; }                            \
  int KindCode() const override { return kKind; }

}  // namespace LOOM
