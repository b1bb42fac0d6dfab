#include "clipboard_keeper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QTimer>
#include <array>
#include <cerrno>
#include <string>

#include "platform/program_paths.h"
#include "x11_capture.h"

extern char** environ;

namespace z900::screengrab {
namespace {

// How long we wait for the keeper to take the clipboard.
constexpr int kKeeperReadyTimeoutMs = 5000;

// A screenshot of many large screens is well below this.
constexpr qsizetype kMaxPngSize = qsizetype{512} * 1024 * 1024;

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

QByteArray ReadStandardInput() {
  QByteArray data;
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (data.size() + got > kMaxPngSize) return {};
    data.append(buffer.data(), got);
  }
  return data;
}

// Tells the screenshot process whether we hold the clipboard, then lets go of its pipe so that
// nothing of it waits for us.
void ReportReady(bool owned) {
  const char answer = owned ? '1' : '0';
  WriteAll(STDOUT_FILENO, &answer, 1);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
  }
}

// Whether there is a display for Qt to start on: Wayland, or an X server that accepts us (Qt
// would abort without one).
bool HasDisplay() {
  return platform::EnvironmentValue("WAYLAND_DISPLAY").has_value() || !X11DisplayProblem();
}

}  // namespace

bool HandClipboardToKeeper(const QByteArray& png) {
  int data_pipe[2];
  int ready_pipe[2];
  if (::pipe2(data_pipe, O_CLOEXEC) != 0) return false;
  if (::pipe2(ready_pipe, O_CLOEXEC) != 0) {
    ::close(data_pipe[0]);
    ::close(data_pipe[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, data_pipe[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, ready_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  // A session of its own: closing the terminal we were started from does not end the keeper.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  // Started through /proc/self/exe, so even a program file replaced meanwhile is this one.
  std::string name = QCoreApplication::applicationFilePath().toStdString();
  std::string argument = kServeClipboardArgument;
  std::array<char*, 3> argv = {name.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const int spawned =
      ::posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(data_pipe[0]);
  ::close(ready_pipe[1]);
  bool owned = false;
  if (spawned == 0) {
    // A keeper that dies early must not kill us with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    const bool sent = WriteAll(data_pipe[1], png.constData(), static_cast<std::size_t>(png.size()));
    ::close(data_pipe[1]);
    pollfd ready = {ready_pipe[0], POLLIN, 0};
    char answer = 0;
    owned = sent && ::poll(&ready, 1, kKeeperReadyTimeoutMs) == 1 &&
            ::read(ready_pipe[0], &answer, 1) == 1 && answer == '1';
  } else {
    ::close(data_pipe[1]);
  }
  ::close(ready_pipe[0]);
  return owned;
}

int ServeClipboard(int argc, char** argv) {
  const QByteArray png = ReadStandardInput();
  QImage image;
  if (png.isEmpty() || !image.loadFromData(png, "PNG") || !HasDisplay()) {
    ReportReady(false);
    return 1;
  }
  QGuiApplication app(argc, argv);
  const QString platform = QGuiApplication::platformName();
  if (platform != "xcb" && platform != "wayland") {  // offscreen and the like have no clipboard
    ReportReady(false);
    return 1;
  }
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setImage(image);
  const bool owned = clipboard->ownsClipboard();
  ReportReady(owned);
  if (!owned) return 1;
  QObject::connect(clipboard, &QClipboard::changed, &app, [&](QClipboard::Mode mode) {
    if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) app.quit();
  });
  QTimer::singleShot(std::chrono::minutes(kKeepClipboardMinutes), &app, &QCoreApplication::quit);
  return app.exec();
}

}  // namespace z900::screengrab
