#include "platform/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// Enough for any sane chain of links; the kernel allows 40.
constexpr int kMaxLinkHops = 40;
constexpr std::string_view kTemporaryMark = ".tmp-";

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

std::string TemporarySuffix() {
  static thread_local std::minstd_rand generator(std::random_device{}());
  return std::string(kTemporaryMark) + std::to_string(::getpid()) + "-" +
         std::to_string(generator());
}

// The process that wrote a temporary file, from a name ending in ".tmp-PID-N".
std::optional<pid_t> TemporaryOwner(std::string_view name) {
  const std::size_t mark = name.rfind(kTemporaryMark);
  if (mark == std::string_view::npos) return std::nullopt;
  const std::string_view rest = name.substr(mark + kTemporaryMark.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 9) {
    return std::nullopt;
  }
  const auto digits = [](std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1))) return std::nullopt;
  return static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
}

// Removes the temporary files that writers killed before their rename left in `folder`; those
// of running processes stay, as they may be about to be renamed.
void RemoveStaleTemporaries(const fs::path& folder) {
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::optional<pid_t> owner = TemporaryOwner(it->path().filename().string());
    if (!owner || *owner == ::getpid() || *owner <= 0) continue;
    if (::kill(*owner, 0) == 0 || errno != ESRCH) continue;
    std::error_code ignored;
    if (it->symlink_status(ignored).type() == fs::file_type::regular) {
      ::unlink(it->path().c_str());
    }
  }
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
                                    const AtomicWriteProbe& probe) {
  std::error_code error;
  const fs::path target = ResolveLinks(path, error);
  if (error) return error;
  // A rename needs only the folder's permission; the file's own must hold as well.
  if ((error = CheckReplaceable(target))) return error;
  RemoveStaleTemporaries(target.parent_path());

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  fs::path temporary = target;
  temporary += TemporarySuffix();
  Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
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
    if (::fchmod(file.get(), existing.st_mode & 0777) != 0) return discard(LastError());
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

std::string DamagedCopySuffix() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[40];
  std::strftime(text, sizeof text, ".damaged-%Y%m%d-%H%M%S", &local);
  return text;
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
    SyncFolder(target.parent_path());
    copy = candidate;
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}

std::unique_ptr<FileLock> LockFile(const fs::path& path, LockMode mode, bool blocking,
                                   std::error_code& error) {
  Descriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644));
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

}  // namespace z900::platform
