// Writes into the mouse from the window, as a user meets them: what the mouse did not take is
// told and tried again, a long write or another program's lock leaves the window answering, an
// unplugged mouse gets the profile at the next start, and what the utility keeps is the user's
// alone.
#include <sys/stat.h>

#include "macro/macro_record.h"
#include "macro/macro_rows.h"
#include "z900_config_fixture.h"

namespace z900 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::Geometry;
using e2e::WaitUntil;
using test::ProgramResult;
using test::RunningProgram;

// The window's Apply button and the first rate button (125 Hz), in page coordinates.
constexpr int kApplyX = 760;
constexpr int kApplyY = 439;
constexpr int kRate125X = 534;
constexpr int kRate125Y = 162;

class Z900ConfigWriteTest : public e2e::Z900ConfigTest {
 protected:
  // The mark of a write the mouse did not take in full.
  fs::path PendingMark() const {
    return home_.path() / "registry/Software/TALVO/Z900/@WritePending";
  }
  bool ProgressShown() { return ShownWindowOfSize(330, 86).has_value(); }

  // Shows the window from the tray; its place on the screen.
  Geometry ShowWindow() {
    DoubleClickIcon(WaitForTrayIcon());
    if (!WaitUntil([&] { return MainWindowShown(); })) {
      ADD_FAILURE() << "the window did not show";
      return {};
    }
    return GeometryOf(MainWindows().front());
  }

  // The utility with its window shown, in the middle of writing a macro of some 4 KB into the
  // mouse, which takes it 20 s or so; `window` receives the window's place.
  RunningProgram& StartLongWrite(Geometry& window) {
    AssignLongMacro();
    RunningProgram& utility = StartUtility();
    window = ShowWindow();
    ClickPage(window, kApplyX, kApplyY);
    EXPECT_TRUE(WaitUntil([&] { return ProgressShown(); })) << "no progress window";
    return utility;
  }

  // Gives button 4 of mode 0 the long macro.
  void AssignLongMacro() {
    std::vector<macro::MacroRow> rows;
    for (int press = 0; press < 330; ++press) {
      rows.push_back(macro::KeyRow(macro::kRowKeyDown, 'A'));
      rows.push_back(macro::DelayRow(10));
      rows.push_back(macro::KeyRow(macro::kRowKeyUp, 'A'));
      rows.push_back(macro::DelayRow(10));
    }
    const macro::MacroBuild built = macro::BuildMacroRecord(rows, 0xabc, u"long", u"1");
    const std::vector<std::uint8_t> bytes = macro::MacroRecordBytes(built.record);
    const fs::path file = home_.path() / "long.macro";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ProgramResult result = Z900ctl({"macro", "import", file.string()});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    result = Z900ctl({"set", "button", "0", "4", "macro", "00000abc"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }
};

// The mouse does not acknowledge the button slots: the window says so, keeps the profile as the
// user made it (z900ctl shows it) and marks it as not in the mouse; a second Apply, with the
// fault gone, writes it and clears the mark, without a message.
TEST_F(Z900ConfigWriteTest, AFailedApplyIsToldAndASecondOneWritesIt) {
  RunningProgram& utility = StartUtility({{"Z900_SIM_FAULTS", "no-ack,only=0xa5,count=16"}});
  const Geometry window = ShowWindow();
  ClickPage(window, kRate125X, kRate125Y);
  ClickPage(window, kApplyX, kApplyY);
  EXPECT_TRUE(AnswerMessage()) << "the failure was not told";
  EXPECT_TRUE(fs::exists(PendingMark()));
  EXPECT_THAT(Z900ctl({"show", "--mode", "0"}).out, ::testing::HasSubstr("report rate: 125 Hz"));

  ClickPage(window, kApplyX, kApplyY);
  EXPECT_TRUE(WaitUntil([&] { return !fs::exists(PendingMark()); }));
  EXPECT_TRUE(WaitUntil([&] { return !ProgressShown(); }));
  EXPECT_FALSE(ShownWindowOfSize(330, 160)) << "a message after a write that succeeded";
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// During a long write the window can be dragged away and the tray menu opens.
TEST_F(Z900ConfigWriteTest, DuringALongWriteTheWindowMovesAndTheTrayMenuOpens) {
  Geometry window;
  RunningProgram& utility = StartLongWrite(window);

  Xdo({"mousemove", "--sync", std::to_string(window.x + 400), std::to_string(window.y + 20)});
  Xdo({"mousedown", "1"});
  Xdo({"mousemove", "--sync", std::to_string(window.x + 460), std::to_string(window.y + 60)});
  Xdo({"mouseup", "1"});
  EXPECT_TRUE(WaitUntil([&] {
    const Geometry moved = GeometryOf(MainWindows().front());
    return moved.x == window.x + 60 && moved.y == window.y + 40;
  })) << "the window did not move";

  const Geometry icon = GeometryOf(WaitForTrayIcon());
  Click(icon.x + icon.width / 2, icon.y + icon.height / 2, 3);
  EXPECT_TRUE(WaitUntil([&] { return ShownWindowOfSize(89, 68).has_value(); })) << "no tray menu";
  Xdo({"key", "Escape"});
  EXPECT_TRUE(ProgressShown()) << "the write is still running";
  EXPECT_TRUE(WaitUntil([&] { return !ProgressShown(); }, 60s));
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// The mouse unplugged during a write: the window says that it was removed during the write and
// that the utility ends, and ends; the next start writes the profile into the mouse once.
TEST_F(Z900ConfigWriteTest, UnpluggedDuringAWriteTheNextStartWritesAgain) {
  Geometry window;
  RunningProgram& utility = StartLongWrite(window);
  ASSERT_EQ(Z900ctl({"--simulate", "sim", "unplug"}).exit_code, 0);
  EXPECT_TRUE(AnswerMessage());
  EXPECT_EQ(ExitStatus(utility), 0);
  EXPECT_TRUE(fs::exists(PendingMark()));

  ASSERT_EQ(Z900ctl({"--simulate", "sim", "plug"}).exit_code, 0);
  RunningProgram& next = StartUtility();
  EXPECT_TRUE(WaitUntil([&] { return !fs::exists(PendingMark()); }, 60s));
  const ProgramResult slot = Z900ctl({"--simulate", "read", "0x410", "4"});
  EXPECT_EQ(slot.out, "0410: 05 00 00 00\n") << slot.err;  // button 4: the macro in slot 0
  next.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(next), 0);
}

// While another program holds the profiles, Apply shows the progress window at once (it says
// that it waits) and writes once the other program is done.
TEST_F(Z900ConfigWriteTest, ApplyWaitingForAnotherProgramShowsItsProgressAtOnce) {
  RunningProgram& utility = StartUtility();
  const Geometry window = ShowWindow();
  RunningProgram holder("/usr/bin/flock", {"--no-fork", (home_.path() / "z900.lock").string(),
                                           "/bin/sh", "-c", "echo locked; exec sleep 600"});
  ASSERT_TRUE(WaitUntil([&] {
    holder.WaitFor(50ms);
    return holder.output().out == "locked\n";
  }));
  ClickPage(window, kRate125X, kRate125Y);
  ClickPage(window, kApplyX, kApplyY);
  EXPECT_TRUE(WaitUntil([&] { return ProgressShown(); }, 5s)) << "nothing shows while it waits";
  EXPECT_THAT(Z900ctl({"--simulate", "read", "0x14", "1"}).out, ::testing::HasSubstr(": 01"));

  holder.Signal(SIGTERM);
  holder.Wait();
  EXPECT_TRUE(WaitUntil([&] { return !ProgressShown(); }));
  EXPECT_THAT(Z900ctl({"--simulate", "read", "0x14", "1"}).out, ::testing::HasSubstr(": 08"));
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

// What the utility keeps in its folder is for this user alone: nobody else may use a folder,
// file or socket of it, and files are 0600; listed in the failure.
TEST_F(Z900ConfigWriteTest, EverythingTheUtilityMakesIsForThisUserAlone) {
  RunningProgram& utility = StartUtility();
  const Geometry window = ShowWindow();
  ClickPage(window, kApplyX, kApplyY);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(home_.path() / "Profile/Profile1.cfg"); }));
  EXPECT_TRUE(WaitUntil([&] { return !ProgressShown(); }));
  std::string list;
  std::vector<std::string> open;
  for (const auto& entry : fs::recursive_directory_iterator(home_.path())) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", info.st_mode & 07777);
    const std::string name = fs::relative(entry.path(), home_.path()).string();
    list += std::string(mode) + " " + name + "\n";
    const bool others_may = (info.st_mode & 077) != 0;
    if (others_may || (S_ISREG(info.st_mode) && (info.st_mode & 0777) != 0600)) {
      open.push_back(name);
    }
  }
  EXPECT_THAT(open, ::testing::IsEmpty()) << list;
  EXPECT_THAT(list, ::testing::HasSubstr(" Z900Config.lock\n"));
  utility.Signal(SIGTERM);
  EXPECT_EQ(ExitStatus(utility), 0);
}

}  // namespace
}  // namespace z900
