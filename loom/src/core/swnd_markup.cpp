// Building elements from layout markup: attributes, inner text, create and show
// messages, children, "include" of other layout resources and "t:" templates.
#include "core/application.h"
#include "core/log.h"
#include "core/swnd.h"
#include "core/text_util.h"
#include "core/ui_def.h"

namespace LOOM {

// One include or template expansion running on an element. The chain through the
// element and its ancestors tells which expansions are active, so that a resource
// that includes itself is noticed instead of expanding for ever.
struct SWindow::IncludeFrame {
  std::u16string key;
  const IncludeFrame* outer;
};

namespace {

constexpr char kSource[] = "src\\core\\Swnd";
constexpr char kCreateChildren[] = "LOOM::SWindow::CreateChildren";


// Sets every attribute of from on to, replacing same-named ones; skip is left out.
void CopyAttributes(const SXmlNode& from, const SXmlNode& to, std::string_view skip) {
  pugi::xml_node target = to.Raw();
  for (pugi::xml_attribute a = from.Raw().first_attribute(); a; a = a.next_attribute()) {
    if (!skip.empty() && EqualsNoCase(std::string_view(a.name()), skip)) continue;
    pugi::xml_attribute existing = target.attribute(a.name());
    if (!existing) existing = target.append_attribute(a.name());
    existing.set_value(a.value());
  }
}

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  if (from.empty()) return;
  for (std::size_t pos = text.find(from); pos != std::u16string::npos; pos = text.find(from, pos + to.size()))
    text.replace(pos, from.size(), to);
}

}  // namespace

bool SWindow::LoadFromMarkup(const SXmlNode& node) {
  if (!node) return false;
  if (layout_param_) layout_param_->Clear();

  SXmlAttr layout = node.Attribute(u"layout");
  if (layout) {
    ApplyAttribute(layout.Name(), layout.Value(), true);
    layout.SetMark(true);
  }
  SXmlAttr cls = node.Attribute(u"class");
  if (cls) {
    ApplyAttribute(cls.Name(), cls.Value(), true);
    cls.SetMark(true);
  }
  LoadObjectFromMarkup(*this, node);
  if (layout) layout.SetMark(false);
  if (cls) cls.SetMark(false);

  std::u16string inner(Trim(node.Text()));
  if (!inner.empty()) {
    SApplication* app = SApplication::Instance();
    text_.SetText(app ? app->UiDef().ResolveString(inner) : inner);
  }

  if (SendElementMessage(WM_CREATE) != 0) {
    if (parent_) parent_->DeleteChild(this);
    return false;
  }
  if (parent_) {
    if (parent_->state_ & WndState_Invisible) state_ |= WndState_Invisible;
    if (parent_->state_ & WndState_Disable) state_ |= WndState_Disable;
  }
  SendElementMessage(WM_SHOWWINDOW, (state_ & WndState_Invisible) ? 0 : 1, kReasonParent);
  CreateChildren(node);
  AskRelayout(swnd_, false);
  return true;
}

int SWindow::MarkupDepth() const {
  int depth = 0;
  for (const SWindow* e = parent_; e; e = e->parent_) ++depth;
  return depth;
}

bool SWindow::IncludeActive(std::u16string_view key, int& depth) const {
  depth = 0;
  bool active = false;
  for (const SWindow* e = this; e; e = e->parent_)
    for (const IncludeFrame* f = e->include_frame_; f; f = f->outer) {
      ++depth;
      active |= f->key == key;
    }
  return active;
}

void SWindow::CreateChildren(const SXmlNode& node) {
  bool any = false;
  for (SXmlNode c = node.FirstChild(); c && !any; c = c.NextSibling()) any = c.IsElement();
  if (!any) return;
  if (MarkupDepth() >= kMaxMarkupDepth) {
    LogWarning(u"warning! elements nested deeper than " + IntToText(kMaxMarkupDepth) + u" levels are not loaded",
               kCreateChildren, kSource, __LINE__);
    return;
  }
  for (SXmlNode c = node.FirstChild(); c; c = c.NextSibling())
    if (c.IsElement()) CreateChild(c);
}

void SWindow::CreateChild(const SXmlNode& child) {
  std::u16string tag = child.Name();
  if (EqualsNoCase(tag, u"include")) {
    CreateFromInclude(child);
    return;
  }
  if (child.Marked()) return;
  if (tag.starts_with(u"t:")) {
    CreateFromTemplate(child, std::u16string_view(tag).substr(2));
    return;
  }
  CreateChildFromNode(child);
}

SWindow* SWindow::CreateChildFromNode(const SXmlNode& node) {
  SApplication* app = SApplication::Instance();
  if (!app) return nullptr;
  auto made = SAutoRefPtr<IObject>::Adopt(app->NewElementByTag(node.Name()));
  auto* element = dynamic_cast<SWindow*>(made.get());
  if (!element) return nullptr;
  AttachChild(element);  // the parent holds it from here (or removes it again)
  return element->LoadFromMarkup(node) ? element : nullptr;
}

void SWindow::CreateFromInclude(const SXmlNode& include) {
  SApplication* app = SApplication::Instance();
  if (!app) return;
  std::u16string src = include.Attribute(u"src").Value();
  std::vector<std::u16string> parts = SplitFirst(src, u':');
  std::u16string type = parts.size() == 2 ? parts[0] : u"LAYOUT";
  std::u16string name = parts.size() == 2 ? parts[1] : src;
  std::u16string key = ToLower(type) + u":" + ToLower(name);
  int depth = 0;
  if (IncludeActive(key, depth) || depth >= kMaxIncludeDepth) {
    LogWarning(u"warning! include of [" + src + u"] inside itself is not loaded", kCreateChildren, kSource, __LINE__);
    return;
  }
  SXmlDoc doc;
  if (!app->LoadMarkupDocument(doc, name, type)) return;
  SXmlNode first = doc.Root().Child();
  if (!first) return;
  if (first.NextSiblingElement())
    LogWarning(u"warning! multi root include layout is not supported!", kCreateChildren, kSource, 719);

  IncludeFrame frame{key, include_frame_};
  include_frame_ = &frame;
  if (EqualsNoCase(first.Name(), u"include")) {
    CreateChildren(first);
  } else {
    CopyAttributes(include, first, "src");
    CreateChildFromNode(first);
  }
  include_frame_ = frame.outer;
}

void SWindow::CreateFromTemplate(const SXmlNode& child, std::u16string_view template_name) {
  SApplication* app = SApplication::Instance();
  if (!app) return;
  std::u16string text = app->TemplatePools().FindTemplateText(template_name);
  if (text.empty()) return;
  std::u16string key = u"t:" + std::u16string(template_name);
  int depth = 0;
  if (IncludeActive(key, depth) || depth >= kMaxIncludeDepth) {
    LogWarning(u"warning! template [" + std::u16string(template_name) + u"] inside itself is not loaded",
               kCreateChildren, kSource, __LINE__);
    return;
  }
  if (SXmlNode data = child.Child(u"data"))
    for (SXmlAttr a = data.FirstAttribute(); a; a = a.Next()) ReplaceAll(text, u"{{" + a.Name() + u"}}", a.Value());
  SXmlDoc doc;
  if (!doc.LoadText(text)) return;
  SXmlNode top = doc.Root().Child();
  if (!top) return;
  CopyAttributes(child, top, {});

  IncludeFrame frame{key, include_frame_};
  include_frame_ = &frame;
  CreateChildFromNode(top);
  include_frame_ = frame.outer;
}

}  // namespace LOOM
