#include "config/store_lock.h"

#include <gtest/gtest.h>

#include "platform/utf8_path.h"
#include "platform/virtual_clock.h"
#include "support/system_files.h"
#include "support/temp_folder.h"

namespace z900::config {
namespace {

using platform::LockMode;

class StoreLockTest : public ::testing::Test {
 protected:
  StoreLockTest() { paths.store_lock_file = folder.path() / "data" / "z900.lock"; }

  // Another program's hold on the lock: a lock of its own on the same file.
  std::unique_ptr<platform::FileLock> HoldElsewhere(LockMode mode) {
    std::error_code error;
    auto lock = platform::LockFile(paths.store_lock_file, mode, false, error);
    EXPECT_TRUE(lock) << error.message();
    return lock;
  }

  test::TempFolder folder;
  platform::ProgramPaths paths;
  platform::VirtualClock clock;
};

TEST_F(StoreLockTest, AFreeLockIsTakenAtOnceAndReadersShareIt) {
  int told = 0;
  std::error_code error;
  auto writer = LockStore(
      paths, LockMode::kExclusive, clock, [&] { ++told; }, error);
  ASSERT_TRUE(writer) << error.message();  // the folder is made
  writer.reset();
  const auto other_reader = HoldElsewhere(LockMode::kShared);
  EXPECT_TRUE(LockStore(
      paths, LockMode::kShared, clock, [&] { ++told; }, error));
  EXPECT_EQ(told, 0);
  EXPECT_EQ(clock.NowMs(), 0u);
}

TEST_F(StoreLockTest, AWaitIsToldOnceAfterAQuietMoment) {
  for (const auto& [held, wanted] : {std::pair(LockMode::kExclusive, LockMode::kShared),
                                     std::pair(LockMode::kShared, LockMode::kExclusive)}) {
    std::error_code error;
    std::filesystem::create_directories(paths.store_lock_file.parent_path());
    auto other = HoldElsewhere(held);
    const std::uint64_t start = clock.NowMs();
    int told = 0;
    // The other program finishes while this one says that it waits.
    auto lock = LockStore(
        paths, wanted, clock,
        [&] {
          ++told;
          EXPECT_GE(clock.NowMs() - start, kQuietLockWaitMs);
          other.reset();
        },
        error);
    EXPECT_TRUE(lock) << error.message();
    EXPECT_EQ(told, 1);
  }
}

// A lock held past the bound ends the wait, and the message names the file and its holder; a
// window says that it waits from the first moment.
TEST_F(StoreLockTest, AWaitEndsAfterItsBoundAndTheHolderIsNamed) {
  std::filesystem::create_directories(paths.store_lock_file.parent_path());
  const auto other = HoldElsewhere(LockMode::kExclusive);
  std::error_code error;
  std::vector<std::uint64_t> told;
  EXPECT_FALSE(LockStore(
      paths, LockMode::kShared, clock, [&] { told.push_back(clock.NowMs()); }, error, 0));
  EXPECT_EQ(error, std::errc::timed_out);
  EXPECT_EQ(told, std::vector<std::uint64_t>{0});
  EXPECT_GE(clock.NowMs(), kStoreLockPatienceMs);
  EXPECT_LT(clock.NowMs(), kStoreLockPatienceMs + 1000);
  const std::optional<std::string> holder = test::ThisProcessAsLockHolder("config_tests");
  EXPECT_EQ(StoreLockHolders(paths),
            platform::PathToUtf8(paths.store_lock_file) + ", held by " +
                holder.value_or("a program that could not be found"));
}

TEST_F(StoreLockTest, ATryNeverWaits) {
  std::error_code error;
  auto lock = TryLockStore(paths, LockMode::kExclusive, error);
  ASSERT_TRUE(lock) << error.message();  // the folder is made
  lock.reset();
  const auto other = HoldElsewhere(LockMode::kShared);
  EXPECT_FALSE(TryLockStore(paths, LockMode::kExclusive, error));
  EXPECT_EQ(error, std::errc::resource_unavailable_try_again);
  EXPECT_TRUE(TryLockStore(paths, LockMode::kShared, error)) << error.message();
}

TEST_F(StoreLockTest, ALockFileThatIsNoFileIsRefused) {
  std::filesystem::create_directories(paths.store_lock_file);
  std::error_code error;
  EXPECT_FALSE(LockStore(paths, LockMode::kShared, clock, {}, error));
  EXPECT_EQ(error, platform::FileError::kFolder);
}

}  // namespace
}  // namespace z900::config
