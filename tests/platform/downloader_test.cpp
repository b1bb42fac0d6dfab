#include "platform/downloader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "platform/file_io.h"
#include "support/http_server.h"
#include "support/temp_folder.h"

namespace z900::platform {
namespace {

class DownloaderTest : public ::testing::Test {
 protected:
  // Downloads land in a temporary folder of this test alone, so it can be checked for leftovers.
  DownloaderTest() {
    std::filesystem::create_directory(folder.path() / "tmp");
    if (const char* old = std::getenv("TMPDIR")) old_tmpdir_ = old;
    ::setenv("TMPDIR", (folder.path() / "tmp").c_str(), 1);
  }
  ~DownloaderTest() override {
    if (old_tmpdir_) {
      ::setenv("TMPDIR", old_tmpdir_->c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

  std::string Fetch(const std::string& name, std::uint64_t limit = 1 << 20) {
    std::string error;
    const auto file = downloader->Download(server.base_url() + "/" + name, limit, error);
    if (!file) return "error: " + error;
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(ReadWholeFile(*file, 1 << 20, bytes));
    std::filesystem::remove(*file);
    return std::string(bytes.begin(), bytes.end());
  }
  std::optional<std::string> old_tmpdir_;
  test::TempFolder folder;
  test::LocalHttpServer server{folder.path()};
  std::unique_ptr<Downloader> downloader = CreateSystemDownloader();
};

TEST_F(DownloaderTest, FetchesAfreshEveryTime) {
  std::ofstream(folder.path() / "a.txt") << "first";
  EXPECT_EQ(Fetch("a.txt"), "first");
  std::ofstream(folder.path() / "a.txt") << "second";
  EXPECT_EQ(Fetch("a.txt"), "second");
}

TEST_F(DownloaderTest, FailsOnMissingFilesOversizedBodiesAndOtherSchemes) {
  std::ofstream(folder.path() / "big.bin") << std::string(2000, 'x');
  EXPECT_EQ(Fetch("missing.txt").rfind("error: ", 0), 0u);
  EXPECT_EQ(Fetch("big.bin", 1000).rfind("error: ", 0), 0u);
  EXPECT_EQ(Fetch("big.bin", 2000).size(), 2000u);
  std::string error;
  EXPECT_FALSE(downloader->Download("file:///etc/passwd", 1 << 20, error));
  EXPECT_FALSE(error.empty());
  // Nothing is left behind in the temporary folder by a failed download.
  EXPECT_TRUE(std::filesystem::is_empty(folder.path() / "tmp"));
}

}  // namespace
}  // namespace z900::platform
