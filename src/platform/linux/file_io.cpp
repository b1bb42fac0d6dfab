#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

std::error_code LastError() { return {errno, std::system_category()}; }

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
  // Closes now and reports whether the close itself succeeded.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

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
  return ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(generator());
}

void SyncFolder(const fs::path& folder) {
  Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
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

std::error_code WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                                    const AtomicWriteProbe& probe) {
  fs::path temporary = path;
  temporary += TemporarySuffix();
  // Keep the permissions of the file being replaced.
  mode_t mode = 0644;
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) mode = existing.st_mode & 07777;

  Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (file.get() < 0) return LastError();
  auto discard = [&](std::error_code error) {
    ::unlink(temporary.c_str());
    return error;
  };
  if (!WriteAll(file.get(), bytes) || ::fsync(file.get()) != 0) return discard(LastError());
  if (!file.Close()) return discard(LastError());
  if (probe && !probe()) {
    return discard(std::make_error_code(std::errc::interrupted));
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) return discard(LastError());
  SyncFolder(path.parent_path());
  return {};
}

std::error_code ReadWholeFile(const fs::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return LastError();
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return LastError();
  if (S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  std::vector<std::uint8_t> content;
  // The size is only a hint (the file may change meanwhile); it saves the copies of growing.
  if (info.st_size > 0) {
    content.reserve(std::min(static_cast<std::size_t>(info.st_size), max_size));
  }
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) break;
    if (content.size() + static_cast<std::size_t>(got) > max_size) {
      return std::make_error_code(std::errc::file_too_large);
    }
    content.insert(content.end(), chunk, chunk + got);
  }
  bytes = std::move(content);
  return {};
}

namespace {

// Opens the lock file and locks it with `operation`; kBusy only for a lock that would block.
std::unique_ptr<FileLock> LockWith(const fs::path& path, int operation, std::error_code& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = LastError();
    return nullptr;
  }
  while (::flock(fd, operation) != 0) {
    if (errno == EINTR) continue;
    error = errno == EWOULDBLOCK ? std::make_error_code(std::errc::resource_unavailable_try_again)
                                 : LastError();
    ::close(fd);
    return nullptr;
  }
  error.clear();
  return std::make_unique<FlockLock>(fd);
}

}  // namespace

std::unique_ptr<FileLock> LockFileExclusive(const fs::path& path, std::error_code& error) {
  return LockWith(path, LOCK_EX, error);
}

std::unique_ptr<FileLock> TryLockFileExclusive(const fs::path& path, std::error_code& error) {
  return LockWith(path, LOCK_EX | LOCK_NB, error);
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
