#include "i18n/language_strings.h"

#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::i18n {

std::optional<StringKey> FindStringKey(std::string_view name) {
  for (std::size_t i = 0; i < kStringKeyCount; ++i) {
    if (kStringKeyNames[i] == name) return static_cast<StringKey>(i);
  }
  return std::nullopt;
}

bool LoadLanguageStrings(CXmlDocument& document, const std::filesystem::path& path,
                         LanguageStrings& strings) {
  const bool read = document.LoadDocument(path);
  for (std::size_t i = 0; i < kStringKeyCount; ++i) {
    const std::string_view name = kStringKeyNames[i];
    strings.Set(static_cast<StringKey>(i),
                SectionValue(document, u"config", std::u16string(name.begin(), name.end())));
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

bool IsFormatKey(StringKey key) { return key == StringKey::str_msg2 || key == StringKey::str_msg3; }

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
