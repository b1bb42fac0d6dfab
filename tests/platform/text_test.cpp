#include "platform/text.h"

#include <gtest/gtest.h>

namespace z900::platform {
namespace {

TEST(TextTest, ConvertsBothWaysIncludingSurrogatePairs) {
  const std::u16string text = u"Profil \u00e4\u4e2d \U0001F600";
  EXPECT_EQ(Utf16ToUtf8(text), "Profil \xc3\xa4\xe4\xb8\xad \xf0\x9f\x98\x80");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(TextTest, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"a"),
            "\xef\xbf\xbd"
            "a");
  const struct {
    const char* utf8;
    std::u16string utf16;
  } cases[] = {
      {"\xff", u"\uFFFD"},
      {"\xc3", u"\uFFFD"},  // cut short at the end
      {"\xc3"
       "a",
       u"\uFFFD"
       "a"},  // continuation missing
      // Bytes that can never continue the sequence: one replacement each.
      {"\xc0\xaf", u"\uFFFD\uFFFD"},                      // over-long form
      {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\xe4\xb8"
       "a\xf0\x9f\x98",
       u"\uFFFD"
       "a\uFFFD"},  // a valid start cut short is one replacement
      {"abcdefgh\xe4\xb8\xadijklmnop", u"abcdefgh\u4e2dijklmnop"},
      {"0123456789abcdefXYZ\xc3\xa9-0123456789abcdef\xff",
       u"0123456789abcdefXYZ\u00e9-0123456789abcdef\uFFFD"},  // the wide ASCII paths
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(TextTest, FixedFieldsCutTerminateAndReadUnterminated) {
  char16_t field[5];
  WriteFixedText(field, u"abcdefg");
  EXPECT_EQ(std::u16string(field, 5), std::u16string(u"abcd\0", 5));
  WriteFixedText(field, u"x");
  EXPECT_EQ(std::u16string(field, 5), std::u16string(u"x\0\0\0\0", 5));
  const char16_t full[3] = {u'a', u'b', u'c'};
  EXPECT_EQ(ReadFixedText(full), u"abc");
}

}  // namespace
}  // namespace z900::platform
