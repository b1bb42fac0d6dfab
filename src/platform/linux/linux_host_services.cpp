#include <canberra.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/host_services.h"
#include "platform/text.h"

extern char** environ;

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// Starts programs directly, never through a shell, and reaps the ones that have ended so that
// no zombies pile up.
class LinuxHostServices final : public HostServices {
 public:
  explicit LinuxHostServices(fs::path program_folder)
      : program_folder_(std::move(program_folder)) {}
  ~LinuxHostServices() override {
    Reap();
    if (sounds_ != nullptr) ca_context_destroy(sounds_);
  }
  LinuxHostServices(const LinuxHostServices&) = delete;
  LinuxHostServices& operator=(const LinuxHostServices&) = delete;

  void StartProgram(const std::u16string& path,
                    std::span<const std::u16string> arguments) override {
    const std::string file = Utf16ToUtf8(path);
    if (file.empty()) return;
    std::vector<std::string> args = {file};
    for (const std::u16string& argument : arguments) args.push_back(Utf16ToUtf8(argument));
    Spawn(file, std::move(args), false);
  }

  void OpenWithDefaultApplication(const std::u16string& text) override {
    std::u16string_view path = text;
    if (path.size() >= 2 && path.front() == u'"' && path.back() == u'"') {
      path = path.substr(1, path.size() - 2);
    }
    if (path.empty()) return;
    Spawn("xdg-open", {"xdg-open", Utf16ToUtf8(path)}, true);
  }

  void PlaySoundFile(const std::u16string& path) override {
    if (path.empty()) return;
    if (sounds_ == nullptr && ca_context_create(&sounds_) != CA_SUCCESS) {
      sounds_ = nullptr;
      return;
    }
    ca_context_play(sounds_, 0, CA_PROP_MEDIA_FILENAME, Utf16ToUtf8(path).c_str(), nullptr);
  }

  void StartTool(std::string_view command_line) override {
    std::vector<std::string> args;
    for (std::size_t start = 0; start < command_line.size();) {
      const std::size_t blank = std::min(command_line.find(' ', start), command_line.size());
      if (blank > start) args.emplace_back(command_line.substr(start, blank - start));
      start = blank + 1;
    }
    if (args.empty()) return;
    const fs::path beside_us = program_folder_ / args[0];
    std::error_code error;
    if (fs::exists(beside_us, error)) {
      Spawn(beside_us.string(), args, false);
    } else {
      Spawn(args[0], args, true);
    }
  }

 private:
  void Spawn(const std::string& program, std::vector<std::string> args, bool search_path) {
    Reap();
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int result =
        search_path ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                    : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (result == 0) {
      std::lock_guard lock(children_mutex_);
      children_.push_back(pid);
    }
  }

  void Reap() {
    std::lock_guard lock(children_mutex_);
    std::erase_if(children_, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
  }

  const fs::path program_folder_;
  ca_context* sounds_ = nullptr;
  std::mutex children_mutex_;
  std::vector<pid_t> children_;
};

}  // namespace

std::unique_ptr<HostServices> CreateSystemHostServices(fs::path program_folder) {
  return std::make_unique<LinuxHostServices>(std::move(program_folder));
}

}  // namespace z900::platform
