#include "platform/host_services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "support/temp_folder.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// Stand-in programs that report their arguments through a FIFO, so the test waits for them by
// reading it rather than by sleeping.
class HostServicesTest : public ::testing::Test {
 protected:
  HostServicesTest() {
    fs::create_directory(folder.path() / "bin");
    EXPECT_EQ(::mkfifo(Fifo().c_str(), 0600), 0);
    fs::create_directory(folder.path() / "helpers");
    WriteScript(folder.path() / "bin" / "xdg-open");
    WriteScript(folder.path() / "helpers" / "z900-screengrab");
    // A tool of the same kind in the search path is never taken for the program's own.
    WriteScript(folder.path() / "bin" / "z900-flash");
    WriteScript(folder.path() / "my program");
    old_path_ = std::getenv("PATH");
    ::setenv("PATH", ((folder.path() / "bin").string() + ":" + old_path_).c_str(), 1);
  }
  ~HostServicesTest() override { ::setenv("PATH", old_path_.c_str(), 1); }

  fs::path Fifo() const { return folder.path() / "reports"; }
  void WriteScript(const fs::path& path) {
    std::ofstream(path) << "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > '" << Fifo().string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
  }
  // What the next stand-in program reported: its name and arguments, each followed by '|'.
  std::string NextReport() {
    std::ifstream fifo(Fifo());
    std::stringstream text;
    text << fifo.rdbuf();
    return text.str();
  }

  test::TempFolder folder;
  std::string old_path_;
  std::unique_ptr<HostServices> services =
      CreateSystemHostServices({folder.path() / "none", folder.path() / "helpers"});
};

TEST_F(HostServicesTest, OpensFilesWithTheDesktopWithoutTheRulesQuotes) {
  const fs::path spaced = folder.path() / "My Files";
  fs::create_directory(spaced);
  EXPECT_TRUE(services->OpenWithDefaultApplication(u"\"" + spaced.u16string() + u"\"").started);
  EXPECT_EQ(NextReport(),
            (folder.path() / "bin" / "xdg-open").string() + "|" + spaced.string() + "|");
  EXPECT_TRUE(services->OpenWithDefaultApplication(u"https://example.org/z900").started);
  EXPECT_EQ(NextReport(),
            (folder.path() / "bin" / "xdg-open").string() + "|https://example.org/z900|");
}

TEST_F(HostServicesTest, StartsProgramsAndToolsDirectly) {
  const fs::path program = folder.path() / "my program";
  EXPECT_TRUE(services->StartProgram(program.u16string()).started);
  EXPECT_EQ(NextReport(), program.string() + "|");
  const std::u16string arguments[] = {u"-TALVO", u"two words"};
  EXPECT_TRUE(services->StartProgram(program.u16string(), arguments).started);
  EXPECT_EQ(NextReport(), program.string() + "|-TALVO|two words|");
  EXPECT_TRUE(services->StartTool("z900-screengrab -t region -p").started);
  EXPECT_EQ(NextReport(),
            (folder.path() / "helpers" / "z900-screengrab").string() + "|-t|region|-p|");
}

// Nothing is started for what cannot be started, and the reason names it.
TEST_F(HostServicesTest, WhatCannotBeStartedIsRefusedWithTheReason) {
  const std::string missing = (folder.path() / "missing").string();
  const fs::path not_executable = folder.path() / "notes.txt";
  std::ofstream(not_executable) << "text";
  struct Case {
    HostOutcome outcome;
    std::string reason;
  };
  const Case cases[] = {
      {services->StartProgram(Utf8ToUtf16(missing)), missing + " does not exist"},
      {services->StartProgram(folder.path().u16string()), " is a folder, not a program"},
      {services->StartProgram(not_executable.u16string()), "notes.txt is not executable"},
      {services->StartProgram(u""), "no program"},
      {services->OpenWithDefaultApplication(Utf8ToUtf16(missing)), missing + " does not exist"},
      {services->OpenWithDefaultApplication(u"\"\""), "no file or folder"},
      {services->PlaySoundFile(Utf8ToUtf16(missing + ".wav")), missing + ".wav does not exist"},
      {services->PlaySoundFile(folder.path().u16string()), " is a folder, not a sound file"},
      {services->StartTool("z900-flash -TALVO"), "z900-flash is not installed (looked in " +
                                                     (folder.path() / "none").string() + ", " +
                                                     (folder.path() / "helpers").string() + ")"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.outcome.started) << c.reason;
    EXPECT_THAT(c.outcome.reason, ::testing::HasSubstr(c.reason));
  }
  // The next report comes from this call, so nothing above started a stand-in.
  EXPECT_TRUE(services->StartTool("z900-screengrab -t window -p").started);
  EXPECT_EQ(NextReport(),
            (folder.path() / "helpers" / "z900-screengrab").string() + "|-t|window|-p|");
}

}  // namespace
}  // namespace z900::platform
