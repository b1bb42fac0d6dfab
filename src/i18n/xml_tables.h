#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The fixed tables of the XML reader: encoding names and named character references.
namespace z900::i18n {

// One charset name (lower case) and the Windows code page it stands for.
struct EncodingName {
  std::string_view name;
  int code_page;
};

// One named character reference, under its name as HTML writes it.
struct EntityName {
  std::string_view name;
  char32_t code_point;
};

// The 254 charset names of the reader, grouped by code page (116 code pages).
std::span<const EncodingName> EncodingNameTable();

// The 252 character references of HTML 4.01 plus "apos". Where two names differ only in case,
// the variant written with a capital letter comes first.
std::span<const EntityName> EntityTable();

// Code page of a lower-case charset name through the bucket rule (sum of the units modulo
// 150, first entry of the bucket with that name); -1 when the table lacks it.
int LookUpEncodingName(std::u16string_view lower_name);

// Code point of a reference name through the bucket rule (sum of the lower-cased units modulo
// 130): the entry spelled exactly so, else the first entry equal to it ignoring ASCII case
// (&EACUTE; stays É, as when names were matched in lower case); 0 when the table lacks it.
char32_t LookUpEntityName(std::u16string_view name);

}  // namespace z900::i18n
