#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <system_error>

#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/program_paths.h"

namespace z900::config {

// How long a program tries the store lock quietly before it tells the user that it waits.
inline constexpr std::uint32_t kQuietLockWaitMs = 300;

// Takes the advisory lock of the user's profiles, profile table and key store, which every
// program holds around one read-modify-write of them (exclusive) or one reading (shared), and
// only for that operation. When another program holds it, the lock is tried again on `clock`
// for kQuietLockWaitMs; then `waiting` is called once and the wait goes on until the lock is
// ours. Null, with the reason in `error`, when the lock file cannot be used.
std::unique_ptr<platform::FileLock> LockStore(const platform::ProgramPaths& paths,
                                              platform::LockMode mode, platform::Clock& clock,
                                              const std::function<void()>& waiting,
                                              std::error_code& error);

// Takes the lock only when no other program holds it, for work that must not wait (the
// window's ui thread): null with errc::resource_unavailable_try_again while another holds it,
// or with the reason when the lock file cannot be used.
std::unique_ptr<platform::FileLock> TryLockStore(const platform::ProgramPaths& paths,
                                                 platform::LockMode mode, std::error_code& error);

}  // namespace z900::config
