#include "picture_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "screenshot_file.h"
#include "support/temp_folder.h"

namespace z900::screengrab {
namespace {

namespace fs = std::filesystem;

TEST(PictureFolderTest, ReadsTheUserDirsFileWithoutRunningIt) {
  const fs::path home = "/home/ann";
  const std::pair<std::string, std::optional<fs::path>> cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Pictures\"\n",
       "/home/ann/Pictures"},
      {"# written by the desktop\n  XDG_PICTURES_DIR = \"/srv/Bilder\"  # shared\n", "/srv/Bilder"},
      {R"(XDG_PICTURES_DIR="$HOME/My \"Shots\" \\ 2")", "/home/ann/My \"Shots\" \\ 2"},
      {"XDG_PICTURES_DIR=\"$HOME/\"", "/home/ann"},
      {"XDG_PICTURES_DIR=\"$HOME\"", "/home/ann"},
      {"XDG_PICTURES_DIR=\"$HOME/a\"\nXDG_PICTURES_DIR=\"$HOME/b\"", "/home/ann/b"},
      // Only the shape the desktop writes counts; nothing is expanded or run.
      {"XDG_PICTURES_DIR=\"$HOMEDIR/x\"", std::nullopt},
      {"XDG_PICTURES_DIR=\"$(rm -rf ~)\"", std::nullopt},
      {"XDG_PICTURES_DIR=\"`id`\"", std::nullopt},
      {"XDG_PICTURES_DIR=$HOME/Pictures", std::nullopt},
      {"XDG_PICTURES_DIR=\"relative/Pictures\"", std::nullopt},
      {"XDG_PICTURES_DIR=\"$HOME/unterminated", std::nullopt},
      {"XDG_PICTURES_DIR=\"$HOME/a\"; touch /tmp/x", std::nullopt},
      {"XDG_PICTURES_DIRS=\"$HOME/a\"", std::nullopt},
      {"XDG_PICTURES_DIR=\"$HOME/a\"\nXDG_PICTURES_DIR=\"bad\"", "/home/ann/a"},
  };
  for (const auto& [text, folder] : cases) {
    EXPECT_EQ(PicturesDirFromUserDirs(text, home), folder) << text;
  }
}

TEST(PictureFolderTest, PrefersTheVariableThenTheUserDirsFileThenPictures) {
  test::TempFolder temp;
  const fs::path config = temp.path() / "config";
  fs::create_directories(config);
  PictureFolderEnvironment env{std::nullopt, config, "/home/ann"};
  EXPECT_EQ(PictureFolder(env), "/home/ann/Pictures");  // no user-dirs.dirs

  std::ofstream(config / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n";
  EXPECT_EQ(PictureFolder(env), "/home/ann/Fotos");

  env.xdg_config_home = "relative/config";  // not absolute: ~/.config instead
  EXPECT_EQ(PictureFolder(env), "/home/ann/Pictures");

  env.xdg_config_home = config;
  env.screenshot_dir = temp.path() / "shots";
  EXPECT_EQ(PictureFolder(env), temp.path() / "shots");

  // A file far too large to be a user-dirs file is not read.
  env.screenshot_dir.reset();
  std::ofstream(config / "user-dirs.dirs")
      << std::string(std::size_t{100} * 1024, '#') << "\nXDG_PICTURES_DIR=\"$HOME/Fotos\"\n";
  EXPECT_EQ(PictureFolder(env), "/home/ann/Pictures");
}

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST(ScreenshotFileTest, NamesFilesByTimeAndNeverReplacesOne) {
  test::TempFolder temp;
  const fs::path folder = temp.path() / "new" / "Pictures";
  std::tm time{};
  time.tm_year = 2024 - 1900;
  time.tm_mon = 2;
  time.tm_mday = 9;
  time.tm_hour = 7;
  time.tm_min = 5;
  time.tm_sec = 3;

  const SavedFile first = SaveScreenshot("first", folder, time);  // creates the folders
  ASSERT_TRUE(first.error.isEmpty()) << first.error.toStdString();
  EXPECT_EQ(first.path, folder / "Screenshot_2024-03-09_07-05-03.png");
  std::ofstream(folder / "Screenshot_2024-03-09_07-05-03-2.png") << "someone else's";

  const SavedFile third = SaveScreenshot("third", folder, time);
  EXPECT_EQ(third.path, folder / "Screenshot_2024-03-09_07-05-03-3.png");
  EXPECT_EQ(Contents(first.path), "first");
  EXPECT_EQ(Contents(folder / "Screenshot_2024-03-09_07-05-03-2.png"), "someone else's");
  EXPECT_EQ(Contents(third.path), "third");
}

TEST(ScreenshotFileTest, SaysWhyTheFolderCannotBeUsed) {
  test::TempFolder temp;
  std::ofstream(temp.path() / "file") << "in the way";
  const SavedFile saved = SaveScreenshot("png", temp.path() / "file" / "Pictures", std::tm{});
  EXPECT_TRUE(saved.path.empty());
  EXPECT_TRUE(saved.error.startsWith("cannot create the folder ")) << saved.error.toStdString();
}

}  // namespace
}  // namespace z900::screengrab
