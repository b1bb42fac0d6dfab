#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace z900::platform {

// Something else where a regular file belongs; such a path is never read or replaced.
enum class FileError {
  kFolder = 1,
  kFifo,
  kDevice,  // a device or a socket
};
const std::error_category& FileErrorCategory();
std::error_code make_error_code(FileError error);
// Whether an error is one of the FileError refusals.
bool IsNotRegularFileError(std::error_code error);

// Called once the new bytes are synced in the temporary file, just before the rename. Tests
// return false to stop the write there, as a crash would; the target is then left as it was.
using AtomicWriteProbe = std::function<bool()>;

// The file a path stands for: a symbolic link is followed to its end (a relative link from its
// own folder), so that writing there keeps the link working. A path without links, or whose
// last link leads nowhere yet, is returned as it is.
std::filesystem::path ResolveLinks(const std::filesystem::path& path, std::error_code& error);

// Whether a write may replace the file at `path` (after ResolveLinks): empty when it is
// missing or a regular file this user may write; permission_denied when the file's own
// permissions forbid writing; a FileError for anything but a regular file.
std::error_code CheckReplaceable(const std::filesystem::path& path);

// Whether a write tidies the target's folder first. Only the program's own data folders are
// tidied: there the temporary files of ours (".z900-NAME.tmp-PID-N", of this user) whose
// writer died before its rename are removed. Any other folder (an export's target, a shared
// folder) is left exactly as it is.
enum class FolderCleanUp { kNone, kOurLeftovers };
// Who may read the files the programs write. On Windows both take the folder's access rules for
// a new file and keep a replaced file's own: the user's profile folder is private already, and
// the installation's folder belongs to the machine's administrators.
enum class FileAccess {
  kPrivate,   // this user alone (0600): our own files; an existing one is narrowed to that
  kKeepMode,  // as the user's files are made (0644 less the umask), an existing one as it was
};

// The name of our temporary file for a target named `name` (UTF-8), written by process
// `process`: ".z900-NAME.tmp-PID-N", NAME cut on a character's start when long.
std::string TemporaryFileName(std::string_view name, unsigned long process, unsigned long number);
// The process that wrote a temporary file of ours, from its name; nullopt for any other name.
std::optional<unsigned long> TemporaryFileWriter(std::string_view name);

// Replaces the file's content so that a crash at any moment leaves either the old or the new
// bytes, never a mix: temporary file beside the target, fsync, rename, fsync of the folder.
// A symbolic link is followed and its target replaced; a file this user may not write is
// refused (permission_denied), as is anything but a regular file (FileError). The new file keeps
// the old one's owner and group as far as this user may set them, and its mode as `access`
// says. Empty error code on success.
std::error_code WriteFileAtomically(const std::filesystem::path& path,
                                    std::span<const std::uint8_t> bytes,
                                    const AtomicWriteProbe& probe = {},
                                    FileAccess access = FileAccess::kPrivate,
                                    FolderCleanUp clean_up = FolderCleanUp::kNone);

// Reads a whole regular file, refusing files larger than max_size (errc::file_too_large) and
// anything but a regular file (a FileError), without ever blocking on a FIFO or device.
std::error_code ReadWholeFile(const std::filesystem::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes);

// Reads at most `max_size` bytes from the start of a regular file, with the checks of
// ReadWholeFile; a longer file is not an error.
std::error_code ReadFileStart(const std::filesystem::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes);

// ".damaged-YYYYMMDD-HHMMSS" of the local time now: the suffix of a damaged file's copy.
std::string DamagedCopySuffix();

// Keeps a damaged file before it is replaced: a copy (a hard link where the file system has
// them) named after it with DamagedCopySuffix, in the folder of the file a link leads to, and
// "-2", "-3", … added when that name is taken. `copy` receives its path.
std::error_code KeepDamagedCopy(const std::filesystem::path& path, std::filesystem::path& copy);

// An advisory lock, held until the object is destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

enum class LockMode { kShared, kExclusive };

// Locks the lock file at `path` (created for this user alone when missing, and an existing one
// of this user narrowed to that, so that nobody else can open it to hold the lock). Blocking
// waits until the lock is ours; otherwise a lock held by another program gives null with
// errc::resource_unavailable_try_again.
std::unique_ptr<FileLock> LockFile(const std::filesystem::path& path, LockMode mode, bool blocking,
                                   std::error_code& error);

// The processes that hold an advisory lock on the file, as "z900ctl (process 1234 of user
// alice)", joined by ", "; empty when none is found. On Windows, the processes that have it open.
std::string DescribeLockHolders(const std::filesystem::path& path);

// Creates a folder and every missing folder above it, each for this user alone (0700; on
// Windows with the access rules of the folder it is made in); folders that exist stay as they
// are. Empty error code when the folder is there afterwards.
std::error_code CreatePrivateFolders(const std::filesystem::path& path);

// Takes group's and others' rights from an existing folder of this user that holds our files
// (a folder made before our folders were private); other folders stay as they are. Nothing on
// Windows, where a folder's rules come from where it lies.
void TightenFolder(const std::filesystem::path& path);

// Creates a folder only this user may use, or checks that an existing one is such a folder: a
// real folder (not a link) of this user that nobody else may write to. permission_denied when
// it is not.
std::error_code EnsurePrivateFolder(const std::filesystem::path& path);

// The path by which the local socket `name` in `folder` is bound or reached. A socket address
// holds at most 107 bytes, too few for a deep folder: the path itself when it fits, else the same
// place reached through a handle of the folder that the object holds open while it lives.
class LocalSocketPath {
 public:
  LocalSocketPath(const std::filesystem::path& folder, std::string_view name);
  ~LocalSocketPath();
  LocalSocketPath(const LocalSocketPath&) = delete;
  LocalSocketPath& operator=(const LocalSocketPath&) = delete;
  // Empty, with error(), when a long path's folder cannot be opened.
  const std::string& path() const { return path_; }
  std::error_code error() const { return error_; }

 private:
  int folder_fd_ = -1;
  std::string path_;
  std::error_code error_;
};

}  // namespace z900::platform

template <>
struct std::is_error_code_enum<z900::platform::FileError> : std::true_type {};
