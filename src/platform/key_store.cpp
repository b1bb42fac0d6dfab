#include "platform/key_store.h"

#include "platform/text.h"

namespace z900::platform {
namespace {

// A name that survives the trip to UTF-8 and back unchanged and fits a file name.
bool IsStorableName(std::u16string_view name) {
  if (name.find(u'/') != std::u16string_view::npos) return false;
  if (name.find(u'\0') != std::u16string_view::npos) return false;
  const std::string utf8 = Utf16ToUtf8(name);
  return utf8.size() <= kMaxNameBytes && Utf8ToUtf16(utf8) == name;
}

}  // namespace

KeyValue BinaryValue(std::vector<std::uint8_t> data) {
  return {ValueType::kBinary, std::move(data)};
}

KeyValue DwordValue(std::uint32_t value) {
  return {ValueType::kDword,
          {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

KeyValue StringValue(std::u16string_view text) {
  KeyValue value{ValueType::kString, {}};
  value.data.reserve(2 * text.size() + 2);
  for (char16_t unit : text) {
    value.data.push_back(static_cast<std::uint8_t>(unit));
    value.data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  value.data.insert(value.data.end(), {0, 0});
  return value;
}

std::optional<std::uint32_t> DwordOf(const KeyValue& value) {
  if (value.type != ValueType::kDword || value.data.size() != 4) return std::nullopt;
  return static_cast<std::uint32_t>(value.data[0]) |
         static_cast<std::uint32_t>(value.data[1]) << 8 |
         static_cast<std::uint32_t>(value.data[2]) << 16 |
         static_cast<std::uint32_t>(value.data[3]) << 24;
}

std::optional<std::u16string> StringOf(const KeyValue& value) {
  if (value.type != ValueType::kString || value.data.size() % 2 != 0) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i < value.data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(value.data[i] | value.data[i + 1] << 8);
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  return text;
}

std::string_view DescribeKeyStoreStatus(KeyStoreStatus status) {
  switch (status) {
    case KeyStoreStatus::kOk:
      return "done";
    case KeyStoreStatus::kNotFound:
      return "not found";
    case KeyStoreStatus::kBadName:
      return "the key or value name is not allowed";
    case KeyStoreStatus::kBadValue:
      return "the value cannot be stored";
    case KeyStoreStatus::kUnreadable:
      return "the stored value is damaged";
    case KeyStoreStatus::kHasSubkeys:
      return "the key still has subkeys";
    case KeyStoreStatus::kNotAFile:
      return "its file in the key store is not a regular file";
    case KeyStoreStatus::kFailed:
      return "the key store could not be written or read";
  }
  return "unknown key store status";
}

std::optional<std::vector<std::u16string>> SplitKeyPath(std::u16string_view path) {
  std::vector<std::u16string> components;
  if (path.ends_with(u'\\')) path.remove_suffix(1);
  if (path.empty()) return components;
  for (;;) {
    const std::size_t separator = path.find(u'\\');
    const std::u16string_view component = path.substr(0, separator);
    if (component.empty() || component.front() == u'.' || component.front() == u'@' ||
        !IsStorableName(component)) {
      return std::nullopt;
    }
    components.emplace_back(component);
    if (separator == std::u16string_view::npos) return components;
    path.remove_prefix(separator + 1);
  }
}

bool IsValidValueName(std::u16string_view name) { return IsStorableName(name); }

bool IsWritableValue(const KeyValue& value) {
  if (value.data.size() > kMaxValueSize) return false;
  switch (value.type) {
    case ValueType::kBinary:
      return true;
    case ValueType::kDword:
      return value.data.size() == 4;
    case ValueType::kString:
      return value.data.size() % 2 == 0;
  }
  return false;
}

}  // namespace z900::platform
