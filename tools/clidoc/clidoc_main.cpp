// z900-clidoc: writes the parts of z900ctl's manual page and shell completion that come from
// its command table, so that neither can fall behind the tool.
//
//   z900-clidoc man|bash TEMPLATE OUTPUT
//
// Copies TEMPLATE to OUTPUT with the lines "%OPTIONS%" and "%COMMANDS%" replaced: for "man",
// by roff paragraphs of the options and commands; for "bash", by the lines of a bash array, one
// per option or command: "NAME;POSITIONAL…;FLAG…;VALUED-OPTION…".
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_session.h"

namespace {

using z900::cli::Command;

// The words of a command's argument usage: "FILE [--replace]", "BUTTON [--mode M]".
struct ArgumentUsage {
  std::vector<std::string> positional;  // "FILE", "[COUNT]", "on|off|status"
  std::vector<std::string> flags;       // "--replace"
  std::vector<std::string> valued;      // "--mode"
};

ArgumentUsage ParseArguments(std::string_view text) {
  std::vector<std::string> tokens;
  std::istringstream words{std::string(text)};
  for (std::string word; words >> word;) tokens.push_back(word);
  ArgumentUsage usage;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    if (!token.starts_with("[-")) {
      usage.positional.push_back(token);
    } else if (token.ends_with(']')) {
      usage.flags.push_back(token.substr(1, token.size() - 2));
    } else {
      usage.valued.push_back(token.substr(1));
      ++i;  // its value
    }
  }
  return usage;
}

// Text for roff: backslashes and hyphens escaped, no control character at a line's start.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (out.starts_with('.') || out.starts_with('\'')) out.insert(0, "\\&");
  return out;
}

// A usage in roff: literal words bold, placeholders (upper case) in italics.
std::string RoffUsage(std::string_view usage) {
  std::string out;
  std::size_t i = 0;
  while (i < usage.size()) {
    const std::size_t end = usage.find_first_of(" []", i);
    if (end == i) {
      out += usage[i++];
      continue;
    }
    const std::string_view word = usage.substr(i, end - i);
    const bool placeholder = word.find_first_of("abcdefghijklmnopqrstuvwxyz") == word.npos;
    out += (placeholder ? "\\fI" : "\\fB") + Roff(word) + "\\fR";
    i = end == usage.npos ? usage.size() : end;
  }
  return out;
}

std::string Join(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& word : words) out += (out.empty() ? "" : " ") + word;
  return out;
}

std::string ManOptions() {
  std::string out;
  for (const auto& option : z900::cli::GlobalOptions()) {
    out += ".TP\n" + RoffUsage(option.name) + "\n" + Roff(option.summary) + "\n";
  }
  return out;
}

std::string ManCommands() {
  std::string out;
  for (const Command* command : z900::cli::AllCommands()) {
    std::string usage(command->name);
    if (!command->arguments.empty()) usage += " " + std::string(command->arguments);
    out += ".TP\n" + RoffUsage(usage) + "\n" + Roff(command->summary) + "\n";
  }
  return out;
}

std::string BashLine(std::string_view name, const ArgumentUsage& usage) {
  return "  '" + std::string(name) + ";" + Join(usage.positional) + ";" + Join(usage.flags) + ";" +
         Join(usage.valued) + "'\n";
}

std::string BashOptions() {
  std::string out;
  for (const auto& option : z900::cli::GlobalOptions()) out += BashLine(option.name, {});
  return out;
}

std::string BashCommands() {
  std::string out;
  for (const Command* command : z900::cli::AllCommands()) {
    out += BashLine(command->name, ParseArguments(command->arguments));
  }
  return out;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "z900-clidoc: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::string_view(argv[1]) != "man" && std::string_view(argv[1]) != "bash")) {
    return Fail("usage: z900-clidoc man|bash TEMPLATE OUTPUT");
  }
  const bool man = std::string_view(argv[1]) == "man";
  // The bash lines are single-quoted words.
  for (const Command* command : z900::cli::AllCommands()) {
    if ((std::string(command->name) + std::string(command->arguments)).find('\'') !=
        std::string::npos) {
      return Fail("a quote in the usage of " + std::string(command->name));
    }
  }
  std::ifstream in(argv[2]);
  if (!in) return Fail(std::string("cannot read ") + argv[2]);
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (line == "%OPTIONS%") {
      text += man ? ManOptions() : BashOptions();
    } else if (line == "%COMMANDS%") {
      text += man ? ManCommands() : BashCommands();
    } else {
      text += line + "\n";
    }
  }
  std::ofstream out(argv[3], std::ios::binary);
  if (!(out << text) || !out.flush()) return Fail(std::string("cannot write ") + argv[3]);
  return 0;
}
