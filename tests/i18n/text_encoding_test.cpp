#include "i18n/text_encoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "i18n/code_page_tables.h"
#include "i18n/node_scan.h"
#include "i18n/xml_tables.h"
#include "platform/text.h"
#include "support/only_on.h"

namespace z900::i18n {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Utf8(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

std::u16string Utf16(const char* ascii) { return {ascii, ascii + std::strlen(ascii)}; }

// Bytes in a named encoding and the text they stand for.
struct ConversionCase {
  const char* from;
  std::string_view bytes;
  std::u16string text;
};

void ExpectConverted(const ConversionCase& c) {
  const std::optional<std::u16string> text =
      ConvertText(Utf16(c.from), u"UTF-16", Bytes(c.bytes), 1252);
  ASSERT_TRUE(text) << c.from;
  EXPECT_EQ(Utf8(*text), Utf8(c.text)) << c.from;  // UTF-8 for readable failures
}

TEST(EncodingTablesTest, EveryNameIsFoundThroughTheBuckets) {
  std::set<int> code_pages;
  for (const EncodingName& entry : EncodingNameTable()) {
    code_pages.insert(entry.code_page);
    const std::u16string name(entry.name.begin(), entry.name.end());
    EXPECT_EQ(LookUpEncodingName(name), entry.code_page) << entry.name;
  }
  EXPECT_EQ(EncodingNameTable().size(), 254u);
  EXPECT_EQ(code_pages.size(), 116u);

  std::set<std::string_view> entity_names;
  for (const EntityName& entry : EntityTable()) {
    entity_names.insert(entry.name);
    const std::u16string name(entry.name.begin(), entry.name.end());
    EXPECT_EQ(LookUpEntityName(name), entry.code_point) << entry.name;
  }
  EXPECT_EQ(EntityTable().size(), 253u);
  EXPECT_EQ(entity_names.size(), 253u);
}

TEST(EncodingTablesTest, CodePageOfEncoding) {
  const struct {
    std::u16string name;
    int code_page;
  } cases[] = {
      {u"", 0},
      {u"GB2312", 936},
      {u"Shift_JIS", 932},
      {u"UTF-8", 65001},
      {u"utf-16", 1200},
      {u"X-MAC-CE", 10029},
      {u"iso_8859-1:1987", 28591},
      {u"UTF-32", 65005},
      {u"UTF-32BE", 65005},
      {u"utf-32", -1},  // only the exact case counts for UTF-32
      {u"no-such-charset", -1},
      {std::u16string(100, u'a'), -1},
  };
  for (const auto& c : cases) EXPECT_EQ(CodePageOfEncoding(c.name), c.code_page) << Utf8(c.name);
}

// Every code page that the table can name converts somehow, except the two that the Windows
// conversion refuses.
TEST(TextEncodingTest, EveryCodePageOfTheTableHasAConversion) {
  for (const EncodingName& entry : EncodingNameTable()) {
    const CodePageConversion conversion = ConversionOfCodePage(entry.code_page);
    if (entry.code_page == kCodePageUtf16 || entry.code_page == kCodePageUtf16BigEndian) {
      EXPECT_EQ(conversion.method, CodePageConversion::Method::kNone);
    } else {
      EXPECT_NE(conversion.method, CodePageConversion::Method::kNone) << entry.code_page;
    }
  }
}

TEST(TextEncodingTest, ConvertsToUtf16) {
  const ConversionCase cases[] = {
      {"windows-1252", "\x80\x81\xE9", u"\u20ac\u0081\u00e9"},
      {"gb2312", "a\xD6\xD0", u"a\u4e2d"},
      {"shift_jis", "\x82\xA0", u"\u3042"},
      // Cut off after a lead byte: the system's replacement (Windows gives 932's default
      // character, iconv U+FFFD).
      {"shift_jis", "a\x82", test::kOnWindows ? u"a\u30fb" : u"a\uFFFD"},
      {"koi8-r", "\xC1", u"\u0430"},
      {"ebcdic-cp-us", "\xC1", u"A"},
      {"x-iscii-de", "a\xA4", u"a\uFFFD"},  // no iconv counterpart: ASCII only
      {"utf-8", "a\xC3\xA9\xF0\x9F\x98\x80", u"a\u00e9\U0001F600"},
      {"UTF-32", std::string_view("A\0\0\0\x00\xF6\x01\x00\xFF\xFF\xFF\x00", 12),
       u"A\U0001F600\uFFFD"},
      {"utf-16", "ab", u""},  // the Windows conversion refuses UTF-16 as a source
  };
  for (const ConversionCase& c : cases) ExpectConverted(c);
  EXPECT_FALSE(ConvertText(u"utf-8", u"windows-1252", Bytes("a"), 1252));
  EXPECT_EQ(Utf8(ConvertToUtf16(0, Bytes("\xC4"), 1251)), Utf8(u"\u0414"));  // ANSI code page
}

// The code pages of our own tables against their published charts; each row holds a byte that
// iconv's nearest set lacks or gets wrong.
TEST(TextEncodingTest, SingleByteTablesFollowTheCharts) {
  const ConversionCase cases[] = {
      {"dos-720", "A\x82\xA0\xE1\xB0", u"A\u00e9\u0628\u0637\u2591"},
      {"x-ebcdic-greekmodern", "\xC1\x41\x8A\x74\xB0\xDD", u"A\u0391\u03b1\u00a0\u00a3\u0387"},
      {"cp1026", "\xC1\x4A\x5A\x5B\x7C\x9D\xBC", u"A\u00c7\u011e\u0130\u015e\u00b8\u00af"},
      {"macintosh", "A\x80\xA5\xC6\xD0\xD1", u"A\u00c4\u2022\u2206\u2013\u2014"},
      {"x-mac-arabic", "A\x81\xB0\xC7\xE4", u"A\u00a0\u0660\u0627\u0644"},
      {"x-mac-greek", "A\xA1\xB0\xE1\xF0", u"A\u0393\u0391\u03b1\u03c0"},
      {"x-mac-icelandic", "A\xA0\xD0\xDC\xDD\xDE\xDF", u"A\u00dd\u2013\u00d0\u00f0\u00de\u00fe"},
      {"x-mac-turkish", "A\xDA\xDB\xDC\xDD\xDE\xDF", u"A\u011e\u011f\u0130\u0131\u015e\u015f"},
  };
  std::set<int> checked;
  for (const ConversionCase& c : cases) {
    ExpectConverted(c);
    checked.insert(CodePageOfEncoding(Utf16(c.from)));
  }
  for (const SingleByteCodePage& page : SingleByteCodePages()) {
    EXPECT_TRUE(checked.contains(page.code_page)) << page.code_page << " has no row here";
  }
}

TEST(TextEncodingTest, LooksLikeUtf8) {
  const struct {
    std::string_view bytes;
    bool utf8;
  } cases[] = {
      {"plain", true},
      {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", true},
      {"\x80\xBF", true},  // lone continuation bytes pass as leads
      {"\xC0\xFF", true},  // continuations need only their top bit
      {"\xF8\x80\x80\x80", false},
      {"\xC3", false},                          // cut off by the end
      {"\xE4\xB8x", false},                     // cut off by a byte below 0x80
      {std::string_view("ok\0\xFF", 4), true},  // the test stops at a zero byte
  };
  for (const auto& c : cases) EXPECT_EQ(LooksLikeUtf8(Bytes(c.bytes)), c.utf8) << c.bytes;
}

TEST(TextEncodingTest, DeclaredEncoding) {
  const struct {
    std::u16string text;
    std::u16string encoding;
  } cases[] = {
      {u"<?xml version=\"1.0\" encoding=\"GB2312\"?><a/>", u"GB2312"},
      {u"<?XML ENCODING='Big5' ?>", u"Big5"},
      {u"<!-- note --><?xml encoding=utf-8?>", u"utf-8"},
      {u"<?xml version='1.0'?><a/>", u""},
      {u"<a/><?xml encoding='x'?>", u""},  // after an element it is no declaration
      {u"<html><head><meta http-equiv='content-type' content='text/html; charset=koi8-r'>",
       u"koi8-r"},
      {u"<HTML><Meta HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=big5\"/>", u"big5"},
      {u"<html><head><meta http-equiv='Content-Type'></head>", u""},
      {u"<html><head></head><meta http-equiv='Content-Type' content='charset=x'>", u""},
      {u"<body><meta http-equiv='Content-Type' content='charset=x'>", u""},
      {u"<?xml encoding='cut", u""},  // a broken node ends the search
  };
  for (const auto& c : cases) EXPECT_EQ(DeclaredEncoding(c.text), c.encoding) << Utf8(c.text);
}

}  // namespace
}  // namespace z900::i18n
