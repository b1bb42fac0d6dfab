#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <set>

#include "support/run_program.h"
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

std::size_t EntryCount(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Our files are for this user alone: new ones are made so, and one made before is narrowed
// (never widened) by the next write. A file of the user's own choosing keeps its mode exactly,
// also bits the umask would take away.
TEST(WriteFileAtomicallyTest, ReplacesTheContentPrivatelyOrKeepingThePermissions) {
  test::TempFolder folder;
  const mode_t umask_before = ::umask(022);
  const fs::path ours = folder.path() / "value";
  ASSERT_FALSE(WriteFileAtomically(ours, Bytes{1, 2, 3}));
  EXPECT_EQ(ModeOf(ours), 0600u);
  for (const auto& [before, after] : {std::pair<mode_t, mode_t>(0644, 0600),
                                      {0666, 0600},
                                      {0640, 0600},
                                      {0600, 0600},
                                      {0200, 0200}}) {
    ::chmod(ours.c_str(), before);
    ASSERT_FALSE(WriteFileAtomically(ours, Bytes{4}));
    EXPECT_EQ(Read(ours), Bytes{4});
    EXPECT_EQ(ModeOf(ours), after) << std::oct << before;
  }

  const fs::path theirs = folder.path() / "export";
  ASSERT_FALSE(WriteFileAtomically(theirs, Bytes{1}, {}, FileAccess::kKeepMode));
  EXPECT_EQ(ModeOf(theirs), 0644u);
  for (const mode_t mode : {0600, 0664, 0666}) {
    ::chmod(theirs.c_str(), mode);
    ASSERT_FALSE(WriteFileAtomically(theirs, Bytes{4}, {}, FileAccess::kKeepMode));
    EXPECT_EQ(Read(theirs), Bytes{4});
    EXPECT_EQ(ModeOf(theirs), mode);
  }
  ::umask(umask_before);
  EXPECT_EQ(EntryCount(folder.path()), 2u);
}

// Folders are made for this user alone, a whole missing chain of them; existing ones of ours
// are narrowed on request, other folders left alone.
TEST(PrivateFoldersTest, AreMadeAndNarrowedForThisUserAlone) {
  test::TempFolder folder;
  const mode_t umask_before = ::umask(022);
  const fs::path deep = folder.path() / "a" / "b" / "c";
  EXPECT_FALSE(CreatePrivateFolders(deep));
  for (const fs::path& made : {folder.path() / "a", folder.path() / "a" / "b", deep}) {
    EXPECT_EQ(ModeOf(made), 0700u) << made;
  }
  fs::create_directory(folder.path() / "open");
  ::chmod((folder.path() / "open").c_str(), 0755);
  EXPECT_FALSE(CreatePrivateFolders(folder.path() / "open"));
  EXPECT_EQ(ModeOf(folder.path() / "open"), 0755u) << "an existing folder stays";
  TightenFolder(folder.path() / "open");
  EXPECT_EQ(ModeOf(folder.path() / "open"), 0700u);
  std::ofstream(folder.path() / "file") << "x";
  EXPECT_EQ(CreatePrivateFolders(folder.path() / "file" / "below"), std::errc::not_a_directory);
  ::umask(umask_before);
}

TEST(WriteFileAtomicallyTest, ALinkKeepsLeadingToTheReplacedFile) {
  test::TempFolder folder;
  const fs::path real = folder.path() / "real";
  fs::create_directories(real);
  fs::create_directories(folder.path() / "links");
  struct Case {
    const char* what;
    fs::path link;
    fs::path target;  // what the link holds
    fs::path file;    // where the bytes must land
  };
  const Case cases[] = {
      {"relative", folder.path() / "links/relative", "../real/a", real / "a"},
      {"absolute", folder.path() / "links/absolute", real / "b", real / "b"},
      {"chain", folder.path() / "links/chain", "relative", real / "a"},
      {"to nothing yet", folder.path() / "links/dangling", "../real/new", real / "new"},
  };
  ASSERT_FALSE(WriteFileAtomically(real / "a", Bytes{1}));
  ASSERT_FALSE(WriteFileAtomically(real / "b", Bytes{1}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::create_symlink(c.target, c.link);
    ASSERT_FALSE(WriteFileAtomically(c.link, Bytes{2, 3}));
    EXPECT_TRUE(fs::is_symlink(c.link));
    EXPECT_EQ(fs::read_symlink(c.link), c.target);
    EXPECT_EQ(Read(c.file), (Bytes{2, 3}));
  }
  EXPECT_EQ(EntryCount(real), 3u);  // no temporary files left in either folder
  EXPECT_EQ(EntryCount(folder.path() / "links"), 4u);

  fs::create_symlink("loop", folder.path() / "loop");
  EXPECT_EQ(WriteFileAtomically(folder.path() / "loop", Bytes{1}),
            std::errc::too_many_symbolic_link_levels);
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A write into one of our own folders first removes the temporary files that our writers left
// when they died, and nothing else: not another program's files of a like pattern, not ours
// whose writer still runs, not another user's. A write anywhere else leaves the folder alone.
TEST(WriteFileAtomicallyTest, TidiesOnlyOurOwnLeftoversAndOnlyInOurFolders) {
  test::TempFolder folder;
  const fs::path ours = folder.path() / "ours";
  fs::create_directory(ours);
  // A writer killed just before its rename leaves its temporary file behind.
  const pid_t writer = ::fork();
  if (writer == 0) {
    WriteFileAtomically(ours / "value", Bytes{1}, [] {
      ::_exit(0);
      return false;
    });
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const std::set<std::string> left = Names(ours);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(std::regex_match(*left.begin(),
                               std::regex(R"(\.z900-value\.tmp-)" + std::to_string(writer) + R"(-\d+)")))
      << *left.begin();

  const std::string dead = std::to_string(test::EndedProcessId());
  const std::string alive = std::to_string(::getppid());
  const std::vector<std::string> kept = {
      "report.tmp-" + dead + "-5",           // another program's, as in a shared folder
      "value.tmp-" + dead + "-7",            // no prefix of ours
      ".z900-value.tmp-" + alive + "-5",     // its writer may be about to rename it
      ".z900-value.tmp-" + dead + "-",       // not a name we make
      ".z900-value.tmp-x-1",
  };
  const std::string stale = ".z900-other.tmp-" + dead + "-9";
  for (const std::string& name : kept) std::ofstream(ours / name) << "leftover";
  std::ofstream(ours / stale) << "leftover";
  // Of our pattern but a folder, or a link that leads elsewhere: not a file we left.
  fs::create_directory(ours / (".z900-folder.tmp-" + dead + "-1"));
  std::ofstream(folder.path() / "elsewhere") << "kept";
  fs::create_symlink(folder.path() / "elsewhere", ours / (".z900-link.tmp-" + dead + "-2"));

  // An export, a script in a shared folder: nothing there is touched.
  std::set<std::string> before = Names(ours);
  ASSERT_FALSE(WriteFileAtomically(ours / "export.bin", Bytes{1}));
  before.insert("export.bin");
  EXPECT_EQ(Names(ours), before);

  ASSERT_FALSE(WriteFileAtomically(ours / "value", Bytes{2}, {}, FileAccess::kPrivate,
                                    FolderCleanUp::kOurLeftovers));
  before.erase(*left.begin());
  before.erase(stale);
  before.insert("value");
  EXPECT_EQ(Names(ours), before);
  EXPECT_EQ(Read(ours / "value"), Bytes{2});
  EXPECT_EQ(Read(folder.path() / "elsewhere"), (Bytes{'k', 'e', 'p', 't'}));
}

// Files and folders of another user are never ours to tidy, whatever their names.
TEST(WriteFileAtomicallyTest, LeavesOtherUsersLeftoversAlone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  constexpr uid_t kNobody = 65534;
  test::TempFolder folder;
  const std::string name = ".z900-value.tmp-" + std::to_string(test::EndedProcessId()) + "-3";
  const fs::path theirs_in_ours = folder.path() / "ours";
  const fs::path ours_in_theirs = folder.path() / "theirs";
  for (const fs::path& dir : {theirs_in_ours, ours_in_theirs}) {
    fs::create_directory(dir);
    fs::permissions(dir, fs::perms::all);
    std::ofstream(dir / name) << "leftover";
  }
  ASSERT_EQ(::chown((theirs_in_ours / name).c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chown(ours_in_theirs.c_str(), kNobody, kNobody), 0);
  for (const fs::path& dir : {theirs_in_ours, ours_in_theirs}) {
    SCOPED_TRACE(dir.string());
    ASSERT_FALSE(WriteFileAtomically(dir / "value", Bytes{1}, {}, FileAccess::kPrivate,
                                    FolderCleanUp::kOurLeftovers));
    EXPECT_TRUE(fs::exists(dir / name));
  }
}

TEST(KeepDamagedCopyTest, KeepsTheBytesBesideTheFileItLeadsTo) {
  test::TempFolder folder;
  const fs::path file = folder.path() / "Profile1.cfg";
  ASSERT_FALSE(WriteFileAtomically(file, Bytes{9, 9}));
  fs::create_directories(folder.path() / "links");
  fs::create_symlink("../Profile1.cfg", folder.path() / "links/Profile1.cfg");

  fs::path first;
  fs::path second;
  ASSERT_FALSE(KeepDamagedCopy(folder.path() / "links/Profile1.cfg", first));
  ASSERT_FALSE(KeepDamagedCopy(file, second));
  EXPECT_TRUE(fs::equivalent(first.parent_path(), folder.path())) << first;
  EXPECT_TRUE(std::regex_match(first.filename().string(),
                               std::regex(R"(Profile1\.cfg\.damaged-\d{8}-\d{6})")))
      << first;
  EXPECT_NE(first, second);
  // Replacing the file leaves the copies as they were.
  ASSERT_FALSE(WriteFileAtomically(file, Bytes{1}));
  EXPECT_EQ(Read(first), (Bytes{9, 9}));
  EXPECT_EQ(Read(second), (Bytes{9, 9}));
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

TEST(ReadWholeFileTest, RefusesLargeFilesAndReadsTheStartOfThem) {
  test::TempFolder folder;
  const fs::path path = folder.path() / "value";
  ASSERT_FALSE(WriteFileAtomically(path, Bytes(100, 1)));
  Bytes bytes{7};
  EXPECT_EQ(ReadWholeFile(path, 99, bytes), std::errc::file_too_large);
  EXPECT_EQ(bytes, Bytes{7});
  EXPECT_FALSE(ReadWholeFile(path, 100, bytes));
  EXPECT_EQ(bytes.size(), 100u);
  EXPECT_FALSE(ReadFileStart(path, 99, bytes));
  EXPECT_EQ(bytes, Bytes(99, 1));
  EXPECT_EQ(ReadWholeFile(folder.path() / "missing", 99, bytes),
            std::errc::no_such_file_or_directory);
}

// A FIFO without a writer would block an ordinary open or read for ever.
TEST(ReadWholeFileTest, AnythingButARegularFileIsRefusedAtOnce) {
  test::TempFolder folder;
  const fs::path fifo = folder.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<fs::path, FileError> cases[] = {{folder.path(), FileError::kFolder},
                                                  {fifo, FileError::kFifo},
                                                  {"/dev/null", FileError::kDevice}};
  for (const auto& [path, refusal] : cases) {
    SCOPED_TRACE(path.string());
    Bytes bytes;
    EXPECT_EQ(ReadWholeFile(path, 99, bytes), refusal);
    EXPECT_EQ(ReadFileStart(path, 99, bytes), refusal);
    EXPECT_EQ(CheckReplaceable(path), refusal);
    EXPECT_TRUE(IsNotRegularFileError(make_error_code(refusal)));
  }
  EXPECT_EQ(WriteFileAtomically(fifo, Bytes{1}), FileError::kFifo);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(make_error_code(FileError::kFifo).message(), "a FIFO (named pipe), not a regular file");
}

TEST(LockFileTest, SharedLocksMeetAndAnExclusiveOneWaits) {
  test::TempFolder folder;
  const fs::path path = folder.path() / "z900.lock";
  std::error_code error;
  auto reader = LockFile(path, LockMode::kShared, false, error);
  ASSERT_TRUE(reader) << error.message();
  EXPECT_TRUE(LockFile(path, LockMode::kShared, false, error));
  EXPECT_FALSE(LockFile(path, LockMode::kExclusive, false, error));
  EXPECT_EQ(error, std::errc::resource_unavailable_try_again);
  reader.reset();
  auto writer = LockFile(path, LockMode::kExclusive, false, error);
  ASSERT_TRUE(writer);
  EXPECT_FALSE(LockFile(path, LockMode::kShared, false, error));
  EXPECT_EQ(error, std::errc::resource_unavailable_try_again);

  ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(LockFile(folder.path() / "fifo", LockMode::kShared, true, error));
  EXPECT_EQ(error, FileError::kFifo);
}

// Whoever may open a lock file may hold its lock: it is this user's alone, and the holder of a
// lock can be named.
TEST(LockFileTest, IsPrivateAndItsHolderIsNamed) {
  test::TempFolder folder;
  const mode_t umask_before = ::umask(022);
  const fs::path made = folder.path() / "made.lock";
  const fs::path older = folder.path() / "older.lock";
  std::ofstream(older) << "";
  ::chmod(older.c_str(), 0644);
  std::error_code error;
  for (const fs::path& path : {made, older}) {
    auto lock = LockFile(path, LockMode::kExclusive, false, error);
    ASSERT_TRUE(lock) << error.message();
    EXPECT_EQ(ModeOf(path), 0600u) << path;
  }
  ::umask(umask_before);

  // Held by this process now, by nobody once it lets go.
  auto held = LockFile(made, LockMode::kShared, false, error);
  EXPECT_EQ(DescribeLockHolders(made), "platform_tests (process " + std::to_string(::getpid()) +
                                           " of user " + ::getpwuid(::geteuid())->pw_name + ")");
  held.reset();
  EXPECT_EQ(DescribeLockHolders(made), "");
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
