#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace z900::platform {

// Our own reader and writer of profile (INI) files: "[Section]" lines and "Key=Value" lines,
// UTF-8 text. Section and key names match without regard to ASCII case; values are trimmed of
// blanks and of one pair of enclosing quotes, as profile files have always been read.
class IniFile {
 public:
  // The value of key in section, or `fallback` when the file, the section or the key is
  // missing or the file cannot be read.
  static std::string GetString(const std::filesystem::path& path, std::string_view section,
                               std::string_view key, std::string_view fallback);

  // Sets key in section, adding the section or the key when missing and keeping every other
  // line as it was. The file is created when missing (its folder is not); the write is atomic.
  static bool WriteString(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view value);
};

}  // namespace z900::platform
