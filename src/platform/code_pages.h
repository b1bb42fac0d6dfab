#pragma once

#include <cstdint>
#include <span>
#include <string>

// The operating system's own conversions of Windows code pages into UTF-16: glibc iconv on
// Linux, MultiByteToWideChar on Windows. The XML reader (i18n) decides which of them to use
// beside its own converters and tables.
namespace z900::platform {

struct SystemCodePage {
  enum class Kind {
    kNone,       // the system cannot convert this code page
    kExact,      // the system converts it as Windows does
    kNeighbour,  // the system only has a neighbour of it (see docs/code-pages.md)
  };
  Kind kind = Kind::kNone;
  // The system's name of the set it converts with ("CP936" for iconv, "936" on Windows).
  const char* name = "";
};

// What this system offers for a code page.
SystemCodePage FindSystemCodePage(int code_page);

// Converts with the system's conversion of a code page that FindSystemCodePage found. Bytes that
// cannot be converted follow Windows' rule as far as the system allows (docs/code-pages.md); a
// sequence cut off by the end of the data becomes one U+FFFD.
std::u16string SystemCodePageToUtf16(int code_page, std::span<const std::uint8_t> data);

// The machine's default ANSI code page, which stands for code page 0: Windows' own; elsewhere the
// one Windows would choose for the locale of the process (LC_ALL, LC_CTYPE, LANG), 1252 when
// nothing matches.
int SystemAnsiCodePage();

}  // namespace z900::platform
