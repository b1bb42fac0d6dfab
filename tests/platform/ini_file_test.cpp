#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/temp_folder.h"

namespace z900::platform {
namespace {

std::string Content(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(IniFileTest, ReadsValuesLikeProfileFiles) {
  test::TempFolder folder;
  const auto path = folder.path() / "Config.ini";
  std::ofstream(path) << "\xEF\xBB\xBF; comment\r\n[Other]\r\nUpdate=9\r\n"
                         "[firmware]\r\n  update = \"1\" \r\nempty=\r\n";
  EXPECT_EQ(IniFile::GetString(path, "Firmware", "Update", "Error"), "1");
  EXPECT_EQ(IniFile::GetString(path, "Firmware", "empty", "Error"), "");
  EXPECT_EQ(IniFile::GetString(path, "Firmware", "Missing", "Error"), "Error");
  EXPECT_EQ(IniFile::GetString(path, "Nope", "Update", "Error"), "Error");
  EXPECT_EQ(IniFile::GetString(folder.path() / "none.ini", "Firmware", "Update", "Error"), "Error");
}

TEST(IniFileTest, WritesKeepingEverythingElse) {
  test::TempFolder folder;
  const auto path = folder.path() / "Config.ini";
  ASSERT_TRUE(IniFile::WriteString(path, "Firmware", "Update", "1"));
  EXPECT_EQ(Content(path), "[Firmware]\nUpdate=1\n");

  std::ofstream(path) << "; keep me\n[Firmware]\nVersion=3\n\n[Other]\nUpdate=7\n";
  ASSERT_TRUE(IniFile::WriteString(path, "Firmware", "Update", "1"));
  EXPECT_EQ(Content(path), "; keep me\n[Firmware]\nVersion=3\nUpdate=1\n\n[Other]\nUpdate=7\n");
  ASSERT_TRUE(IniFile::WriteString(path, "FIRMWARE", "update", "0"));
  EXPECT_EQ(IniFile::GetString(path, "Firmware", "Update", "Error"), "0");
  EXPECT_EQ(IniFile::GetString(path, "Other", "Update", "Error"), "7");

  EXPECT_FALSE(IniFile::WriteString(folder.path() / "missing" / "Config.ini", "F", "K", "V"));
}

}  // namespace
}  // namespace z900::platform
