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

// Xlib's macros (None, Status, ...) must come after everything else.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

extern char** environ;

namespace z900::test {

XvfbDisplay::XvfbDisplay() {
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
                                   "0",         "640x480x24"};
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

void XvfbDisplay::ShowActiveWindow(long pid, const std::string& wm_class) {
  if (client_ == nullptr) client_ = XOpenDisplay(name_.c_str());
  Display* x = static_cast<Display*>(client_);
  if (x == nullptr) throw std::runtime_error("cannot connect to Xvfb");
  window_ = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
  if (pid != 0) {
    XChangeProperty(x, window_, XInternAtom(x, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  }
  if (!wm_class.empty()) {
    // WM_CLASS holds the instance and the class, each terminated.
    const std::string value = "instance" + std::string(1, '\0') + wm_class + std::string(1, '\0');
    XChangeProperty(x, window_, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value.data()),
                    static_cast<int>(value.size()));
  }
  const long active = static_cast<long>(window_);
  XChangeProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_ACTIVE_WINDOW", False), XA_WINDOW,
                  32, PropModeReplace, reinterpret_cast<const unsigned char*>(&active), 1);
  XSync(x, False);
}

void XvfbDisplay::CloseActiveWindow() {
  Display* x = static_cast<Display*>(client_);
  if (x == nullptr || window_ == 0) return;
  XDestroyWindow(x, window_);
  XSync(x, False);
  window_ = 0;
}

XvfbDisplay::~XvfbDisplay() {
  if (client_ != nullptr) XCloseDisplay(static_cast<Display*>(client_));
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
