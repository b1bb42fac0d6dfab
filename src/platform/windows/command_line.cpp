#include "platform/windows/command_line.h"

namespace z900::platform {
namespace {

void AppendArgument(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count as escapes only before a quote: there each one is doubled, and the
    // quote itself gets one more.
    if (c == L'"')
      line.append(backslashes * 2 + 1, L'\\');
    else
      line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');  // before the closing quote
  line += L'"';
}

}  // namespace

std::wstring JoinCommandLineArguments(std::span<const std::wstring> arguments) {
  std::wstring line;
  for (const std::wstring& argument : arguments) {
    if (!line.empty()) line += L' ';
    AppendArgument(line, argument);
  }
  return line;
}

}  // namespace z900::platform
