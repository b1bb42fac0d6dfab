#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_folder.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Read(const fs::path& path) {
  Bytes bytes;
  EXPECT_FALSE(ReadWholeFile(path, 1 << 20, bytes));
  return bytes;
}

TEST(WriteFileAtomicallyTest, ReplacesTheContentAndKeepsThePermissions) {
  test::TempFolder folder;
  const fs::path path = folder.path() / "value";
  ASSERT_FALSE(WriteFileAtomically(path, Bytes{1, 2, 3}));
  ::chmod(path.c_str(), 0600);
  ASSERT_FALSE(WriteFileAtomically(path, Bytes{4}));
  EXPECT_EQ(Read(path), Bytes{4});
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(WriteFileAtomicallyTest, InterruptedWriteLeavesTheOldContentAndNoLeftovers) {
  test::TempFolder folder;
  const fs::path path = folder.path() / "value";
  ASSERT_FALSE(WriteFileAtomically(path, Bytes{1, 2, 3}));
  const std::error_code error = WriteFileAtomically(path, Bytes(1000, 9), [] { return false; });
  EXPECT_EQ(error, std::errc::interrupted);
  EXPECT_EQ(Read(path), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(WriteFileAtomicallyTest, ReportsAMissingFolder) {
  test::TempFolder folder;
  EXPECT_EQ(WriteFileAtomically(folder.path() / "no" / "value", Bytes{1}),
            std::errc::no_such_file_or_directory);
}

TEST(ReadWholeFileTest, RefusesLargeFilesAndFolders) {
  test::TempFolder folder;
  const fs::path path = folder.path() / "value";
  ASSERT_FALSE(WriteFileAtomically(path, Bytes(100, 1)));
  Bytes bytes{7};
  EXPECT_EQ(ReadWholeFile(path, 99, bytes), std::errc::file_too_large);
  EXPECT_EQ(bytes, Bytes{7});
  EXPECT_EQ(ReadWholeFile(folder.path(), 99, bytes), std::errc::is_a_directory);
  EXPECT_EQ(ReadWholeFile(folder.path() / "missing", 99, bytes),
            std::errc::no_such_file_or_directory);
}

TEST(TryLockFileExclusiveTest, BusyWhileHeldFreeOnceReleased) {
  test::TempFolder folder;
  const fs::path path = folder.path() / "lock";
  std::error_code error;
  std::unique_ptr<FileLock> held = TryLockFileExclusive(path, error);
  ASSERT_TRUE(held) << error.message();
  EXPECT_FALSE(TryLockFileExclusive(path, error));
  EXPECT_EQ(error, std::errc::resource_unavailable_try_again);
  held.reset();
  EXPECT_TRUE(TryLockFileExclusive(path, error));
  EXPECT_FALSE(TryLockFileExclusive(folder.path() / "missing" / "lock", error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

// A folder for the user's own sockets: made private, or refused when others could write to it
// or it is a link that may point anywhere.
TEST(EnsurePrivateFolderTest, MakesOrAcceptsOnlyAFolderOfOurOwn) {
  test::TempFolder folder;
  const fs::path mine = folder.path() / "mine";
  ASSERT_FALSE(EnsurePrivateFolder(mine));
  EXPECT_EQ(fs::status(mine).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_FALSE(EnsurePrivateFolder(mine));

  const fs::path open_to_all = folder.path() / "open";
  fs::create_directory(open_to_all);
  fs::permissions(open_to_all, fs::perms::all);
  EXPECT_EQ(EnsurePrivateFolder(open_to_all), std::errc::permission_denied);
  const fs::path link = folder.path() / "link";
  fs::create_directory_symlink(mine, link);
  EXPECT_EQ(EnsurePrivateFolder(link), std::errc::permission_denied);
}

}  // namespace
}  // namespace z900::platform
