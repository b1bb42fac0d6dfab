#include "i18n/language_strings.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::i18n {

std::optional<StringKey> FindStringKey(std::string_view name) {
  for (std::size_t i = 0; i < kStringKeyCount; ++i) {
    if (kStringKeyNames[i] == name) return static_cast<StringKey>(i);
  }
  return std::nullopt;
}

namespace {

// The key an element name stands for, by a search in the names sorted once.
std::optional<std::size_t> KeyOfElement(std::u16string_view name) {
  static const std::vector<std::pair<std::u16string, std::size_t>> sorted = [] {
    std::vector<std::pair<std::u16string, std::size_t>> names;
    for (std::size_t i = 0; i < kStringKeyCount; ++i) {
      names.emplace_back(std::u16string(kStringKeyNames[i].begin(), kStringKeyNames[i].end()), i);
    }
    std::sort(names.begin(), names.end());
    return names;
  }();
  const auto found = std::lower_bound(
      sorted.begin(), sorted.end(), name,
      [](const auto& entry, std::u16string_view wanted) { return entry.first < wanted; });
  if (found == sorted.end() || found->first != name) return std::nullopt;
  return found->second;
}

}  // namespace

bool LoadLanguageStrings(CXmlDocument& document, const std::filesystem::path& path,
                         LanguageStrings& strings) {
  const bool read = document.LoadDocument(path);
  // What SectionValue(document, "config", key) gives for every key, in one walk instead of a
  // search per key: the first "config" element at each nesting level in turn, each key from the
  // first level that has an element of its name, and there from the first such element.
  std::array<bool, kStringKeyCount> found{};
  document.Rewind();
  // Each round goes one nesting level deeper, so this ends.
  while (document.FindChildElement(u"config")) {
    document.EnterElement();
    while (document.FindChildElement()) {
      const std::optional<std::size_t> key = KeyOfElement(document.ChildElementName());
      if (!key || found[*key]) continue;
      found[*key] = true;
      strings.Set(static_cast<StringKey>(*key), document.ChildElementText());
    }
    // Back to the start of this level, to look for the "config" inside it.
    document.OutOfElement();
    document.EnterElement();
  }
  for (std::size_t i = 0; i < kStringKeyCount; ++i) {
    if (!found[i]) strings.Set(static_cast<StringKey>(i), {});
  }
  return read;
}

std::filesystem::path LanguageFilePath(const std::filesystem::path& program_folder,
                                       const std::optional<std::string>& language) {
  if (language && !language->empty() && language->size() <= 32) {
    bool plain = true;
    for (char c : *language) {
      const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
      plain = plain && allowed;
    }
    if (plain) {
      std::filesystem::path translation =
          program_folder / platform::PathFromUtf8("language_" + *language + ".xml");
      std::error_code error;
      if (std::filesystem::is_regular_file(translation, error)) return translation;
    }
  }
  return program_folder / "language.xml";
}

bool IsFormatKey(StringKey key) {
  switch (key) {
    case StringKey::str_msg2:
    case StringKey::str_msg3:
    case StringKey::str_profile_damaged:
    case StringKey::str_profile_noread:
    case StringKey::str_profile_uncreated:
    case StringKey::str_apply_unacked:
    case StringKey::str_apply_macros:
    case StringKey::str_apply_nodpi:
    case StringKey::str_lock_timeout:
      return true;
    default:
      return false;
  }
}

std::u16string FormatText(std::u16string_view format, std::u16string_view argument) {
  std::u16string text;
  text.reserve(format.size() + argument.size());
  bool argument_used = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t next = i + 1 < format.size() ? format[i + 1] : u'\0';
    if (format[i] == u'%' && next == u'%') {
      text += u'%';
      ++i;
    } else if (format[i] == u'%' && next == u's' && !argument_used) {
      text += argument;
      argument_used = true;
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

bool HasOneTextPlaceholder(std::u16string_view text) {
  int text_placeholders = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') continue;
    if (i + 1 < text.size() && text[i + 1] == u'%') {
      ++i;
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == u's') {
      ++text_placeholders;
      ++i;
      continue;
    }
    return false;  // any other conversion, or a lone '%' at the end
  }
  return text_placeholders == 1;
}

LanguageCheck CheckLanguageFile(CXmlDocument& document, const std::filesystem::path& path) {
  LanguageCheck check;
  LanguageStrings strings;
  check.readable = LoadLanguageStrings(document, path, strings);
  if (!check.readable) {
    check.problems.push_back("cannot read the file: " +
                             platform::Utf16ToUtf8(document.ReadResult()));
    return check;
  }
  check.encoding = document.Encoding();
  check.byte_order_mark =
      (document.flags() &
       (CXmlDocument::kUtf8Mark | CXmlDocument::kUtf16LeMark | CXmlDocument::kUtf16BeMark)) != 0;
  if (!document.IsWellFormed()) {
    check.problems.push_back("the XML is not well-formed: " +
                             platform::Utf16ToUtf8(document.ReadResult()));
  }
  for (std::size_t i = 0; i < kStringKeyCount; ++i) {
    const auto key = static_cast<StringKey>(i);
    const std::string name(kStringKeyNames[i]);
    const std::u16string& text = strings.Get(key);
    if (text.empty()) {
      // Tell a missing element from an empty one: the same path SectionValue takes first.
      document.Rewind();
      const bool present = document.FindChildElement(u"config") && document.EnterElement() &&
                           document.FindChildElement(platform::Utf8ToUtf16(name));
      check.problems.push_back(name + (present ? " is empty" : " is missing"));
    } else if (IsFormatKey(key) && !HasOneTextPlaceholder(text)) {
      check.problems.push_back(name + " must contain exactly one %s and no other placeholder");
    }
  }
  return check;
}

}  // namespace z900::i18n
