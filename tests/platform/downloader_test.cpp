#include "platform/downloader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/file_io.h"
#include "support/http_server.h"
#include "support/temp_folder.h"

namespace z900::platform {
namespace {

using ::testing::HasSubstr;

class DownloaderTest : public ::testing::Test {
 protected:
  DownloaderTest() { std::filesystem::create_directory(downloads.path() / "in"); }

  void Serve(const std::string& name, const std::string& content) {
    std::ofstream(served.path() / name, std::ios::binary) << content;
  }
  // The body, or "error: " and the reason.
  std::string Fetch(const std::string& name, DownloadLimits limits = {.max_bytes = 1 << 20},
                    const CancelCheck& cancelled = {}) {
    std::string error;
    const auto file =
        downloader->Download(server.base_url() + "/" + name, folder(), limits, cancelled, error);
    if (!file) return "error: " + error;
    EXPECT_EQ(file->parent_path(), folder());
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(ReadWholeFile(*file, 1 << 20, bytes));
    std::filesystem::remove(*file);
    return std::string(bytes.begin(), bytes.end());
  }
  std::filesystem::path folder() const { return downloads.path() / "in"; }

  test::TempFolder served;
  test::TempFolder downloads;
  test::LocalHttpServer server{served.path()};
  std::unique_ptr<Downloader> downloader = CreateSystemDownloader();
};

TEST_F(DownloaderTest, FetchesAfreshEveryTime) {
  Serve("a.txt", "first");
  EXPECT_EQ(Fetch("a.txt"), "first");
  Serve("a.txt", "second");
  EXPECT_EQ(Fetch("a.txt"), "second");
}

// Every failure says why, and leaves nothing in the folder.
TEST_F(DownloaderTest, FailuresSayWhyAndLeaveNothingBehind) {
  Serve("big.bin", std::string(2000, 'x'));
  Serve("loop.redirect", "/loop");
  Serve("elsewhere.redirect", "ftp://127.0.0.1/x");
  EXPECT_EQ(Fetch("big.bin", {.max_bytes = 2000}).size(), 2000u);
  struct Case {
    std::string name;
    std::string reason;
  };
  const Case cases[] = {
      {"missing.txt", "the server answered with HTTP status 404"},
      {"big.bin", "the file is larger than 1000 bytes"},
      {"loop", "more than 5 redirects (a redirect loop)"},
      {"elsewhere", "only http and https addresses are downloaded"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(Fetch(c.name, {.max_bytes = 1000}), HasSubstr("error: " + c.reason)) << c.name;
  }
  std::string error;
  EXPECT_FALSE(
      downloader->Download("file:///etc/passwd", folder(), {.max_bytes = 1 << 20}, {}, error));
  EXPECT_THAT(error, HasSubstr("only http and https"));
  EXPECT_FALSE(downloader->Download(server.base_url() + "/big.bin", folder() / "gone",
                                    {.max_bytes = 1 << 20}, {}, error));
  EXPECT_THAT(error, HasSubstr("cannot create a file in"));
  EXPECT_TRUE(std::filesystem::is_empty(folder()));
}

// A server that sends two bytes a second: the time limits end the download (after about a
// second each), and so does a cancel.
TEST_F(DownloaderTest, TimeLimitsAndCancelEndASlowDownload) {
  Serve("slow.xml.slow", std::string(100, 'x'));
  EXPECT_EQ(Fetch("slow.xml", {.max_bytes = 1 << 20, .total_seconds = 1}),
            "error: not complete after 1 s, the time allowed");
  EXPECT_EQ(Fetch("slow.xml", {.max_bytes = 1 << 20,
                               .total_seconds = 60,
                               .low_speed_bytes_per_second = 1024,
                               .low_speed_seconds = 1}),
            "error: fewer than 1024 bytes a second arrived for 1 s");
  int asked = 0;
  EXPECT_EQ(Fetch("slow.xml", {.max_bytes = 1 << 20}, [&] { return ++asked > 1; }),
            "error: interrupted");
  EXPECT_TRUE(std::filesystem::is_empty(folder()));
}

}  // namespace
}  // namespace z900::platform
