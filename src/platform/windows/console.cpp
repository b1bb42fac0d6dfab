#include "platform/console.h"

// windows.h first: shellapi.h builds on it.
// clang-format off
#include <windows.h>
// clang-format on

#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/windows/wide_text.h"

namespace z900::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    // Without the wide command line the ANSI one is all there is.
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  }
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(WideToUtf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

bool StandardOutputIsTerminal() { return ::_isatty(::_fileno(stdout)) != 0; }

void UseUtf8Terminal() {
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
}

}  // namespace z900::platform
