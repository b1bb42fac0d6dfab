#include "platform/ini_file.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/file_io.h"

namespace z900::platform {
namespace {

// Profile files are small; anything larger is not one of ours.
constexpr std::size_t kMaxIniSize = 1 << 20;

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::vector<std::string> Lines(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string text(bytes.begin(), bytes.end());
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The section a line opens, if it is a section header.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// The key of a "key=value" line.
std::optional<std::string_view> KeyOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return std::nullopt;
  return Trim(line.substr(0, equals));
}

}  // namespace

std::string IniFile::GetString(const std::filesystem::path& path, std::string_view section,
                               std::string_view key, std::string_view fallback) {
  std::vector<std::uint8_t> bytes;
  if (ReadWholeFile(path, kMaxIniSize, bytes)) return std::string(fallback);
  bool in_section = false;
  for (const std::string& line : Lines(bytes)) {
    if (const auto name = SectionOf(line)) {
      in_section = SameName(*name, section);
    } else if (const auto name_of_key = KeyOf(line);
               in_section && name_of_key && SameName(*name_of_key, key)) {
      std::string_view value = Trim(std::string_view(line).substr(line.find('=') + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
  }
  return std::string(fallback);
}

bool IniFile::WriteString(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view value) {
  std::vector<std::uint8_t> bytes;
  const std::error_code read_error = ReadWholeFile(path, kMaxIniSize, bytes);
  if (read_error && read_error != std::errc::no_such_file_or_directory) return false;
  std::vector<std::string> lines = Lines(bytes);
  const std::string entry = std::string(key) + "=" + std::string(value);

  std::optional<std::size_t> section_end;  // where a new key of the section goes
  bool in_section = false;
  bool written = false;
  for (std::size_t i = 0; i < lines.size() && !written; ++i) {
    if (const auto name = SectionOf(lines[i])) {
      if (in_section) break;
      in_section = SameName(*name, section);
      if (in_section) section_end = i + 1;
    } else if (in_section) {
      if (const auto name_of_key = KeyOf(lines[i]); name_of_key && SameName(*name_of_key, key)) {
        lines[i] = entry;
        written = true;
      } else if (!Trim(lines[i]).empty()) {
        section_end = i + 1;
      }
    }
  }
  if (!written) {
    if (section_end) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*section_end), entry);
    } else {
      lines.push_back("[" + std::string(section) + "]");
      lines.push_back(entry);
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return !WriteFileAtomically(
      path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace z900::platform
