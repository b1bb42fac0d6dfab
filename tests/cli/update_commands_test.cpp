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
using ::testing::Not;

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
  EXPECT_THAT(host.calls, ElementsAre("tool FlashTool.exe -TALVO"));
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

// Files that cannot be put in place end the check: no older copy is read, nothing is handed on.
TEST_F(UpdateCommandsTest, DownloadsThatCannotBeSavedEndTheCheck) {
  const std::filesystem::path kept = env.paths.update_folder / "new_version";
  std::filesystem::create_directories(update::ManifestFile(env.paths) / "in the way");
  ServeManifest("2", "13");
  Result result = Run({"update", "check", "--yes"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.out, HasSubstr("could not be downloaded"));
  EXPECT_THAT(result.err, HasSubstr("update.xml"));
  std::filesystem::remove_all(update::ManifestFile(env.paths));

  Serve("fw.bin", "new firmware");
  std::filesystem::create_directories(update::FirmwareImageFile(env.paths) / "in the way");
  result = Run({"--simulate", "update", "firmware", "--yes"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.out, HasSubstr("The firmware could not be downloaded"));
  EXPECT_TRUE(host.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(update::MarkerFile(env.paths)));
  // Only the manifest and the obstacle are there: no temporary file was left behind.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kept)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_THAT(names, ::testing::UnorderedElementsAre("update.xml", "TalvoGameDevice.bin"));
}

// An answer that does not give the version is no manifest: no update is offered for it.
TEST_F(UpdateCommandsTest, ManifestWithoutTheVersionIsAnError) {
  const std::string manifests[] = {
      "",
      "<!DOCTYPE html><html><body><h1>Site under maintenance</h1></body></html>",
      "<update><driver><newfile>https://example.org/z900</newfile></driver><firmware><newfile>" +
          server.base_url() + "/fw.bin</newfile></firmware></update>",
      "<update><driver><current></current></driver><firmware><current/></firmware></update>",
  };
  for (const std::string& manifest : manifests) {
    Serve("software/z900/update.xml", manifest);
    for (const char* command : {"check", "firmware"}) {
      const Result result = Run({"--simulate", "update", command, "--yes"});
      EXPECT_EQ(result.code, kExitFailed) << command << ": " << manifest;
      EXPECT_THAT(result.out, HasSubstr("The update information could not be downloaded"))
          << command << ": " << manifest;
      EXPECT_THAT(result.out, Not(HasSubstr("available"))) << command << ": " << manifest;
    }
  }
  EXPECT_TRUE(host.calls.empty());
}

// The message stays the same for every failure; the line after it says what went wrong.
TEST_F(UpdateCommandsTest, DownloadFailuresSayWhy) {
  struct Case {
    std::string redirect;  // where the manifest's address leads; empty: nowhere (404)
    std::string reason;
  };
  const Case cases[] = {
      {"", "404"},
      {"/software/z900/update.xml", "redirect"},
      {"ftp://127.0.0.1/update.xml", "http"},
  };
  for (const Case& c : cases) {
    if (!c.redirect.empty()) Serve("software/z900/update.xml.redirect", c.redirect);
    const Result result = Run({"update", "check"});
    EXPECT_EQ(result.code, kExitFailed) << c.reason;
    EXPECT_THAT(result.out, HasSubstr("check your internet connection")) << c.reason;
    EXPECT_THAT(result.err, HasSubstr(c.reason)) << c.reason;
  }
}

// Ctrl-C during a download ends it at once and leaves no temporary file.
TEST_F(UpdateCommandsTest, InterruptedDownloadLeavesNothingBehind) {
  Serve("software/z900/update.xml.slow", "<update/>");
  bool watching = false;
  env.watch_interrupts = [&](bool on) { watching = on; };
  env.interrupted = [&] { return watching; };  // Ctrl-C as soon as the command watches for it
  const Result result = Run({"update", "check"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.err, HasSubstr("interrupted"));
  EXPECT_FALSE(watching);
  const std::filesystem::path kept = env.paths.update_folder / "new_version";
  EXPECT_TRUE(!std::filesystem::exists(kept) || std::filesystem::is_empty(kept));
}

}  // namespace
}  // namespace z900::cli
