#include "platform/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace z900::platform {
namespace {

int signal_pipe_read = -1;
int signal_pipe_write = -1;

// Only what is safe in a signal handler: one byte into the pipe.
extern "C" void OnTerminationSignal(int) {
  const int saved_errno = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(signal_pipe_write, &byte, 1);
  errno = saved_errno;
}

}  // namespace

int WatchTerminationSignals() {
  if (signal_pipe_read >= 0) return signal_pipe_read;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  signal_pipe_write = ends[1];
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(number, &action, nullptr);
  signal_pipe_read = ends[0];
  return signal_pipe_read;
}

void DrainTerminationSignals() {
  char bytes[16];
  while (signal_pipe_read >= 0 && ::read(signal_pipe_read, bytes, sizeof bytes) > 0) {
  }
}

}  // namespace z900::platform
