#include "config/profile_files.h"

namespace z900::config {

std::error_code ProfileFiles::Read(const std::filesystem::path& path, std::size_t max_size,
                                   std::vector<std::uint8_t>& bytes) {
  if (fault_) {
    if (std::error_code error = fault_(Operation::kRead, path)) return error;
  }
  return platform::ReadFileStart(path, max_size, bytes);
}

std::error_code ProfileFiles::Create(const std::filesystem::path& path,
                                     std::span<const std::uint8_t> bytes) {
  if (fault_) {
    if (std::error_code error = fault_(Operation::kCreate, path)) return error;
  }
  if (path.has_parent_path()) {
    if (std::error_code error = platform::CreatePrivateFolders(path.parent_path())) return error;
    platform::TightenFolder(path.parent_path());
  }
  return platform::WriteFileAtomically(path, bytes, before_rename_, platform::FileAccess::kPrivate,
                                       platform::FolderCleanUp::kOurLeftovers);
}

std::error_code ProfileFiles::Replace(const std::filesystem::path& path,
                                      std::span<const std::uint8_t> bytes) {
  if (fault_) {
    if (std::error_code error = fault_(Operation::kReplace, path)) return error;
  }
  // A missing file is told apart from one that may not be written, as a save in place would.
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return error ? error : std::make_error_code(std::errc::no_such_file_or_directory);
  }
  platform::TightenFolder(path.parent_path());
  return platform::WriteFileAtomically(path, bytes, before_rename_, platform::FileAccess::kPrivate,
                                       platform::FolderCleanUp::kOurLeftovers);
}

std::error_code ProfileFiles::KeepDamagedCopy(const std::filesystem::path& path,
                                              std::filesystem::path& copy) {
  if (fault_) {
    if (std::error_code error = fault_(Operation::kKeepCopy, path)) return error;
  }
  std::error_code error;
  const std::filesystem::path target = platform::ResolveLinks(path, error);
  if (error) return error;
  if ((error = platform::CheckReplaceable(target))) return error;
  return platform::KeepDamagedCopy(target, copy);
}

bool IsMissingFileError(std::error_code error) {
  return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

bool IsAccessDeniedError(std::error_code error) {
  return error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
         error == std::errc::read_only_file_system;
}

}  // namespace z900::config
