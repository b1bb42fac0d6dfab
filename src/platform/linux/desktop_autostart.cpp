#include "platform/linux/desktop_autostart.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <system_error>

#include "platform/file_io.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// Far more than any desktop entry needs; a bigger file is not one of ours.
constexpr std::size_t kMaxEntrySize = 64 * 1024;
constexpr std::string_view kGroup = "[Desktop Entry]";
constexpr std::string_view kHidden = "Hidden";
constexpr std::string_view kGnomeEnabled = "X-GNOME-Autostart-enabled";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The lines of a desktop entry, edited in its [Desktop Entry] group alone; every other line
// stays as it was.
class DesktopEntry {
 public:
  // False when the text has no [Desktop Entry] group.
  bool Parse(std::string_view text) {
    lines_.clear();
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      lines_.emplace_back(text.substr(0, end));
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (Trim(lines_[i]) == kGroup) {
        begin_ = i + 1;
        return true;
      }
    }
    return false;
  }

  std::optional<std::string> Value(std::string_view key) const {
    for (std::size_t i = begin_; i < End(); ++i) {
      if (KeyOf(lines_[i]) == key) return std::string(Trim(ValueOf(lines_[i])));
    }
    return std::nullopt;
  }

  // Replaces the key's first line, or adds one after the group's last line that is not blank.
  void Set(std::string_view key, std::string_view value) {
    const std::string line = std::string(key) + "=" + std::string(value);
    for (std::size_t i = begin_; i < End(); ++i) {
      if (KeyOf(lines_[i]) != key) continue;
      lines_[i] = line;
      Remove(key, i + 1);
      return;
    }
    std::size_t at = End();
    while (at > begin_ && Trim(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
  }

  void Remove(std::string_view key, std::size_t from = 0) {
    for (std::size_t i = std::max(from, begin_); i < End();) {
      if (KeyOf(lines_[i]) == key) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
    }
  }

  // Whether the desktop starts the program this entry names.
  bool Starts() const {
    const std::optional<std::string> hidden = Value(kHidden);
    const std::optional<std::string> enabled = Value(kGnomeEnabled);
    return !(hidden == "true" || hidden == "1") && !(enabled == "false" || enabled == "0");
  }

  std::string Text() const {
    std::string text;
    for (const std::string& line : lines_) text += line + '\n';
    return text;
  }

 private:
  std::size_t End() const {
    for (std::size_t i = begin_; i < lines_.size(); ++i) {
      if (Trim(lines_[i]).starts_with('[')) return i;
    }
    return lines_.size();
  }
  static std::string_view KeyOf(std::string_view line) {
    if (Trim(line).starts_with('#')) return {};
    const std::size_t equals = line.find('=');
    return equals == std::string_view::npos ? std::string_view() : Trim(line.substr(0, equals));
  }
  static std::string_view ValueOf(std::string_view line) { return line.substr(line.find('=') + 1); }

  std::vector<std::string> lines_;
  std::size_t begin_ = 0;
};

struct EntryFile {
  fs::path path;
  DesktopEntry entry;
};

// The first of the candidates that exists, read and parsed into `found`; false with the reason
// when one cannot be read or is no desktop entry.
bool ReadFirst(const std::vector<fs::path>& candidates, std::optional<EntryFile>& found,
               std::string& error) {
  found.reset();
  for (const fs::path& path : candidates) {
    std::vector<std::uint8_t> bytes;
    const std::error_code code = ReadWholeFile(path, kMaxEntrySize, bytes);
    if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory) {
      continue;
    }
    if (code) {
      error = "cannot read " + path.string() + ": " + code.message();
      return false;
    }
    EntryFile file{path, {}};
    if (!file.entry.Parse(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
      error = path.string() + " is no desktop entry (it has no [Desktop Entry] group)";
      return false;
    }
    found = std::move(file);
    return true;
  }
  return true;
}

}  // namespace

AutostartPaths ResolveAutostartPaths(const PathEnvironment& env) {
  AutostartPaths paths;
  const fs::path config_home = env.xdg_config_home && env.xdg_config_home->is_absolute()
                                   ? *env.xdg_config_home
                                   : env.home / ".config";
  paths.user_entry = config_home / "autostart" / kAutostartEntryName;
  // Relative entries are invalid and ignored; none left means the default.
  std::string_view dirs = env.xdg_config_dirs ? std::string_view(*env.xdg_config_dirs) : "";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    const fs::path dir(dirs.substr(0, colon));
    if (dir.is_absolute()) paths.system_entries.push_back(dir / "autostart" / kAutostartEntryName);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
  }
  if (paths.system_entries.empty()) {
    paths.system_entries.push_back(fs::path("/etc/xdg/autostart") / kAutostartEntryName);
  }
  if (!env.install_sysconf_folder.empty()) {
    paths.installed_entry = env.install_sysconf_folder / "xdg/autostart" / kAutostartEntryName;
  }
  return paths;
}

std::optional<AutostartStatus> ReadAutostart(const AutostartPaths& paths, std::string& error) {
  std::optional<EntryFile> decider;
  if (!ReadFirst({paths.user_entry}, decider, error)) return std::nullopt;
  if (!decider && !ReadFirst(paths.system_entries, decider, error)) return std::nullopt;
  if (!decider) return AutostartStatus{};
  return AutostartStatus{decider->entry.Starts(), decider->path.string()};
}

std::optional<AutostartStatus> SetAutostart(const AutostartPaths& paths, bool enabled,
                                            std::string& error) {
  std::optional<EntryFile> user;
  std::optional<EntryFile> system;
  if (!ReadFirst({paths.user_entry}, user, error) ||
      !ReadFirst(paths.system_entries, system, error)) {
    return std::nullopt;
  }
  std::optional<EntryFile> installed;
  if (!user && !system && !paths.installed_entry.empty() &&
      !ReadFirst({paths.installed_entry}, installed, error)) {
    return std::nullopt;
  }
  const std::optional<EntryFile>& base = user ? user : system ? system : installed;
  if (!base) {
    if (!enabled) return AutostartStatus{};  // nothing would start the utility anyway
    error =
        "no autostart entry is installed (" + paths.installed_entry.string() + " does not exist)";
    return std::nullopt;
  }

  DesktopEntry entry = base->entry;
  if (enabled) {
    entry.Remove(kHidden);
    if (entry.Value(kGnomeEnabled)) entry.Set(kGnomeEnabled, "true");
  } else {
    entry.Set(kHidden, "true");
  }
  const std::string wanted = entry.Text();
  std::error_code code;
  if (system && wanted == system->entry.Text()) {
    if (user && !fs::remove(paths.user_entry, code) && code) {
      error = "cannot remove " + paths.user_entry.string() + ": " + code.message();
      return std::nullopt;
    }
  } else if (!user || wanted != user->entry.Text()) {
    fs::create_directories(paths.user_entry.parent_path(), code);
    if (!code) {
      // The desktop's folder, not ours: the entry is made as the user's files are.
      code = WriteFileAtomically(
          paths.user_entry,
          std::span(reinterpret_cast<const std::uint8_t*>(wanted.data()), wanted.size()), {},
          platform::FileAccess::kKeepMode);
    }
    if (code) {
      error = "cannot write " + paths.user_entry.string() + ": " + code.message();
      return std::nullopt;
    }
  }
  return ReadAutostart(paths, error);
}

std::unique_ptr<Autostart> CreateSystemAutostart(const PathEnvironment& env) {
  return std::make_unique<DesktopAutostart>(ResolveAutostartPaths(env));
}

}  // namespace z900::platform
