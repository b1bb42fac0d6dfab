#include "update/update_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/downloader.h"
#include "support/http_server.h"
#include "support/recording_host_services.h"
#include "support/scripted_ui_port.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

namespace z900::update {
namespace {

using i18n::StringKey;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Content(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A real HTTP server on 127.0.0.1 serving the manifest and images, the simulated mouse with
// firmware number 12, and the language texts replaced by their key names.
class UpdateCheckTest : public test::SimMouseTest {
 protected:
  UpdateCheckTest() {
    std::filesystem::create_directories(served.path() / "software" / "z900");
    context.paths.update_folder = home.path() / "update";
    for (StringKey key :
         {StringKey::str_updateerror, StringKey::str_updateerror1, StringKey::str_update_msg1,
          StringKey::str_update_msg2, StringKey::str_update_msg3, StringKey::str_update_msg4,
          StringKey::str_msg6}) {
      context.strings.Set(key, platform::Utf8ToUtf16(std::string(i18n::StringKeyName(key))));
    }
  }
  void Serve(const std::string& name, const std::string& content) {
    std::ofstream(served.path() / name, std::ios::binary) << content;
  }
  void ServeManifest(const std::string& driver, const std::string& firmware,
                     const std::string& image = "fw.bin") {
    Serve("software/z900/update.xml",
          "<?xml version=\"1.0\"?><update><driver><current>" + driver +
              "</current><newfile>http://example.org/setup</newfile></driver><firmware><current>" +
              firmware + "</current><newfile>" + server.base_url() + "/" + image +
              "</newfile></firmware></update>");
  }
  UpdateCheck Check() {
    return UpdateCheck(context, ui, *downloader, host, &channel, document, server.base_url());
  }

  test::TempFolder served;
  test::TempFolder home;
  test::LocalHttpServer server{served.path()};
  std::unique_ptr<platform::Downloader> downloader = platform::CreateSystemDownloader();
  config::AppContext context;
  test::ScriptedUiPort ui;
  test::RecordingHostServices host;
  i18n::CXmlDocument document;
};

TEST_F(UpdateCheckTest, UpToDate) {
  ServeManifest("1", "12");
  EXPECT_TRUE(Check().CheckUtilityUpdate());
  EXPECT_FALSE(Check().CheckFirmwareUpdate());
  EXPECT_THAT(ui.calls, ElementsAre("message: str_update_msg4", "message: str_update_msg2"));
  EXPECT_TRUE(std::filesystem::exists(ManifestFile(context.paths)));
  EXPECT_FALSE(std::filesystem::exists(FirmwareImageFile(context.paths)));
  EXPECT_EQ(channel.load_count(), 1);  // the check closed its handle; the fixture's is left
}

TEST_F(UpdateCheckTest, AnyOtherVersionTextCountsAsNew) {
  for (const char* version : {"1.0", "0", " 1"}) {
    ServeManifest(version, "12");
    ui.calls.clear();
    EXPECT_TRUE(Check().CheckUtilityUpdate()) << version;
    EXPECT_THAT(ui.calls, ElementsAre("question: str_update_msg3")) << version;
  }
  for (const char* version : {"012", "12 ", "13"}) {
    ServeManifest("1", version);
    ui.calls.clear();
    EXPECT_FALSE(Check().CheckFirmwareUpdate()) << version;  // answered Cancel
    EXPECT_THAT(ui.calls, ElementsAre("question: str_update_msg1")) << version;
  }
  EXPECT_THAT(host.calls, IsEmpty());
}

// A manifest that gives no version offers nothing: the check ends as if it had not come.
TEST_F(UpdateCheckTest, NoVersionIsNoManifest) {
  ServeManifest("", "");
  ui.calls.clear();
  UpdateCheck check = Check();
  EXPECT_FALSE(check.CheckUtilityUpdate());
  EXPECT_THAT(check.failure_reason(), ::testing::HasSubstr("no <current> version in <driver>"));
  EXPECT_FALSE(check.CheckFirmwareUpdate());
  EXPECT_THAT(check.failure_reason(), ::testing::HasSubstr("no <current> version in <firmware>"));
  EXPECT_EQ(check.failure(), UpdateFailure::kManifestDownload);
  EXPECT_THAT(ui.calls, ElementsAre("message: str_updateerror", "message: str_updateerror"));
  EXPECT_EQ(channel.load_count(), 1);  // the firmware check never opened the mouse
}

TEST_F(UpdateCheckTest, NewerUtilityOpensOnlyWebAddresses) {
  ServeManifest("2", "12");
  ui.answers = {1};
  EXPECT_TRUE(Check().CheckUtilityUpdate());
  EXPECT_THAT(host.calls, ElementsAre("open http://example.org/setup"));

  Serve("software/z900/update.xml",
        "<u><driver><current>2</current><newfile>/usr/bin/evil</newfile></driver></u>");
  ui.answers = {1};
  EXPECT_TRUE(Check().CheckUtilityUpdate());
  EXPECT_THAT(host.calls, ElementsAre("open http://example.org/setup"));
}

TEST_F(UpdateCheckTest, NewerFirmwareIsDownloadedAfreshEachTime) {
  ServeManifest("1", "13");
  Serve("fw.bin", "image one");
  ui.answers = {1, 1};
  EXPECT_TRUE(Check().CheckFirmwareUpdate());
  EXPECT_EQ(Content(FirmwareImageFile(context.paths)), "image one");

  ServeManifest("1", "14");
  Serve("fw.bin", "image two");
  auto check = Check();
  EXPECT_TRUE(check.CheckFirmwareUpdate());
  EXPECT_EQ(check.local_firmware(), u"12");
  EXPECT_EQ(Content(FirmwareImageFile(context.paths)), "image two");
  EXPECT_NE(Content(ManifestFile(context.paths)).find("<current>14</current>"), std::string::npos);
}

TEST_F(UpdateCheckTest, DownloadFailuresAreReported) {
  EXPECT_FALSE(Check().CheckUtilityUpdate());  // no manifest on the server
  UpdateCheck check = Check();
  EXPECT_FALSE(check.CheckFirmwareUpdate());
  EXPECT_EQ(check.failure_reason(),
            server.base_url() + kManifestPath + ": the server answered with HTTP status 404");
  ServeManifest("1", "13", "missing.bin");
  ui.answers = {1};
  EXPECT_FALSE(check.CheckFirmwareUpdate());
  EXPECT_EQ(check.failure(), UpdateFailure::kImageDownload);
  EXPECT_THAT(check.failure_reason(), ::testing::EndsWith("/missing.bin: the server answered "
                                                          "with HTTP status 404"));
  EXPECT_THAT(ui.calls, ElementsAre("message: str_updateerror", "message: str_updateerror",
                                    "question: str_update_msg1", "message: str_updateerror1"));
  EXPECT_FALSE(std::filesystem::exists(FirmwareImageFile(context.paths)));
}

TEST_F(UpdateCheckTest, MouseThatDoesNotAnswerIsNotComparedWithAnInventedVersion) {
  ServeManifest("1", "0");
  mouse.SetFaults({.no_ack = true});
  EXPECT_FALSE(Check().CheckFirmwareUpdate());
  mouse.Unplug();
  EXPECT_FALSE(Check().CheckFirmwareUpdate());
  EXPECT_THAT(ui.calls, ElementsAre("message: str_msg6", "message: str_msg6"));
}

TEST(UpdateServerBaseTest, AcceptsOnlyAnAddressWithoutPath) {
  std::string error;
  EXPECT_EQ(UpdateServerBase(std::nullopt, error), kDefaultUpdateServer);
  EXPECT_EQ(UpdateServerBase("http://127.0.0.1:8080/", error), "http://127.0.0.1:8080");
  EXPECT_EQ(UpdateServerBase("https://mirror.example", error), "https://mirror.example");
  for (const char* bad : {"ftp://host", "127.0.0.1:8080", "http://", "http://host/path",
                          "http://user@host", "file:///tmp"}) {
    EXPECT_FALSE(UpdateServerBase(std::string(bad), error)) << bad;
  }
}

}  // namespace
}  // namespace z900::update
