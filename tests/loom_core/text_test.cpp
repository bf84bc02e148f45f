// Text helpers and the XML layer: case-insensitive lookup and the mark bit.
#include <gtest/gtest.h>

#include "core/text_util.h"
#include "core/xml.h"

namespace LOOM {
namespace {

TEST(TextUtil, IntegersReadLikeTheCLibrary) {
  EXPECT_EQ(ReadInt(u" 42px"), 42);
  EXPECT_EQ(ReadInt(u"-7"), -7);
  EXPECT_EQ(ReadInt(u"0x1F", true), 31);
  EXPECT_EQ(ReadInt(u"0x1F", false), 0);
  EXPECT_FALSE(ReadInt(u"px").has_value());
  EXPECT_EQ(IntOr0(u"abc"), 0);
  EXPECT_EQ(ReadInt(u"99999999999"), static_cast<std::int32_t>(99999999999LL & 0xFFFFFFFF));
}

TEST(TextUtil, SplitKeepsEmptyPartsAndSplitFirstKeepsLaterSeparators) {
  EXPECT_EQ(Split(u"a,,b", u','), (std::vector<std::u16string>{u"a", u"", u"b"}));
  EXPECT_EQ(SplitFirst(u"image:a:b", u':'), (std::vector<std::u16string>{u"image", u"a:b"}));
  EXPECT_EQ(SplitFirst(u"noColon", u':').size(), 1u);
}

TEST(XmlLayer, ChildrenAndAttributesMatchWithoutCase) {
  SXmlDoc doc;
  ASSERT_TRUE(doc.LoadText(u"<UIDEF><Font Face=\"宋体\" SIZE=\"12\"/><skin/></UIDEF>"));
  SXmlNode root = doc.Child(u"uidef");
  ASSERT_TRUE(root);
  SXmlNode font = root.Child(u"FONT");
  ASSERT_TRUE(font);
  EXPECT_EQ(font.Attribute(u"face").Value(), u"宋体");
  EXPECT_EQ(font.Attribute(u"size").AsInt(), 12);
  EXPECT_FALSE(font.Attribute(u"bold"));
  EXPECT_EQ(font.NextSiblingElement(u"SKIN").Name(), u"skin");
}

TEST(XmlLayer, MarksBelongToTheDocumentAndClearOnReload) {
  SXmlDoc doc;
  ASSERT_TRUE(doc.LoadText(u"<a x=\"1\" y=\"2\"><b/></a>"));
  SXmlNode a = doc.Child(u"a");
  SXmlAttr x = a.Attribute(u"x");
  x.SetMark(true);
  a.Child(u"b").SetMark(true);
  EXPECT_TRUE(a.Attribute(u"X").Marked());
  EXPECT_FALSE(a.Attribute(u"y").Marked());
  EXPECT_TRUE(a.Child().Marked());
  EXPECT_FALSE(a.Marked());
  x.SetMark(false);
  EXPECT_FALSE(x.Marked());
  ASSERT_TRUE(doc.LoadText(u"<a x=\"1\"><b/></a>"));
  EXPECT_FALSE(doc.Child(u"a").Child(u"b").Marked());
}

TEST(XmlLayer, MalformedMarkupIsRefused) {
  SXmlDoc doc;
  EXPECT_FALSE(doc.LoadText(u"<a><b></a>"));
  EXPECT_FALSE(doc.LoadBuffer("\xff\xfe<", 3));
  EXPECT_FALSE(doc.LoadFile(u"/nonexistent/file.xml"));
}

TEST(XmlLayer, BooleansReadAsTheXmlLayerReadsThem) {
  SXmlDoc doc;
  ASSERT_TRUE(doc.LoadText(u"<a t=\"true\" y=\"Yes\" one=\"1\" f=\"false\" zero=\"0\"/>"));
  SXmlNode a = doc.Child();
  EXPECT_TRUE(a.Attribute(u"t").AsBool());
  EXPECT_TRUE(a.Attribute(u"y").AsBool());
  EXPECT_TRUE(a.Attribute(u"one").AsBool());
  EXPECT_FALSE(a.Attribute(u"f").AsBool());
  EXPECT_FALSE(a.Attribute(u"zero").AsBool());
}

}  // namespace
}  // namespace LOOM
