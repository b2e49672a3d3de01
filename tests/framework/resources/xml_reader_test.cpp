// The manifest's XML reader: documents in, element sequences out; errors with their
// messages and line counts; entities; encodings; reading a file through the pak layer.
#include <gtest/gtest.h>

#include <string>

#include "framework/resources/XmlReader.h"
#include "tests/framework/resources/PakTestSupport.h"

using namespace Orvo;

namespace {

// Every element of a document on one line: S:name{k=v,...} E:name T:text P:target|body C:body,
// each with the section it began in as @section; a failure ends with !message.
std::string Trace(const std::string& doc, bool allowComments = false) {
  XmlReader reader;
  reader.OpenBuffer(doc);
  reader.AllowComments(allowComments);
  std::string out;
  XmlElement e;
  while (reader.ReadElement(&e)) {
    if (!out.empty()) out += ' ';
    switch (e.mType) {
      case XmlElement::TYPE_START: {
        out += "S:" + e.mValue;
        if (!e.mAttributeOrder.empty()) {
          out += '{';
          for (std::size_t i = 0; i < e.mAttributeOrder.size(); ++i) {
            out += (i ? "," : "") + e.mAttributeOrder[i] + "=" + e.mAttributes[e.mAttributeOrder[i]];
          }
          out += '}';
        }
        break;
      }
      case XmlElement::TYPE_END: out += "E:" + e.mValue; break;
      case XmlElement::TYPE_ELEMENT: out += "T:" + e.mValue; break;
      case XmlElement::TYPE_INSTRUCTION: out += "P:" + e.mValue + "|" + e.mInstruction; break;
      case XmlElement::TYPE_COMMENT: out += "C:" + e.mInstruction; break;
      default: out += "?"; break;
    }
    if (!e.mSection.empty()) out += "@" + e.mSection;
  }
  if (reader.HasFailed()) out += (out.empty() ? "!" : " !") + reader.GetErrorText();
  return out;
}

TEST(XmlReaderTest, DocumentsGiveTheirElements) {
  const struct {
    const char* doc;
    const char* trace;
  } cases[] = {
      {"<a><b>x</b></a>", "S:a S:b@a T:x@a/b E:b@a/b E:a@a"},
      {"<a x=1 y=\"two words\" z = '3'></a>", "S:a{x=1,y=two words,z='3'} E:a@a"},
      {"<a checked other=\"o\"></a>", "S:a{checked=,other=o} E:a@a"},
      {"<a x=1 x=2></a>", "S:a{x=2,x=2} E:a@a"},
      // The three empty-element forms give a start and an end and leave the section as it was.
      {"<r><a/></r>", "S:r S:a@r E:a@r/a E:r@r"},
      {"<r><a x=\"1\"/></r>", "S:r S:a{x=1}@r E:a@r/a E:r@r"},
      {"<r><a x=1 /></r>", "S:r S:a{x=1}@r E:a@r/a E:r@r"},
      {"<r><a x=1/></r>", "S:r S:a{x=1}@r E:a@r/a E:r@r"},
      {"<r><a x=1 flag/></r>", "S:r S:a{x=1,flag=}@r E:a@r/a E:r@r"},
      // A '/' inside quotes is part of the value, not the end of an empty tag.
      {"<SetDefaults path=\"images/\"></SetDefaults>", "S:SetDefaults{path=images/} E:SetDefaults@SetDefaults"},
      {"<a path=\"x=y\"></a>", "S:a{path=x=y} E:a@a"},
      // Text: runs of blanks become one, ends are trimmed, quotes keep everything.
      {"<a>  two \t\n  words  </a>", "S:a T:two words@a E:a@a"},
      {"<a>say \"  <b> & </b>  \" now</a>", "S:a T:say \"  <b> & </b>  \" now@a E:a@a"},
      // Entities in attribute values and text.
      {"<a v=\"x&amp;y&lt;&gt;&quot;&apos;&nbsp;&cr;\">&amp;&bogus;&</a>", "S:a{v=x&y<>\"' \n} T:&&&@a E:a@a"},
      {"<a>a & b</a>", "S:a T:a & b@a E:a@a"},
      // Entities in the name of an empty-element tag are decoded once, in its start and its end.
      {"<a&amp;lt;/>", "S:a&lt; E:a&lt;@a&lt;"},
      {"<r><a&lt;/></r>", "S:r S:a<@r E:a<@r/a< E:r@r"},
      {"<a&gt;b x=1/>", "S:a>b{x=1} E:a>b@a>b"},
      {"<a&amp; />", "S:a& E:a&@a&"},
      // Instructions and comments.
      {"<?xml version=\"1.0\"?><a></a>", "P:xml|version=\"1.0\" S:a E:a@a"},
      {"<a><!-- a <comment> --></a>", "S:a E:a@a"},
      {"<!--x--><a></a>", "S:!--x-- S:a@!--x-- E:a@!--x--/a"},
      {"", ""},
      {"   \n ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Trace(c.doc), c.trace) << c.doc;
  EXPECT_EQ(Trace("<a><!-- kept --></a>", true), "S:a C:kept @a E:a@a");
}

TEST(XmlReaderTest, ErrorsStopWithTheirMessage) {
  const struct {
    const char* doc;
    const char* trace;
  } cases[] = {
      {"<a></b>", "S:a !End 'b' Doesn't Match Start 'a'"},
      {"</a>", "!Unexpected End"},
      {"<a><b</a>", "S:a !Unexpected '<'"},
      {"<a>x > y</a>", "S:a !Unexpected '>'"},
      {"<a>text", "S:a !Unexpected End of File"},
      {"<a x=\"1", "!Unexpected End of File"},
      {"<a>\x01</a>", "S:a !Illegal Character"},
      {"<a>\xC3</a>", "S:a !Illegal Character"},
      {"<a>\xED\xA0\x80</a>", "S:a !Illegal Character"},
  };
  for (const auto& c : cases) EXPECT_EQ(Trace(c.doc), c.trace) << c.doc;
}

TEST(XmlReaderTest, LineCountAtAnErrorCountsLineFeedsReadSoFar) {
  XmlReader reader;
  reader.OpenBuffer("<a>\n<b>\n\n</c>");
  XmlElement e;
  while (reader.ReadElement(&e)) {
  }
  EXPECT_TRUE(reader.HasFailed());
  EXPECT_EQ(reader.GetCurrentLineNum(), 3);
  EXPECT_FALSE(reader.ReadElement(&e)) << "a failed reader reads nothing more";
}

TEST(XmlReaderTest, EncodingsAndFiles) {
  EXPECT_EQ(Trace("\xEF\xBB\xBF<a v=\"\xC3\xA9\">\xE2\x82\xAC</a>"), "S:a{v=\xC3\xA9} T:\xE2\x82\xAC@a E:a@a");
  const std::string utf16le("\xFF\xFE<\0a\0>\0\xAC\x20<\0/\0a\0>\0", 18);
  EXPECT_EQ(Trace(utf16le), "S:a T:\xE2\x82\xAC@a E:a@a");
  // An empty element whose name is not ASCII closes itself in every encoding.
  EXPECT_EQ(Trace("<r><Bild\xC3\xA9/><\xE2\x82\xAC x=1/></r>"),
            "S:r S:Bild\xC3\xA9@r E:Bild\xC3\xA9@r/Bild\xC3\xA9 S:\xE2\x82\xAC{x=1}@r E:\xE2\x82\xAC@r/\xE2\x82\xAC E:r@r");
  const std::string utf16be("\xFE\xFF\0<\0\xE9\0/\0>", 10);
  EXPECT_EQ(Trace(utf16be), "S:\xC3\xA9 E:\xC3\xA9@\xC3\xA9");

  paktest::ScratchDir dir("xml");
  paktest::WriteFile(dir.Path() / "m.xml", "<Resources id=\"x\">\r\n</Resources>");
  XmlReader reader;
  EXPECT_FALSE(reader.OpenFile((dir.Path() / "none.xml").string()));
  ASSERT_TRUE(reader.OpenFile((dir.Path() / "m.xml").string()));
  EXPECT_EQ(reader.GetFileName(), (dir.Path() / "m.xml").string());
  XmlElement e;
  ASSERT_TRUE(reader.ReadElement(&e));
  EXPECT_EQ(e.mAttributes["id"], "x");
  ASSERT_TRUE(reader.ReadElement(&e));
  EXPECT_EQ(e.mType, XmlElement::TYPE_END);
  EXPECT_FALSE(reader.ReadElement(&e));
  EXPECT_FALSE(reader.HasFailed());
}

TEST(XmlReaderTest, AddAttributeKeepsOrderAndReportsNewNames) {
  XmlElement e;
  EXPECT_TRUE(e.AddAttribute("a", "1"));
  EXPECT_FALSE(e.AddAttribute("a", "2"));
  EXPECT_TRUE(e.AddAttribute("/", ""));
  EXPECT_EQ(e.mAttributes["a"], "2");
  EXPECT_EQ(e.mAttributeOrder, (std::vector<std::string>{"a", "a"}));
  EXPECT_EQ(DecodeXmlEntities(std::wstring(L"&lt;&x;&")), L"<&&");
}

}  // namespace
