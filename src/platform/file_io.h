#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

namespace z900::platform {

// Called once the new bytes are synced in the temporary file, just before the rename. Tests
// return false to stop the write there, as a crash would; the target is then left as it was.
using AtomicWriteProbe = std::function<bool()>;

// Replaces the file's content so that a crash at any moment leaves either the old or the new
// bytes, never a mix: temporary file beside the target, fsync, rename, fsync of the folder.
// Returns an empty error code on success.
std::error_code WriteFileAtomically(const std::filesystem::path& path,
                                    std::span<const std::uint8_t> bytes,
                                    const AtomicWriteProbe& probe = {});

// Reads a whole file, refusing files larger than max_size (errc::file_too_large).
std::error_code ReadWholeFile(const std::filesystem::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes);

// An exclusive advisory lock, held until the object is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// Blocks until the lock file at `path` (created when missing) is locked by this process.
std::unique_ptr<FileLock> LockFileExclusive(const std::filesystem::path& path,
                                            std::error_code& error);
// The same without waiting: null with errc::resource_unavailable_try_again while another
// process holds the lock.
std::unique_ptr<FileLock> TryLockFileExclusive(const std::filesystem::path& path,
                                               std::error_code& error);

// Creates a folder only this user may use, or checks that an existing one is such a folder: a
// real folder (not a link) of this user that nobody else may write to. permission_denied when
// it is not.
std::error_code EnsurePrivateFolder(const std::filesystem::path& path);

}  // namespace z900::platform
