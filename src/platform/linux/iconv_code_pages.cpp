#include <iconv.h>

#include <bit>
#include <cerrno>
#include <string_view>

#include "platform/code_pages.h"
#include "platform/program_paths.h"

namespace z900::platform {
namespace {

static_assert(std::endian::native == std::endian::little,
              "iconv's UTF-16LE output is used as char16_t units");

constexpr char16_t kReplacement = 0xFFFD;

struct CodePageRow {
  int code_page;
  const char* iconv_name;
  bool exact;
};

// iconv's name for every code page of the XML reader's name table, except 1200/1201 (which the
// Windows conversion refuses), 65001 and 65005 (the reader converts them itself) and the
// single-byte code pages that iconv lacks or maps differently from the charts (the reader's own
// tables convert those). Rows marked inexact use the nearest set iconv has;
// docs/code-pages.md lists what differs.
constexpr CodePageRow kCodePages[] = {
    {37, "IBM037", true},
    {420, "IBM420", true},
    {437, "IBM437", true},
    {708, "ASMO-708", true},
    {737, "CP737", true},
    {775, "CP775", true},
    {850, "IBM850", true},
    {852, "IBM852", true},
    {857, "IBM857", true},
    {861, "IBM861", true},
    {862, "IBM862", true},
    {866, "IBM866", true},
    {869, "IBM869", true},
    {870, "IBM870", true},
    {874, "CP874", true},
    {932, "CP932", true},
    {936, "CP936", true},
    {949, "CP949", true},
    {950, "CP950", true},
    {1140, "IBM1140", true},
    {1142, "IBM1142", true},
    {1143, "IBM1143", true},
    {1144, "IBM1144", true},
    {1145, "IBM1145", true},
    {1146, "IBM1146", true},
    {1147, "IBM1147", true},
    {1148, "IBM1148", true},
    {1149, "IBM1149", true},
    {1250, "CP1250", true},
    {1251, "CP1251", true},
    {1252, "CP1252", true},
    {1253, "CP1253", true},
    {1254, "CP1254", true},
    {1255, "CP1255", true},
    {1256, "CP1256", true},
    {1257, "CP1257", true},
    {1258, "CP1258", true},
    {1361, "JOHAB", true},
    {10001, "SHIFT_JIS", false},
    {10002, "BIG5", false},
    {10003, "EUC-KR", false},
    {10005, "ASCII", false},
    {10007, "MAC-CYRILLIC", true},
    {10008, "EUC-CN", false},
    {10029, "MAC-CENTRALEUROPE", true},
    {20000, "EUC-TW", false},
    {20002, "BIG5", false},
    {20105, "ISO_646.IRV:1991", false},
    {20106, "DIN_66003", true},
    {20107, "SEN_850200_B", true},
    {20108, "NS_4551-1", true},
    {20127, "ASCII", true},
    {20273, "IBM273", true},
    {20277, "IBM277", true},
    {20278, "IBM278", true},
    {20280, "IBM280", true},
    {20284, "IBM284", true},
    {20285, "IBM285", true},
    {20290, "IBM290", true},
    {20423, "IBM423", true},
    {20424, "IBM424", true},
    {20833, "IBM933", false},
    {20838, "IBM1160", false},
    {20866, "KOI8-R", true},
    {20873, "IBM871", true},
    {20880, "IBM880", true},
    {20905, "IBM905", true},
    {21025, "IBM1025", true},
    {21866, "KOI8-U", true},
    {28591, "ISO-8859-1", true},
    {28592, "ISO-8859-2", true},
    {28593, "ISO-8859-3", true},
    {28594, "ISO-8859-4", true},
    {28595, "ISO-8859-5", true},
    {28596, "ISO-8859-6", true},
    {28597, "ISO-8859-7", true},
    {28598, "ISO-8859-8", true},
    {28599, "ISO-8859-9", true},
    {28605, "ISO-8859-15", true},
    {29001, "ASCII", false},
    {38598, "ISO-8859-8", true},
    {50220, "ISO-2022-JP", true},
    {50221, "ISO-2022-JP-3", false},
    {50222, "ISO-2022-JP-3", false},
    {50225, "ISO-2022-KR", true},
    {50930, "IBM930", true},
    {50933, "IBM933", true},
    {50935, "IBM935", true},
    {50937, "IBM937", true},
    {50939, "IBM939", true},
    {51932, "EUC-JP-MS", true},
    {51936, "EUC-CN", true},
    {51949, "EUC-KR", true},
    {52936, "ASCII", false},
    {57002, "ASCII", false},
    {57003, "ASCII", false},
    {57004, "ASCII", false},
    {57005, "ASCII", false},
    {57006, "ASCII", false},
    {57007, "ASCII", false},
    {57008, "ASCII", false},
    {57009, "ASCII", false},
    {57010, "ASCII", false},
    {57011, "ASCII", false},
    {65000, "UTF-7", true},
};

// Windows picks the ANSI code page from the system locale; these are its choices by language
// (and by region for Chinese).
struct LocaleRow {
  std::string_view prefix;
  int code_page;
};
constexpr LocaleRow kLocaleCodePages[] = {
    {"zh_TW", 950}, {"zh_HK", 950}, {"zh_MO", 950}, {"zh", 936},  {"ja", 932},  {"ko", 949},
    {"th", 874},    {"vi", 1258},   {"cs", 1250},   {"hu", 1250}, {"pl", 1250}, {"ro", 1250},
    {"sk", 1250},   {"sl", 1250},   {"hr", 1250},   {"sq", 1250}, {"bs", 1250}, {"ru", 1251},
    {"uk", 1251},   {"be", 1251},   {"bg", 1251},   {"mk", 1251}, {"sr", 1251}, {"kk", 1251},
    {"ky", 1251},   {"tt", 1251},   {"mn", 1251},   {"el", 1253}, {"tr", 1254}, {"az", 1254},
    {"uz", 1254},   {"he", 1255},   {"ar", 1256},   {"fa", 1256}, {"ur", 1256}, {"et", 1257},
    {"lv", 1257},   {"lt", 1257},
};

// The byte iconv stopped at: the five holes of 1252 are C1 controls on Windows, everything
// else is replaced.
char16_t ReplacementFor(int code_page, std::uint8_t byte) {
  if (code_page == 1252 &&
      (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D)) {
    return byte;
  }
  return kReplacement;
}

std::u16string IconvToUtf16(int code_page, const char* iconv_name,
                            std::span<const std::uint8_t> data) {
  std::u16string out;
  iconv_t cd = ::iconv_open("UTF-16LE", iconv_name);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Not built into this C library: keep ASCII, replace the rest.
    out.reserve(data.size());
    for (std::uint8_t byte : data) out.push_back(byte < 0x80 ? byte : kReplacement);
    return out;
  }
  // No code page of the table yields more UTF-16 units than it has bytes, except for the
  // escape-free tail of a stateful set; the buffer still grows when iconv asks for room.
  out.resize(data.size() + 16);
  auto* in = const_cast<char*>(reinterpret_cast<const char*>(data.data()));
  std::size_t in_left = data.size();
  std::size_t used = 0;  // units written
  bool flushing = false;
  for (;;) {
    auto* to = reinterpret_cast<char*>(out.data() + used);
    std::size_t to_left = (out.size() - used) * sizeof(char16_t);
    const std::size_t room = to_left;
    const std::size_t done = flushing ? ::iconv(cd, nullptr, nullptr, &to, &to_left)
                                      : ::iconv(cd, &in, &in_left, &to, &to_left);
    const int error = errno;
    used += (room - to_left) / sizeof(char16_t);
    if (done != static_cast<std::size_t>(-1)) {
      if (flushing) break;
      flushing = true;
      continue;
    }
    if (error == E2BIG) {
      out.resize(out.size() + out.size() / 2 + 16);
    } else if (error == EILSEQ || error == EINVAL) {
      if (used == out.size()) out.resize(out.size() + 16);
      if (in_left == 0) break;
      out[used++] = ReplacementFor(code_page, static_cast<std::uint8_t>(*in));
      // EINVAL: a sequence cut off by the end of the data; its remaining bytes are dropped.
      if (error == EINVAL) break;
      ++in;
      --in_left;
    } else {
      break;
    }
  }
  ::iconv_close(cd);
  out.resize(used);
  return out;
}

const CodePageRow* FindRow(int code_page) {
  for (const CodePageRow& row : kCodePages) {
    if (row.code_page == code_page) return &row;
  }
  return nullptr;
}

}  // namespace

SystemCodePage FindSystemCodePage(int code_page) {
  const CodePageRow* row = FindRow(code_page);
  if (row == nullptr) return {};
  return {row->exact ? SystemCodePage::Kind::kExact : SystemCodePage::Kind::kNeighbour,
          row->iconv_name};
}

std::u16string SystemCodePageToUtf16(int code_page, std::span<const std::uint8_t> data) {
  const CodePageRow* row = FindRow(code_page);
  return row == nullptr ? std::u16string() : IconvToUtf16(code_page, row->iconv_name, data);
}

int SystemAnsiCodePage() {
  std::optional<std::string> locale = EnvironmentValue("LC_ALL");
  if (!locale) locale = EnvironmentValue("LC_CTYPE");
  if (!locale) locale = EnvironmentValue("LANG");
  if (!locale) return 1252;
  for (const LocaleRow& row : kLocaleCodePages) {
    if (!locale->starts_with(row.prefix)) continue;
    // "zh" must not match a language such as "zha"; the prefix ends the language part.
    const std::size_t after = row.prefix.size();
    if (locale->size() == after || (*locale)[after] == '_' || (*locale)[after] == '.' ||
        (*locale)[after] == '@' || row.prefix.size() > 2) {
      return row.code_page;
    }
  }
  return 1252;
}

}  // namespace z900::platform
