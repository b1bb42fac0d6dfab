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

// Runs a program without a shell, with the given variables added to (or, when the value is
// empty, removed from) this process's environment; stdin is /dev/null.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {});

}  // namespace z900::test
