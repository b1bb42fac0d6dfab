#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Paths to and from the UTF-8 text the program keeps them in. These are the only conversions
// between the two: the narrow ones of std::filesystem read and write the ANSI code page on
// Windows, which cannot hold every name.
namespace z900::platform {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace z900::platform
