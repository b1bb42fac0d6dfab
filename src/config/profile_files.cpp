#include "config/profile_files.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace z900::config {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::error_code ProfileFiles::Read(const std::filesystem::path& path, std::size_t max_size,
                                   std::vector<std::uint8_t>& bytes) {
  if (fault_) {
    if (std::error_code error = fault_(Operation::kRead, path)) return error;
  }
  errno = 0;
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return LastError();
  bytes.assign(max_size, 0);
  const std::size_t got = std::fread(bytes.data(), 1, max_size, file.get());
  if (got < max_size && std::ferror(file.get())) {
    bytes.clear();
    return errno != 0 ? LastError() : std::make_error_code(std::errc::io_error);
  }
  bytes.resize(got);
  return {};
}

std::error_code ProfileFiles::Create(const std::filesystem::path& path,
                                     std::span<const std::uint8_t> bytes) {
  if (fault_) {
    if (std::error_code error = fault_(Operation::kCreate, path)) return error;
  }
  std::error_code error;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  if (error) return error;
  return platform::WriteFileAtomically(path, bytes, before_rename_);
}

std::error_code ProfileFiles::Replace(const std::filesystem::path& path,
                                      std::span<const std::uint8_t> bytes) {
  if (fault_) {
    if (std::error_code error = fault_(Operation::kReplace, path)) return error;
  }
  // Opening the file for writing, without creating it, tells a missing file from one that may
  // not be written, as a save in place would; the new bytes then replace it whole.
  errno = 0;
  if (File file(std::fopen(path.c_str(), "r+b")); !file) return LastError();
  return platform::WriteFileAtomically(path, bytes, before_rename_);
}

bool IsMissingFileError(std::error_code error) {
  return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

bool IsAccessDeniedError(std::error_code error) {
  return error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
         error == std::errc::read_only_file_system;
}

}  // namespace z900::config
