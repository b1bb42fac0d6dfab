#include "platform/console.h"

#include <unistd.h>

namespace z900::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) != 0; }

// Terminals here take UTF-8 as they are.
void UseUtf8Terminal() {}

}  // namespace z900::platform
