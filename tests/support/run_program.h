#pragma once

#include <map>
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
  // Sends the program a signal, as a user's Ctrl-C (SIGINT) would.
  void Signal(int signal_number);

 private:
  int pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
};

// A program that runs in the background until the object goes away, which ends it (SIGTERM)
// and reaps it. stdin, stdout and stderr are /dev/null; `fd3`, when not -1, becomes its fd 3
// (a pipe it reports on). `program` is looked up in PATH; `env` as for RunProgram.
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

// Reads one line (without its newline) from `fd`, waiting at most `timeout_ms` for each byte;
// nullopt on time-out or end of file.
std::optional<std::string> ReadLineWithin(int fd, int timeout_ms);

// Runs a program without a shell, with the given variables added to (or, when the value is
// empty, removed from) this process's environment; stdin is /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {});

}  // namespace z900::test
