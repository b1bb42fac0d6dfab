#include "i18n/xml_document.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <unordered_map>

#include "i18n/node_scan.h"
#include "i18n/text_encoding.h"
#include "i18n/xml_tables.h"
#include "platform/code_pages.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace z900::i18n {
namespace {

constexpr std::size_t kEncodingProbeBytes = 1024;

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string Number(std::size_t value) { return Ascii(std::to_string(value)); }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// The system's text for an open or read failure: one line of at most 100 characters.
std::u16string SystemMessage(const std::error_code& error) {
  std::string message = error.message();
  message = message.substr(0, message.find_first_of("\r\n"));
  std::u16string text = platform::Utf8ToUtf16(message);
  if (text.size() > 100) text.resize(100);
  return text;
}

// A name argument counts up to its first blank, '=', '/', '[' or ']'.
std::u16string_view SearchName(std::u16string_view name) {
  const std::size_t end = name.find_first_of(u" =/[]");
  return end == std::u16string_view::npos ? name : name.substr(0, end);
}

// The digits at the start of `digits`, as strtol reads them; 0 when there are none, and past
// U+10FFFF no value at all (0), since no character lies there.
char32_t NumberOfReference(std::u16string_view digits, unsigned base) {
  char32_t value = 0;
  for (char16_t c : digits) {
    unsigned digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (base == 16 && c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (base == 16 && c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      break;
    }
    value = value * base + digit;
    if (value > 0x10FFFF) return 0;
  }
  return value;
}

// How many open elements bear each name, kept once the stack is deep. An end tag that matches
// no open element is then refused at once instead of after a walk down the whole stack, which
// would make a deep document full of stray end tags take quadratic time.
class OpenNames {
 public:
  template <typename Stack>
  void Pushed(const Stack& open) {
    if (counting_) {
      ++count_[open.back().name];
    } else if (open.size() >= kDepth) {
      counting_ = true;
      for (const auto& element : open) ++count_[element.name];
    }
  }
  void Popped(std::u16string_view name) {
    if (counting_) --count_[name];
  }
  bool MayBeOpen(std::u16string_view name) const {
    if (!counting_) return true;
    const auto found = count_.find(name);
    return found != count_.end() && found->second > 0;
  }

 private:
  static constexpr std::size_t kDepth = 64;
  bool counting_ = false;
  std::unordered_map<std::u16string_view, std::size_t> count_;
};

}  // namespace

std::u16string DecodeEntities(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const std::size_t amp = text.find(u'&', i);
    if (amp == std::u16string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, amp - i));
    i = amp;
    // Up to 9 characters below 0x80, then ';'.
    char16_t name[9];
    std::size_t length = 0;
    std::size_t j = i + 1;
    bool closed = false;
    for (; j < size && length <= 9; ++j) {
      const char16_t c = text[j];
      if (c == u';') {
        closed = true;
        break;
      }
      if (c >= 0x80 || length == 9) break;
      name[length++] = c;
    }
    char32_t value = 0;
    if (closed && length > 0) {
      const std::u16string_view reference(name, length);
      if (reference[0] == u'#') {
        const bool hex = length > 1 && (reference[1] == u'x' || reference[1] == u'X');
        value = hex ? NumberOfReference(reference.substr(2), 16)
                    : NumberOfReference(reference.substr(1), 10);
      } else {
        value = LookUpEntityName(reference);
      }
    }
    if (value == 0) {
      out.push_back(u'&');
      ++i;
      continue;
    }
    platform::AppendUtf16(out, value);
    i = j + 1;
  }
  return out;
}

CXmlDocument::CXmlDocument() : ansi_code_page_(platform::SystemAnsiCodePage()) {
  LoadDocumentText({});
}

bool CXmlDocument::LoadDocument(const std::filesystem::path& path) {
  if (!ReadDocumentText(path)) {
    ClearElements();
    return false;
  }
  ParseDocument();
  return true;
}

bool CXmlDocument::ReadDocumentText(const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes;
  const std::error_code error = platform::ReadWholeFile(path, kMaxFileSize, bytes);
  if (error) {
    text_.clear();
    encoding_.clear();
    flags_ = 0;
    ClearElements();
    read_result_ = result_ = SystemMessage(error);
    return false;
  }
  ReadDocumentBytes(bytes);
  return true;
}

void CXmlDocument::LoadDocumentBytes(std::span<const std::uint8_t> bytes) {
  ReadDocumentBytes(bytes);
  ParseDocument();
}

void CXmlDocument::ReadDocumentBytes(std::span<const std::uint8_t> bytes) {
  // The element table describes the old text: it goes with it.
  ClearElements();
  text_.clear();
  flags_ = 0;
  std::u16string encoding;
  std::size_t mark_length = 0;
  std::size_t unit = 1;
  const std::span<const std::uint8_t> head =
      bytes.first(std::min(bytes.size(), kEncodingProbeBytes));

  struct Mark {
    std::uint8_t bytes[3];
    std::size_t length;
    const char16_t* name;
    std::uint32_t flag;
  };
  static constexpr Mark kMarks[] = {
      {{0xEF, 0xBB, 0xBF}, 3, u"UTF-8", kUtf8Mark},
      {{0xFF, 0xFE, 0}, 2, u"UTF-16LE", kUtf16LeMark},
      {{0xFE, 0xFF, 0}, 2, u"UTF-16BE", kUtf16BeMark},
  };
  for (const Mark& mark : kMarks) {
    if (head.size() >= mark.length && std::memcmp(head.data(), mark.bytes, mark.length) == 0) {
      encoding = mark.name;
      flags_ |= mark.flag;
      mark_length = mark.length;
      unit = mark.length == 2 ? 2 : 1;
      break;
    }
  }
  if (mark_length == 0) {
    encoding = DeclaredEncoding(ConvertToUtf16(kCodePageUtf8, head, ansi_code_page_));
    if (encoding.empty() && !bytes.empty() && bytes[0] == '<') encoding = u"UTF-8";
  }
  std::u16string open_result;
  if (!encoding.empty()) open_result = encoding + (mark_length != 0 ? u" BOM + " : u" ");

  std::u16string read_result;
  const std::span<const std::uint8_t> rest = bytes.subspan(mark_length);
  if (rest.empty()) {
    read_result = u"0 length ";
  } else if (unit == 2) {
    std::size_t count = rest.size() / 2;
    read_result = u"length " + Number(count) + u" ";
    text_.resize(count);
    std::memcpy(text_.data(), rest.data(), count * 2);  // little-endian units
    const std::size_t nulls = static_cast<std::size_t>(std::count(text_.begin(), text_.end(), 0));
    if (nulls != 0) {
      text_.erase(std::remove(text_.begin(), text_.end(), u'\0'), text_.end());
      read_result += u"(" + Number(nulls) + u" nulls removed) ";
      count -= nulls;
    }
    if ((flags_ & kUtf16BeMark) != 0) {
      for (char16_t& c : text_) c = static_cast<char16_t>((c >> 8) | (c << 8));
      read_result += u"endian swap ";
    }
  } else {
    std::size_t count = rest.size();
    read_result = u"length " + Number(count) + u" ";
    std::span<const std::uint8_t> data = rest;
    std::vector<std::uint8_t> without_nulls;
    if (std::memchr(rest.data(), 0, rest.size()) != nullptr) {
      without_nulls.assign(rest.begin(), rest.end());
      without_nulls.erase(std::remove(without_nulls.begin(), without_nulls.end(), 0),
                          without_nulls.end());
      const std::size_t nulls = count - without_nulls.size();
      read_result += u"(" + Number(nulls) + u" nulls removed) ";
      count -= nulls;
      data = without_nulls;
    }
    if (encoding.empty()) {
      if (LooksLikeUtf8(data)) encoding = u"UTF-8";
      read_result += u"(used UTF-8 detection) ";
    }
    text_ = ConvertToUtf16(CodePageOfEncoding(encoding), data, ansi_code_page_);
    read_result += u"to " + Number(text_.size()) + u" wide chars ";
  }
  if (open_result.empty()) open_result = encoding.empty() ? u"ANSI " : encoding + u" ";
  read_result_ = open_result + read_result;
  result_ = read_result_;
  encoding_ = encoding;
}

bool CXmlDocument::LoadDocumentText(std::u16string text) {
  text_ = std::move(text);
  read_result_.clear();
  result_.clear();
  encoding_.clear();
  flags_ = 0;
  return ParseDocument();
}

void CXmlDocument::ClearElements() {
  elements_.clear();
  Rewind();
}

std::uint32_t CXmlDocument::NewElement() {
  if (elements_.size() == elements_.capacity()) {
    elements_.reserve(elements_.size() + elements_.size() / 2 + 1);
  }
  elements_.emplace_back();
  return static_cast<std::uint32_t>(elements_.size() - 1);
}

void CXmlDocument::AppendChild(std::uint32_t parent, std::uint32_t child) {
  ElementRecord& record = elements_[child];
  record.parent = parent;
  const std::uint32_t first = elements_[parent].first_child;
  if (first == 0) {
    elements_[parent].first_child = child;
    record.previous_sibling = child;
    record.flags |= kFirstChild;
    return;
  }
  const std::uint32_t last = elements_[first].previous_sibling;
  elements_[last].next_sibling = child;
  record.previous_sibling = last;
  elements_[first].previous_sibling = child;
}

// The element ends at its own start tag; its children move up to follow it under its parent.
// It is always its parent's last child here, since it was still open.
void CXmlDocument::CloseNeverClosed(std::uint32_t index) {
  ElementRecord& element = elements_[index];
  element.length = element.start_tag_length;
  element.end_tag_length = 0;
  element.flags |= kNeverClosed;
  const std::uint32_t first = element.first_child;
  if (first == 0) return;
  const std::uint32_t parent = element.parent;
  const std::uint32_t last = elements_[first].previous_sibling;
  element.first_child = 0;
  element.next_sibling = first;
  elements_[first].previous_sibling = index;
  elements_[first].flags &= ~kFirstChild;
  elements_[elements_[parent].first_child].previous_sibling = last;
  for (std::uint32_t c = first; c != 0; c = elements_[c].next_sibling) {
    elements_[c].parent = parent;
    if (elements_[c].level > 0) --elements_[c].level;
  }
}

bool CXmlDocument::ParseDocument() {
  // Parsing again gives the same result: the read result is kept apart from the parse message.
  const std::u16string& read_result = read_result_;
  std::u16string message;
  elements_.clear();
  elements_.reserve(text_.size() / 64 + 8);
  elements_.emplace_back();
  bool ill_formed = false;

  if (text_.empty()) {
    message = u"Empty document";
  } else {
    const std::u16string_view text = text_;
    std::vector<OpenElement> open;
    open.reserve(6);
    OpenNames open_names;
    std::size_t at = 0;
    for (;;) {
      const XmlNode node = NodeScan(text, at);
      at = node.end;
      if (node.kind == NodeKind::kEndOfText) break;
      if (node.kind == NodeKind::kElement) {
        const std::uint32_t index = NewElement();
        ElementRecord& element = elements_[index];
        element.start = static_cast<std::int32_t>(node.start);
        element.start_tag_length = static_cast<std::int32_t>(node.end - node.start);
        element.level = static_cast<std::uint32_t>(open.size());
        AppendChild(open.empty() ? 0 : open.back().index, index);
        if (node.empty_element) {
          elements_[index].length = elements_[index].start_tag_length;
        } else {
          if (open.size() == open.capacity()) open.reserve(open.size() * 2 + 6);
          open.push_back({index, node.Name(text)});
          open_names.Pushed(open);
        }
      } else if (node.kind == NodeKind::kEndTag) {
        const std::u16string_view name = node.Name(text);
        std::size_t match = open.size();
        if (match > 0 && open.back().name != name && !open_names.MayBeOpen(name)) match = 0;
        while (match > 0 && open[match - 1].name != name) --match;
        if (match == 0) {
          ill_formed = true;
          elements_[open.empty() ? 0 : open.back().index].flags |= kUnmatchedEndTag;
          if (message.empty()) {
            message = u"No start tag for end tag '" + std::u16string(name) + u"' at offset " +
                      Number(node.start);
          }
          continue;
        }
        const std::size_t found = match - 1;
        if (found + 1 < open.size()) {
          ill_formed = true;
          if (message.empty()) {
            const OpenElement& innermost = open.back();
            message = u"End tag '" + std::u16string(name) + u"' at offset " +
                      Number(node.start + 1) + u" does not match start tag '" +
                      std::u16string(innermost.name) + u"' at offset " +
                      Number(static_cast<std::size_t>(elements_[innermost.index].start));
          }
          // Outermost first: each then has the next one as its last child, which keeps the
          // moves linear however deep the unclosed elements go.
          for (std::size_t k = found + 1; k < open.size(); ++k) {
            CloseNeverClosed(open[k].index);
            open_names.Popped(open[k].name);
          }
          open.resize(found + 1);
        }
        ElementRecord& element = elements_[open.back().index];
        element.length = static_cast<std::int32_t>(node.end) - element.start;
        element.end_tag_length = static_cast<std::int32_t>(node.end - node.start);
        open_names.Popped(open.back().name);
        open.pop_back();
      } else if (node.kind == NodeKind::kMalformed) {
        ill_formed = true;
        if (message.empty()) message = MalformedNodeMessage(node);
      }
    }
    if (!open.empty()) {
      ill_formed = true;
      if (message.empty()) {
        const OpenElement& innermost = open.back();
        message = u"Element '" + std::u16string(innermost.name) + u"' at offset " +
                  Number(static_cast<std::size_t>(elements_[innermost.index].start)) +
                  u" not ended";
      }
      for (const OpenElement& element : open) CloseNeverClosed(element.index);
    }
    elements_[0].length = static_cast<std::int32_t>(text_.size());
    if (elements_.size() == 1) {
      message = u"No root element";
    } else if (elements_[elements_[0].first_child].next_sibling != 0) {
      message = u"Root element has sibling";
    }
  }
  if (ill_formed) elements_[0].flags |= kIllFormed;
  result_ = read_result;
  if (!message.empty()) result_ += read_result.empty() ? message : u" " + message;
  Rewind();
  return IsWellFormed();
}

bool CXmlDocument::IsWellFormed() const {
  return elements_.size() > 1 && (elements_[0].flags & kIllFormed) == 0 &&
         elements_[0].first_child != 0 && elements_[elements_[0].first_child].next_sibling == 0;
}

void CXmlDocument::Rewind() {
  parent_ = current_ = child_ = 0;
  current_is_element_ = false;
}

std::u16string_view CXmlDocument::NameOf(std::uint32_t index) const {
  const std::u16string_view text = text_;
  const std::size_t start = static_cast<std::size_t>(elements_[index].start) + 1;
  std::size_t end = start;
  while (end < text.size() && !IsBlank(text[end]) && text[end] != u'/' && text[end] != u'>') {
    ++end;
  }
  return text.substr(start, end - start);
}

bool CXmlDocument::FindElement(std::u16string_view name) {
  if (!Built()) return false;
  const std::u16string_view wanted = SearchName(name);
  std::uint32_t candidate =
      current_ != 0 ? elements_[current_].next_sibling : elements_[parent_].first_child;
  if (!wanted.empty()) {
    while (candidate != 0 && NameOf(candidate) != wanted) {
      candidate = elements_[candidate].next_sibling;
    }
  }
  if (candidate == 0) return false;
  current_ = candidate;
  parent_ = elements_[candidate].parent;
  child_ = 0;
  current_is_element_ = true;
  return true;
}

bool CXmlDocument::FindChildElement(std::u16string_view name) {
  if (!Built()) return false;
  if (current_ == 0 && !FindElement()) return false;
  const std::u16string_view wanted = SearchName(name);
  std::uint32_t candidate =
      child_ != 0 ? elements_[child_].next_sibling : elements_[current_].first_child;
  if (!wanted.empty()) {
    while (candidate != 0 && NameOf(candidate) != wanted) {
      candidate = elements_[candidate].next_sibling;
    }
  }
  if (candidate == 0) return false;
  child_ = candidate;
  current_ = elements_[candidate].parent;
  parent_ = elements_[current_].parent;
  current_is_element_ = true;
  return true;
}

bool CXmlDocument::EnterElement() {
  if (current_ == 0 || !current_is_element_) return false;
  parent_ = current_;
  current_ = child_;
  child_ = 0;
  current_is_element_ = current_ != 0;
  return true;
}

bool CXmlDocument::OutOfElement() {
  if (parent_ == 0) return false;
  child_ = current_;
  current_ = parent_;
  parent_ = elements_[current_].parent;
  current_is_element_ = true;
  return true;
}

std::u16string_view CXmlDocument::CurrentElementName() const {
  return current_ != 0 ? NameOf(current_) : std::u16string_view();
}

std::u16string_view CXmlDocument::ChildElementName() const {
  return child_ != 0 ? NameOf(child_) : std::u16string_view();
}

std::u16string CXmlDocument::ChildElementText() const {
  return child_ != 0 ? ElementText(child_) : std::u16string();
}

std::u16string CXmlDocument::ElementText(std::uint32_t index) const {
  const ElementRecord& element = elements_[index];
  if (element.first_child != 0 || element.end_tag_length == 0) return {};
  const std::size_t content_start =
      static_cast<std::size_t>(element.start) + static_cast<std::size_t>(element.start_tag_length);
  const std::size_t content_end = static_cast<std::size_t>(element.start) +
                                  static_cast<std::size_t>(element.length) -
                                  static_cast<std::size_t>(element.end_tag_length);
  if (content_end <= content_start) return {};
  const std::u16string_view content =
      std::u16string_view(text_).substr(content_start, content_end - content_start);
  if (content.find(u'<') == std::u16string_view::npos) return DecodeEntities(content);

  std::u16string out;
  std::size_t at = 0;
  for (;;) {
    const XmlNode node = NodeScan(content, at);
    if (node.kind == NodeKind::kEndOfText) break;
    at = node.end;
    if (node.kind == NodeKind::kText) {
      out += DecodeEntities(content.substr(node.start, node.end - node.start));
    } else if (node.kind == NodeKind::kCdata) {
      // Inside "<![CDATA[" and "]]>"; a section too short for both adds nothing.
      const std::size_t inner = node.start + 9;
      const std::size_t inner_end = node.end - 3;
      if (inner < inner_end) out.append(content.substr(inner, inner_end - inner));
    }
  }
  return out;
}

std::u16string SectionValue(CXmlDocument& document, std::u16string_view section,
                            std::u16string_view key) {
  document.Rewind();
  // Each round goes one nesting level deeper, so this ends.
  for (;;) {
    if (!document.FindChildElement(section)) return {};
    document.EnterElement();
    if (document.FindChildElement(key)) return document.ChildElementText();
  }
}

}  // namespace z900::i18n
