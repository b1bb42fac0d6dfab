#include "platform/linux/desktop_autostart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/temp_folder.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// What the package installs, with a line the user's copy must keep.
constexpr char kSystemEntry[] =
    "# shipped with the utility\n"
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Z900 Mouse Configuration\n"
    "Exec=z900-config\n"
    "X-GNOME-Autostart-enabled=true\n"
    "\n"
    "[Desktop Action Show]\n"
    "Name=Show\n";

class AutostartTest : public ::testing::Test {
 protected:
  AutostartTest() {
    paths.user_entry = folder.path() / "home/.config/autostart" / kAutostartEntryName;
    paths.system_entries = {folder.path() / "xdg-a/autostart" / kAutostartEntryName,
                            folder.path() / "xdg-b/autostart" / kAutostartEntryName};
    paths.installed_entry = folder.path() / "usr-local-etc/xdg/autostart" / kAutostartEntryName;
  }

  static void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  AutostartStatus Status() {
    std::string error;
    const std::optional<AutostartStatus> status = ReadAutostart(paths, error);
    EXPECT_TRUE(status) << error;
    return status.value_or(AutostartStatus{});
  }
  AutostartStatus Set(bool enabled) {
    std::string error;
    const std::optional<AutostartStatus> status = SetAutostart(paths, enabled, error);
    EXPECT_TRUE(status) << error;
    return status.value_or(AutostartStatus{});
  }

  test::TempFolder folder;
  AutostartPaths paths;
};

TEST(ResolveAutostartPathsTest, FollowsTheXdgRules) {
  platform::PathEnvironment env;
  env.home = "/home/ann";
  env.install_sysconf_folder = "/usr/local/etc";
  env.xdg_config_dirs = "relative/ignored:/etc/xdg/xdg-ubuntu:/etc/xdg";
  AutostartPaths paths = ResolveAutostartPaths(env);
  EXPECT_EQ(paths.user_entry, fs::path("/home/ann/.config/autostart/z900-config.desktop"));
  EXPECT_EQ(paths.system_entries,
            (std::vector<fs::path>{"/etc/xdg/xdg-ubuntu/autostart/z900-config.desktop",
                                   "/etc/xdg/autostart/z900-config.desktop"}));
  EXPECT_EQ(paths.installed_entry, fs::path("/usr/local/etc/xdg/autostart/z900-config.desktop"));

  env.xdg_config_home = "/cfg";
  env.xdg_config_dirs = "only/relative";
  paths = ResolveAutostartPaths(env);
  EXPECT_EQ(paths.user_entry, fs::path("/cfg/autostart/z900-config.desktop"));
  EXPECT_EQ(paths.system_entries,
            (std::vector<fs::path>{"/etc/xdg/autostart/z900-config.desktop"}));
}

// Which entry decides, and what it says.
TEST_F(AutostartTest, StatusFollowsTheDecidingEntry) {
  struct Case {
    const char* name;
    std::string user;           // empty: no user entry
    std::string second_system;  // in the second system folder; empty: none
    bool enabled;
    int decider;  // 0 none, 1 user, 2 the second system entry
  };
  const Case cases[] = {
      {"nothing installed", "", "", false, 0},
      {"system entry", "", kSystemEntry, true, 2},
      {"system entry hidden by the administrator", "",
       "[Desktop Entry]\nExec=z900-config\nHidden=true\n", false, 2},
      {"user's Hidden=true", "[Desktop Entry]\nHidden = true\n", kSystemEntry, false, 1},
      {"desktop settings switched it off", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n",
       kSystemEntry, false, 1},
      {"Hidden of another group", "[Desktop Entry]\nExec=x\n[Other]\nHidden=true\n", "", true, 1},
      {"commented out", "[Desktop Entry]\n#Hidden=true\n", "", true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder.path());
    fs::create_directories(folder.path());
    if (!c.user.empty()) Write(paths.user_entry, c.user);
    if (!c.second_system.empty()) Write(paths.system_entries[1], c.second_system);
    const AutostartStatus status = Status();
    EXPECT_EQ(status.enabled, c.enabled);
    const fs::path deciders[] = {{}, paths.user_entry, paths.system_entries[1]};
    EXPECT_EQ(status.decider, deciders[c.decider].string());
  }
}

// Off copies the system entry with Hidden=true; on removes the copy, so the system entry and
// its later updates are in charge again.
TEST_F(AutostartTest, OffAndOnAgainThroughTheUserEntry) {
  Write(paths.system_entries[0], kSystemEntry);
  AutostartStatus status = Set(false);
  EXPECT_FALSE(status.enabled);
  EXPECT_EQ(status.decider, paths.user_entry.string());
  std::string expected = kSystemEntry;
  expected.insert(expected.find("\n\n") + 1, "Hidden=true\n");
  EXPECT_EQ(Read(paths.user_entry), expected);
  EXPECT_FALSE(Set(false).enabled);  // again: no change
  EXPECT_EQ(Read(paths.user_entry), expected);

  status = Set(true);
  EXPECT_TRUE(status.enabled);
  EXPECT_EQ(status.decider, paths.system_entries[0].string());
  EXPECT_FALSE(fs::exists(paths.user_entry));
}

// The user's own entry keeps its lines; only the switches change.
TEST_F(AutostartTest, KeepsTheUsersOwnEntry) {
  Write(paths.system_entries[0], kSystemEntry);
  const std::string own =
      "[Desktop Entry]\r\nExec=z900-config\r\nHidden=true\r\nX-GNOME-Autostart-enabled=false\r\n"
      "Hidden=true\r\nName[de]=Maus\r\n";
  Write(paths.user_entry, own);
  EXPECT_TRUE(Set(true).enabled);
  EXPECT_EQ(
      Read(paths.user_entry),
      "[Desktop Entry]\r\nExec=z900-config\r\nX-GNOME-Autostart-enabled=true\nName[de]=Maus\r\n");
  EXPECT_FALSE(Set(false).enabled);
  EXPECT_THAT(Read(paths.user_entry), HasSubstr("Name[de]=Maus\r\nHidden=true\n"));
}

// An installation whose own autostart folder the desktop does not read (a /usr/local prefix):
// on gives the user a copy of its entry.
TEST_F(AutostartTest, OnCopiesAnEntryTheDesktopDoesNotRead) {
  Write(paths.installed_entry, kSystemEntry);
  EXPECT_FALSE(Status().enabled);
  const AutostartStatus status = Set(true);
  EXPECT_TRUE(status.enabled);
  EXPECT_EQ(status.decider, paths.user_entry.string());
  EXPECT_EQ(Read(paths.user_entry), kSystemEntry);
}

TEST_F(AutostartTest, NothingInstalled) {
  EXPECT_FALSE(Set(false).enabled);
  EXPECT_FALSE(fs::exists(paths.user_entry));
  std::string error;
  EXPECT_FALSE(SetAutostart(paths, true, error));
  EXPECT_THAT(error, HasSubstr("no autostart entry is installed"));
  EXPECT_FALSE(fs::exists(paths.user_entry));
}

// A user entry that cannot be used is reported and left as it was.
TEST_F(AutostartTest, RefusesWhatItCannotUse) {
  Write(paths.system_entries[0], kSystemEntry);
  const struct {
    const char* name;
    std::string user;
    const char* message;
  } cases[] = {
      {"no desktop entry", "Hidden=true\n", "is no desktop entry"},
      {"far too big", "[Desktop Entry]\n" + std::string(70000, '#'), "File too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Write(paths.user_entry, c.user);
    for (bool enabled : {false, true}) {
      std::string error;
      EXPECT_FALSE(SetAutostart(paths, enabled, error));
      EXPECT_THAT(error, HasSubstr(c.message));
      EXPECT_EQ(Read(paths.user_entry), c.user);
    }
    std::string error;
    EXPECT_FALSE(ReadAutostart(paths, error));
    EXPECT_THAT(error, HasSubstr(c.message));
  }

  // A file where the user's autostart folder belongs.
  fs::remove_all(paths.user_entry.parent_path());
  Write(paths.user_entry.parent_path(), "not a folder");
  std::string error;
  EXPECT_FALSE(SetAutostart(paths, false, error));
  EXPECT_THAT(error, HasSubstr("cannot write " + paths.user_entry.string()));
  EXPECT_TRUE(Status().enabled);
}

}  // namespace
}  // namespace z900::platform
