#include <canberra.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/host_services.h"
#include "platform/linux/shared_library.h"
#include "platform/text.h"

extern char** environ;

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// The part of libcanberra we use, opened at the first sound: the library and its decoders are
// not loaded by a start that never plays one.
struct Canberra {
  decltype(&ca_context_create) context_create = nullptr;
  decltype(&ca_context_destroy) context_destroy = nullptr;
  decltype(&ca_context_play) context_play = nullptr;
  decltype(&ca_strerror) error_text = nullptr;

  static bool Find(SharedLibrary& library, Canberra& canberra) {
    return library.Find("ca_context_create", canberra.context_create) &&
           library.Find("ca_context_destroy", canberra.context_destroy) &&
           library.Find("ca_context_play", canberra.context_play) &&
           library.Find("ca_strerror", canberra.error_text);
  }
};

// What a path names, for the checks made before anything is started.
enum class PathKind { kMissing, kFolder, kFile, kOther };

PathKind KindOf(const std::string& path, int& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = errno;
    return PathKind::kMissing;
  }
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  return S_ISREG(info.st_mode) ? PathKind::kFile : PathKind::kOther;
}

std::string Missing(const std::string& path, int error) {
  return error == ENOENT || error == ENOTDIR ? path + " does not exist"
                                             : path + ": " + std::strerror(error);
}

// Why `path` cannot be started as a program; empty when it can.
std::string ProgramProblem(const std::string& path) {
  int error = 0;
  switch (KindOf(path, error)) {
    case PathKind::kMissing:
      return Missing(path, error);
    case PathKind::kFolder:
      return path + " is a folder, not a program";
    case PathKind::kOther:
      return path + " is not a program file";
    case PathKind::kFile:
      break;
  }
  if (::access(path.c_str(), X_OK) != 0) return path + " is not executable";
  return {};
}

// A text with a scheme ("https:", "mailto:") is an address, not a path to check.
bool IsAddress(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  });
}

std::string FolderList(const std::vector<fs::path>& folders) {
  std::string list;
  for (const fs::path& folder : folders) list += (list.empty() ? "" : ", ") + folder.string();
  return list;
}

// Starts programs directly, never through a shell, and reaps the ones that have ended so that
// no zombies pile up.
class LinuxHostServices final : public HostServices {
 public:
  explicit LinuxHostServices(std::vector<fs::path> helper_folders)
      : helper_folders_(std::move(helper_folders)) {}
  ~LinuxHostServices() override {
    Reap();
    if (sounds_ != nullptr) canberra_->context_destroy(sounds_);
  }
  LinuxHostServices(const LinuxHostServices&) = delete;
  LinuxHostServices& operator=(const LinuxHostServices&) = delete;

  HostOutcome StartProgram(const std::u16string& path,
                           std::span<const std::u16string> arguments) override {
    const std::string file = Utf16ToUtf8(path);
    if (file.empty()) return HostOutcome::Failed("no program is given");
    if (std::string problem = ProgramProblem(file); !problem.empty()) {
      return HostOutcome::Failed(std::move(problem));
    }
    std::vector<std::string> args = {file};
    for (const std::u16string& argument : arguments) args.push_back(Utf16ToUtf8(argument));
    return Spawn(file, std::move(args), false);
  }

  HostOutcome OpenWithDefaultApplication(const std::u16string& text) override {
    std::u16string_view unquoted = text;
    if (unquoted.size() >= 2 && unquoted.front() == u'"' && unquoted.back() == u'"') {
      unquoted = unquoted.substr(1, unquoted.size() - 2);
    }
    const std::string target = Utf16ToUtf8(unquoted);
    if (target.empty()) return HostOutcome::Failed("no file or folder is given");
    int error = 0;
    if (!IsAddress(target) && KindOf(target, error) == PathKind::kMissing) {
      return HostOutcome::Failed(Missing(target, error));
    }
    // The desktop's opener is found through the search path, as the user's desktop sets it.
    return Spawn("xdg-open", {"xdg-open", target}, true);
  }

  HostOutcome PlaySoundFile(const std::u16string& path) override {
    const std::string file = Utf16ToUtf8(path);
    if (file.empty()) return HostOutcome::Failed("no sound file is given");
    int error = 0;
    switch (KindOf(file, error)) {
      case PathKind::kMissing:
        return HostOutcome::Failed(Missing(file, error));
      case PathKind::kFolder:
        return HostOutcome::Failed(file + " is a folder, not a sound file");
      case PathKind::kOther:
      case PathKind::kFile:
        break;
    }
    if (::access(file.c_str(), R_OK) != 0) return HostOutcome::Failed(file + " cannot be read");
    if (sounds_ == nullptr) {
      std::string why;
      canberra_ = OpenOnce<Canberra>("libcanberra.so.0", why);
      if (canberra_ == nullptr) return HostOutcome::Failed("no sound output: " + why);
      if (const int result = canberra_->context_create(&sounds_); result != CA_SUCCESS) {
        sounds_ = nullptr;
        return HostOutcome::Failed(std::string("no sound output: ") +
                                   canberra_->error_text(result));
      }
    }
    const int result =
        canberra_->context_play(sounds_, 0, CA_PROP_MEDIA_FILENAME, file.c_str(), nullptr);
    if (result != CA_SUCCESS) {
      return HostOutcome::Failed("cannot play " + file + ": " + canberra_->error_text(result));
    }
    return {};
  }

  HostOutcome StartTool(std::string_view command_line) override {
    std::vector<std::string> args;
    for (std::size_t start = 0; start < command_line.size();) {
      const std::size_t blank = std::min(command_line.find(' ', start), command_line.size());
      if (blank > start) args.emplace_back(command_line.substr(start, blank - start));
      start = blank + 1;
    }
    if (args.empty()) return HostOutcome::Failed("no tool is given");
    for (const fs::path& folder : helper_folders_) {
      const std::string candidate = (folder / args[0]).string();
      if (ProgramProblem(candidate).empty()) return Spawn(candidate, std::move(args), false);
    }
    std::string reason = args[0] + " is not installed";
    if (!helper_folders_.empty()) reason += " (looked in " + FolderList(helper_folders_) + ")";
    return HostOutcome::Failed(std::move(reason));
  }

 private:
  HostOutcome Spawn(const std::string& program, std::vector<std::string> args, bool search_path) {
    Reap();
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int result =
        search_path ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                    : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (result != 0) {
      return HostOutcome::Failed("cannot start " + program + ": " + std::strerror(result));
    }
    std::lock_guard lock(children_mutex_);
    children_.push_back(pid);
    return {};
  }

  void Reap() {
    std::lock_guard lock(children_mutex_);
    std::erase_if(children_, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
  }

  const std::vector<fs::path> helper_folders_;
  const Canberra* canberra_ = nullptr;  // set with sounds_
  ca_context* sounds_ = nullptr;
  std::mutex children_mutex_;
  std::vector<pid_t> children_;
};

}  // namespace

std::unique_ptr<HostServices> CreateSystemHostServices(std::vector<fs::path> helper_folders) {
  return std::make_unique<LinuxHostServices>(std::move(helper_folders));
}

}  // namespace z900::platform
