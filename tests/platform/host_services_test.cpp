#include "platform/host_services.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

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
    WriteScript(folder.path() / "bin" / "xdg-open");
    WriteScript(folder.path() / "z900-screengrab");
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
  std::unique_ptr<HostServices> services = CreateSystemHostServices(folder.path());
};

TEST_F(HostServicesTest, OpensFilesWithTheDesktopWithoutTheRulesQuotes) {
  services->OpenWithDefaultApplication(u"\"/home/ann/My Files/a b.txt\"");
  EXPECT_EQ(NextReport(),
            (folder.path() / "bin" / "xdg-open").string() + "|/home/ann/My Files/a b.txt|");
  services->OpenWithDefaultApplication(u"/srv/music");
  EXPECT_EQ(NextReport(), (folder.path() / "bin" / "xdg-open").string() + "|/srv/music|");
}

TEST_F(HostServicesTest, StartsProgramsAndToolsDirectly) {
  const fs::path program = folder.path() / "my program";
  services->StartProgram(program.u16string());
  EXPECT_EQ(NextReport(), program.string() + "|");
  const std::u16string arguments[] = {u"-TALVO", u"two words"};
  services->StartProgram(program.u16string(), arguments);
  EXPECT_EQ(NextReport(), program.string() + "|-TALVO|two words|");
  services->StartTool("z900-screengrab -t region -p");
  EXPECT_EQ(NextReport(), (folder.path() / "z900-screengrab").string() + "|-t|region|-p|");
}

TEST_F(HostServicesTest, MissingThingsDoNothing) {
  services->StartProgram(u"/no/such/program");
  services->StartProgram(u"");
  services->OpenWithDefaultApplication(u"");
  services->OpenWithDefaultApplication(u"\"\"");
  services->PlaySoundFile(u"/no/such/sound.wav");
  services->StartTool("no-such-tool -t desktop -p");
  // The next report comes from this call, so nothing above started a stand-in.
  services->StartTool("z900-screengrab -t window -p");
  EXPECT_EQ(NextReport(), (folder.path() / "z900-screengrab").string() + "|-t|window|-p|");
}

}  // namespace
}  // namespace z900::platform
