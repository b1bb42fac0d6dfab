#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// CXmlDocument: reads a small XML file in whatever encoding it declares, builds a flat table
// of its elements and walks it by name. Read-only: nothing here writes XML.
//
// Typical use (this is what SectionValue does):
//   CXmlDocument doc;
//   doc.LoadDocument(path);            // false only when the file cannot be read
//   doc.FindChildElement(u"config");   // from document level: selects the root, then its child
//   doc.EnterElement();                // the found element becomes the level searched
//   if (doc.FindChildElement(u"str_ok")) text = doc.ChildElementText();
//
// Position: three element indexes, parent / current / child; all 0 at document level. Finds
// that fail leave the position as it was. Malformed markup never stops a load: the reader
// keeps what it recovers and describes the first problem in ReadResult().
namespace z900::i18n {

// One element of the table, in document order of the start tags; offsets count UTF-16 units
// of the document text. Index 0 in a link means none.
struct ElementRecord {
  std::int32_t start = 0;             // the '<' of the start tag
  std::int32_t length = 0;            // to the end of the end tag (of the start tag if none)
  std::int32_t start_tag_length = 0;  // including '<' and '>'
  std::int32_t end_tag_length = 0;    // 0 for an empty or never-closed element
  std::uint32_t flags = 0;            // kFirstChild, kNeverClosed, kUnmatchedEndTag
  std::uint32_t level = 0;            // nesting depth, 0 for top-level elements
  std::uint32_t parent = 0;
  std::uint32_t first_child = 0;
  std::uint32_t next_sibling = 0;
  std::uint32_t previous_sibling = 0;  // for a first child: its parent's last child
};

class CXmlDocument {
 public:
  // Flags of ElementRecord.
  static constexpr std::uint32_t kFirstChild = 1u << 0;
  static constexpr std::uint32_t kNeverClosed = 1u << 1;
  static constexpr std::uint32_t kUnmatchedEndTag = 1u << 2;
  static constexpr std::uint32_t kIllFormed = 1u << 3;  // on entry 0 only

  // Encoding facts of the last load (flags()).
  static constexpr std::uint32_t kUtf16LeMark = 1u << 0;
  static constexpr std::uint32_t kUtf16BeMark = 1u << 1;
  static constexpr std::uint32_t kUtf8Mark = 1u << 2;

  // Files larger than this are refused with the system's "File too large" text: offsets are
  // 32-bit, and a language file or update manifest is a few kilobytes.
  static constexpr std::size_t kMaxFileSize = 256u << 20;

  // An empty document (result "Empty document"). The ANSI code page, used for files that
  // name no encoding and are not UTF-8, is the system's (platform::SystemAnsiCodePage()).
  CXmlDocument();

  // ReadDocumentText, then ParseDocument when the read succeeded; on a failed read the element
  // table is emptied too, so every find fails. Returns whether the file was read; how well it
  // parsed shows only in ReadResult() and IsWellFormed().
  bool LoadDocument(const std::filesystem::path& path);
  // Reads and converts the file into the text; the result describes the encoding found.
  bool ReadDocumentText(const std::filesystem::path& path);

  // The same two steps over bytes already in memory (what the file reading ends in).
  void LoadDocumentBytes(std::span<const std::uint8_t> bytes);
  void ReadDocumentBytes(std::span<const std::uint8_t> bytes);
  // Takes a text as it stands (no encoding work, empty read result) and parses it.
  bool LoadDocumentText(std::u16string text);

  // Builds the element table from the text; returns whether the document is well-formed.
  bool ParseDocument();

  // Navigation.
  void Rewind();
  // The next sibling of the current element (or the first element of the level when nothing
  // is current) named `name`, up to its first blank, '=', '/', '[' or ']'; an empty name takes
  // the first candidate. Names compare case-sensitively.
  bool FindElement(std::u16string_view name = {});
  // A child of the current element (selecting the level's first element first when nothing is
  // current), searched after the child position.
  bool FindChildElement(std::u16string_view name = {});
  // The current element becomes the parent level and the child position the current element.
  bool EnterElement();
  // Back up one level: the current element becomes the child position again.
  bool OutOfElement();

  // Text of the element at the child position: entities decoded, CDATA kept, comments
  // dropped; empty for an element with children, an empty element, or no child position.
  std::u16string ChildElementText() const;
  // Tag names at the current and the child position; empty when there is none.
  std::u16string_view CurrentElementName() const;
  std::u16string_view ChildElementName() const;

  // Diagnostic text of the last load and parse.
  const std::u16string& ReadResult() const { return result_; }
  // The encoding the text was converted from ("UTF-8", "UTF-16LE", a declared name, or empty
  // for the ANSI code page); flags() says whether a byte-order mark named it.
  const std::u16string& Encoding() const { return encoding_; }
  std::uint32_t flags() const { return flags_; }
  const std::u16string& text() const { return text_; }
  bool IsWellFormed() const;
  // The element table; entry 0 stands for the document.
  const std::vector<ElementRecord>& elements() const { return elements_; }

  void SetAnsiCodePage(int code_page) { ansi_code_page_ = code_page; }
  int ansi_code_page() const { return ansi_code_page_; }

 private:
  struct OpenElement {
    std::uint32_t index;
    std::u16string_view name;
  };

  std::u16string_view NameOf(std::uint32_t index) const;
  std::u16string ElementText(std::uint32_t index) const;
  std::uint32_t NewElement();
  void AppendChild(std::uint32_t parent, std::uint32_t child);
  void CloseNeverClosed(std::uint32_t index);
  bool Built() const { return !elements_.empty(); }
  void ClearElements();

  std::u16string text_;
  std::u16string read_result_;  // what reading the file found; the parse appends to it
  std::u16string result_;
  std::u16string encoding_;
  std::uint32_t flags_ = 0;
  std::vector<ElementRecord> elements_;
  int ansi_code_page_;
  std::uint32_t parent_ = 0;
  std::uint32_t current_ = 0;
  std::uint32_t child_ = 0;
  bool current_is_element_ = false;
};

// Text of the element `key` inside the first element `section` below the root; when the
// section lacks the key, the search goes on into a `section` element nested in it, and so on.
// Empty when nothing is found. Rewinds the document first.
std::u16string SectionValue(CXmlDocument& document, std::u16string_view section,
                            std::u16string_view key);

// Replaces character and entity references: &#65; &#x42; and the named references of HTML
// 4.01 plus &apos;. A name is matched as written first, then ignoring case (&eacute; is é,
// &Eacute; and &EACUTE; are É); a reference that is unknown, longer than 9 characters or not
// closed by ';' is left as it stands.
std::u16string DecodeEntities(std::u16string_view text);

}  // namespace z900::i18n
