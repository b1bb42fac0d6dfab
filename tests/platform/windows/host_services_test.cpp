#include "platform/host_services.h"

// windows.h first: shellapi.h builds on it.
// clang-format off
#include <windows.h>
// clang-format on

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <fstream>

#include "platform/text.h"
#include "platform/utf8_path.h"
#include "platform/windows/command_line.h"
#include "support/temp_folder.h"
#include "support/windows/helper_process.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// The command lines CreateProcessW gets, and what the started program's C runtime makes of them
// again.
TEST(CommandLineTest, QuotesSoThatTheArgumentsComeBackAsTheyWere) {
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring line;
  } cases[] = {
      {{L"z900-screengrab.exe", L"-t", L"region", L"-p"}, L"z900-screengrab.exe -t region -p"},
      {{L"C:\\Program Files\\Z900\\FlashTool.exe", L"-TALVO"},
       L"\"C:\\Program Files\\Z900\\FlashTool.exe\" -TALVO"},
      {{L"a", L""}, L"a \"\""},
      {{L"a", L"two words"}, L"a \"two words\""},
      {{L"a", L"say \"hi\""}, L"a \"say \\\"hi\\\"\""},
      {{L"a", L"C:\\path\\"}, L"a C:\\path\\"},
      {{L"a", L"C:\\with space\\"}, L"a \"C:\\with space\\\\\""},
      {{L"a", L"back\\\"slash"}, L"a \"back\\\\\\\"slash\""},
      {{L"a", L"tab\there"}, L"a \"tab\there\""},
      {{L"a", L"Zo\u00eb"}, L"a Zo\u00eb"},
  };
  for (const auto& c : cases) {
    const std::wstring line = JoinCommandLineArguments(c.arguments);
    EXPECT_EQ(line, c.line);
    int count = 0;
    wchar_t** split = ::CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(std::vector<std::wstring>(split, split + count), c.arguments) << WideToUtf8(line);
    ::LocalFree(split);
  }
}

// Stand-ins for the programs that report their arguments through a file and an event, so that
// the test waits for them without sleeping.
class WindowsHostServicesTest : public ::testing::Test {
 protected:
  WindowsHostServicesTest() {
    fs::create_directory(folder.path() / "helpers");
    fs::create_directory(folder.path() / "My Files");
    fs::copy_file(Z900_TEST_HELPER, folder.path() / "helpers" / "z900-screengrab.exe");
    fs::copy_file(Z900_TEST_HELPER, folder.path() / "my program.exe");
    ::SetEnvironmentVariableW(L"Z900_REPORT_FILE", Report().c_str());
    ::SetEnvironmentVariableW(L"Z900_REPORT_EVENT", Utf8ToWide(done.name()).c_str());
  }
  ~WindowsHostServicesTest() override {
    ::SetEnvironmentVariableW(L"Z900_REPORT_FILE", nullptr);
    ::SetEnvironmentVariableW(L"Z900_REPORT_EVENT", nullptr);
  }

  fs::path Report() const { return folder.path() / "report"; }
  // What the next stand-in reported: its arguments, each followed by '|'.
  std::string NextReport() {
    if (!done.WaitSet()) return "no report";
    done.Reset();
    std::ifstream in(Report(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

  test::TempFolder folder;
  test::NamedEvent done{test::UniqueName("report")};
  std::unique_ptr<HostServices> services =
      CreateSystemHostServices({folder.path() / "none", folder.path() / "helpers"});
};

TEST_F(WindowsHostServicesTest, StartsProgramsAndToolsWithTheirArguments) {
  const fs::path program = folder.path() / "my program.exe";
  const std::u16string arguments[] = {u"-TALVO", u"two words"};
  EXPECT_TRUE(services->StartProgram(program.u16string(), arguments).started);
  EXPECT_EQ(NextReport(), "-TALVO|two words|");
  EXPECT_TRUE(services->StartTool("z900-screengrab -t region -p").started);
  EXPECT_EQ(NextReport(), "-t|region|-p|");
}

// Nothing is started for what cannot be started, and the reason names it.
TEST_F(WindowsHostServicesTest, WhatCannotBeStartedIsRefusedWithTheReason) {
  const std::string missing = PathToUtf8(folder.path() / "missing");
  struct Case {
    HostOutcome outcome;
    std::string reason;
  };
  const Case cases[] = {
      {services->StartProgram(Utf8ToUtf16(missing)), missing + " does not exist"},
      {services->StartProgram(folder.path().u16string()), " is a folder, not a program"},
      {services->StartProgram(u""), "no program"},
      {services->OpenWithDefaultApplication(Utf8ToUtf16("\"" + missing + "\"")),
       missing + " does not exist"},
      {services->OpenWithDefaultApplication(u"\"\""), "no file or folder"},
      {services->PlaySoundFile(Utf8ToUtf16(missing + ".wav")), missing + ".wav does not exist"},
      {services->PlaySoundFile(folder.path().u16string()), " is a folder, not a sound file"},
      {services->StartTool("FlashTool -TALVO"), "FlashTool is not installed (looked in " +
                                                    PathToUtf8(folder.path() / "none") + ", " +
                                                    PathToUtf8(folder.path() / "helpers") + ")"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.outcome.started) << c.reason;
    EXPECT_THAT(c.outcome.reason, HasSubstr(c.reason));
  }
  // The next report comes from this call, so nothing above started a stand-in.
  EXPECT_TRUE(services->StartTool("z900-screengrab -t window -p").started);
  EXPECT_EQ(NextReport(), "-t|window|-p|");
}

}  // namespace
}  // namespace z900::platform
