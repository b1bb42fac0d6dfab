#include "support/xvfb_display.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace z900::test {

XvfbDisplay::XvfbDisplay(const std::string& screen) {
  int ready[2];
  if (::pipe(ready) != 0) throw std::runtime_error("pipe failed");
  ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // Xvfb writes the display number it chose to this descriptor once it accepts clients.
  std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(ready[1]),
                                   "-nolisten", "tcp",        "-screen",
                                   "0",         screen};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ready[1]);
  if (spawned != 0) {
    ::close(ready[0]);
    throw std::runtime_error(std::string("cannot start Xvfb: ") + std::strerror(spawned));
  }
  pid_ = pid;
  std::string number;
  char c = 0;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') number.push_back(c);
  ::close(ready[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  name_ = ":" + number;
  if (const char* old = std::getenv("DISPLAY")) {
    had_display_ = true;
    old_display_ = old;
  }
  ::setenv("DISPLAY", name_.c_str(), 1);
}

XvfbDisplay::~XvfbDisplay() {
  if (had_display_) {
    ::setenv("DISPLAY", old_display_.c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace z900::test
