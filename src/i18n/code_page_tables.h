#pragma once

#include <array>
#include <span>

// Single-byte code pages converted through a table of our own instead of iconv: those that
// glibc lacks or maps differently from the published charts. code_page_tables.cpp is written by
// tools/gen_code_page_tables.py.
namespace z900::i18n {

struct SingleByteCodePage {
  int code_page;
  std::array<char16_t, 256> units;  // the UTF-16 unit of every byte; U+FFFD where none is
};

std::span<const SingleByteCodePage> SingleByteCodePages();

}  // namespace z900::i18n
