#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <system_error>
#include <vector>

#include "platform/file_io.h"

namespace z900::config {

// The file operations of the profile files, with a seam for tests: `fault` may fail any
// operation before it touches the disk (as a read-only folder or a vanished file would), and
// `before_rename` is handed to the atomic writes (see WriteFileAtomically).
class ProfileFiles {
 public:
  enum class Operation { kRead, kCreate, kReplace, kKeepCopy };
  using FaultProbe = std::function<std::error_code(Operation, const std::filesystem::path&)>;

  explicit ProfileFiles(FaultProbe fault = {}, platform::AtomicWriteProbe before_rename = {})
      : fault_(std::move(fault)), before_rename_(std::move(before_rename)) {}

  // Reads at most `max_size` bytes from the start of the file; anything but a regular file is
  // refused (platform::FileError) without waiting on it.
  std::error_code Read(const std::filesystem::path& path, std::size_t max_size,
                       std::vector<std::uint8_t>& bytes);
  // Creates the file, or replaces it whole, creating its folder when missing. A file this user
  // may not write is not replaced (permission_denied).
  std::error_code Create(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
  // Replaces the content of an existing file; a missing file is not created, and one this user
  // may not write is refused (permission_denied). The file holds either its old or its new
  // bytes at every moment, also when the program dies meanwhile. A symbolic link keeps
  // leading to the file, which is replaced where it lies.
  std::error_code Replace(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
  // Keeps a damaged file that is about to be replaced as "<name>.damaged-YYYYMMDD-HHMMSS"
  // beside it; refused (permission_denied) when the file may not be replaced anyway.
  std::error_code KeepDamagedCopy(const std::filesystem::path& path, std::filesystem::path& copy);

 private:
  FaultProbe fault_;
  platform::AtomicWriteProbe before_rename_;
};

// The file or a folder on its path does not exist.
bool IsMissingFileError(std::error_code error);
// The file or its folder may not be written (or read).
bool IsAccessDeniedError(std::error_code error);

}  // namespace z900::config
