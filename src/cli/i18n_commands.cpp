#include <array>
#include <ostream>

#include "cli/cli_session.h"
#include "i18n/language_strings.h"
#include "i18n/xml_document.h"
#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::cli {
namespace {

int Usage(CliSession& session, std::string_view usage) {
  return session.Fail(kExitUsage, "usage: z900ctl " + std::string(usage));
}

// The language file the programs load: the translation Z900_LANGUAGE names, or language.xml.
std::filesystem::path DefaultLanguageFile(CliSession& session) {
  return i18n::LanguageFilePath(session.context().paths.module_directory,
                                platform::EnvironmentValue("Z900_LANGUAGE"));
}

int RunLangCheck(CliSession& session, std::span<const std::string> args) {
  if (args.size() > 1) return Usage(session, "lang check [FILE]");
  const std::filesystem::path path =
      args.empty() ? DefaultLanguageFile(session) : platform::PathFromUtf8(args[0]);
  i18n::CXmlDocument document;
  const i18n::LanguageCheck check = i18n::CheckLanguageFile(document, path);
  if (!check.readable) {
    return session.Fail(kExitFailed, platform::PathToUtf8(path) + ": " + check.problems.front());
  }
  const std::string encoding = check.encoding.empty()
                                   ? "the ANSI code page (no encoding found)"
                                   : platform::Utf16ToUtf8(check.encoding) +
                                         (check.byte_order_mark ? " (byte-order mark)" : "");
  session.out() << platform::PathToUtf8(path) << ": encoding " << encoding << '\n';
  if (check.problems.empty()) {
    session.out() << "all " << i18n::kStringKeyCount << " strings present\n";
    return kExitOk;
  }
  for (const std::string& problem : check.problems) session.err() << "  " << problem << '\n';
  return session.Fail(kExitFailed, std::to_string(check.problems.size()) +
                                       (check.problems.size() == 1 ? " problem" : " problems") +
                                       " in " + platform::PathToUtf8(path));
}

int RunXmlGet(CliSession& session, std::span<const std::string> args) {
  constexpr std::string_view kUsage = "xml get FILE SECTION KEY [--result]";
  bool show_result = false;
  std::vector<std::string> words;
  for (const std::string& arg : args) {
    if (arg == "--result") {
      show_result = true;
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() != 3) return Usage(session, kUsage);
  i18n::CXmlDocument document;
  if (!document.LoadDocument(platform::PathFromUtf8(words[0]))) {
    return session.Fail(kExitFailed,
                        words[0] + ": " + platform::Utf16ToUtf8(document.ReadResult()));
  }
  const std::u16string value = i18n::SectionValue(document, platform::Utf8ToUtf16(words[1]),
                                                  platform::Utf8ToUtf16(words[2]));
  session.out() << platform::Utf16ToUtf8(value) << '\n';
  if (show_result) {
    session.out() << "result: " << platform::Utf16ToUtf8(document.ReadResult()) << '\n';
  }
  return kExitOk;
}

constexpr std::array kCommands = {
    Command{"lang check", "[FILE]",
            "check a language file: every string present, placeholders, encoding", &RunLangCheck},
    Command{"xml get", "FILE SECTION KEY [--result]",
            "print the text of KEY in the first SECTION below the root", &RunXmlGet},
};

}  // namespace

std::span<const Command> I18nCommands() { return kCommands; }

}  // namespace z900::cli
