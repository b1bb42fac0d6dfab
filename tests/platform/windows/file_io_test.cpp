#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "platform/utf8_path.h"
#include "support/run_program.h"
#include "support/system_files.h"
#include "support/temp_folder.h"
#include "support/windows/helper_process.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(PathToUtf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

class WindowsFileIoTest : public ::testing::Test {
 protected:
  fs::path File(const char* name) const { return folder.path() / name; }
  test::TempFolder folder;
};

// The new bytes replace the old in one rename; the file keeps its attributes, and a file marked
// read-only is refused and left as it is.
TEST_F(WindowsFileIoTest, ReplacesTheContentAndRespectsTheReadOnlyAttribute) {
  const fs::path file = File("Profile1.cfg");
  std::ofstream(file, std::ios::binary) << "old";
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(WriteFileAtomically(file, Bytes("new")));
  EXPECT_EQ(Read(file), "new");
  EXPECT_TRUE(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);

  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(CheckReplaceable(file), std::errc::permission_denied);
  EXPECT_EQ(WriteFileAtomically(file, Bytes("newer")), std::errc::permission_denied);
  EXPECT_EQ(Read(file), "new");
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"Profile1.cfg"});
  ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);

  EXPECT_EQ(WriteFileAtomically(folder.path() / "missing" / "x", Bytes("x")),
            std::errc::no_such_file_or_directory);
}

TEST_F(WindowsFileIoTest, InterruptedWriteLeavesTheOldContentAndNoLeftovers) {
  const fs::path file = File("a.bin");
  std::ofstream(file, std::ios::binary) << "old";
  EXPECT_EQ(WriteFileAtomically(file, Bytes("new"), [] { return false; }), std::errc::interrupted);
  EXPECT_EQ(Read(file), "old");
  EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"a.bin"});
}

// Starts the helper, held before its first instruction when `suspended`, else to its end;
// its process id.
DWORD StartHelper(bool suspended, PROCESS_INFORMATION& process) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring command = Utf8ToWide(Z900_TEST_HELPER);
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                        suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process)) {
    return 0;
  }
  if (!suspended) ::WaitForSingleObject(process.hProcess, INFINITE);
  return process.dwProcessId;
}

// Temporary files of ours whose writers died are removed by the next write into one of our
// folders; those of a program that still runs stay, as it may be about to rename them, and so do
// files that only look like temporary files. Any other folder is left exactly as it is.
TEST_F(WindowsFileIoTest, RemovesOurTemporaryFilesOfEndedProcessesOnlyInOurFolders) {
  PROCESS_INFORMATION running{};
  PROCESS_INFORMATION ended{};
  const DWORD alive_id = StartHelper(true, running);
  const DWORD dead_id = StartHelper(false, ended);
  ASSERT_NE(alive_id, 0u);
  ASSERT_NE(dead_id, 0u);
  ::CloseHandle(ended.hThread);
  ::CloseHandle(ended.hProcess);  // its id is free from now on
  const auto temporary = [&](const std::string& prefix, DWORD id) {
    return File((prefix + "a.bin.tmp-" + std::to_string(id) + "-1").c_str());
  };
  const fs::path dead = temporary(".z900-", dead_id);
  const fs::path alive = temporary(".z900-", alive_id);
  const fs::path not_ours = temporary("", dead_id);
  const fs::path not_a_temporary = File(".z900-a.bin.tmp-x-1");
  for (const fs::path& path : {dead, alive, not_ours, not_a_temporary}) {
    std::ofstream(path) << "left";
  }
  ASSERT_FALSE(WriteFileAtomically(File("a.bin"), Bytes("x")));
  EXPECT_TRUE(fs::exists(dead)) << "a folder not ours is left as it is";
  ASSERT_FALSE(WriteFileAtomically(File("a.bin"), Bytes("x"), {}, FileAccess::kPrivate,
                                   FolderCleanUp::kOurLeftovers));
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
  EXPECT_TRUE(fs::exists(not_ours));
  EXPECT_TRUE(fs::exists(not_a_temporary));
  ::TerminateProcess(running.hProcess, 0);
  ::CloseHandle(running.hThread);
  ::CloseHandle(running.hProcess);
}

TEST_F(WindowsFileIoTest, RefusesLargeFilesAndReadsTheStartOfThem) {
  const fs::path file = File("big");
  std::ofstream(file, std::ios::binary) << std::string(100, 'x');
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(ReadWholeFile(file, 99, bytes), std::errc::file_too_large);
  EXPECT_FALSE(ReadWholeFile(file, 100, bytes));
  EXPECT_EQ(bytes.size(), 100u);
  EXPECT_FALSE(ReadFileStart(file, 10, bytes));
  EXPECT_EQ(bytes.size(), 10u);
  EXPECT_EQ(ReadWholeFile(File("missing"), 10, bytes), std::errc::no_such_file_or_directory);
}

// Folders, pipes and devices are told apart without opening them: a pipe's server is never
// made to wait for us, nor a device read.
TEST_F(WindowsFileIoTest, AnythingButARegularFileIsRefusedAtOnce) {
  const std::wstring pipe_name = L"\\\\.\\pipe\\" + Utf8ToWide(test::UniqueName("pipe").substr(6));
  // Without waiting: a look at whether a client came never blocks.
  const HANDLE pipe = ::CreateNamedPipeW(pipe_name.c_str(), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 512, 512, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  const struct {
    fs::path path;
    FileError error;
  } cases[] = {
      {folder.path(), FileError::kFolder},
      {fs::path(pipe_name), FileError::kFifo},
      {folder.path() / "NUL", FileError::kDevice},
      {folder.path() / "com1.txt", FileError::kDevice},
      {fs::path(L"\\\\.\\PhysicalDrive0"), FileError::kDevice},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(ReadWholeFile(c.path, 10, bytes), make_error_code(c.error)) << PathToUtf8(c.path);
    EXPECT_EQ(CheckReplaceable(c.path), make_error_code(c.error)) << PathToUtf8(c.path);
    std::error_code error;
    EXPECT_FALSE(LockFile(c.path, LockMode::kShared, false, error)) << PathToUtf8(c.path);
    EXPECT_TRUE(IsNotRegularFileError(error)) << PathToUtf8(c.path) << error.message();
  }
  // Nothing connected to the pipe.
  EXPECT_FALSE(::ConnectNamedPipe(pipe, nullptr));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING));
  ::CloseHandle(pipe);
}

TEST_F(WindowsFileIoTest, SharedLocksMeetAndAnExclusiveOneWaits) {
  const fs::path file = File("z900.lock");
  std::error_code error;
  auto first = LockFile(file, LockMode::kShared, false, error);
  ASSERT_TRUE(first) << error.message();
  auto second = LockFile(file, LockMode::kShared, false, error);
  EXPECT_TRUE(second) << error.message();
  EXPECT_FALSE(LockFile(file, LockMode::kExclusive, false, error));
  EXPECT_EQ(error, std::errc::resource_unavailable_try_again);
  first.reset();
  second.reset();
  EXPECT_TRUE(LockFile(file, LockMode::kExclusive, false, error)) << error.message();
}

// Two programs: while the helper holds the store lock, this one cannot take it; once the
// helper lets go, a waiting lock becomes ours.
TEST_F(WindowsFileIoTest, TwoProcessesTakeTurnsAtTheLock) {
  const fs::path file = File("z900.lock");
  test::NamedEvent locked(test::UniqueName("turns") + "-locked");
  const std::string event = locked.name().substr(0, locked.name().size() - 7);
  test::NamedEvent release(event + "-release");
  test::RunningProgram holder(Z900_TEST_HELPER, {"hold-lock", PathToUtf8(file), event});
  ASSERT_TRUE(locked.WaitSet());
  // The one who waits is told who holds the lock. Wine's Restart Manager finds no process.
  const std::string holders = DescribeLockHolders(file);
  if (!test::RunningUnderWine()) {
    EXPECT_NE(holders.find("(process " + std::to_string(holder.process_id()) + " of user "),
              std::string::npos)
        << holders;
  }
  std::error_code error;
  for (const LockMode mode : {LockMode::kShared, LockMode::kExclusive}) {
    EXPECT_FALSE(LockFile(file, mode, false, error));
    EXPECT_EQ(error, std::errc::resource_unavailable_try_again);
  }
  release.Set();
  EXPECT_TRUE(LockFile(file, LockMode::kExclusive, true, error)) << error.message();
  EXPECT_EQ(holder.Wait().exit_code, 0);
}

TEST_F(WindowsFileIoTest, DamagedFilesAreKeptBesideUnderTheirDate) {
  const fs::path file = File("Profile2.cfg");
  std::ofstream(file, std::ios::binary) << "damaged";
  fs::path first;
  fs::path second;
  ASSERT_FALSE(KeepDamagedCopy(file, first));
  ASSERT_FALSE(KeepDamagedCopy(file, second));
  EXPECT_EQ(first.parent_path(), folder.path());
  EXPECT_TRUE(PathToUtf8(first.filename()).starts_with("Profile2.cfg.damaged-"));
  EXPECT_NE(first, second);
  EXPECT_EQ(Read(first), "damaged");
  EXPECT_EQ(Read(second), "damaged");
  EXPECT_EQ(Read(file), "damaged");
}

TEST_F(WindowsFileIoTest, PrivateFolderIsMadeOrAcceptedButNeverAFile) {
  const fs::path mine = File("instance");
  EXPECT_FALSE(EnsurePrivateFolder(mine));
  EXPECT_TRUE(fs::is_directory(mine));
  EXPECT_FALSE(EnsurePrivateFolder(mine));
  std::ofstream(File("plain")) << "x";
  EXPECT_TRUE(EnsurePrivateFolder(File("plain")));
}

// Every missing folder on the way is made, under names beyond the ANSI code page too; an
// existing folder is accepted and a file in the way is refused.
TEST_F(WindowsFileIoTest, PrivateFoldersAreMadeAllTheWayDown) {
  const fs::path deep = folder.path() / PathFromUtf8("Zo\xC3\xAB") / "AppData" / "Z900";
  EXPECT_FALSE(CreatePrivateFolders(deep));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_FALSE(CreatePrivateFolders(deep));
  std::ofstream(File("plain")) << "x";
  EXPECT_EQ(CreatePrivateFolders(File("plain")), std::errc::not_a_directory);
  EXPECT_TRUE(CreatePrivateFolders(File("plain") / "below"));
  EXPECT_TRUE(DescribeLockHolders(File("nothing.lock")).empty());
}

// Names beyond the ANSI code page, as a user's folder may have them.
TEST_F(WindowsFileIoTest, PathsWithAnyCharacters) {
  const fs::path inside = folder.path() / PathFromUtf8("Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC");
  fs::create_directory(inside);
  const fs::path file = inside / PathFromUtf8("\xD0\x9F\xD1\x80\xD0\xBE.cfg");
  ASSERT_FALSE(WriteFileAtomically(file, Bytes("bytes")));
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(ReadWholeFile(file, 100, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "bytes");
  EXPECT_EQ(PathToUtf8(file.filename()), "\xD0\x9F\xD1\x80\xD0\xBE.cfg");
}

}  // namespace
}  // namespace z900::platform
