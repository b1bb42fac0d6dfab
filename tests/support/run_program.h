#pragma once

#include <map>
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

// Runs a program without a shell, with the given variables added to (or, when the value is
// empty, removed from) this process's environment; stdin is /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {});

}  // namespace z900::test
