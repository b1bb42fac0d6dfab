#include "picture_folder.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/file_io.h"
#include "platform/program_paths.h"

namespace z900::screengrab {
namespace {

namespace fs = std::filesystem;

// user-dirs.dirs is a handful of lines; anything far larger is not one.
constexpr std::size_t kMaxUserDirsSize = std::size_t{64} * 1024;

constexpr std::string_view kBlanks = " \t";

std::string_view TrimLeft(std::string_view text) {
  const std::size_t start = text.find_first_not_of(kBlanks);
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// The folder of one line, or nullopt when the line does not assign XDG_PICTURES_DIR in the
// one shape the desktop writes.
std::optional<fs::path> PicturesDirOfLine(std::string_view line, const fs::path& home) {
  constexpr std::string_view kName = "XDG_PICTURES_DIR";
  line = TrimLeft(line);
  if (!line.starts_with(kName)) return std::nullopt;
  line = TrimLeft(line.substr(kName.size()));
  if (!line.starts_with('=')) return std::nullopt;
  line = TrimLeft(line.substr(1));
  if (!line.starts_with('"')) return std::nullopt;
  std::string value;
  std::size_t i = 1;
  for (; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    value.push_back(line[i]);
  }
  if (i == line.size()) return std::nullopt;  // no closing quote
  const std::string_view rest = TrimLeft(line.substr(i + 1));
  if (!rest.empty() && !rest.starts_with('#')) return std::nullopt;
  constexpr std::string_view kHome = "$HOME";
  std::string_view folder = value;
  if (folder.starts_with(kHome)) {
    folder.remove_prefix(kHome.size());
    if (folder.empty()) return home;
    if (!folder.starts_with('/')) return std::nullopt;  // $HOMEx is another variable
    folder.remove_prefix(1);
    return folder.empty() ? home : home / folder;
  }
  if (!folder.starts_with('/')) return std::nullopt;
  return fs::path(folder);
}

}  // namespace

PictureFolderEnvironment ReadPictureFolderEnvironment() {
  const platform::PathEnvironment paths = platform::ReadPathEnvironment();
  PictureFolderEnvironment env;
  if (auto dir = platform::EnvironmentValue("Z900_SCREENSHOT_DIR")) env.screenshot_dir = *dir;
  env.xdg_config_home = paths.xdg_config_home;
  env.home = paths.home;
  return env;
}

std::optional<fs::path> PicturesDirFromUserDirs(std::string_view text, const fs::path& home) {
  std::optional<fs::path> found;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    if (auto folder = PicturesDirOfLine(text.substr(0, end), home)) found = std::move(folder);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return found;
}

fs::path PictureFolder(const PictureFolderEnvironment& env) {
  if (env.screenshot_dir) return *env.screenshot_dir;
  const fs::path config = env.xdg_config_home && env.xdg_config_home->is_absolute()
                              ? *env.xdg_config_home
                              : env.home / ".config";
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadWholeFile(config / "user-dirs.dirs", kMaxUserDirsSize, bytes)) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (auto folder = PicturesDirFromUserDirs(text, env.home)) return *folder;
  }
  return env.home / "Pictures";
}

std::string ScreenshotFileName(const std::tm& local_time, int attempt) {
  std::array<char, 64> stamp{};
  std::strftime(stamp.data(), stamp.size(), "%Y-%m-%d_%H-%M-%S", &local_time);
  std::string name = std::string("Screenshot_") + stamp.data();
  if (attempt > 1) name += "-" + std::to_string(attempt);
  return name + ".png";
}

}  // namespace z900::screengrab
