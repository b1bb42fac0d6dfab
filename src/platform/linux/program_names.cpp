// The names a program goes by: those a running process shows, for the foreground look-up, and
// the one a program chosen by its path will be seen as, for the profile that names it.
#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/file_io.h"
#include "platform/linux/foreground_backends.h"
#include "platform/program_paths.h"
#include "platform/text.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// The most read of a process's command line (its first arguments are all that is wanted), of a
// desktop entry, and of a script's first line.
constexpr std::size_t kMaxCommandLineBytes = 16 * 1024;
constexpr std::size_t kMaxDesktopEntryBytes = 64 * 1024;
constexpr std::size_t kMaxShebangBytes = 256;
// Arguments after argv[0] looked at for the script an interpreter runs: options of the
// interpreter may come before it.
constexpr std::size_t kScriptArgumentsLooked = 3;

// The interpreters of wrapper scripts: a shell script that shows a window starts another program
// for it, so the script's own name is not what the window's process shows.
constexpr std::array<std::string_view, 7> kShells = {"sh",  "bash", "dash", "zsh",
                                                     "ksh", "mksh", "ash"};

std::optional<std::string> ReadStart(const fs::path& path, std::size_t limit) {
  std::vector<std::uint8_t> bytes;
  if (ReadFileStart(path, limit, bytes)) return std::nullopt;
  return std::string(bytes.begin(), bytes.end());
}

std::string_view FileNameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The path with every link followed; nullopt when it leads nowhere.
std::optional<fs::path> RealPath(const fs::path& path) {
  std::error_code error;
  fs::path real = fs::canonical(path, error);
  if (error) return std::nullopt;
  return real;
}

// The interpreter a script names on its first line ("#!/bin/sh -e" gives "sh", "#!/usr/bin/env
// python3" gives "python3"); nullopt when the file is no script.
std::optional<std::string> ScriptInterpreter(const fs::path& file) {
  const std::optional<std::string> start = ReadStart(file, kMaxShebangBytes);
  if (!start || !start->starts_with("#!")) return std::nullopt;
  std::string_view line(*start);
  line.remove_prefix(2);
  line = line.substr(0, line.find('\n'));
  std::vector<std::string_view> words;
  while (!line.empty()) {
    const std::size_t begin = line.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) break;
    line.remove_prefix(begin);
    const std::size_t end = line.find_first_of(" \t\r");
    words.push_back(line.substr(0, end));
    if (end == std::string_view::npos) break;
    line.remove_prefix(end);
  }
  if (words.empty()) return std::string();
  std::string_view interpreter = FileNameOf(words[0]);
  if (interpreter == "env") {
    const auto program = std::find_if(words.begin() + 1, words.end(), [](std::string_view word) {
      return !word.starts_with('-') && word.find('=') == std::string_view::npos;
    });
    interpreter = program == words.end() ? std::string_view() : FileNameOf(*program);
  }
  return std::string(interpreter);
}

// The NUL-separated arguments of a process's command line.
std::vector<std::string> CommandLineOf(std::uint32_t pid) {
  std::vector<std::string> arguments;
  const std::optional<std::string> line =
      ReadStart("/proc/" + std::to_string(pid) + "/cmdline", kMaxCommandLineBytes);
  if (!line) return arguments;
  std::string_view rest(*line);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\0');
    arguments.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return arguments;
}

// Collects names without repeats, empty ones and ones too long to be a program's name.
class NameList {
 public:
  explicit NameList(ForegroundProgram& program) : program_(program) {}
  void Add(std::string_view name) {
    if (name.empty() || name.size() > kMaxAppIdBytes) return;
    const std::u16string text = Utf8ToUtf16(name);
    if (program_.Matches(text)) return;
    program_.other_names.push_back(text);
  }

 private:
  ForegroundProgram& program_;
};

// The script an interpreter process runs: the first of its first arguments that is not an
// option and names a script, as started and with its links followed.
void AddScriptNames(std::uint32_t pid, const std::vector<std::string>& arguments, NameList& names) {
  const fs::path folder = "/proc/" + std::to_string(pid) + "/cwd";
  const std::size_t last = std::min(arguments.size(), kScriptArgumentsLooked + 1);
  for (std::size_t i = 1; i < last; ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || argument.starts_with('-')) continue;
    const fs::path path = argument.starts_with('/') ? fs::path(argument) : folder / argument;
    if (!ScriptInterpreter(path)) continue;
    names.Add(FileNameOf(argument));
    if (const std::optional<fs::path> real = RealPath(path)) names.Add(real->filename().string());
    return;
  }
}

// One desktop entry's keys that say what it starts and what its window is called.
struct DesktopEntry {
  std::string exec;
  std::string startup_wm_class;
};

std::optional<DesktopEntry> ReadDesktopEntry(const fs::path& file) {
  const std::optional<std::string> text = ReadStart(file, kMaxDesktopEntryBytes);
  if (!text) return std::nullopt;
  DesktopEntry entry;
  bool in_main_group = false;
  std::string_view rest(*text);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.starts_with('[')) {
      in_main_group = line.starts_with("[Desktop Entry]");
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!in_main_group || equals == std::string_view::npos) continue;
    std::string_view key = line.substr(0, equals);
    while (key.ends_with(' ')) key.remove_suffix(1);
    std::string_view value = line.substr(equals + 1);
    while (value.starts_with(' ')) value.remove_prefix(1);
    while (value.ends_with(' ') || value.ends_with('\r')) value.remove_suffix(1);
    if (key == "Exec") entry.exec = value;
    if (key == "StartupWMClass") entry.startup_wm_class = value;
  }
  return entry;
}

// The program an Exec line starts (its first word, after "env" and its settings), found in PATH
// when it names no folder; nullopt when there is none.
std::optional<fs::path> ExecProgram(std::string_view exec) {
  std::vector<std::string> words;
  while (!exec.empty()) {
    const std::size_t begin = exec.find_first_not_of(" \t");
    if (begin == std::string_view::npos) break;
    exec.remove_prefix(begin);
    std::string word;
    if (exec.front() == '"') {
      std::size_t i = 1;
      for (; i < exec.size() && exec[i] != '"'; ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
        word.push_back(exec[i]);
      }
      exec.remove_prefix(std::min(i + 1, exec.size()));
    } else {
      const std::size_t end = exec.find_first_of(" \t");
      word = exec.substr(0, end);
      exec.remove_prefix(end == std::string_view::npos ? exec.size() : end);
    }
    words.push_back(std::move(word));
  }
  auto program = words.begin();
  if (program != words.end() && FileNameOf(*program) == "env") {
    program = std::find_if(program + 1, words.end(), [](const std::string& word) {
      return !word.starts_with('-') && word.find('=') == std::string::npos;
    });
  }
  if (program == words.end() || program->empty()) return std::nullopt;
  if (program->find('/') != std::string::npos) return fs::path(*program);
  const std::string folders = EnvironmentValue("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
  std::string_view rest(folders);
  while (!rest.empty()) {
    const std::size_t end = rest.find(':');
    const std::string_view folder = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (folder.empty()) continue;
    const fs::path candidate = fs::path(folder) / *program;
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate;
  }
  return std::nullopt;
}

// The folders of desktop entries, the user's first.
std::vector<fs::path> ApplicationFolders() {
  std::vector<fs::path> folders;
  if (const std::optional<std::string> home = EnvironmentValue("XDG_DATA_HOME")) {
    folders.push_back(fs::path(*home) / "applications");
  } else if (const std::optional<std::string> user = EnvironmentValue("HOME")) {
    folders.push_back(fs::path(*user) / ".local/share/applications");
  }
  const std::string dirs =
      EnvironmentValue("XDG_DATA_DIRS").value_or("/usr/local/share:/usr/share");
  std::string_view rest(dirs);
  while (!rest.empty()) {
    const std::size_t end = rest.find(':');
    if (const std::string_view folder = rest.substr(0, end); !folder.empty()) {
      folders.push_back(fs::path(folder) / "applications");
    }
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  return folders;
}

// The name of the window of the desktop entry that starts `script`: its StartupWMClass, else
// the entry's own name (the app id of a well-behaved Wayland program). Entries are taken in the
// order of their folders and, within one, of their names.
std::optional<std::u16string> DesktopEntryWindowOf(const fs::path& script) {
  for (const fs::path& folder : ApplicationFolders()) {
    std::error_code error;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      if (it->path().extension() == ".desktop") files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      const std::optional<DesktopEntry> entry = ReadDesktopEntry(file);
      if (!entry) continue;
      const std::optional<fs::path> program = ExecProgram(entry->exec);
      if (!program || RealPath(*program) != script) continue;
      return Utf8ToUtf16(entry->startup_wm_class.empty() ? file.stem().string()
                                                         : entry->startup_wm_class);
    }
  }
  return std::nullopt;
}

}  // namespace

std::u16string ProgramIdentity(std::uint32_t pid, std::string_view app_id) {
  return ProcessProgramNames(pid, app_id).name;
}

ForegroundProgram ProcessProgramNames(std::uint32_t pid, std::string_view app_id,
                                      std::string_view instance) {
  ForegroundProgram program;
  const std::optional<std::string> exe = ExecutableNameOfProcess(pid);
  const bool app_id_usable = !app_id.empty() && app_id.size() <= kMaxAppIdBytes;
  if (exe) {
    program.name = Utf8ToUtf16(*exe);
  } else if (app_id_usable) {
    program.name = Utf8ToUtf16(app_id);
  }
  NameList names(program);
  if (pid != 0) {
    if (std::optional<std::string> comm =
            ReadStart("/proc/" + std::to_string(pid) + "/comm", kMaxShebangBytes)) {
      if (comm->ends_with('\n')) comm->pop_back();
      names.Add(*comm);
    }
    const std::vector<std::string> arguments = CommandLineOf(pid);
    if (!arguments.empty()) names.Add(FileNameOf(arguments[0]));
    AddScriptNames(pid, arguments, names);
  }
  if (app_id_usable) names.Add(app_id);
  names.Add(instance);
  // A process that is not ours to read and has no app id stays unknown, whatever else it shows.
  if (!exe && !app_id_usable) program.other_names.clear();
  return program;
}

std::u16string ProgramSeenAs(const fs::path& chosen) {
  const std::optional<fs::path> real = RealPath(chosen);
  std::error_code error;
  if (!real || !fs::is_regular_file(*real, error)) return Utf8ToUtf16(chosen.filename().string());
  const std::optional<std::string> interpreter = ScriptInterpreter(*real);
  if (interpreter && std::find(kShells.begin(), kShells.end(), *interpreter) != kShells.end()) {
    if (std::optional<std::u16string> window = DesktopEntryWindowOf(*real)) return *window;
  }
  return Utf8ToUtf16(real->filename().string());
}

}  // namespace z900::platform
