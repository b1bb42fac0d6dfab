#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "support/cli_fixture.h"
#include "support/http_server.h"
#include "support/recording_host_services.h"
#include "update/firmware_handoff.h"
#include "update/update_check.h"

namespace z900::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class UpdateCommandsTest : public test::CliTest {
 protected:
  UpdateCommandsTest() {
    std::filesystem::copy_file(Z900_LANGUAGE_FILE, folder.path() / "language.xml");
    std::filesystem::create_directories(served.path() / "software" / "z900");
    env.host = &host;
    env.downloader = downloader.get();
    env.update_url = server.base_url();
  }
  void Serve(const std::string& name, const std::string& content) {
    std::ofstream(served.path() / name, std::ios::binary) << content;
  }
  void ServeManifest(const std::string& driver, const std::string& firmware) {
    Serve("software/z900/update.xml",
          "<update><driver><current>" + driver +
              "</current><newfile>https://example.org/z900</newfile></driver><firmware><current>" +
              firmware + "</current><newfile>" + server.base_url() +
              "/fw.bin</newfile></firmware></update>");
  }

  test::TempFolder served;
  test::LocalHttpServer server{served.path()};
  test::RecordingHostServices host;
  std::unique_ptr<platform::Downloader> downloader = platform::CreateSystemDownloader();
};

TEST_F(UpdateCommandsTest, UtilityCheckAsksAndOpensTheDownloadPage) {
  ServeManifest("2", "12");
  Result result = Run({"update", "check"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(result.out, HasSubstr("[y/N] no"));
  EXPECT_TRUE(host.calls.empty());

  result = Run({"update", "check", "--yes"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(host.calls, ElementsAre("open https://example.org/z900"));

  ServeManifest("1", "12");
  result = Run({"update", "check"});
  EXPECT_EQ(result.code, kExitOk);
  EXPECT_THAT(result.out, HasSubstr("up to date"));
}

TEST_F(UpdateCommandsTest, FirmwareIsDownloadedAndHandedToTheFlashingTool) {
  ServeManifest("1", "13");
  Serve("fw.bin", "new firmware");
  const Result result = Run({"--simulate", "update", "firmware", "--yes"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_THAT(result.out, HasSubstr("flashing tool"));
  EXPECT_TRUE(update::FirmwareMarkerPending(env.paths));
  EXPECT_THAT(host.calls,
              ElementsAre("program " + update::FlashToolFile(env.paths).string() + " -TALVO"));
  EXPECT_EQ(std::filesystem::file_size(update::FirmwareImageFile(env.paths)), 12u);
}

TEST_F(UpdateCommandsTest, FailuresHaveTheirExitCodes) {
  EXPECT_EQ(Run({"update", "check"}).code, kExitFailed);  // no manifest
  ServeManifest("1", "13");
  EXPECT_EQ(Run({"--simulate", "update", "firmware", "--yes"}).code, kExitFailed);  // no image
  EXPECT_EQ(Run({"--simulate", "update", "firmware"}).code, kExitOk);               // declined
  env.sim_faults = "no-ack";
  EXPECT_EQ(Run({"--simulate", "update", "firmware"}).code, kExitNoMouse);
  env.update_url = "ftp://mirror";
  EXPECT_EQ(Run({"update", "check"}).code, kExitUsage);
  EXPECT_EQ(Run({"update", "check", "extra"}).code, kExitUsage);
  EXPECT_FALSE(update::FirmwareMarkerPending(env.paths));
}

}  // namespace
}  // namespace z900::cli
