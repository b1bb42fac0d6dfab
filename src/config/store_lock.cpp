#include "config/store_lock.h"

namespace z900::config {
namespace {

constexpr std::uint32_t kRetryMs = 20;

}  // namespace

std::unique_ptr<platform::FileLock> TryLockStore(const platform::ProgramPaths& paths,
                                                 platform::LockMode mode, std::error_code& error) {
  const std::filesystem::path& file = paths.store_lock_file;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
  if (error) return nullptr;
  return platform::LockFile(file, mode, false, error);
}

std::unique_ptr<platform::FileLock> LockStore(const platform::ProgramPaths& paths,
                                              platform::LockMode mode, platform::Clock& clock,
                                              const std::function<void()>& waiting,
                                              std::error_code& error) {
  const std::uint64_t start = clock.NowMs();
  for (;;) {
    std::unique_ptr<platform::FileLock> lock = TryLockStore(paths, mode, error);
    if (lock || error != std::errc::resource_unavailable_try_again) return lock;
    if (clock.NowMs() - start >= kQuietLockWaitMs) break;
    clock.SleepMs(kRetryMs);
  }
  if (waiting) waiting();
  return platform::LockFile(paths.store_lock_file, mode, true, error);
}

}  // namespace z900::config
