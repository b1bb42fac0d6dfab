#include <gtest/gtest.h>
#include <iconv.h>

#include "i18n/text_encoding.h"
#include "i18n/xml_tables.h"

namespace z900::i18n {
namespace {

// iconv knows the name we use for every code page it converts.
TEST(IconvCodePagesTest, EverySystemConversionOpens) {
  for (const EncodingName& entry : EncodingNameTable()) {
    const CodePageConversion conversion = ConversionOfCodePage(entry.code_page);
    if (conversion.method != CodePageConversion::Method::kSystem) continue;
    iconv_t cd = ::iconv_open("UTF-16LE", conversion.system_name);
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << conversion.system_name;
    ::iconv_close(cd);
  }
}

}  // namespace
}  // namespace z900::i18n
