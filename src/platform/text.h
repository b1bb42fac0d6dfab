#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// UTF-8 / UTF-16 conversion and fixed-size UTF-16 fields of stored records.
namespace z900::platform {

// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Converts UTF-8 to UTF-16. Malformed input follows the replacement rule of Unicode (and of the
// Windows conversion): each maximal start of a well-formed sequence, or each byte that cannot
// start one, becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Appends one code point (at most U+10FFFF) as one unit or a surrogate pair.
inline void AppendUtf16(std::u16string& out, char32_t code_point) {
  if (code_point < 0x10000) {
    out.push_back(static_cast<char16_t>(code_point));
  } else {
    code_point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
  }
}

// Parses a whole text as an unsigned number, decimal or hexadecimal with a 0x prefix.
std::optional<std::uint64_t> ParseUnsignedNumber(std::string_view text);

// Reads a fixed text field: the units up to the first zero, or the whole field when it holds
// none (a stored record need not be terminated).
template <std::size_t N>
std::u16string ReadFixedText(const char16_t (&field)[N]) {
  std::size_t length = 0;
  while (length < N && field[length] != u'\0') ++length;
  return std::u16string(field, length);
}

// Writes a text into a fixed field: cut to N - 1 units, terminated, the rest zeroed.
template <std::size_t N>
void WriteFixedText(char16_t (&field)[N], std::u16string_view text) {
  static_assert(N > 0);
  const std::size_t length = text.size() < N ? text.size() : N - 1;
  for (std::size_t i = 0; i < N; ++i) field[i] = i < length ? text[i] : u'\0';
}

}  // namespace z900::platform
