// UI definitions: the default font, named strings, colours and dimensions, the skin,
// style, template and default-attribute tables, loaded from one "uidef" document.
#pragma once

#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/obj_ref.h"
#include "core/values.h"
#include "core/xml.h"

namespace LOOM {

struct IResProvider;
class SSkinPool;

// Font style word: charset bits 0-7, weight/4 bits 8-15, italic 16, underline 17, bold 18,
// strike-out 19, size in pixels 20-31.
namespace FontStyle {
inline constexpr std::uint32_t kItalic = 1u << 16;
inline constexpr std::uint32_t kUnderline = 1u << 17;
inline constexpr std::uint32_t kBold = 1u << 18;
inline constexpr std::uint32_t kStrike = 1u << 19;
inline constexpr std::uint32_t kSizeMask = 0xFFFu << 20;
constexpr std::uint32_t Size(std::uint32_t word) { return word >> 20; }
constexpr std::uint32_t WithSize(std::uint32_t word, std::uint32_t size) {
  return (word & ~kSizeMask) | ((size & 0xFFF) << 20);
}
constexpr std::uint32_t Weight(std::uint32_t word) { return ((word >> 8) & 0xFF) * 4; }
}  // namespace FontStyle

struct SFontDesc {
  std::u16string name = u"default";
  std::uint32_t style = 0x00C00001;  // size 12, charset 1
  std::u16string face = u"宋体";
  std::u16string extra;
};

// Style classes: a copy of the "style" element, entries by name.
class SStylePool final : public TObjRefImpl<IObjRef> {
 public:
  void Load(const SXmlNode& style);
  SXmlNode Find(std::u16string_view name) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  SXmlDoc doc_;
  std::map<std::u16string, pugi::xml_node, std::less<>> entries_;
};

// Templates: name to markup text.
class STemplatePool final : public TObjRefImpl<IObjRef> {
 public:
  void Load(const SXmlNode& templates);
  const std::u16string* Find(std::u16string_view name) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  std::map<std::u16string, std::u16string, std::less<>> entries_;
};

// Default attributes per class, with the attributes of base classes merged in.
class SObjDefAttr final : public TObjRefImpl<IObjRef> {
 public:
  void Load(const SXmlNode& objattr);
  // The tag's entry, else its base class's, recursively; an empty node at the end.
  SXmlNode ClassDefaults(std::u16string_view tag) const;

 private:
  SXmlDoc doc_;
  std::map<std::u16string, pugi::xml_node, std::less<>> entries_;
};

class SUiDefInfo final : public TObjRefImpl<IObjRef> {
 public:
  SUiDefInfo();
  ~SUiDefInfo() override;
  // Loads from the resource named by ref ("type:name") through provider.
  bool Init(IResProvider* provider, std::u16string_view ref);

  SSkinPool* SkinPool() const { return skin_pool_.get(); }
  void SetSkinPool(SSkinPool* pool);
  SStylePool* StylePool() const { return style_pool_.get(); }
  void SetStylePool(SStylePool* pool) { style_pool_ = pool; }
  SObjDefAttr* DefaultAttributes() const { return obj_def_attr_.get(); }
  void SetDefaultAttributes(SObjDefAttr* attrs) { obj_def_attr_ = attrs; }
  STemplatePool* TemplatePool() const { return template_pool_.get(); }
  void SetTemplatePool(STemplatePool* pool) { template_pool_ = pool; }
  const SNamedColor& NamedColors() const { return colors_; }
  const SNamedString& NamedStrings() const { return strings_; }
  const SNamedDimension& NamedDimensions() const { return dims_; }
  const SFontDesc& DefaultFont() const { return default_font_; }

 private:
  void LoadDefaultFont(const SXmlNode& root);
  // The table element named name, or the same-named top element of the resource its
  // "src" names.
  SXmlNode TableElement(const SXmlNode& root, std::u16string_view name, IResProvider* provider, SXmlDoc& holder);

  SAutoRefPtr<SSkinPool> skin_pool_;
  SAutoRefPtr<SStylePool> style_pool_;
  SAutoRefPtr<SObjDefAttr> obj_def_attr_;
  SAutoRefPtr<STemplatePool> template_pool_;
  SNamedColor colors_;
  SNamedString strings_;
  SNamedDimension dims_;
  SFontDesc default_font_;
};

// Loads definitions; a new info with one reference, or nullptr when loading failed.
SUiDefInfo* BuildUiDefinitions(IResProvider* provider, std::u16string_view ref);
// Pushes the info's skin, style and template tables and makes it current.
void MakeDefinitionsCurrent(SUiDefInfo* info);

// Takes the last entry holding `item` out of a stack of counted pools.
template <class T>
bool RemoveLast(std::vector<SAutoRefPtr<T>>& pools, T* item) {
  for (auto it = pools.rbegin(); it != pools.rend(); ++it) {
    if (it->get() == item) {
      pools.erase(std::next(it).base());
      return true;
    }
  }
  return false;
}

// The current definitions and the lookups through them.
class SUiDef {
 public:
  SUiDefInfo* Current() const { return current_.get(); }
  void SetCurrent(SUiDefInfo* info) { current_ = info; }

  COLORREF ResolveColor(std::u16string_view text) const;
  std::u16string ResolveString(std::u16string_view text) const;
  SLayoutSize ResolveDimension(std::u16string_view text) const;
  SXmlNode ClassDefaults(std::u16string_view tag) const;
  const SFontDesc& DefaultFont() const;

 private:
  SAutoRefPtr<SUiDefInfo> current_;
};

class SStylePoolMgr {
 public:
  void Push(SStylePool* pool) { pools_.emplace_back(pool); }
  // Takes out the most recent push of that pool; false when it is not there.
  bool Remove(SStylePool* pool) { return RemoveLast(pools_, pool); }
  std::size_t PoolCount() const { return pools_.size(); }
  SXmlNode FindStyleClass(std::u16string_view name) const;

 private:
  std::vector<SAutoRefPtr<SStylePool>> pools_;
};

class STemplatePoolMgr {
 public:
  void Push(STemplatePool* pool) { pools_.emplace_back(pool); }
  // Takes out the most recent push of that pool; false when it is not there.
  bool Remove(STemplatePool* pool) { return RemoveLast(pools_, pool); }
  std::size_t PoolCount() const { return pools_.size(); }
  std::u16string FindTemplateText(std::u16string_view name) const;

 private:
  std::vector<SAutoRefPtr<STemplatePool>> pools_;
};

}  // namespace LOOM
