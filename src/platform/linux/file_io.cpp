#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "platform/clock.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// Enough for any sane chain of links; the kernel allows 40.
constexpr int kMaxLinkHops = 40;
constexpr mode_t kPrivateFileMode = 0600;
constexpr mode_t kPrivateFolderMode = 0700;

std::error_code LastError() { return {errno, std::system_category()}; }

// Null for a regular file, else the refusal that names what it is.
std::error_code KindError(mode_t mode) {
  if (S_ISREG(mode)) return {};
  if (S_ISDIR(mode)) return FileError::kFolder;
  if (S_ISFIFO(mode)) return FileError::kFifo;
  return FileError::kDevice;
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now and reports whether the close itself succeeded.
  bool Close() { return ::close(release()) == 0; }

 private:
  int fd_;
};

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

fs::path TemporaryPath(const fs::path& target) {
  static thread_local std::minstd_rand generator(std::random_device{}());
  return target.parent_path() /
         TemporaryFileName(target.filename().string(), static_cast<unsigned long>(::getpid()),
                           generator());
}

// Removes the temporary files of ours that writers killed before their rename left in `folder`:
// only in a folder of this user, only files of this user with our prefix, and only those whose
// process has ended (a running one may be about to rename its file).
void RemoveStaleTemporaries(const fs::path& folder) {
  Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat dir_info {};
  if (dir.get() < 0 || ::fstat(dir.get(), &dir_info) != 0 || dir_info.st_uid != ::geteuid()) {
    return;
  }
  // Listed, looked at and removed through the folder we checked, never through a path that may
  // lead elsewhere meanwhile.
  const int copy = ::fcntl(dir.get(), F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return;
  DIR* listing = ::fdopendir(copy);
  if (listing == nullptr) {
    ::close(copy);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::optional<unsigned long> writer = TemporaryFileWriter(entry->d_name);
    if (!writer || *writer == 0) continue;
    const auto owner = static_cast<pid_t>(*writer);  // at most nine digits
    if (owner == ::getpid() || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
    struct stat info {};
    if (::fstatat(dir.get(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode) && info.st_uid == ::geteuid()) {
      ::unlinkat(dir.get(), entry->d_name, 0);
    }
  }
  ::closedir(listing);
}

void SyncFolder(const fs::path& folder) {
  Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

// Opens a regular file for reading; never waits for the writer of a FIFO.
std::error_code OpenRegularFile(const fs::path& path, Descriptor& file, struct stat& info) {
  Descriptor opened(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (opened.get() < 0) return LastError();
  if (::fstat(opened.get(), &info) != 0) return LastError();
  if (std::error_code kind = KindError(info.st_mode)) return kind;
  file.reset(opened.release());
  return {};
}

// Reads up to max_size bytes; with `refuse_longer` a file with more is file_too_large.
std::error_code ReadRegularFile(const fs::path& path, std::size_t max_size, bool refuse_longer,
                                std::vector<std::uint8_t>& bytes) {
  Descriptor file(-1);
  struct stat info {};
  if (std::error_code error = OpenRegularFile(path, file, info)) return error;
  std::vector<std::uint8_t> content;
  // The size is only a hint (the file may change meanwhile); it saves the copies of growing.
  if (info.st_size > 0) {
    content.reserve(std::min(static_cast<std::size_t>(info.st_size), max_size));
  }
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t room = max_size - content.size();
    // One byte beyond the limit tells a file that is too long.
    const std::size_t wanted = std::min(sizeof chunk, refuse_longer ? room + 1 : room);
    if (wanted == 0) break;
    const ssize_t got = ::read(file.get(), chunk, wanted);
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) break;
    if (static_cast<std::size_t>(got) > room)
      return std::make_error_code(std::errc::file_too_large);
    content.insert(content.end(), chunk, chunk + got);
  }
  bytes = std::move(content);
  return {};
}

// A plain copy of a regular file into a new file `to`, for file systems without hard links.
std::error_code CopyRegularFile(const fs::path& from, const fs::path& to) {
  Descriptor source(-1);
  struct stat info {};
  if (std::error_code error = OpenRegularFile(from, source, info)) return error;
  Descriptor target(
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777));
  if (target.get() < 0) return LastError();
  auto discard = [&](std::error_code error) {
    ::unlink(to.c_str());
    return error;
  };
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(source.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return discard(LastError());
    if (got == 0) break;
    if (!WriteAll(target.get(), std::span(chunk, static_cast<std::size_t>(got)))) {
      return discard(LastError());
    }
  }
  if (::fsync(target.get()) != 0 || !target.Close()) return discard(LastError());
  return {};
}

class FlockLock final : public FileLock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  FlockLock(const FlockLock&) = delete;
  FlockLock& operator=(const FlockLock&) = delete;

 private:
  int fd_;
};

}  // namespace

fs::path ResolveLinks(const fs::path& path, std::error_code& error) {
  error.clear();
  fs::path current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    const fs::path target = fs::read_symlink(current, error);
    if (error) return {};
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return {};
}

std::error_code CheckReplaceable(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? std::error_code() : LastError();
  if (std::error_code kind = KindError(info.st_mode)) return kind;
  // The effective user's right, as the kernel would judge an open for writing.
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return LastError();
  return {};
}

std::error_code WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                                    const AtomicWriteProbe& probe, FileAccess access,
                                    FolderCleanUp clean_up) {
  std::error_code error;
  const fs::path target = ResolveLinks(path, error);
  if (error) return error;
  // A rename needs only the folder's permission; the file's own must hold as well.
  if ((error = CheckReplaceable(target))) return error;
  if (clean_up == FolderCleanUp::kOurLeftovers) RemoveStaleTemporaries(target.parent_path());

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  const fs::path temporary = TemporaryPath(target);
  const bool private_file = access == FileAccess::kPrivate;
  Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         private_file ? kPrivateFileMode : 0644));
  if (file.get() < 0) return LastError();
  auto discard = [&](std::error_code failure) {
    ::unlink(temporary.c_str());
    return failure;
  };
  if (exists) {
    // Owner and group first, as a change of owner may clear mode bits. Only root may give a
    // file away; a group of the user's own may still be kept.
    if ((existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) &&
        ::fchown(file.get(), existing.st_uid, existing.st_gid) != 0) {
      [[maybe_unused]] const int ignored =
          ::fchown(file.get(), static_cast<uid_t>(-1), existing.st_gid);
    }
    // A file of ours written before our files were private is narrowed now.
    const mode_t mode = existing.st_mode & (private_file ? kPrivateFileMode : 0777);
    if (::fchmod(file.get(), mode) != 0) return discard(LastError());
  }
  if (!WriteAll(file.get(), bytes) || ::fsync(file.get()) != 0) return discard(LastError());
  if (!file.Close()) return discard(LastError());
  if (probe && !probe()) {
    return discard(std::make_error_code(std::errc::interrupted));
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) return discard(LastError());
  SyncFolder(target.parent_path());
  return {};
}

std::error_code ReadWholeFile(const fs::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes) {
  return ReadRegularFile(path, max_size, true, bytes);
}

std::error_code ReadFileStart(const fs::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes) {
  return ReadRegularFile(path, max_size, false, bytes);
}

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  ::localtime_r(&when, &local);
  return local;
}

std::error_code KeepDamagedCopy(const fs::path& path, fs::path& copy) {
  std::error_code error;
  const fs::path target = ResolveLinks(path, error);
  if (error) return error;
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return LastError();
  if (std::error_code kind = KindError(info.st_mode)) return kind;
  const std::string base = target.filename().string() + DamagedCopySuffix();
  for (int number = 1; number < 100; ++number) {
    const fs::path candidate =
        target.parent_path() / (number == 1 ? base : base + "-" + std::to_string(number));
    if (::link(target.c_str(), candidate.c_str()) != 0) {
      if (errno == EEXIST) continue;
      if (error = CopyRegularFile(target, candidate); error == std::errc::file_exists) continue;
      if (error) return error;
    }
    // What the damaged file held is the user's as much as the file was.
    if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
      [[maybe_unused]] const int ignored =
          ::chmod(candidate.c_str(), info.st_mode & kPrivateFileMode);
    }
    SyncFolder(target.parent_path());
    copy = candidate;
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}

std::unique_ptr<FileLock> LockFile(const fs::path& path, LockMode mode, bool blocking,
                                   std::error_code& error) {
  Descriptor file(
      ::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, kPrivateFileMode));
  // A lock file that may not be written still takes a lock.
  if (file.get() < 0 && (errno == EACCES || errno == EROFS)) {
    file.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  }
  if (file.get() < 0) {
    error = errno == EISDIR ? make_error_code(FileError::kFolder) : LastError();
    return nullptr;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    error = LastError();
    return nullptr;
  }
  if ((error = KindError(info.st_mode))) return nullptr;
  // Whoever may open a lock file may hold its lock: one of ours made before is narrowed.
  if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
    [[maybe_unused]] const int ignored = ::fchmod(file.get(), info.st_mode & kPrivateFileMode);
  }
  const int operation = (mode == LockMode::kShared ? LOCK_SH : LOCK_EX) | (blocking ? 0 : LOCK_NB);
  while (::flock(file.get(), operation) != 0) {
    if (errno == EINTR) continue;
    error = errno == EWOULDBLOCK ? std::make_error_code(std::errc::resource_unavailable_try_again)
                                 : LastError();
    return nullptr;
  }
  error.clear();
  return std::make_unique<FlockLock>(file.release());
}

std::string DescribeLockHolders(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  // /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; "->" marks a waiter.
  char device[32];
  std::snprintf(device, sizeof device, "%02x:%02x:%llu", major(info.st_dev), minor(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  std::ifstream locks("/proc/locks");
  std::string described;
  std::vector<long> seen;
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, advisory, access, file;
    long pid = 0;
    if (!(fields >> number >> kind) || kind == "->" || kind != "FLOCK") continue;
    if (!(fields >> advisory >> access >> pid >> file) || file != device) continue;
    if (std::find(seen.begin(), seen.end(), pid) != seen.end()) continue;
    seen.push_back(pid);
    const fs::path process = fs::path("/proc") / std::to_string(pid);
    std::string program;
    std::getline(std::ifstream(process / "comm"), program);
    struct stat owner {};
    std::string user = "an unknown user";
    if (::stat(process.c_str(), &owner) == 0) {
      user = "user " + std::to_string(owner.st_uid);
      char buffer[1024];
      struct passwd entry {};
      struct passwd* found = nullptr;
      if (::getpwuid_r(owner.st_uid, &entry, buffer, sizeof buffer, &found) == 0 &&
          found != nullptr) {
        user = std::string("user ") + found->pw_name;
      }
    }
    if (!described.empty()) described += ", ";
    described += (program.empty() ? std::string("a program") : program) + " (process " +
                 std::to_string(pid) + " of " + user + ")";
  }
  return described;
}

std::error_code CreatePrivateFolders(const fs::path& path) {
  if (path.empty()) return {};
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode) ? std::error_code()
                                 : std::make_error_code(std::errc::not_a_directory);
  }
  if (errno != ENOENT) return LastError();
  const fs::path parent = path.parent_path();
  if (parent != path) {
    if (std::error_code error = CreatePrivateFolders(parent)) return error;
  }
  if (::mkdir(path.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) return LastError();
  return {};
}

void TightenFolder(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & 077) == 0) {
    return;
  }
  [[maybe_unused]] const int ignored = ::chmod(path.c_str(), info.st_mode & kPrivateFolderMode);
}

std::error_code EnsurePrivateFolder(const fs::path& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return LastError();
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return LastError();
  // Someone else's folder, a link or a folder others may write to could hand us their files.
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & (S_IWGRP | S_IWOTH))) {
    return std::make_error_code(std::errc::permission_denied);
  }
  return {};
}

LocalSocketPath::LocalSocketPath(const fs::path& folder, std::string_view name) {
  const fs::path full = folder / name;
  if (full.native().size() < sizeof(sockaddr_un::sun_path)) {
    path_ = full.native();
    return;
  }
  folder_fd_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd_ < 0) {
    error_ = LastError();
    return;
  }
  // The kernel follows the descriptor's entry to the folder itself, whatever its path's length.
  path_ = "/proc/self/fd/" + std::to_string(folder_fd_) + "/" + std::string(name);
}

LocalSocketPath::~LocalSocketPath() {
  if (folder_fd_ >= 0) ::close(folder_fd_);
}

}  // namespace z900::platform
