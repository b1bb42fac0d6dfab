#include "platform/file_io.h"

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

}  // namespace

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

}  // namespace z900::platform
