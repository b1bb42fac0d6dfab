#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "i18n/code_page_tables.h"
#include "i18n/text_encoding.h"
#include "i18n/xml_tables.h"
#include "platform/text.h"

namespace z900::i18n {
namespace {

std::u16string Windows(int code_page, std::span<const std::uint8_t> bytes) {
  std::wstring text(bytes.size() * 2 + 4, L'\0');
  const int units = ::MultiByteToWideChar(
      static_cast<UINT>(code_page), 0, reinterpret_cast<const char*>(bytes.data()),
      static_cast<int>(bytes.size()), text.data(), static_cast<int>(text.size()));
  return std::u16string(text.begin(), text.begin() + std::max(units, 0));
}

// Every code page the system has is converted by the system, exactly as MultiByteToWideChar does
// it; the others by our tables or the ASCII fallback, never not at all.
TEST(WindowsCodePagesTest, TheSystemConvertsWhatItHas) {
  std::vector<std::uint8_t> bytes;
  for (int byte = 1; byte < 256; ++byte) bytes.push_back(static_cast<std::uint8_t>(byte));
  std::set<int> seen;
  for (const EncodingName& entry : EncodingNameTable()) {
    if (!seen.insert(entry.code_page).second) continue;
    const CodePageConversion conversion = ConversionOfCodePage(entry.code_page);
    if (entry.code_page == kCodePageUtf16 || entry.code_page == kCodePageUtf16BigEndian) {
      EXPECT_EQ(conversion.method, CodePageConversion::Method::kNone);
      continue;
    }
    if (entry.code_page == kCodePageUtf8) continue;  // our converter, the same rule
    if (::IsValidCodePage(static_cast<UINT>(entry.code_page))) {
      EXPECT_EQ(conversion.method, CodePageConversion::Method::kSystem) << entry.code_page;
      EXPECT_EQ(ConvertToUtf16(entry.code_page, bytes, 1252), Windows(entry.code_page, bytes))
          << entry.code_page;
    } else {
      EXPECT_NE(conversion.method, CodePageConversion::Method::kNone) << entry.code_page;
    }
  }
  // Code page 0 is the machine's ANSI code page.
  EXPECT_EQ(ConvertToUtf16(0, bytes, static_cast<int>(::GetACP())), Windows(CP_ACP, bytes));
}

// Where the charts our tables follow and Windows part ways (docs/code-pages.md says which
// Windows gives): the byte, and what Windows makes of it.
struct KnownDifference {
  int code_page;
  int byte;
  char16_t windows;
};
constexpr KnownDifference kKnownDifferences[] = {
    {10000, 0xBD, u'\u2126'},  // Ω as the ohm sign
    {10004, 0xC0, u'\u066D'},  // the Arabic five-pointed star for ❊
    {10006, 0x9C, u'\u00AD'},  // the soft hyphen of the older chart, not €
    {10006, 0xAF, u'\u0387'},  // the Greek ano teleia, not the middle dot
    {10006, 0xFF, u'\uF8A0'},  // unassigned in the older chart
    {10079, 0xBD, u'\u2126'}, {10079, 0xDB, u'\u00A4'},  // ¤ of the older chart, not €
    {10081, 0xBD, u'\u2126'},
};

// Our tables, which Linux converts with, give what Windows gives wherever this system has the
// code page to compare with, but for the known differences above and Mac Arabic's right-to-left
// punctuation, which Windows puts into the private use area (U+F8xx) where the chart has the
// ASCII forms.
TEST(WindowsCodePagesTest, OurTablesGiveWhatWindowsGives) {
  int compared = 0;
  for (const SingleByteCodePage& page : SingleByteCodePages()) {
    if (!::IsValidCodePage(static_cast<UINT>(page.code_page))) continue;
    ++compared;
    for (int byte = 0; byte < 256; ++byte) {
      const std::uint8_t one[1] = {static_cast<std::uint8_t>(byte)};
      const std::u16string windows = Windows(page.code_page, one);
      ASSERT_EQ(windows.size(), 1u) << page.code_page;
      const auto known = std::find_if(std::begin(kKnownDifferences), std::end(kKnownDifferences),
                                      [&](const KnownDifference& d) {
                                        return d.code_page == page.code_page && d.byte == byte;
                                      });
      if (known != std::end(kKnownDifferences)) {
        EXPECT_EQ(static_cast<int>(windows[0]), static_cast<int>(known->windows))
            << "code page " << page.code_page << ", byte 0x" << std::hex << byte;
        continue;
      }
      if (page.code_page == 10004 && windows[0] >= 0xF800 && windows[0] <= 0xF8FF &&
          page.units[byte] < 0x80) {
        continue;
      }
      EXPECT_EQ(static_cast<int>(page.units[byte]), static_cast<int>(windows[0]))
          << "code page " << page.code_page << ", byte 0x" << std::hex << byte;
    }
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace z900::i18n
