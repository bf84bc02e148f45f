#include "core/ui_def.h"

#include "core/application.h"
#include "core/log.h"
#include "core/res_provider.h"
#include "core/skin_pool.h"
#include "core/text_util.h"
#include "platform/toolkit/font_faces.h"

namespace LOOM {
namespace {

constexpr const char* kInitFunction = "LOOM::SUiDefInfo::Init";
constexpr const char* kUiDefSource = "src\\res.mgr\\SUiDef";

bool LoadResourceXml(IResProvider* provider, std::u16string_view type, std::u16string_view name, SXmlDoc& doc) {
  std::size_t size = provider->ResourceSize(type, name);
  if (size == 0 || size > (std::size_t{64} << 20)) return false;  // no markup is that large
  std::vector<char> bytes(size);
  return provider->CopyResourceBytes(type, name, bytes.data(), size) && doc.LoadBuffer(bytes.data(), size);
}

// Restores the previous current definitions when loading ends, however it ends.
class CurrentDuringLoad {
 public:
  CurrentDuringLoad(SUiDef* uidef, SUiDefInfo* loading) : uidef_(uidef) {
    if (uidef_) {
      previous_ = uidef_->Current();
      uidef_->SetCurrent(loading);
    }
  }
  ~CurrentDuringLoad() {
    if (uidef_) uidef_->SetCurrent(previous_.get());
  }
  CurrentDuringLoad(const CurrentDuringLoad&) = delete;
  CurrentDuringLoad& operator=(const CurrentDuringLoad&) = delete;

 private:
  SUiDef* uidef_;
  SAutoRefPtr<SUiDefInfo> previous_;
};

}  // namespace

void SStylePool::Load(const SXmlNode& style) {
  entries_.clear();
  SXmlNode copy = doc_.AdoptCopy(style);
  for (SXmlNode c = copy.Child(); c; c = c.NextSiblingElement()) {
    std::u16string name;
    if (EqualsNoCase(c.Name(), u"class")) {
      SXmlAttr attr = c.Attribute(u"name");
      name = attr.Value();
      if (attr) c.Raw().remove_attribute(attr.Raw());
      if (name.empty()) continue;
    } else {
      name = c.Name();
    }
    entries_.emplace(std::move(name), c.Raw());
  }
}

SXmlNode SStylePool::Find(std::u16string_view name) const {
  auto it = entries_.find(name);
  return it == entries_.end() ? SXmlNode{} : SXmlNode{it->second, &doc_};
}

void STemplatePool::Load(const SXmlNode& templates) {
  entries_.clear();
  for (SXmlNode c = templates.Child(); c; c = c.NextSiblingElement()) {
    SXmlNode first = c.FirstChild();
    entries_.emplace(c.Name(), first ? first.Markup() : std::u16string());
  }
}

const std::u16string* STemplatePool::Find(std::u16string_view name) const {
  auto it = entries_.find(name);
  return it == entries_.end() ? nullptr : &it->second;
}

void SObjDefAttr::Load(const SXmlNode& objattr) {
  entries_.clear();
  SXmlNode copy = doc_.AdoptCopy(objattr);
  for (SXmlNode c = copy.Child(); c; c = c.NextSiblingElement()) entries_.emplace(c.Name(), c.Raw());
  SApplication* app = SApplication::Instance();
  if (!app) return;
  for (auto& [tag, node] : entries_) {
    SObjectInfo base = app->BaseRegistryKey(SObjectInfo(tag, ObjectKind::Window));
    for (int guard = 0; !base.IsEmpty() && guard < 64; ++guard) {
      if (auto it = entries_.find(base.Name()); it != entries_.end()) {
        for (pugi::xml_attribute a = it->second.first_attribute(); a; a = a.next_attribute())
          if (!node.attribute(a.name())) node.append_attribute(a.name()).set_value(a.value());
      }
      base = app->BaseRegistryKey(base);
    }
  }
}

SXmlNode SObjDefAttr::ClassDefaults(std::u16string_view tag) const {
  std::u16string current(tag);
  SApplication* app = SApplication::Instance();
  for (int guard = 0; !current.empty() && guard < 64; ++guard) {
    if (auto it = entries_.find(current); it != entries_.end()) return {it->second, &doc_};
    if (!app) break;
    current = app->BaseRegistryKey(SObjectInfo(current, ObjectKind::Window)).Name();
  }
  return {};
}

SUiDefInfo::SUiDefInfo() = default;
SUiDefInfo::~SUiDefInfo() = default;

void SUiDefInfo::SetSkinPool(SSkinPool* pool) { skin_pool_ = pool; }

void SUiDefInfo::LoadDefaultFont(const SXmlNode& root) {
  SXmlNode font = root.Child(u"font");
  if (!font) {
    default_font_ = SFontDesc{};
    return;
  }
  std::uint32_t size = font.Attribute(u"size").AsUint(12);
  std::uint32_t charset = font.Attribute(u"charset").AsUint(1);
  std::uint32_t weight = font.Attribute(u"weight").AsUint(0);
  std::uint32_t style = (charset & 0xFF) | ((((weight + 2) / 4) & 0xFF) << 8) | ((size & 0xFFF) << 20);
  if (font.Attribute(u"italic").AsBool()) style |= FontStyle::kItalic;
  if (font.Attribute(u"underline").AsBool()) style |= FontStyle::kUnderline;
  if (font.Attribute(u"bold").AsBool()) style |= FontStyle::kBold;
  if (font.Attribute(u"strike").AsBool()) style |= FontStyle::kStrike;
  default_font_.style = style;
  SXmlAttr name = font.Attribute(u"name");
  default_font_.name = name ? name.Value() : u"default";
  default_font_.face = font.Attribute(u"face").Value();
  if (default_font_.face.empty() || !platform::FontFaceInstalled(default_font_.face)) default_font_.face = u"宋体";
}

SXmlNode SUiDefInfo::TableElement(const SXmlNode& root, std::u16string_view name, IResProvider* provider,
                                  SXmlDoc& holder) {
  SXmlNode table = root.Child(name);
  if (!table) return {};
  auto ref = SplitFirst(table.Attribute(u"src").Value(), u':');
  if (ref.size() == 2 && provider && LoadResourceXml(provider, ref[0], ref[1], holder)) {
    if (SXmlNode loaded = holder.Child(name)) return loaded;
  }
  return table;
}

bool SUiDefInfo::Init(IResProvider* provider, std::u16string_view ref) {
  auto parts = SplitFirst(ref, u':');
  std::u16string type = parts[0], name;
  if (parts.size() != 2) LogWarning(u"warning!!!! Add ResProvider Error.", kInitFunction, kUiDefSource, 85);
  else name = parts[1];

  SXmlDoc doc;
  if (!provider || provider->ResourceSize(type, name) == 0) {
    LogWarning(u"warning!!!! uidef was not found in the specified resprovider", kInitFunction, kUiDefSource, 91);
    return false;
  }
  if (!LoadResourceXml(provider, type, name, doc)) {
    LogWarning(u"warning!!! load uidef as xml document failed", kInitFunction, kUiDefSource, 104);
    return false;
  }
  SXmlNode root = doc.Child(u"uidef");
  if (!root) {
    LogWarning(u"warning!!! \"uidef\" element is not the root element of uidef xml", kInitFunction, kUiDefSource, 110);
    return false;
  }

  SApplication* app = SApplication::Instance();
  CurrentDuringLoad current(app ? &app->UiDef() : nullptr, this);
  LoadDefaultFont(root);
  if (SXmlNode unit = root.Child(u"unit")) {
    SXmlAttr def = unit.Attribute(u"defUnit");
    auto parsed = UnitFromName(def ? def.Value() : u"dp");
    if (parsed) SLayoutSize::SetDefaultUnit(*parsed);
  } else {
    SLayoutSize::SetDefaultUnit(SizeUnit::px);
  }

  SXmlDoc holder;
  if (SXmlNode t = TableElement(root, u"string", provider, holder)) strings_.Load(t);
  if (SXmlNode t = TableElement(root, u"color", provider, holder)) colors_.Load(t);
  if (SXmlNode t = TableElement(root, u"dim", provider, holder)) dims_.Load(t);
  if (SXmlNode t = TableElement(root, u"skin", provider, holder)) {
    skin_pool_ = SAutoRefPtr<SSkinPool>::Adopt(new SSkinPool());
    skin_pool_->LoadSkins(t);
  }
  if (SXmlNode t = TableElement(root, u"style", provider, holder)) {
    style_pool_ = SAutoRefPtr<SStylePool>::Adopt(new SStylePool());
    style_pool_->Load(t);
  }
  if (SXmlNode t = TableElement(root, u"template", provider, holder)) {
    template_pool_ = SAutoRefPtr<STemplatePool>::Adopt(new STemplatePool());
    template_pool_->Load(t);
  }
  if (SXmlNode t = TableElement(root, u"objattr", provider, holder)) {
    obj_def_attr_ = SAutoRefPtr<SObjDefAttr>::Adopt(new SObjDefAttr());
    obj_def_attr_->Load(t);
  }
  return true;
}

SUiDefInfo* BuildUiDefinitions(IResProvider* provider, std::u16string_view ref) {
  auto info = SAutoRefPtr<SUiDefInfo>::Adopt(new SUiDefInfo());
  if (!info->Init(provider, ref)) return nullptr;
  return info.detach();
}

void MakeDefinitionsCurrent(SUiDefInfo* info) {
  SApplication* app = SApplication::Instance();
  if (!app || !info) return;
  if (info->SkinPool()) app->SkinPools().Push(info->SkinPool());
  if (info->StylePool()) app->StylePools().Push(info->StylePool());
  if (info->TemplatePool()) app->TemplatePools().Push(info->TemplatePool());
  app->UiDef().SetCurrent(info);
}

COLORREF SUiDef::ResolveColor(std::u16string_view text) const {
  constexpr std::u16string_view kRef = u"@color/";
  if (text.substr(0, kRef.size()) == kRef) {
    const COLORREF* c = current_ ? current_->NamedColors().Find(text.substr(kRef.size())) : nullptr;
    return c ? *c : 0x00FFFFFF;
  }
  COLORREF c = 0x00FFFFFF;
  return ParseColor(text, c) ? c : 0x00FFFFFF;
}

std::u16string SUiDef::ResolveString(std::u16string_view text) const {
  constexpr std::u16string_view kRef = u"@string/";
  if (text.substr(0, kRef.size()) != kRef) return std::u16string(text);
  const std::u16string* s = current_ ? current_->NamedStrings().Find(text.substr(kRef.size())) : nullptr;
  return s ? *s : std::u16string();
}

SLayoutSize SUiDef::ResolveDimension(std::u16string_view text) const {
  constexpr std::u16string_view kRef = u"@dim/";
  if (text.substr(0, kRef.size()) == kRef) {
    const SLayoutSize* d = current_ ? current_->NamedDimensions().Find(text.substr(kRef.size())) : nullptr;
    return d ? *d : SLayoutSize{};
  }
  SLayoutSize size;
  ParseDimension(text, size);
  return size;
}

SXmlNode SUiDef::ClassDefaults(std::u16string_view tag) const {
  if (!current_ || !current_->DefaultAttributes()) return {};
  return current_->DefaultAttributes()->ClassDefaults(tag);
}

const SFontDesc& SUiDef::DefaultFont() const {
  static const SFontDesc kNone;
  return current_ ? current_->DefaultFont() : kNone;
}

SXmlNode SStylePoolMgr::FindStyleClass(std::u16string_view name) const {
  for (auto it = pools_.rbegin(); it != pools_.rend(); ++it)
    if (SXmlNode n = (*it)->Find(name)) return n;
  return {};
}

std::u16string STemplatePoolMgr::FindTemplateText(std::u16string_view name) const {
  for (auto it = pools_.rbegin(); it != pools_.rend(); ++it)
    if (const std::u16string* t = (*it)->Find(name)) return *t;
  return {};
}

}  // namespace LOOM
