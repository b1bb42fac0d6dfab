#include "i18n/xml_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "i18n/text_encoding.h"
#include "i18n/xml_tables.h"
#include "platform/text.h"
#include "support/system_files.h"
#include "support/temp_folder.h"

namespace z900::i18n {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

// Reading: byte-order marks, declared and detected encodings, and the result text that
// describes what was found.
TEST(XmlDocumentReadTest, EncodingAndResultText) {
  const struct {
    const char* name;
    std::string_view bytes;
    std::u16string text;
    std::string result;
  } cases[] = {
      {"utf-8 mark", std::string_view("\xEF\xBB\xBF<a>\xC3\xA9</a>"), u"<a>\u00e9</a>",
       "UTF-8 BOM + length 9 to 8 wide chars "},
      {"gb2312 declared", "<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xD6\xD0</a>",
       u"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\u4e2d</a>",
       "GB2312 length 48 to 47 wide chars "},
      {"gb2312 undeclared is utf-8 by its first byte", "<a>\xD6\xD0</a>", u"<a>\uFFFD\uFFFD</a>",
       "UTF-8 length 9 to 9 wide chars "},
      {"ansi fallback", " <a>\xE9</a>", u" <a>\u00e9</a>",
       "ANSI length 9 (used UTF-8 detection) to 9 wide chars "},
      {"utf-8 detected", " <a>\xC3\xA9</a>", u" <a>\u00e9</a>",
       "UTF-8 length 10 (used UTF-8 detection) to 9 wide chars "},
      {"nulls removed", std::string_view("<a>x\0y</a>", 10), u"<a>xy</a>",
       "UTF-8 length 10 (1 nulls removed) to 9 wide chars "},
      {"utf-16le mark", std::string_view("\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0", 18),
       u"<a>\u00e9</a>", "UTF-16LE BOM + length 8 "},
      {"utf-16le nulls", std::string_view("\xFF\xFE<\0a\0\0\0>\0", 10), u"<a>",
       "UTF-16LE BOM + length 4 (1 nulls removed) "},
      {"utf-16be mark", std::string_view("\xFE\xFF\0<\0a\0>\x4e\x2d\0<\0/\0a\0>", 18),
       u"<a>\u4e2d</a>", "UTF-16BE BOM + length 8 endian swap "},
      {"html meta charset",
       "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
       "charset=windows-1251\"></head><body>\xC4</body></html>",
       u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
       u"charset=windows-1251\"></head><body>\u0414</body></html>",
       "windows-1251 length 114 to 114 wide chars "},
      {"unknown name is the ansi code page", "<?xml encoding=\"no-such\"?><a>\x80</a>",
       u"<?xml encoding=\"no-such\"?><a>\u20ac</a>", "no-such length 34 to 34 wide chars "},
  };
  for (const auto& c : cases) {
    CXmlDocument document;
    document.SetAnsiCodePage(1252);
    document.ReadDocumentBytes(Bytes(c.bytes));
    EXPECT_EQ(Utf8(document.text()), Utf8(c.text)) << c.name;
    EXPECT_EQ(Utf8(document.ReadResult()), c.result) << c.name;
  }
}

TEST(XmlDocumentReadTest, ZeroByteFileLoadsAsAnEmptyDocument) {
  test::TempFolder folder;
  const auto path = folder.path() / "empty.xml";
  std::ofstream(path).close();
  CXmlDocument document;
  EXPECT_TRUE(document.LoadDocument(path));
  EXPECT_EQ(Utf8(document.ReadResult()), "ANSI 0 length  Empty document");
  EXPECT_FALSE(document.IsWellFormed());
  EXPECT_FALSE(document.FindChildElement(u"config"));
}

TEST(XmlDocumentReadTest, UnreadableFileEmptiesTheDocumentAndKeepsTheSystemMessage) {
  test::TempFolder folder;
  CXmlDocument document;
  ASSERT_TRUE(document.LoadDocumentText(u"<r><config/></r>"));
  EXPECT_FALSE(document.LoadDocument(folder.path() / "missing.xml"));
  EXPECT_EQ(Utf8(document.ReadResult()), test::MissingFileMessage());
  EXPECT_FALSE(document.FindElement());
  EXPECT_FALSE(document.FindChildElement(u"config"));
  EXPECT_EQ(document.ChildElementText(), u"");

  EXPECT_FALSE(document.LoadDocument(folder.path()));  // a folder is never read
  EXPECT_EQ(Utf8(document.ReadResult()), "a folder, not a regular file");
}

TEST(XmlDocumentReadTest, FileIsParsedAfterTheReadResult) {
  test::TempFolder folder;
  const auto path = folder.path() / "broken.xml";
  std::ofstream(path, std::ios::binary) << "<r><a></r>";
  CXmlDocument document;
  EXPECT_TRUE(document.LoadDocument(path));
  EXPECT_EQ(Utf8(document.ReadResult()),
            "UTF-8 length 10 to 10 wide chars  End tag 'r' at offset 7 does not match start "
            "tag 'a' at offset 3");
  EXPECT_EQ(document.Encoding(), u"UTF-8");
  const std::u16string result = document.ReadResult();
  EXPECT_FALSE(document.ParseDocument());
  EXPECT_EQ(document.ReadResult(), result);  // parsing again appends nothing twice
}

// Building: the first message wins, except the three that describe the whole document.
TEST(XmlDocumentParseTest, MessagesAndWellFormedness) {
  const struct {
    std::u16string text;
    std::string result;
    bool well_formed;
  } cases[] = {
      {u"<?xml version='1.0'?><!DOCTYPE r [<!ENTITY x 'y'><!-- > -->]><r a='>'>t</r>", "", true},
      {u"<r><a/><b x=\"1\" /></r>\n", "", true},
      {u"", "Empty document", false},
      {u"just text", "No root element", false},
      {u"<a/><b/>", "Root element has sibling", false},
      {u"<a></b></a>", "No start tag for end tag 'b' at offset 3", false},
      {u"<r><a><b></a></r>", "End tag 'a' at offset 10 does not match start tag 'b' at offset 6",
       false},
      {u"<r>text", "Element 'r' at offset 0 not ended", false},
      {u"<r><!-x></r>", "Incorrect comment tag at offset 3", false},
      {u"<r><![X></r>", "Incorrect tag at offset 3", false},
      {u"<r><!Q></r>", "Incorrect ! tag at offset 3", false},
      {u"<r><1></r>", "Incorrect tag name character at offset 3", false},
      {u"<r><!-- x", "Comment at offset 3 unterminated", false},
      {u"<r><![CDATA[x", "CDATA Section at offset 3 unterminated", false},
      {u"<r><?pi x", "Processing instruction at offset 3 unterminated", false},
      {u"<r><b x='1></r>", "Element tag at offset 3 unterminated", false},
      {u"<r></r", "Element end tag at offset 3 unterminated", false},
      {u"<r><", "tag at offset 3 unterminated", false},
      {u"<r/><!DOCTYPE r [<!-- x", "Doctype at offset 17 unterminated", false},
  };
  for (const auto& c : cases) {
    CXmlDocument document;
    EXPECT_EQ(document.LoadDocumentText(c.text), c.well_formed) << Utf8(c.text);
    EXPECT_EQ(Utf8(document.ReadResult()), c.result) << Utf8(c.text);
  }
}

TEST(XmlDocumentParseTest, UnclosedElementEndsAtItsStartTag) {
  CXmlDocument document;
  EXPECT_FALSE(document.LoadDocumentText(u"<r><a><b></a></r>"));
  const auto& e = document.elements();
  ASSERT_EQ(e.size(), 4u);  // document, r, a, b
  EXPECT_EQ(e[3].start, 6);
  EXPECT_EQ(e[3].length, 3);
  EXPECT_EQ(e[3].end_tag_length, 0);
  EXPECT_EQ(e[3].parent, 2u);
  EXPECT_NE(e[3].flags & CXmlDocument::kNeverClosed, 0u);
  EXPECT_EQ(e[2].start, 3);
  EXPECT_EQ(e[2].length, 10);  // "<a><b></a>"
  EXPECT_EQ(e[1].length, 17);
  EXPECT_NE(e[0].flags & CXmlDocument::kIllFormed, 0u);
}

// The children of an element that is never closed follow it as siblings under its parent.
TEST(XmlDocumentParseTest, ChildrenOfUnclosedElementsMoveUp) {
  CXmlDocument document;
  document.LoadDocumentText(u"<r><a><b>x</b><c/></r>");
  ASSERT_TRUE(document.FindChildElement(u"a"));
  EXPECT_TRUE(document.FindChildElement(u"b"));
  EXPECT_EQ(document.ChildElementText(), u"x");
  EXPECT_TRUE(document.FindChildElement(u"c"));
  EXPECT_FALSE(document.FindChildElement());

  // At the end of the text: every open element, outermost first, gives up its children.
  EXPECT_FALSE(document.LoadDocumentText(u"<r><a><b>x</b>"));
  EXPECT_EQ(Utf8(document.ReadResult()), "Root element has sibling");
  std::vector<std::u16string> top;
  while (document.FindElement()) top.emplace_back(document.CurrentElementName());
  EXPECT_EQ(top, (std::vector<std::u16string>{u"r", u"a", u"b"}));
}

// Deep documents take another path to refuse stray end tags; the outcome must not differ.
TEST(XmlDocumentParseTest, StrayEndTagsInADeepDocument) {
  std::u16string text = u"<r>";
  for (int i = 0; i < 100; ++i) text += u"<a>";
  const std::size_t stray = text.size();
  text += u"</x></r>";
  CXmlDocument document;
  EXPECT_FALSE(document.LoadDocumentText(text));
  EXPECT_EQ(Utf8(document.ReadResult()),
            "No start tag for end tag 'x' at offset " + std::to_string(stray));
  const ElementRecord& root = document.elements()[1];
  EXPECT_EQ(root.length, static_cast<std::int32_t>(text.size()));  // closed by its own end tag
  EXPECT_EQ(root.end_tag_length, 4);
  std::size_t children = 0;
  for (std::uint32_t c = root.first_child; c != 0; c = document.elements()[c].next_sibling) {
    EXPECT_EQ(document.elements()[c].parent, 1u);
    ++children;
  }
  EXPECT_EQ(children, 100u);  // every unclosed a moved up under r
}

TEST(XmlDocumentParseTest, EmptyElementNeedsSlashAfterNameBlankOrQuote) {
  const struct {
    std::u16string text;
    bool empty;
  } cases[] = {
      {u"<r><a/></r>", true},      {u"<r><a /></r>", true},   {u"<r><a x='1'/></r>", true},
      {u"<r><a x=1/></r>", false}, {u"<r><a x/></r>", false},
  };
  for (const auto& c : cases) {
    CXmlDocument document;
    document.LoadDocumentText(c.text);
    ASSERT_GE(document.elements().size(), 3u);
    EXPECT_EQ(document.elements()[2].end_tag_length == 0 &&
                  (document.elements()[2].flags & CXmlDocument::kNeverClosed) == 0,
              c.empty)
        << Utf8(c.text);
  }
}

TEST(XmlDocumentTextTest, EntityReferences) {
  const struct {
    std::u16string in;
    std::u16string out;
  } cases[] = {
      {u"&amp;&lt;&gt;&quot;&apos;", u"&<>\"'"},
      {u"&#65;&#x42;&#X43;&#x4a;&#X4B;", u"ABCJK"},
      {u"&#x1F600;", u"\U0001F600"},
      // A name that matches no entry exactly is looked up ignoring case: the variant written
      // with a capital letter comes first.
      {u"&AMP;&Amp;", u"&&"},
      {u"&EACUTE;&eAcute;&ALPHA;&DARR;", u"\u00c9\u00c9\u0391\u21d3"},
      {u"&nbsp;&euro;&hellip;", u"\u00a0\u20ac\u2026"},
      {u"&unknown;", u"&unknown;"},
      {u"a & b;", u"a & b;"},
      {u"&abcdefghij;", u"&abcdefghij;"},  // ten characters: not a reference
      {u"&#1114112;", u"&#1114112;"},      // past U+10FFFF
      {u"&#;&#x;&;", u"&#;&#x;&;"},
      {u"&amp", u"&amp"},
      {u"&\u00e9;", u"&\u00e9;"},
      {u"&&amp;", u"&&"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeEntities(c.in), c.out) << Utf8(c.in);
}

// Every pair of names that differ only in case gives each spelling its own character (&eacute;
// is é, &Eacute; is É).
TEST(XmlDocumentTextTest, EntityNamesThatDifferOnlyInCase) {
  const auto lower = [](std::string_view name) {
    std::string out(name);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    return out;
  };
  const std::span<const EntityName> table = EntityTable();
  int pairs = 0;
  for (std::size_t i = 0; i < table.size(); ++i) {
    for (std::size_t j = i + 1; j < table.size(); ++j) {
      if (lower(table[i].name) != lower(table[j].name)) continue;
      ++pairs;
      EXPECT_NE(table[i].name, table[j].name);
      for (const EntityName& entry : {table[i], table[j]}) {
        const std::u16string reference =
            u"&" + std::u16string(entry.name.begin(), entry.name.end()) + u";";
        std::u16string character;
        platform::AppendUtf16(character, entry.code_point);
        EXPECT_EQ(DecodeEntities(reference), character) << entry.name;
      }
    }
  }
  EXPECT_EQ(pairs, 64);
}

TEST(XmlDocumentTextTest, ElementText) {
  const struct {
    std::u16string document;
    std::u16string text;
  } cases[] = {
      {u"<r><k>x<!--c-->y<![CDATA[<b>]]></k></r>", u"xy<b>"},
      {u"<r><k>t<b/>u</k></r>", u""},
      {u"<r><k/></r>", u""},
      {u"<r><k> \n x &amp; \n</k></r>", u" \n x & \n"},
      {u"<r><k>  <!--c-->  </k></r>", u""},
      {u"<r><k> a <?pi?> b </k></r>", u" a  b "},
      {u"<r><k><![C]]></k></r>", u""},  // too short to hold "CDATA["
  };
  for (const auto& c : cases) {
    CXmlDocument document;
    document.LoadDocumentText(c.document);
    ASSERT_TRUE(document.FindChildElement(u"k")) << Utf8(c.document);
    EXPECT_EQ(document.ChildElementText(), c.text) << Utf8(c.document);
  }
}

TEST(XmlDocumentNavigationTest, FindChildSelectsTheRootFirst) {
  CXmlDocument document;
  document.LoadDocumentText(u"<lang><config><a>1</a></config></lang>");
  EXPECT_TRUE(document.FindChildElement(u"config"));
  EXPECT_EQ(document.CurrentElementName(), u"lang");

  document.LoadDocumentText(u"<config><a>1</a></config>");
  EXPECT_FALSE(document.FindChildElement(u"config"));

  document.LoadDocumentText(u"<lang><Config/></lang>");
  EXPECT_FALSE(document.FindChildElement(u"config"));
  EXPECT_TRUE(document.FindChildElement(u"Config"));
}

TEST(XmlDocumentNavigationTest, WalksSiblingsAndLevels) {
  CXmlDocument document;
  document.LoadDocumentText(u"<r><s><k>1</k><k>2</k></s><t/></r>");
  EXPECT_FALSE(document.EnterElement());  // nothing current yet
  ASSERT_TRUE(document.FindElement(u"r"));
  EXPECT_TRUE(document.FindChildElement(u"s[2]"));  // the name counts up to '['
  ASSERT_TRUE(document.EnterElement());
  EXPECT_EQ(document.CurrentElementName(), u"s");
  ASSERT_TRUE(document.FindChildElement(u"k"));
  EXPECT_EQ(document.ChildElementText(), u"1");
  ASSERT_TRUE(document.FindChildElement(u"k"));
  EXPECT_EQ(document.ChildElementText(), u"2");
  EXPECT_FALSE(document.FindChildElement(u"k"));
  EXPECT_EQ(document.ChildElementText(), u"2");  // a failed find leaves the position
  ASSERT_TRUE(document.OutOfElement());
  EXPECT_EQ(document.ChildElementName(), u"s");
  EXPECT_TRUE(document.FindChildElement(u"t"));
  EXPECT_FALSE(document.OutOfElement());  // already at the root's level
  document.Rewind();
  EXPECT_TRUE(document.FindElement());
  EXPECT_FALSE(document.FindElement());  // the root has no sibling
}

TEST(XmlDocumentNavigationTest, SectionValueDescendsIntoNestedSections) {
  CXmlDocument document;
  document.LoadDocumentText(
      u"<r><config><x>1</x><config><y>2</y></config></config><config><z>3</z></config></r>");
  EXPECT_EQ(SectionValue(document, u"config", u"x"), u"1");
  EXPECT_EQ(SectionValue(document, u"config", u"y"), u"2");
  EXPECT_EQ(SectionValue(document, u"config", u"z"), u"");  // later sibling sections unread
  EXPECT_EQ(SectionValue(document, u"none", u"x"), u"");
}

}  // namespace
}  // namespace z900::i18n
