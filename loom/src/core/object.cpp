#include "core/object.h"

#include "core/xml.h"
#include "platform/base/utf.h"

namespace LOOM {

bool LoadObjectFromMarkup(IObject& obj, const SXmlNode& node) {
  if (!node) return false;
  for (SXmlAttr a = node.FirstAttribute(); a; a = a.Next()) {
    if (a.Marked()) continue;
    obj.ApplyAttribute(a.Name(), a.Value(), true);
  }
  obj.AfterMarkupLoaded(node);
  return true;
}

HRESULT ApplyNarrowAttribute(IObject& obj, std::string_view name, std::string_view value, bool loading) {
  return obj.ApplyAttribute(platform::Utf8ToUtf16(name), platform::Utf8ToUtf16(value), loading);
}

}  // namespace LOOM
