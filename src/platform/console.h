#pragma once

#include <string>
#include <vector>

// What a command-line program gets from the system it runs on.
namespace z900::platform {

// The arguments after the program name, as UTF-8. (Windows hands argv over in the ANSI code
// page, which cannot hold every name; there they are read anew from the UTF-16 command line.)
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Whether standard output is a terminal (and not a file or a pipe).
bool StandardOutputIsTerminal();

// Makes the terminal show the program's UTF-8 output as text; a Windows console reads it in its
// OEM code page otherwise.
void UseUtf8Terminal();

}  // namespace z900::platform
