#include "platform/windows/task_autostart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"
#include "support/windows/helper_process.h"

namespace z900::platform {
namespace {

using ::testing::HasSubstr;

// The task runs as the user who switched it on, at that user's logon, with the highest rights
// that user has; no time limit ends it, and its program path is written as XML text.
TEST(TaskAutostartTest, TheLogonTaskStartsTheUtilityWithTheHighestRights) {
  const std::wstring xml =
      LogonTaskXml(L"C:\\Tools & Co\\Z900\\z900-config.exe", L"OFFICE\\Zo\u00eb");
  for (const std::wstring& part : {
           std::wstring(L"<LogonTrigger><Enabled>true</Enabled><UserId>OFFICE\\Zo\u00eb</UserId>"),
           std::wstring(L"<UserId>OFFICE\\Zo\u00eb</UserId><LogonType>InteractiveToken</LogonType>"
                        L"<RunLevel>HighestAvailable</RunLevel>"),
           std::wstring(L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"),
           std::wstring(L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"),
           std::wstring(L"<Command>C:\\Tools &amp; Co\\Z900\\z900-config.exe</Command>"
                        L"<WorkingDirectory>C:\\Tools &amp; Co\\Z900</WorkingDirectory>"),
       }) {
    EXPECT_NE(xml.find(part), std::wstring::npos) << WideToUtf8(part);
  }
}

// A logon task of the Task Scheduler: on sets it up, off removes it; a task of its own name for
// this test, so that nothing of the machine's is touched.
TEST(TaskAutostartTest, OnSetsUpTheLogonTaskAndOffRemovesIt) {
  test::TempFolder folder;
  const std::filesystem::path program = folder.path() / "z900-config.exe";
  const std::wstring name = Utf8ToWide(test::UniqueName("autostart").substr(6));
  TaskAutostart autostart(name, program);
  std::string error;
  std::optional<AutostartStatus> status = autostart.Read(error);
  ASSERT_TRUE(status) << error;
  EXPECT_FALSE(status->enabled);
  EXPECT_THAT(DescribeAutostart(*status), HasSubstr("off (no logon task"));

  // Nothing to start yet: refused, and nothing set up.
  EXPECT_FALSE(autostart.Set(true, error));
  EXPECT_THAT(error, HasSubstr("the tray utility is not installed"));
  std::ofstream(program) << "stand-in";

  status = autostart.Set(true, error);
  ASSERT_TRUE(status) << error;
  EXPECT_TRUE(status->enabled);
  EXPECT_EQ(DescribeAutostart(*status),
            "on (logon task \"" + WideToUtf8(name) + "\" of the Task Scheduler)");
  status = autostart.Read(error);
  ASSERT_TRUE(status) << error;
  EXPECT_TRUE(status->enabled);

  status = autostart.Set(false, error);
  ASSERT_TRUE(status) << error;
  EXPECT_FALSE(status->enabled);
  status = autostart.Set(false, error);  // off twice is no failure
  ASSERT_TRUE(status) << error;
  EXPECT_FALSE(status->enabled);
}

}  // namespace
}  // namespace z900::platform
