// The screenshot program in a Wayland session: the picture comes from the desktop portal and
// the notification goes to the notification service, both stand-ins on a private session bus.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <map>
#include <sstream>

#include "screengrab_fixture.h"
#include "support/session_bus.h"

namespace z900::screengrab {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

class ScreengrabPortalTest : public ScreengrabFixture {
 protected:
  // A bus whose portal gives `answer` (see fake_desktop_services) and that has a notification
  // service unless told otherwise.
  ProgramResult Grab(const std::string& mode, const std::string& answer, bool with_portal = true) {
    std::vector<test::ActivatableService> services = {
        {"org.freedesktop.Notifications",
         {FAKE_DESKTOP_SERVICES_PATH, "notifications", Log("notifications").string()}}};
    if (with_portal) {
      services.push_back(
          {"org.freedesktop.portal.Desktop",
           {FAKE_DESKTOP_SERVICES_PATH, "portal", answer,
            (temp_.path() / "portal-picture.png").string(), Log("portal").string()}});
    }
    const test::SessionBus bus(temp_.path() / ("bus-" + std::to_string(++buses_)), services);
    return test::RunProgram(Z900_SCREENGRAB_PATH, {"-t", mode, "-p"},
                            {{"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                             {"XDG_SESSION_TYPE", "wayland"},
                             {"WAYLAND_DISPLAY", ""},
                             {"DISPLAY", ""},
                             {"Z900_SCREENSHOT_DIR", Shots().string()}});
  }

  fs::path Log(const std::string& name) const { return temp_.path() / (name + ".log"); }
  std::string LogText(const std::string& name) const {
    std::ifstream file(Log(name));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  int buses_ = 0;
};

TEST_F(ScreengrabPortalTest, SavesThePortalsPictureAndTellsTheDesktopWhereItWent) {
  // Only the whole desktop is taken without the portal's dialog.
  const std::pair<std::string, std::string> cases[] = {
      {"desktop", "false"}, {"window", "true"}, {"region", "true"}};
  for (const auto& [mode, interactive] : cases) {
    SCOPED_TRACE(mode);
    fs::remove_all(Shots());
    fs::remove(Log("portal"));
    fs::remove(Log("notifications"));
    const ProgramResult result = Grab(mode, "picture");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(LogText("portal").rfind("interactive=" + interactive + " token=z900_screengrab_", 0),
              0u)
        << LogText("portal");

    const QImage picture = SavedPicture(result);
    EXPECT_EQ(picture.size(), QSize(64, 48));
    EXPECT_EQ(picture.pixel(10, 10), qRgb(0, 200, 0));
    const std::string path = SavedFiles().at(0).string();
    // No clipboard without a display: the notification says only where the file is.
    EXPECT_EQ(LogText("notifications"),
              "summary=Screenshot taken body=Saved as " + path + " image=file://" + path + "\n");
  }
}

TEST_F(ScreengrabPortalTest, SavesNothingWhenThePortalGivesNoPicture) {
  const std::pair<std::string, std::string> cases[] = {
      {"cancel", "z900-screengrab: cancelled, nothing saved\n"},
      {"silent", "z900-screengrab: the desktop portal left the bus without an answer\n"},
      {"remote",
       "z900-screengrab: the desktop portal gave no local picture file: "
       "'https://example.org/picture.png'\n"},
  };
  for (const auto& [answer, error] : cases) {
    SCOPED_TRACE(answer);
    const ProgramResult result = Grab("region", answer);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err, error);
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_EQ(LogText("notifications"), "");
  }
  const ProgramResult no_portal = Grab("desktop", "", /*with_portal=*/false);
  EXPECT_EQ(no_portal.exit_code, 1);
  EXPECT_EQ(no_portal.err.rfind("z900-screengrab: the desktop portal cannot take screenshots: ", 0),
            0u)
      << no_portal.err;
  EXPECT_TRUE(SavedFiles().empty());
}

}  // namespace
}  // namespace z900::screengrab
