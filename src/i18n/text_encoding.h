#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Character encodings of documents: charset names, code pages and conversion to UTF-16.
namespace z900::i18n {

inline constexpr int kCodePageUtf16 = 1200;
inline constexpr int kCodePageUtf16BigEndian = 1201;
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kCodePageUtf32 = 65005;  // not in the name table; any name "UTF-32…"

// Windows code page of a charset name: 0 (the default ANSI code page) for an empty name,
// 65005 for a name that begins with "UTF-32" (that case exactly), otherwise the entry of the
// name table after lower-casing A–Z; -1 for an unknown name or one of 100 or more units.
int CodePageOfEncoding(std::u16string_view name);

struct SingleByteCodePage;

// How a code page is converted on this system.
struct CodePageConversion {
  enum class Method {
    kUtf8,       // our own converter
    kUtf32,      // by hand: 4-byte little-endian units
    kTable,      // a single-byte code page of our own tables: `table`
    kSystem,     // the system's conversion (platform/code_pages.h) under `system_name`
    kAsciiOnly,  // nothing converts it here: ASCII is kept, other bytes become U+FFFD
    kNone,       // the Windows conversion refuses this code page: the result is empty
  };
  Method method = Method::kNone;
  const char* system_name = nullptr;
  const SingleByteCodePage* table = nullptr;
  bool exact = true;  // false when only a neighbour of the code page converts it (see docs/)
};

// The conversion used for a code page (0 and -1 are resolved by the caller first).
CodePageConversion ConversionOfCodePage(int code_page);

// Converts `data` from the encoding `from` to the encoding `to`, which must name UTF-16
// (code page 1200): other targets are never needed and give nullopt. Unknown source names
// mean the ANSI code page `ansi_code_page`. Bytes that cannot be converted become U+FFFD
// (U+0081 … U+009D for the five unassigned bytes of 1252, as on Windows).
std::optional<std::u16string> ConvertText(std::u16string_view from, std::u16string_view to,
                                          std::span<const std::uint8_t> data, int ansi_code_page);

// The same with code pages already resolved; `code_page` 0 or -1 means `ansi_code_page`.
std::u16string ConvertToUtf16(int code_page, std::span<const std::uint8_t> data,
                              int ansi_code_page);

// The reader's loose UTF-8 test, up to the end or the first zero byte: lead bytes give the
// sequence length from bits 5, 4 and 3; continuation bytes need only their top bit; lead bytes
// 0x80–0xBF are let through.
bool LooksLikeUtf8(std::span<const std::uint8_t> data);

}  // namespace z900::i18n
