#include "update/firmware_handoff.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/profiles.h"
#include "device/command_set.h"
#include "platform/ini_file.h"
#include "support/config_fixture.h"
#include "support/recording_host_services.h"
#include "support/scripted_ui_port.h"
#include "support/temp_folder.h"

namespace z900::update {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FirmwareHandOffTest : public ::testing::Test {
 protected:
  FirmwareHandOffTest() {
    context.paths.update_folder = folder.path() / "update";
    std::filesystem::create_directories(context.paths.update_folder);
  }
  test::TempFolder folder;
  config::AppContext context;
  test::ScriptedUiPort ui;
  test::RecordingHostServices host;
};

TEST_F(FirmwareHandOffTest, DownloadedImageLeavesTheMarkerStartsTheToolAndShutsDown) {
  ui.about_box_downloads_firmware = true;
  ShowAboutAndHandOff(context, ui, host);
  EXPECT_THAT(ui.calls, ElementsAre("about box", "shut down"));
  EXPECT_THAT(host.calls, ElementsAre("tool FlashTool.exe -TALVO"));
  EXPECT_TRUE(FirmwareMarkerPending(context.paths));
  EXPECT_EQ(context.message_box_flag, 0);
}

TEST_F(FirmwareHandOffTest, NothingHappensWithoutADownloadOrWhileAMessageShows) {
  ShowAboutAndHandOff(context, ui, host);
  EXPECT_THAT(ui.calls, ElementsAre("about box"));
  EXPECT_FALSE(std::filesystem::exists(MarkerFile(context.paths)));

  ui.calls.clear();
  ui.about_box_downloads_firmware = true;
  context.message_box_flag = 1;
  ShowAboutAndHandOff(context, ui, host);
  EXPECT_THAT(ui.calls, IsEmpty());
  EXPECT_THAT(host.calls, IsEmpty());
}

TEST_F(FirmwareHandOffTest, OnlyExactlyOneIsPending) {
  EXPECT_FALSE(FirmwareMarkerPending(context.paths));  // no file: "Error"
  for (const char* value : {"0", "01", "1 x", "Error"}) {
    platform::IniFile::WriteString(MarkerFile(context.paths), "Firmware", "Update", value);
    EXPECT_FALSE(FirmwareMarkerPending(context.paths)) << value;
  }
  platform::IniFile::WriteString(MarkerFile(context.paths), "Firmware", "Update", "1");
  EXPECT_TRUE(FirmwareMarkerPending(context.paths));
  ClearFirmwareMarker(context.paths);
  EXPECT_FALSE(FirmwareMarkerPending(context.paths));
  EXPECT_EQ(platform::IniFile::GetString(MarkerFile(context.paths), "Firmware", "Update", ""), "0");
}

// The start of the settings page after a firmware update, twice.
class FirmwareFollowUpTest : public test::ConfigTest {
 protected:
  // Loads the profiles, opens the mouse, then the follow-up; the slot writes it caused.
  int Start() {
    mouse.ClearWireLog();
    config::LoadProfiles(context, page, ports);
    device::QueryMode(channel, page.mouse_handle, context.current_mode);
    RunFirmwareFollowUp(context, page, ports);
    int slot_writes = 0;
    for (const auto& report : Sent(7)) slot_writes += report[1] == 0xA5 && report[6] == 4;
    return slot_writes;
  }
};

TEST_F(FirmwareFollowUpTest, PendingMarkerGivesExactlyOneApplyAndThenReadsZero) {
  std::filesystem::create_directories(context.paths.update_folder);
  platform::IniFile::WriteString(MarkerFile(context.paths), "Firmware", "Update", "1");
  EXPECT_EQ(Start(), 16);  // both modes, eight buttons each
  EXPECT_EQ(platform::IniFile::GetString(MarkerFile(context.paths), "Firmware", "Update", ""), "0");
  EXPECT_EQ(Start(), 0);
}

TEST_F(FirmwareFollowUpTest, NoMarkerFileWritesNothing) {
  EXPECT_EQ(Start(), 0);
  EXPECT_FALSE(std::filesystem::exists(MarkerFile(context.paths)));
}

}  // namespace
}  // namespace z900::update
