#include "i18n/language_strings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "i18n/xml_document.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace z900::i18n {
namespace {

using ::testing::ElementsAre;

class LanguageStringsTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& name, const std::string& content) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  LanguageStrings Load(const std::string& content) {
    LanguageStrings strings;
    EXPECT_TRUE(LoadLanguageStrings(document, Write("language.xml", content), strings));
    return strings;
  }
  test::TempFolder folder;
  CXmlDocument document;
};

TEST_F(LanguageStringsTest, KeysAreInLoadOrderAndNamedLikeTheirElements) {
  EXPECT_EQ(StringKeyName(StringKey::str_program_title), "str_program_title");
  EXPECT_EQ(static_cast<int>(StringKey::str_click), 40);
  EXPECT_EQ(static_cast<int>(StringKey::str_dpititle), 75);
  EXPECT_EQ(static_cast<int>(StringKey::str_more), 135);
  EXPECT_EQ(FindStringKey("str_PL"), StringKey::str_PL);
  EXPECT_EQ(FindStringKey("str_pl"), std::nullopt);
}

TEST_F(LanguageStringsTest, LoadsTextsFromTheFirstConfigBelowTheRoot) {
  const LanguageStrings strings = Load(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<language><config>\n"
      "  <str_ok>OK</str_ok>\n"
      "  <str_msg2>Save &amp; load %s</str_msg2>\n"
      "  <str_cancel> Cancel\n</str_cancel>\n"
      "  <str_apply><b>x</b></str_apply>\n"
      "  <str_unknown>ignored</str_unknown>\n"
      "</config><config><str_exit>second</str_exit></config></language>");
  EXPECT_EQ(strings.Get(StringKey::str_ok), u"OK");
  EXPECT_EQ(strings.Get(StringKey::str_msg2), u"Save & load %s");
  EXPECT_EQ(strings.Get(StringKey::str_cancel), u" Cancel\n");
  EXPECT_EQ(strings.Get(StringKey::str_apply), u"");  // holds an element
  EXPECT_EQ(strings.Get(StringKey::str_exit), u"");   // only the first config counts
  EXPECT_EQ(strings.Get(StringKey::str_about), u"");
}

// Every text is what a search for its key alone finds: from the first config below the root,
// a key it lacks from the config nested in it (and so on down), the first element of a name.
TEST_F(LanguageStringsTest, EveryTextIsWhatTheSearchForItsKeyFinds) {
  const std::string documents[] = {
      "<language><config><str_ok>first</str_ok><str_ok>second</str_ok>"
      "<config><str_ok>nested</str_ok><str_exit>deeper</str_exit><str_apply>a<b/></str_apply>"
      "<config><str_about>deepest</str_about></config></config></config>"
      "<config><str_cancel>a later sibling</str_cancel></config></language>",
      "<language><other><config><str_ok>not a child of the root</str_ok></config></other>"
      "<config><str_reset>x</str_reset></config></language>",
      "<language><config/></language>",
  };
  for (const std::string& text : documents) {
    const LanguageStrings strings = Load(text);
    for (std::size_t i = 0; i < kStringKeyCount; ++i) {
      const std::string_view name = kStringKeyNames[i];
      EXPECT_EQ(strings.Get(static_cast<StringKey>(i)),
                SectionValue(document, u"config", std::u16string(name.begin(), name.end())))
          << name << " in " << text;
    }
  }
  const LanguageStrings nested = Load(documents[0]);
  EXPECT_EQ(nested.Get(StringKey::str_ok), u"first");
  EXPECT_EQ(nested.Get(StringKey::str_exit), u"deeper");
  EXPECT_EQ(nested.Get(StringKey::str_about), u"deepest");
  EXPECT_EQ(nested.Get(StringKey::str_cancel), u"");
}

TEST_F(LanguageStringsTest, RootNamedConfigYieldsNothing) {
  const LanguageStrings strings = Load("<config><str_ok>OK</str_ok></config>");
  EXPECT_EQ(strings.Get(StringKey::str_ok), u"");
}

TEST_F(LanguageStringsTest, MissingFileLeavesEveryEntryEmpty) {
  LanguageStrings strings;
  strings.Set(StringKey::str_ok, u"old");
  EXPECT_FALSE(LoadLanguageStrings(document, folder.path() / "none.xml", strings));
  for (std::size_t i = 0; i < kStringKeyCount; ++i) {
    EXPECT_EQ(strings.Get(static_cast<StringKey>(i)), u"");
  }
}

TEST_F(LanguageStringsTest, TextPlaceholderRule) {
  const struct {
    std::u16string text;
    bool ok;
  } cases[] = {
      {u"Cannot open %s.", true},
      {u"100%% sure: %s", true},
      {u"no placeholder", false},
      {u"%s and %s", false},
      {u"%d files in %s", false},
      {u"ends in %", false},
      {u"%S", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HasOneTextPlaceholder(c.text), c.ok) << platform::Utf16ToUtf8(c.text);
  }
}

TEST_F(LanguageStringsTest, FormatTakesItsArgumentOnce) {
  struct Case {
    std::u16string_view format;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {u"file %s missing", u"file /p/P1.cfg missing"},
      {u"100%% of %s", u"100% of /p/P1.cfg"},
      {u"%s and %s", u"/p/P1.cfg and %s"},  // a damaged file: no second argument to read
      {u"%d %n %", u"%d %n %"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatText(c.format, u"/p/P1.cfg"), c.expected) << platform::Utf16ToUtf8(c.format);
  }
}

TEST_F(LanguageStringsTest, LanguageFilePathPicksAnExistingTranslationOnly) {
  Write("language_de.xml", "<l/>");
  const auto home = folder.path();
  EXPECT_EQ(LanguageFilePath(home, std::nullopt), home / "language.xml");
  EXPECT_EQ(LanguageFilePath(home, "de"), home / "language_de.xml");
  EXPECT_EQ(LanguageFilePath(home, "fr"), home / "language.xml");
  EXPECT_EQ(LanguageFilePath(home, "../de"), home / "language.xml");
}

TEST_F(LanguageStringsTest, CheckListsMissingEmptyAndBadFormatKeys) {
  std::string content = "<l><config>";
  for (std::string_view name : kStringKeyNames) {
    const std::string key(name);
    if (key == "str_about") continue;
    const std::string text = key == "str_msg3" ? "no placeholder" : key == "str_exit" ? "" : "%s";
    content += "<" + key + ">" + text + "</" + key + ">";
  }
  content += "</config></l>";
  const LanguageCheck check = CheckLanguageFile(document, Write("language.xml", content));
  EXPECT_TRUE(check.readable);
  EXPECT_EQ(check.encoding, u"UTF-8");
  EXPECT_THAT(check.problems,
              ElementsAre("str_about is missing", "str_exit is empty",
                          "str_msg3 must contain exactly one %s and no other placeholder"));
}

}  // namespace
}  // namespace z900::i18n
