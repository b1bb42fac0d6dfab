#include "cli/output_text.h"

#include <cstdio>
#include <string>

#include "platform/text.h"

namespace z900::cli {
namespace {

// Appends an ASCII escape such as \u202e for one code point.
void AppendEscape(std::u16string& out, const char* format, char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(c));
  out.append(text, text + std::char_traits<char>::length(text));
}

}  // namespace

bool IsUnsafeForTerminal(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string TerminalText(std::u16string_view text) {
  // Every unsafe character lies in the BMP outside the surrogates, so units can be looked at
  // one by one; surrogates pass on to the conversion, which pairs them.
  std::u16string out;
  for (const char16_t c : text) {
    if (!IsUnsafeForTerminal(c)) {
      out += c;
    } else if (c == '\n') {
      out += u"\\n";
    } else if (c == '\r') {
      out += u"\\r";
    } else if (c == '\t') {
      out += u"\\t";
    } else {
      AppendEscape(out, c < 0x80 ? "\\x%02x" : "\\u%04x", c);
    }
  }
  return platform::Utf16ToUtf8(out);
}

std::string JsonString(std::string_view utf8) {
  std::u16string json = u"\"";
  for (const char16_t c : platform::Utf8ToUtf16(utf8)) {
    if (c == u'"' || c == u'\\') {
      json += u'\\';
      json += c;
    } else if (IsUnsafeForTerminal(c)) {
      AppendEscape(json, "\\u%04x", c);
    } else {
      json += c;
    }
  }
  json += u'"';
  return platform::Utf16ToUtf8(json);
}

}  // namespace z900::cli
