// Any bytes as a document file: encoding detection and conversion, parsing, then a walk over
// every element with its text, and the lookups the language loader makes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "i18n/xml_document.h"
#include "platform/text.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using z900::i18n::CXmlDocument;
  CXmlDocument document;
  document.SetAnsiCodePage(1252);
  document.LoadDocumentBytes(std::span(data, size));

  // Every element once, depth first, without recursion.
  std::size_t level = 0;
  std::size_t visited = 0;
  for (;;) {
    if (document.FindChildElement()) {
      ++visited;
      const std::u16string text = document.ChildElementText();
      Check(text.size() <= document.text().size() * 2);
      if (document.EnterElement()) ++level;
      continue;
    }
    if (level == 0) break;
    Check(document.OutOfElement());
    --level;
  }
  Check(visited + 1 <= document.elements().size());

  // Parsing the same text again gives the same table.
  const std::size_t count = document.elements().size();
  const bool well_formed = document.IsWellFormed();
  const std::u16string result = document.ReadResult();
  Check(document.ParseDocument() == well_formed);
  Check(document.elements().size() == count);
  Check(document.ReadResult() == result);

  z900::i18n::SectionValue(document, u"config", u"str_ok");
  if (document.FindElement()) {
    const std::u16string root(document.CurrentElementName());
    z900::i18n::SectionValue(document, root, root);
  }
  z900::i18n::DecodeEntities(document.text());

  // Our UTF-8 decoder: what it produces survives a round trip unchanged.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string wide = z900::platform::Utf8ToUtf16(bytes);
  Check(z900::platform::Utf8ToUtf16(z900::platform::Utf16ToUtf8(wide)) == wide);
  return 0;
}
