#include "config/store_lock.h"

#include "platform/utf8_path.h"

namespace z900::config {
namespace {

constexpr std::uint32_t kQuietRetryMs = 20;
// Once the user has been told, the lock is looked at less often.
constexpr std::uint32_t kRetryMs = 100;

}  // namespace

std::unique_ptr<platform::FileLock> TryLockStore(const platform::ProgramPaths& paths,
                                                 platform::LockMode mode, std::error_code& error) {
  const std::filesystem::path& file = paths.store_lock_file;
  if (file.has_parent_path() && (error = platform::CreatePrivateFolders(file.parent_path()))) {
    return nullptr;
  }
  return platform::LockFile(file, mode, false, error);
}

std::unique_ptr<platform::FileLock> LockStore(const platform::ProgramPaths& paths,
                                              platform::LockMode mode, platform::Clock& clock,
                                              const std::function<void()>& waiting,
                                              std::error_code& error, std::uint32_t quiet_ms) {
  const std::uint64_t start = clock.NowMs();
  bool told = false;
  for (;;) {
    std::unique_ptr<platform::FileLock> lock = TryLockStore(paths, mode, error);
    if (lock || error != std::errc::resource_unavailable_try_again) return lock;
    const std::uint64_t waited = clock.NowMs() - start;
    if (!told && waited >= quiet_ms) {
      told = true;
      if (waiting) waiting();
      continue;  // the one who was told may have let it go meanwhile
    }
    if (waited >= kStoreLockPatienceMs) {
      error = std::make_error_code(std::errc::timed_out);
      return nullptr;
    }
    clock.SleepMs(told ? kRetryMs : kQuietRetryMs);
  }
}

std::string StoreLockHolders(const platform::ProgramPaths& paths) {
  const std::string holders = platform::DescribeLockHolders(paths.store_lock_file);
  return platform::PathToUtf8(paths.store_lock_file) + ", held by " +
         (holders.empty() ? std::string("a program that could not be found") : holders);
}

}  // namespace z900::config
