#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace z900::test {

struct ProgramResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// A program started in the background; Wait collects its output and exit code.
class RunningProgram {
 public:
  RunningProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  ProgramResult Wait();
  // Waits at most `timeout` for the program to end; nullopt while it still runs. Output of
  // programs it started and left running is not waited for.
  std::optional<ProgramResult> WaitFor(std::chrono::milliseconds timeout);
  // Sends the program a signal, as a user's Ctrl-C (SIGINT) would (Linux).
  void Signal(int signal_number);
  bool running() const { return pid_ > 0; }
  // Its process id while it runs.
  int process_id() const { return pid_; }
  // The output so far.
  const ProgramResult& output() const { return result_; }

 private:
  // Reads what the pipes hold, waiting up to timeout_ms (-1: until something comes).
  void Pump(int timeout_ms);
  ProgramResult Finish(int status);

  int pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  ProgramResult result_;
  // What the system needs beyond these (Windows: the process handle and the pipe readers).
  struct SystemParts;
  std::unique_ptr<SystemParts> system_;
};

// (Linux) A program that runs in the background until the object goes away, which ends it
// (SIGTERM) and reaps it. stdin, stdout and stderr are /dev/null; `fd3`, when not -1, becomes its
// fd 3 (a pipe it reports on). `program` is looked up in PATH; `env` as for RunProgram.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, int fd3 = -1);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
};

// The id of a process that has just ended (and been reaped): what a file named after a writer
// that died would carry.
int EndedProcessId();

// (Linux) Reads one line (without its newline) from `fd`, waiting at most `timeout_ms` for each
// byte; nullopt on time-out or end of file.
std::optional<std::string> ReadLineWithin(int fd, int timeout_ms);

// Runs a program without a shell, with the given variables added to (or, when the value is
// empty, removed from) this process's environment; stdin is empty. Texts are UTF-8; on Windows
// the output's line ends are "\n" as on Linux.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {});

// ASAN_OPTIONS for a Qt program on X11: Qt's X11 plugin reads the keymap through
// libxkbcommon-x11, which strndup()s counted strings that have no terminator; the sanitizer's
// strict string check takes that for an overflow. The other options stay as they are.
std::string AsanOptionsForXcb();

}  // namespace z900::test
