#include "platform/file_io.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "platform/clock.h"

namespace z900::platform {
namespace {

class FileErrorCategoryImpl final : public std::error_category {
 public:
  const char* name() const noexcept override { return "z900 file"; }
  std::string message(int value) const override {
    switch (static_cast<FileError>(value)) {
      case FileError::kFolder:
        return "a folder, not a regular file";
      case FileError::kFifo:
        return "a FIFO (named pipe), not a regular file";
      case FileError::kDevice:
        return "a device or socket, not a regular file";
    }
    return "not a regular file";
  }
};

constexpr std::string_view kTemporaryMark = ".tmp-";
// Our temporary files are ".z900-NAME.tmp-PID-N": the prefix tells them from anyone else's, the
// process id tells whether their writer still runs.
constexpr std::string_view kTemporaryPrefix = ".z900-";
// Room for the prefix and the suffix in a file name of at most 255 bytes (or UTF-16 units).
constexpr std::size_t kMaxNameInTemporary = 200;

}  // namespace

std::string TemporaryFileName(std::string_view name, unsigned long process,
                              unsigned long number) {
  if (name.size() > kMaxNameInTemporary) {
    std::size_t cut = kMaxNameInTemporary;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name = name.substr(0, cut);  // on a character's start: the name stays readable
  }
  return std::string(kTemporaryPrefix) + std::string(name) + std::string(kTemporaryMark) +
         std::to_string(process) + "-" + std::to_string(number);
}

std::optional<unsigned long> TemporaryFileWriter(std::string_view name) {
  if (!name.starts_with(kTemporaryPrefix)) return std::nullopt;
  const std::size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string_view::npos || mark < kTemporaryPrefix.size()) return std::nullopt;
  const std::string_view rest = name.substr(mark + kTemporaryMark.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 9) {
    return std::nullopt;
  }
  const auto digits = [](std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1))) return std::nullopt;
  return std::stoul(std::string(rest.substr(0, dash)));
}

const std::error_category& FileErrorCategory() {
  static const FileErrorCategoryImpl category;
  return category;
}

std::error_code make_error_code(FileError error) {
  return {static_cast<int>(error), FileErrorCategory()};
}

bool IsNotRegularFileError(std::error_code error) {
  return error.category() == FileErrorCategory();
}

std::string DamagedCopySuffix() {
  const std::tm local = LocalTime(std::time(nullptr));
  char text[40];
  std::strftime(text, sizeof text, ".damaged-%Y%m%d-%H%M%S", &local);
  return text;
}

}  // namespace z900::platform
