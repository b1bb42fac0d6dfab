#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace z900::screengrab {

// The process facts the pictures folder derives from.
struct PictureFolderEnvironment {
  std::optional<std::filesystem::path> screenshot_dir;   // Z900_SCREENSHOT_DIR
  std::optional<std::filesystem::path> xdg_config_home;  // where user-dirs.dirs lives
  std::filesystem::path home;
};

// Reads them from the running process.
PictureFolderEnvironment ReadPictureFolderEnvironment();

// XDG_PICTURES_DIR of a user-dirs.dirs text, which the desktop writes as shell assignments:
// XDG_PICTURES_DIR="$HOME/Pictures" or an absolute path in double quotes, with backslash
// escapes. It is parsed, never run; a line of any other shape is skipped, the last good one wins.
std::optional<std::filesystem::path> PicturesDirFromUserDirs(std::string_view text,
                                                             const std::filesystem::path& home);

// Where screenshots go: Z900_SCREENSHOT_DIR, else XDG_PICTURES_DIR of
// $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Pictures.
std::filesystem::path PictureFolder(const PictureFolderEnvironment& env);

// "Screenshot_YYYY-MM-DD_HH-MM-SS.png" for the first attempt, then "…-2.png", "…-3.png".
std::string ScreenshotFileName(const std::tm& local_time, int attempt);

}  // namespace z900::screengrab
