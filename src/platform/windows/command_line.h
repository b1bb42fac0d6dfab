#pragma once

#include <span>
#include <string>

namespace z900::platform {

// Joins arguments into one Windows command line that the C runtime's argument parser (and
// CommandLineToArgvW) splits back into exactly these arguments: an argument with a blank, a
// tab, a line break or a double quote, or an empty one, is enclosed in double quotes; inside,
// a double quote is escaped with a backslash, and the backslashes before it and before the
// closing quote are doubled. Backslashes anywhere else stay as they are, so paths need no
// escaping.
std::wstring JoinCommandLineArguments(std::span<const std::wstring> arguments);

}  // namespace z900::platform
