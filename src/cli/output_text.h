#pragma once

#include <string>
#include <string_view>

// Texts from files, the key store or the mouse, made safe to print: control characters and
// bidirectional formatting characters would otherwise act on the terminal (clear it, move the
// cursor, set its title) or reorder what the user reads.
namespace z900::cli {

// Whether a character is shown escaped: C0 and C1 controls, DEL, and the bidirectional marks,
// embeddings, overrides and isolates.
bool IsUnsafeForTerminal(char32_t c);

// UTF-8 for the terminal: an unsafe character becomes \n, \r, \t, \xHH (below U+0080) or
// \uHHHH; everything else is kept.
std::string TerminalText(std::u16string_view text);

// A JSON string literal, quotes included, of UTF-8 text: quotes, backslashes and the unsafe
// characters escaped as JSON escapes them (\u001b, \u202e).
std::string JsonString(std::string_view utf8);

}  // namespace z900::cli
