// A thin layer over pugixml for the toolkit's markup: child and attribute lookup by
// name without regard to case, UTF-16 values, and a one-bit mark on elements and
// attributes that the owning document keeps.
#pragma once

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_set>

namespace LOOM {

class SXmlDoc;

class SXmlAttr {
 public:
  SXmlAttr() = default;
  SXmlAttr(pugi::xml_attribute a, const SXmlDoc* owner) : attr_(a), owner_(owner) {}
  explicit operator bool() const { return !attr_.empty(); }
  std::u16string Name() const;
  std::u16string Value() const;
  std::string_view NameUtf8() const { return attr_.name(); }
  std::string_view ValueUtf8() const { return attr_.value(); }
  // Booleans as the XML layer reads them: true when the value begins with 1, t, T, y, Y.
  bool AsBool(bool def = false) const;
  int AsInt(int def = 0) const;
  unsigned AsUint(unsigned def = 0) const;
  SXmlAttr Next() const { return {attr_.next_attribute(), owner_}; }
  bool Marked() const;
  void SetMark(bool on) const;
  pugi::xml_attribute Raw() const { return attr_; }

 private:
  pugi::xml_attribute attr_;
  const SXmlDoc* owner_ = nullptr;
};

class SXmlNode {
 public:
  SXmlNode() = default;
  SXmlNode(pugi::xml_node n, const SXmlDoc* owner) : node_(n), owner_(owner) {}
  explicit operator bool() const { return !node_.empty(); }
  bool IsElement() const { return node_.type() == pugi::node_element; }
  std::u16string Name() const;
  std::string_view NameUtf8() const { return node_.name(); }
  // First child element whose name equals name without regard to case; any element
  // when name is empty.
  SXmlNode Child(std::u16string_view name = {}) const;
  SXmlNode FirstChild() const { return {node_.first_child(), owner_}; }
  SXmlNode NextSibling() const { return {node_.next_sibling(), owner_}; }
  // Next sibling element with the given name (case-insensitive), any element when empty.
  SXmlNode NextSiblingElement(std::u16string_view name = {}) const;
  SXmlAttr Attribute(std::u16string_view name) const;
  SXmlAttr FirstAttribute() const { return {node_.first_attribute(), owner_}; }
  // Text of the first text or CDATA child.
  std::u16string Text() const;
  bool Marked() const;
  void SetMark(bool on) const;
  pugi::xml_node Raw() const { return node_; }
  const SXmlDoc* Owner() const { return owner_; }
  // Serialised markup of this node (indented).
  std::u16string Markup() const;

 private:
  pugi::xml_node node_;
  const SXmlDoc* owner_ = nullptr;
};

class SXmlDoc {
 public:
  SXmlDoc() = default;
  SXmlDoc(const SXmlDoc&) = delete;
  SXmlDoc& operator=(const SXmlDoc&) = delete;

  // Parses UTF-8 bytes with pugixml's default options; false on malformed input.
  bool LoadBuffer(const void* data, std::size_t size);
  bool LoadText(std::u16string_view text);
  bool LoadFile(std::u16string_view path);
  void Reset();
  // The document node (the parent of the top-level elements).
  SXmlNode Root() const { return {doc_.root(), this}; }
  SXmlNode Child(std::u16string_view name = {}) const { return Root().Child(name); }
  // Copies node (and its subtree) as the new top element of this document.
  SXmlNode AdoptCopy(const SXmlNode& node);
  pugi::xml_document& Raw() { return doc_; }

 private:
  friend class SXmlNode;
  friend class SXmlAttr;
  pugi::xml_document doc_;
  mutable std::unordered_set<const void*> marks_;
};

}  // namespace LOOM
