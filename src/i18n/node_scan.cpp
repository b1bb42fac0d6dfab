#include "i18n/node_scan.h"

#include <vector>

namespace z900::i18n {
namespace {

constexpr std::size_t kNone = std::u16string_view::npos;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Names end at a blank, '/' or '>' (and '?' for the target of a processing instruction).
inline std::size_t NameEnd(std::u16string_view text, std::size_t at,
                           bool stop_at_question = false) {
  const char16_t* const data = text.data();
  const std::size_t size = text.size();
  while (at < size) {
    const char16_t c = data[at];
    // Letters, digits and most punctuation lie above '?' (0x3F): one comparison for them.
    if (c > u'?') {
      ++at;
      continue;
    }
    if (IsBlank(c) || c == u'/' || c == u'>' || (stop_at_question && c == u'?')) break;
    ++at;
  }
  return at;
}

// A node the tokenizer cannot read: passed over up to and including the next '>'.
XmlNode Incorrect(std::u16string_view text, std::size_t at, const char* part) {
  XmlNode node;
  node.kind = NodeKind::kMalformed;
  node.start = at;
  node.incorrect_part = part;
  node.error_offset = at;
  const std::size_t gt = text.find(u'>', at + 1);
  node.end = gt == kNone ? text.size() : gt + 1;
  return node;
}

// A node whose closing delimiter is missing: it runs to the end of the text.
XmlNode Unterminated(std::u16string_view text, std::size_t at, const char* kind) {
  XmlNode node;
  node.kind = NodeKind::kMalformed;
  node.start = at;
  node.end = text.size();
  node.unterminated_kind = kind;
  node.error_offset = at;
  return node;
}

XmlNode Delimited(std::u16string_view text, std::size_t at, NodeKind kind, std::size_t search_from,
                  std::u16string_view delimiter, const char* unterminated_kind) {
  const std::size_t found = delimiter.size() == 1 ? text.find(delimiter[0], search_from)
                                                  : text.find(delimiter, search_from);
  if (found == kNone) return Unterminated(text, at, unterminated_kind);
  XmlNode node;
  node.kind = kind;
  node.start = at;
  node.end = found + delimiter.size();
  return node;
}

XmlNode StartTag(std::u16string_view text, std::size_t at) {
  XmlNode node;
  node.start = at;
  node.name_start = at + 1;
  node.name_end = NameEnd(text, at + 1);
  // The tag ends at the first '>' outside a quoted value; a quote opens a value only after '='.
  std::size_t i = node.name_end;
  bool after_equals = false;
  std::size_t closing_quote = kNone;
  const std::size_t size = text.size();
  while (i < size) {
    const char16_t c = text[i];
    // Most characters of a tag (letters, digits, '?' …) lie above '>' and mean nothing here.
    if (c > u'>') {
      after_equals = false;
      ++i;
      continue;
    }
    if (c == u'>') break;
    if (c == u'=') {
      after_equals = true;
    } else if (after_equals && (c == u'"' || c == u'\'')) {
      const std::size_t quote = text.find(c, i + 1);
      if (quote == kNone) return Unterminated(text, at, "Element tag");
      closing_quote = quote;
      i = quote + 1;
      after_equals = false;
      continue;
    } else if (!IsBlank(c)) {
      after_equals = false;
    }
    ++i;
  }
  if (i >= size) return Unterminated(text, at, "Element tag");
  node.kind = NodeKind::kElement;
  node.end = i + 1;
  node.empty_element = text[i - 1] == u'/' &&
                       (i - 1 == node.name_end || IsBlank(text[i - 2]) || i - 2 == closing_quote);
  return node;
}

// A document type declaration: the declarations nested in it are read as nodes, and it ends
// at the first '>' at its own level. Nested "<!D" only deepens the level, so no input makes
// this recurse.
XmlNode DocumentType(std::u16string_view text, std::size_t at) {
  std::size_t depth = 1;
  std::size_t i = at + 3;
  const std::size_t size = text.size();
  for (;;) {
    while (i < size && text[i] != u'<' && text[i] != u'>') ++i;
    if (i >= size) return Unterminated(text, at, "Doctype");
    if (text[i] == u'>') {
      ++i;
      if (--depth == 0) break;
      continue;
    }
    if (text.substr(i, 3) == u"<!D") {
      ++depth;
      i += 3;
      continue;
    }
    const XmlNode nested = NodeScan(text, i);
    if (nested.kind == NodeKind::kMalformed && nested.unterminated_kind != nullptr) {
      XmlNode node = Unterminated(text, at, "Doctype");
      node.error_offset = nested.start;
      return node;
    }
    i = nested.end;
  }
  XmlNode node;
  node.kind = NodeKind::kDocumentType;
  node.start = at;
  node.end = i;
  return node;
}

XmlNode Markup(std::u16string_view text, std::size_t at) {
  const std::size_t size = text.size();
  if (at + 1 >= size) return Unterminated(text, at, "tag");
  const char16_t c = text[at + 1];
  if (c == u'/') {
    const std::size_t name_end = NameEnd(text, at + 2);
    XmlNode node = Delimited(text, at, NodeKind::kEndTag, name_end, u">", "Element end tag");
    node.name_start = at + 2;
    node.name_end = name_end;
    return node;
  }
  if (c == u'?') {
    XmlNode node = Delimited(text, at, NodeKind::kProcessingInstruction, at + 2, u"?>",
                             "Processing instruction");
    node.name_start = at + 2;
    node.name_end = std::min(NameEnd(text, at + 2, true), node.end);
    return node;
  }
  if (c == u'!') {
    if (at + 2 >= size) return Unterminated(text, at, "tag");
    switch (text[at + 2]) {
      case u'-':
        if (at + 3 >= size) return Unterminated(text, at, "Comment");
        if (text[at + 3] != u'-') return Incorrect(text, at, "comment tag");
        return Delimited(text, at, NodeKind::kComment, at + 4, u"-->", "Comment");
      case u'[':
        if (at + 3 >= size) return Unterminated(text, at, "CDATA Section");
        if (text[at + 3] != u'C') return Incorrect(text, at, "tag");
        return Delimited(text, at, NodeKind::kCdata, at + 4, u"]]>", "CDATA Section");
      case u'D':
        return DocumentType(text, at);
      case u'E':
      case u'A':
      case u'N':
        return Delimited(text, at, NodeKind::kDocumentType, at + 3, u">", "Doctype");
      default:
        return Incorrect(text, at, "! tag");
    }
  }
  if ((c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c > 0x60) return StartTag(text, at);
  return Incorrect(text, at, "tag name character");
}

}  // namespace

XmlNode NodeScan(std::u16string_view text, std::size_t at) {
  const std::size_t size = text.size();
  if (at >= size) {
    XmlNode node;
    node.start = node.end = size;
    return node;
  }
  if (text[at] == u'<') return Markup(text, at);
  XmlNode node;
  node.start = at;
  std::size_t i = at;
  while (i < size && IsBlank(text[i])) ++i;
  node.kind = NodeKind::kWhitespace;
  if (i < size && text[i] != u'<') {
    node.kind = NodeKind::kText;
    const std::size_t lt = text.find(u'<', i);
    i = lt == kNone ? size : lt;
  }
  node.end = i;
  return node;
}

std::u16string MalformedNodeMessage(const XmlNode& node) {
  std::u16string message;
  const std::string offset = std::to_string(node.error_offset);
  auto append = [&message](std::string_view ascii) { message.append(ascii.begin(), ascii.end()); };
  if (node.incorrect_part != nullptr) {
    append("Incorrect ");
    append(node.incorrect_part);
    append(" at offset ");
    append(offset);
  } else if (node.unterminated_kind != nullptr) {
    append(node.unterminated_kind);
    append(" at offset ");
    append(offset);
    append(" unterminated");
  }
  return message;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    char16_t y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::optional<std::u16string> NodeAttribute(std::u16string_view text, const XmlNode& node,
                                            std::u16string_view name) {
  std::size_t limit = node.end;
  if (node.kind == NodeKind::kElement) {
    limit = node.end - 1;
  } else if (node.kind == NodeKind::kProcessingInstruction) {
    limit = node.end - 2;
  } else {
    return std::nullopt;
  }
  std::size_t i = node.name_end;
  while (i < limit) {
    while (i < limit && IsBlank(text[i])) ++i;
    if (i >= limit) break;
    if (text[i] == u'/') {
      ++i;
      continue;
    }
    const std::size_t name_start = i;
    while (i < limit && !IsBlank(text[i]) && text[i] != u'=' && text[i] != u'/') ++i;
    const std::u16string_view attribute = text.substr(name_start, i - name_start);
    std::size_t look = i;
    while (look < limit && IsBlank(text[look])) ++look;
    std::u16string_view value;
    if (look < limit && text[look] == u'=') {
      i = look + 1;
      while (i < limit && IsBlank(text[i])) ++i;
      if (i < limit && (text[i] == u'"' || text[i] == u'\'')) {
        std::size_t quote = text.find(text[i], i + 1);
        if (quote == kNone || quote > limit) quote = limit;
        value = text.substr(i + 1, quote - i - 1);
        i = quote + 1;
      } else {
        const std::size_t value_start = i;
        while (i < limit && !IsBlank(text[i])) ++i;
        value = text.substr(value_start, i - value_start);
      }
    }
    if (!attribute.empty() && EqualsIgnoringCase(attribute, name)) return std::u16string(value);
  }
  return std::nullopt;
}

namespace {

bool IsTokenCharacter(char16_t c) {
  switch (c) {
    case u'<':
    case u'>':
    case u'=':
    case u'/':
    case u'?':
    case u'!':
    case u'"':
    case u'\'':
    case u';':
      return true;
    default:
      return false;
  }
}

// The charset named in a Content-Type value such as "text/html; charset=gb2312".
std::u16string CharsetOfContent(std::u16string_view content) {
  std::vector<std::u16string_view> tokens;
  std::size_t i = 0;
  while (i < content.size()) {
    if (IsBlank(content[i])) {
      ++i;
    } else if (IsTokenCharacter(content[i])) {
      tokens.push_back(content.substr(i++, 1));
    } else {
      const std::size_t start = i;
      while (i < content.size() && !IsBlank(content[i]) && !IsTokenCharacter(content[i])) ++i;
      tokens.push_back(content.substr(start, i - start));
    }
  }
  for (std::size_t t = 0; t + 2 < tokens.size(); ++t) {
    if (EqualsIgnoringCase(tokens[t], u"charset") && tokens[t + 1] == u"=") {
      return std::u16string(tokens[t + 2]);
    }
  }
  return {};
}

}  // namespace

std::u16string DeclaredEncoding(std::u16string_view text) {
  bool seen_name = false;
  bool seen_html = false;
  std::size_t at = 0;
  for (;;) {
    const XmlNode node = NodeScan(text, at);
    if (node.kind == NodeKind::kEndOfText || node.kind == NodeKind::kMalformed) return {};
    at = node.end;
    const std::u16string_view name = node.Name(text);
    switch (node.kind) {
      case NodeKind::kProcessingInstruction:
        if (!seen_name && EqualsIgnoringCase(name, u"xml")) {
          return NodeAttribute(text, node, u"encoding").value_or(std::u16string());
        }
        break;
      case NodeKind::kElement:
        seen_name = true;
        if (!seen_html) {
          if (!EqualsIgnoringCase(name, u"html")) return {};
          seen_html = true;
        } else if (EqualsIgnoringCase(name, u"meta")) {
          const auto equiv = NodeAttribute(text, node, u"http-equiv");
          if (equiv && EqualsIgnoringCase(*equiv, u"Content-Type")) {
            const auto content = NodeAttribute(text, node, u"content");
            return content ? CharsetOfContent(*content) : std::u16string();
          }
        }
        break;
      case NodeKind::kEndTag:
        seen_name = true;
        if (EqualsIgnoringCase(name, u"head")) return {};
        break;
      default:
        break;
    }
  }
}

}  // namespace z900::i18n
