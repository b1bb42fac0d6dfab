// How the commands treat the files they keep: links, things that are no files, damaged files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>

#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/file_io.h"
#include "support/cli_fixture.h"
#include "support/only_on.h"
#include "support/system_files.h"

namespace z900::cli {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

class StoredFilesTest : public test::CliTest {
 protected:
  StoredFilesTest() { fs::copy_file(Z900_LANGUAGE_FILE, folder.path() / "language.xml"); }

  fs::path ProfileFile() const { return folder.path() / "Profile" / "Profile1.cfg"; }
  fs::path TableFile() const { return folder.path() / "registry/Software/TALVO/Z900/@ConfigInfo"; }
  fs::path SimFile() const { return folder.path() / "sim-mouse.bin"; }

  // The profile, the table and the simulated mouse as a first run leaves them.
  void MakeFiles() {
    ASSERT_EQ(Run({"show"}).code, kExitOk);
    ASSERT_EQ(Run({"--simulate", "sim", "mode", "0"}).code, kExitOk);
  }

  Bytes Read(const fs::path& path) {
    Bytes bytes;
    EXPECT_FALSE(platform::ReadWholeFile(path, 1 << 20, bytes)) << path;
    return bytes;
  }
  void Write(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
};

TEST_F(StoredFilesTest, LinksKeepLeadingToTheFilesTheyNamed) {
  Z900_LINUX_ONLY("symbolic links, and the key store as files");
  MakeFiles();
  const fs::path elsewhere = folder.path() / "elsewhere";
  fs::create_directories(elsewhere);
  const std::pair<fs::path, fs::path> links[] = {
      {ProfileFile(), "../elsewhere/profile"},  // relative to the link's folder
      {TableFile(), elsewhere / "table"},
      {SimFile(), elsewhere / "sim"},
  };
  for (const auto& [link, target] : links) {
    fs::rename(link, link.parent_path() / target);
    fs::create_symlink(target, link);
  }
  const Bytes table_before = Read(elsewhere / "table");

  Result result = Run({"set", "name", "Linked"});
  ASSERT_EQ(result.code, kExitOk) << result.err;
  result = Run({"--simulate", "sim", "mode", "1"});
  ASSERT_EQ(result.code, kExitOk) << result.err;

  for (const auto& [link, target] : links) {
    EXPECT_TRUE(fs::is_symlink(link)) << link;
    EXPECT_EQ(fs::read_symlink(link), target);
  }
  EXPECT_NE(Read(elsewhere / "table"), table_before);
  EXPECT_THAT(Run({"show"}).out, HasSubstr("name \"Linked\""));
  EXPECT_EQ(Run({"--simulate", "info"}).out.substr(0, 8), "mode: 1\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 3);
}

// FIFOs would block a plain open for ever; neither they nor folders are read or replaced.
TEST_F(StoredFilesTest, WhatIsNoRegularFileIsRefusedWithItsReason) {
  Z900_LINUX_ONLY("FIFOs, and the key store as files");
  MakeFiles();
  struct Case {
    fs::path path;
    bool fifo;  // else a folder
    std::vector<std::string> args;
    int code;
    std::string message;
  };
  const fs::path import = folder.path() / "macro.bin";
  const Case cases[] = {
      {ProfileFile(),
       true,
       {"show"},
       kExitFailed,
       "cannot read the profile file " + ProfileFile().string() +
           ": a FIFO (named pipe), not a regular file; it was left as it is"},
      {ProfileFile(), false, {"set", "name", "x"}, kExitFailed, "a folder, not a regular file"},
      {ProfileFile(), true, {"profile", "list"}, kExitFailed, "a FIFO (named pipe)"},
      {folder.path() / "Profile" / "Profile3.cfg",
       true,
       {"profile", "select", "3"},
       kExitFailed,
       "cannot read the profile file " + (folder.path() / "Profile" / "Profile3.cfg").string() +
           ": a FIFO (named pipe), not a regular file; it was left as it is; profile 3 was not "
           "loaded; profile 1 (Profile 1) stays selected"},
      {TableFile(),
       true,
       {"profile", "list"},
       kExitFailed,
       "its file in the key store is not a regular file; it was left as it is"},
      {SimFile(), true, {"--simulate", "info"}, kExitFailed, "a FIFO (named pipe)"},
      {SimFile(), false, {"--simulate", "sim", "press", "3"}, kExitFailed, "a folder"},
      {folder.path() / "language.xml",
       true,
       {"profile", "list"},
       kExitOk,
       "cannot read the language file " + (folder.path() / "language.xml").string() +
           " (a FIFO (named pipe), not a regular file)"},
      {import, true, {"macro", "import", import.string()}, kExitFailed, "a FIFO (named pipe)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const fs::path aside = c.path.string() + ".aside";
    if (fs::exists(c.path)) fs::rename(c.path, aside);
    if (c.fifo) {
      ASSERT_TRUE(test::MakeFifo(c.path));
    } else {
      fs::create_directory(c.path);
    }
    const Result result = Run(c.args);
    EXPECT_EQ(result.code, c.code) << result.err;
    EXPECT_THAT(result.err, HasSubstr(c.message));
    EXPECT_EQ(fs::symlink_status(c.path).type(),
              c.fifo ? fs::file_type::fifo : fs::file_type::directory);
    fs::remove(c.path);
    if (fs::exists(aside)) fs::rename(aside, c.path);
  }
}

TEST_F(StoredFilesTest, DamagedFilesAreKeptBesideAndNamed) {
  Z900_LINUX_ONLY("the key store as files");
  MakeFiles();
  const Bytes damaged_profile(50897, 0x11);
  const Bytes damaged_table = {'Z', '9', 'K', 'V', 1, 0, 0, 0};
  Write(ProfileFile(), damaged_profile);
  Write(TableFile(), damaged_table);

  const Result result = Run({"show"});
  EXPECT_EQ(result.code, kExitOk) << result.err;

  std::vector<fs::path> profile_copies;
  for (const auto& entry : fs::directory_iterator(ProfileFile().parent_path())) {
    if (entry.path().filename().string().starts_with("Profile1.cfg.damaged-")) {
      profile_copies.push_back(entry.path());
    }
  }
  ASSERT_EQ(profile_copies.size(), 1u);
  EXPECT_EQ(Read(profile_copies[0]), damaged_profile);
  EXPECT_THAT(result.err,
              HasSubstr(ProfileFile().string() + " was not a profile file; it was kept as " +
                        profile_copies[0].string() + " and replaced by the defaults"));
  EXPECT_EQ(Read(ProfileFile())[0], 0xBA);

  const std::size_t kept_at = result.err.find("it was kept as ConfigInfo.damaged-");
  ASSERT_NE(kept_at, std::string::npos) << result.err;
  const std::string table_copy = result.err.substr(kept_at + 15, 34);  // ConfigInfo.damaged-…-…
  EXPECT_EQ(Read(TableFile().parent_path() / ("@" + table_copy)), damaged_table);
  EXPECT_EQ(Read(TableFile()).size(), 8180u + 20u);
}

// POSIX modes: on Windows a file takes its folder's access rules (platform_tests).
#ifndef _WIN32
// Every file and folder the commands make is for this user alone: folders 0700, files 0600,
// with the usual umask, in one Z900_HOME and in the XDG folders alike. Files and folders of an
// older version (0644 in 0755) are narrowed when they are next written.
TEST_F(StoredFilesTest, EverythingTheCommandsMakeIsForThisUserAlone) {
  const mode_t umask_before = ::umask(022);
  const fs::path macro_file = folder.path() / "import.bin";
  std::vector<macro::MacroRow> rows = {macro::KeyRow(macro::kRowKeyDown, 'A')};
  const macro::MacroBuild built = macro::BuildMacroRecord(rows, 0xabc, u"typed", u"1");
  Write(macro_file, macro::MacroRecordBytes(built.record));
  const auto commands = [&] {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"show"},
                                                 {"set", "name", "private"},
                                                 {"profile", "select", "2"},
                                                 {"macro", "import", macro_file.string()},
                                                 {"set", "button", "0", "4", "macro", "00000abc"},
                                                 {"--simulate", "apply", "--quiet"},
                                                 {"--simulate", "sim", "mode", "1"}}) {
      const Result result = Run(args);
      ASSERT_EQ(result.code, kExitOk) << testing::PrintToString(args) << result.err;
    }
  };
  // Lists what is below `root` with its mode, and each entry that is not private.
  const auto listing = [](const fs::path& root, std::string& list) {
    std::vector<std::string> open;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
      struct stat info {};
      ::lstat(it->path().c_str(), &info);
      char mode[8];
      std::snprintf(mode, sizeof mode, "%04o", info.st_mode & 07777);
      const std::string name = fs::relative(it->path(), root).string();
      list += std::string(mode) + " " + name + "\n";
      const mode_t wanted = S_ISDIR(info.st_mode) ? 0700 : 0600;
      if ((info.st_mode & 07777) != wanted) open.push_back(name);
    }
    return open;
  };

  // One Z900_HOME that does not exist yet.
  const fs::path home = folder.path() / "home";
  path_env.z900_home = home;
  commands();
  std::string list;
  EXPECT_THAT(listing(home, list), ::testing::IsEmpty()) << list;
  EXPECT_THAT(list, HasSubstr("0600 registry/Software/TALVO/Z900/Macro/00000abc/@\n"));
  EXPECT_THAT(list, HasSubstr("0600 z900.lock\n"));
  EXPECT_THAT(list, HasSubstr("0600 sim-mouse.bin.lock\n"));

  // As an older version left them: 0644 in 0755. What the next commands write is narrowed.
  for (const auto& entry : fs::recursive_directory_iterator(home)) {
    ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
  }
  for (const std::vector<std::string>& args : {std::vector<std::string>{"profile", "select", "1"},
                                               {"set", "name", "again"},
                                               {"--simulate", "sim", "mode", "0"}}) {
    ASSERT_EQ(Run(args).code, kExitOk) << testing::PrintToString(args);
  }
  for (const char* narrowed : {"Profile", "Profile/Profile1.cfg", "registry/Software/TALVO/Z900",
                               "registry/Software/TALVO/Z900/@ConfigInfo", "z900.lock",
                               "sim-mouse.bin", "sim-mouse.bin.lock"}) {
    struct stat info {};
    ASSERT_EQ(::stat((home / narrowed).c_str(), &info), 0) << narrowed;
    EXPECT_EQ(info.st_mode & 077, 0u) << narrowed;
  }

  // The XDG folders, none of which exists yet.
  path_env = {};
  path_env.home = folder.path() / "user";
  fs::create_directory(path_env.home);
  commands();
  list.clear();
  EXPECT_THAT(listing(path_env.home, list), ::testing::IsEmpty()) << list;
  EXPECT_THAT(list, HasSubstr("0700 .local/share/z900/Profile\n"));
  EXPECT_THAT(list, HasSubstr("0700 .config/z900/registry\n"));
  EXPECT_THAT(list, HasSubstr("0600 .local/state/z900/sim-mouse.bin\n"));
  ::umask(umask_before);
}
#endif  // _WIN32

}  // namespace
}  // namespace z900::cli
