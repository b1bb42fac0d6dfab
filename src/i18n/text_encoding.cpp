#include "i18n/text_encoding.h"

#include <algorithm>

#include "i18n/code_page_tables.h"
#include "i18n/xml_tables.h"
#include "platform/code_pages.h"
#include "platform/text.h"

namespace z900::i18n {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Units of 4 bytes, little-endian; what lies beyond U+10FFFF cannot be written in UTF-16.
std::u16string Utf32ToUtf16(std::span<const std::uint8_t> data) {
  std::u16string out;
  out.reserve(data.size() / 4);
  for (std::size_t i = 0; i + 4 <= data.size(); i += 4) {
    char32_t c = static_cast<char32_t>(data[i]) | static_cast<char32_t>(data[i + 1]) << 8 |
                 static_cast<char32_t>(data[i + 2]) << 16 |
                 static_cast<char32_t>(data[i + 3]) << 24;
    if (c > 0x10FFFF) c = kReplacement;
    platform::AppendUtf16(out, c);
  }
  return out;
}

std::u16string TableToUtf16(const SingleByteCodePage& page, std::span<const std::uint8_t> data) {
  std::u16string out(data.size(), u'\0');
  std::transform(data.begin(), data.end(), out.begin(),
                 [&page](std::uint8_t byte) { return page.units[byte]; });
  return out;
}

// Where no conversion of the code page is at hand: ASCII is kept, every other byte replaced.
std::u16string AsciiToUtf16(std::span<const std::uint8_t> data) {
  std::u16string out(data.size(), u'\0');
  std::transform(data.begin(), data.end(), out.begin(),
                 [](std::uint8_t byte) { return byte < 0x80 ? byte : kReplacement; });
  return out;
}

}  // namespace

int CodePageOfEncoding(std::u16string_view name) {
  if (name.empty()) return 0;
  if (name.starts_with(u"UTF-32")) return kCodePageUtf32;
  if (name.size() >= 100) return -1;
  std::u16string lower(name);
  for (char16_t& unit : lower) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + (u'a' - u'A'));
  }
  return LookUpEncodingName(lower);
}

CodePageConversion ConversionOfCodePage(int code_page) {
  using Method = CodePageConversion::Method;
  using Kind = platform::SystemCodePage::Kind;
  if (code_page == kCodePageUtf8) return {.method = Method::kUtf8};
  if (code_page == kCodePageUtf32) return {.method = Method::kUtf32};
  // The Windows conversion refuses UTF-16 as a source: the text comes out empty.
  if (code_page == kCodePageUtf16 || code_page == kCodePageUtf16BigEndian) return {};
  // The system's own conversion where it is the real one; our tables where it lacks the code
  // page or gets it wrong; the system's neighbour set where nothing better is at hand.
  const platform::SystemCodePage system = platform::FindSystemCodePage(code_page);
  if (system.kind == Kind::kExact) return {.method = Method::kSystem, .system_name = system.name};
  for (const SingleByteCodePage& page : SingleByteCodePages()) {
    if (page.code_page == code_page) return {.method = Method::kTable, .table = &page};
  }
  if (system.kind == Kind::kNeighbour) {
    return {.method = Method::kSystem, .system_name = system.name, .exact = false};
  }
  for (const EncodingName& entry : EncodingNameTable()) {
    if (entry.code_page == code_page) return {.method = Method::kAsciiOnly, .exact = false};
  }
  return {};
}

std::u16string ConvertToUtf16(int code_page, std::span<const std::uint8_t> data,
                              int ansi_code_page) {
  if (code_page <= 0) code_page = ansi_code_page;
  const CodePageConversion conversion = ConversionOfCodePage(code_page);
  switch (conversion.method) {
    case CodePageConversion::Method::kUtf8:
      return platform::Utf8ToUtf16(
          std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    case CodePageConversion::Method::kUtf32:
      return Utf32ToUtf16(data);
    case CodePageConversion::Method::kTable:
      return TableToUtf16(*conversion.table, data);
    case CodePageConversion::Method::kSystem:
      return platform::SystemCodePageToUtf16(code_page, data);
    case CodePageConversion::Method::kAsciiOnly:
      return AsciiToUtf16(data);
    case CodePageConversion::Method::kNone:
      break;
  }
  return {};
}

std::optional<std::u16string> ConvertText(std::u16string_view from, std::u16string_view to,
                                          std::span<const std::uint8_t> data, int ansi_code_page) {
  if (CodePageOfEncoding(to) != kCodePageUtf16) return std::nullopt;
  return ConvertToUtf16(CodePageOfEncoding(from), data, ansi_code_page);
}

bool LooksLikeUtf8(std::span<const std::uint8_t> data) {
  std::size_t i = 0;
  const std::size_t size = data.size();
  while (i < size) {
    const std::uint8_t lead = data[i];
    if (lead == 0) break;
    ++i;
    if (lead < 0x80) continue;
    int extra;
    if ((lead & 0x20) == 0) {
      extra = 1;
    } else if ((lead & 0x10) == 0) {
      extra = 2;
    } else if ((lead & 0x08) == 0) {
      extra = 3;
    } else {
      return false;
    }
    for (int k = 0; k < extra; ++k, ++i) {
      if (i == size || data[i] < 0x80) return false;
    }
  }
  return true;
}

}  // namespace z900::i18n
