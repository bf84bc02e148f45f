#include "core/xml.h"

#include <fstream>
#include <sstream>

#include "core/text_util.h"
#include "platform/base/utf.h"

namespace LOOM {
namespace {


}  // namespace

std::u16string SXmlAttr::Name() const { return platform::Utf8ToUtf16(attr_.name()); }
std::u16string SXmlAttr::Value() const { return platform::Utf8ToUtf16(attr_.value()); }
bool SXmlAttr::AsBool(bool def) const { return attr_ ? attr_.as_bool(def) : def; }
int SXmlAttr::AsInt(int def) const { return attr_ ? attr_.as_int(def) : def; }
unsigned SXmlAttr::AsUint(unsigned def) const { return attr_ ? attr_.as_uint(def) : def; }

bool SXmlAttr::Marked() const {
  return owner_ && attr_ && owner_->marks_.count(attr_.internal_object()) != 0;
}
void SXmlAttr::SetMark(bool on) const {
  if (!owner_ || !attr_) return;
  if (on) owner_->marks_.insert(attr_.internal_object());
  else owner_->marks_.erase(attr_.internal_object());
}

std::u16string SXmlNode::Name() const { return platform::Utf8ToUtf16(node_.name()); }

SXmlNode SXmlNode::Child(std::u16string_view name) const {
  std::string want = ToU8(name);
  for (pugi::xml_node c = node_.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && (want.empty() || EqualsNoCase(std::string_view(c.name()), want)))
      return {c, owner_};
  }
  return {};
}

SXmlNode SXmlNode::NextSiblingElement(std::u16string_view name) const {
  std::string want = ToU8(name);
  for (pugi::xml_node c = node_.next_sibling(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && (want.empty() || EqualsNoCase(std::string_view(c.name()), want)))
      return {c, owner_};
  }
  return {};
}

SXmlAttr SXmlNode::Attribute(std::u16string_view name) const {
  std::string want = ToU8(name);
  for (pugi::xml_attribute a = node_.first_attribute(); a; a = a.next_attribute()) {
    if (EqualsNoCase(std::string_view(a.name()), want)) return {a, owner_};
  }
  return {};
}

std::u16string SXmlNode::Text() const {
  for (pugi::xml_node c = node_.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) return platform::Utf8ToUtf16(c.value());
  }
  return {};
}

bool SXmlNode::Marked() const { return owner_ && node_ && owner_->marks_.count(node_.internal_object()) != 0; }
void SXmlNode::SetMark(bool on) const {
  if (!owner_ || !node_) return;
  if (on) owner_->marks_.insert(node_.internal_object());
  else owner_->marks_.erase(node_.internal_object());
}

std::u16string SXmlNode::Markup() const {
  std::ostringstream out;
  node_.print(out, "\t", pugi::format_indent);
  return platform::Utf8ToUtf16(out.str());
}

bool SXmlDoc::LoadBuffer(const void* data, std::size_t size) {
  marks_.clear();
  return doc_.load_buffer(data, size, pugi::parse_default, pugi::encoding_utf8).status == pugi::status_ok;
}

bool SXmlDoc::LoadText(std::u16string_view text) {
  std::string utf8 = platform::Utf16ToUtf8(text);
  return LoadBuffer(utf8.data(), utf8.size());
}

bool SXmlDoc::LoadFile(std::u16string_view path) {
  std::ifstream in(platform::PathFromUtf16(path), std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff size = in.tellg();
  if (size < 0 || size > (std::streamoff{1} << 30)) return false;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(bytes.data(), size)) return false;
  return LoadBuffer(bytes.data(), bytes.size());
}

void SXmlDoc::Reset() {
  marks_.clear();
  doc_.reset();
}

SXmlNode SXmlDoc::AdoptCopy(const SXmlNode& node) {
  Reset();
  return {doc_.append_copy(node.Raw()), this};
}

}  // namespace LOOM
