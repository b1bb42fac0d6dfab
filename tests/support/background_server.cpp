#include "support/background_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace z900::test {

BackgroundServer::BackgroundServer(std::vector<std::string> args) {
  int ready[2];
  if (::pipe(ready) != 0) throw std::runtime_error("pipe failed");
  ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
  constexpr std::string_view kReady = "{ready}";
  for (std::string& arg : args) {
    if (const std::size_t at = arg.find(kReady); at != std::string::npos) {
      arg.replace(at, kReady.size(), std::to_string(ready[1]));
    }
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ready[1]);
  if (spawned != 0) {
    ::close(ready[0]);
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(spawned));
  }
  pid_ = pid;
  char c = 0;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') first_line_.push_back(c);
  ::close(ready[0]);
  if (first_line_.empty()) {
    Stop();
    throw std::runtime_error(args[0] + " did not start");
  }
}

BackgroundServer::~BackgroundServer() { Stop(); }

void BackgroundServer::Stop() {
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace z900::test
