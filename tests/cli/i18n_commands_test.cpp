#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "i18n/language_strings.h"
#include "support/cli_fixture.h"
#include "support/system_files.h"

namespace z900 {
namespace {

using ::testing::HasSubstr;

class I18nCommandsTest : public test::CliTest {
 protected:
  std::string Write(const std::string& name, const std::string& content) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  // A language file with every key; `skip` is left out.
  std::string LanguageFile(const std::string& skip = "") {
    std::string content = "\xEF\xBB\xBF<l><config>";
    for (std::string_view name : i18n::kStringKeyNames) {
      const std::string key(name);
      if (key != skip) content += "<" + key + ">Text of %s</" + key + ">";
    }
    return content + "</config></l>";
  }
};

TEST_F(I18nCommandsTest, LangCheckPassesACompleteFile) {
  const Result result = Run({"--simulate", "lang", "check", Write("good.xml", LanguageFile())});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("encoding UTF-8 (byte-order mark)"));
  EXPECT_THAT(result.out,
              HasSubstr("all " + std::to_string(i18n::kStringKeyCount) + " strings present"));
}

TEST_F(I18nCommandsTest, LangCheckListsProblemsAndFails) {
  const Result result =
      Run({"--simulate", "lang", "check", Write("bad.xml", LanguageFile("str_more"))});
  EXPECT_EQ(result.code, 1);
  EXPECT_THAT(result.err, HasSubstr("str_more is missing"));
  EXPECT_THAT(result.err, HasSubstr("1 problem in"));
}

TEST_F(I18nCommandsTest, LangCheckReadsTheProgramFolderByDefault) {
  Result result = Run({"--simulate", "lang", "check"});
  EXPECT_EQ(result.code, 1);
  EXPECT_THAT(result.err,
              HasSubstr("language.xml: cannot read the file: " + test::MissingFileMessage()));

  Write("language.xml", LanguageFile());
  result = Run({"--simulate", "lang", "check"});
  EXPECT_EQ(result.code, 0) << result.err;
}

TEST_F(I18nCommandsTest, XmlGetPrintsTheSectionValueAndTheResult) {
  const std::string file =
      Write("update.xml", "<u><Firmware><Version>13 &amp; up</Version></Firmware></u>");
  Result result = Run({"--simulate", "xml", "get", file, "Firmware", "Version"});
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, "13 & up\n");

  result = Run({"--simulate", "xml", "get", file, "Firmware", "Missing", "--result"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out, "\nresult: UTF-8 length 58 to 58 wide chars \n");

  result = Run({"--simulate", "xml", "get", (folder.path() / "none.xml").string(), "a", "b"});
  EXPECT_EQ(result.code, 1);
  EXPECT_THAT(result.err, HasSubstr(test::MissingFileMessage()));

  EXPECT_EQ(Run({"--simulate", "xml", "get", file}).code, 2);
}

}  // namespace
}  // namespace z900
