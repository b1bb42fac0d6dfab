#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The tokenizer of the XML reader: one node at a time, over UTF-16 text.
namespace z900::i18n {

enum class NodeKind : int {
  kEndTag = 0,
  kElement = 1,
  kText = 2,
  kWhitespace = 4,
  kCdata = 8,
  kProcessingInstruction = 16,
  kComment = 32,
  kDocumentType = 64,  // also the declarations inside one
  kMalformed = -1,
  kEndOfText = -2,
};

// One node: [start, end) of the text; for tags the name (element, end tag, or the target of
// a processing instruction). A malformed node carries what its message needs.
struct XmlNode {
  NodeKind kind = NodeKind::kEndOfText;
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t name_start = 0;
  std::size_t name_end = 0;
  bool empty_element = false;  // a start tag closed by "/>"
  // Malformed nodes: either "Incorrect <part> at offset N" or "<kind> at offset N unterminated".
  const char* incorrect_part = nullptr;
  const char* unterminated_kind = nullptr;
  std::size_t error_offset = 0;

  std::u16string_view Name(std::u16string_view text) const {
    return text.substr(name_start, name_end - name_start);
  }
};

// Reads the node that starts at `at` (at most text.size()).
XmlNode NodeScan(std::u16string_view text, std::size_t at);

// The message of a malformed node, as the reader's result text words it.
std::u16string MalformedNodeMessage(const XmlNode& node);

// Value of the attribute `name` (compared without regard to ASCII case) of a start tag or a
// processing instruction, quotes removed; nullopt when the tag has no such attribute.
std::optional<std::u16string> NodeAttribute(std::u16string_view text, const XmlNode& node,
                                            std::u16string_view name);

// The encoding a document names for itself: the encoding attribute of a leading <?xml?>, or
// the charset of an html document's <meta http-equiv="Content-Type" content="…">; empty when
// there is none.
std::u16string DeclaredEncoding(std::u16string_view text);

// ASCII-only case-insensitive comparison, for the names of the encoding scan.
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace z900::i18n
