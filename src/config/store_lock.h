#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/program_paths.h"

namespace z900::config {

// How long a program tries the store lock quietly before it tells the user that it waits.
inline constexpr std::uint32_t kQuietLockWaitMs = 300;
// How long a program waits for the store lock at most. Longer than the longest write into the
// mouse that a program holds the lock for: fourteen macros of 4 KiB, at 130 ms per 24 bytes,
// take some 5 minutes. A program that holds it longer is stuck, or is not one of ours.
inline constexpr std::uint32_t kStoreLockPatienceMs = 6 * 60 * 1000;

// Takes the advisory lock of the user's profiles, profile table and key store, which every
// program holds around one read-modify-write of them (exclusive) or one reading (shared), and
// only for that operation. When another program holds it, the lock is tried again on `clock`;
// after `quiet_ms` `waiting` is called once, and after kStoreLockPatienceMs the wait ends with
// errc::timed_out (StoreLockHolders says who held it). Null, with the reason in `error`, when
// the lock file cannot be used.
std::unique_ptr<platform::FileLock> LockStore(const platform::ProgramPaths& paths,
                                              platform::LockMode mode, platform::Clock& clock,
                                              const std::function<void()>& waiting,
                                              std::error_code& error,
                                              std::uint32_t quiet_ms = kQuietLockWaitMs);

// Takes the lock only when no other program holds it, for work that must not wait (the
// window's ui thread): null with errc::resource_unavailable_try_again while another holds it,
// or with the reason when the lock file cannot be used.
std::unique_ptr<platform::FileLock> TryLockStore(const platform::ProgramPaths& paths,
                                                 platform::LockMode mode, std::error_code& error);

// The lock file and the programs that hold it: "/…/z900.lock, held by z900ctl (process 12 of
// user alice)", for the message that ends a wait.
std::string StoreLockHolders(const platform::ProgramPaths& paths);

}  // namespace z900::config
