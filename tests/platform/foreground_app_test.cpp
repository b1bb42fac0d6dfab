#include "platform/foreground_app.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/linux/compositor_ipc.h"
#include "platform/linux/foreground_backends.h"
#include "support/bus_peer.h"
#include "support/foreground_waiter.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "support/xvfb_display.h"

namespace z900::platform {
namespace {

TEST(ForegroundAppTest, UnknownWithoutADisplay) {
  const test::ScopedVariable display("DISPLAY", "");
  EXPECT_EQ(CreateX11ForegroundApp()->ForegroundProgramName(), u"Unknow");
}

// The window manager's changes of the active window are announced; nobody asks on a timer.
TEST(ForegroundAppTest, AnnouncesTheExecutableOfEachNewActiveWindow) {
  test::XvfbDisplay xvfb;
  test::ForegroundWaiter waiter;
  const auto app = CreateX11ForegroundApp(waiter.Handler());
  ASSERT_TRUE(waiter.WaitUntil([&] { return app->BackendStatus().SeesForeground(); }));
  EXPECT_TRUE(app->IsEventDriven());
  // No window manager has named an active window yet.
  EXPECT_EQ(app->ForegroundProgramName(), u"Unknow");

  int before = waiter.changes();
  xvfb.ShowActiveWindow(::getpid());
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"platform_tests"));
  EXPECT_GT(waiter.changes(), before);

  // The active window is gone before the window manager names another: unknown, no crash.
  before = waiter.changes();
  xvfb.CloseActiveWindow();
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"Unknow"));
  EXPECT_GT(waiter.changes(), before);

  xvfb.ShowActiveWindow(0, "Gimp-2.10");  // no process id: the window's class
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"Gimp-2.10"));
}

TEST(ForegroundAppTest, TheDesktopDecidesTheBackend) {
  using enum ForegroundBackend;
  struct Case {
    SessionFacts facts;
    ForegroundBackend expected;
  };
  const Case cases[] = {
      {{"wayland", "KDE", true, true}, kKWin},
      {{"wayland", "ubuntu:GNOME", true, true}, kGnomeShell},
      {{"wayland", "GNOME-Classic:GNOME", true, false}, kGnomeShell},
      {{"wayland", "sway", true, true}, kWlroots},
      {{"wayland", "Hyprland", true, false}, kWlroots},
      {{"", "", true, false}, kWlroots},   // a compositor started by hand, no session manager
      {{"x11", "KDE", true, true}, kX11},  // an X11 session with a stray WAYLAND_DISPLAY
      {{"x11", "GNOME", false, true}, kX11},
      {{"tty", "", false, false}, kNone},
      {{"wayland", "GNOMEish:KDEish", true, false}, kWlroots},  // tokens, not substrings
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseForegroundBackend(c.facts), c.expected)
        << c.facts.session_type << " / " << c.facts.current_desktop;
  }
}

TEST(ForegroundAppTest, OneIdentityForEveryBackend) {
  const std::uint32_t self = static_cast<std::uint32_t>(::getpid());
  EXPECT_EQ(ProgramIdentity(self, "org.example.Other"), u"platform_tests");
  EXPECT_EQ(ProgramIdentity(0, "org.kde.dolphin"), u"org.kde.dolphin");
  EXPECT_EQ(ProgramIdentity(0x7FFFFFFE, "foot"), u"foot");  // no such process
  EXPECT_EQ(ProgramIdentity(0, ""), u"Unknow");
  EXPECT_EQ(ProgramIdentity(0, std::string(kMaxAppIdBytes + 1, 'a')), u"Unknow");
  // Beside its name, a window's program shows its class (or app id) and X11 instance name.
  const ForegroundProgram names = ProcessProgramNames(self, "org.example.Other", "other");
  EXPECT_TRUE(names.Matches(u"org.example.Other"));
  EXPECT_TRUE(names.Matches(u"other"));
  EXPECT_FALSE(names.Matches(u"Other"));
  EXPECT_TRUE(ProcessProgramNames(0, "", "instance").other_names.empty());

  // A program whose file was replaced while it runs (a package upgrade) keeps its name.
  test::TempFolder folder;
  const std::filesystem::path tool = folder.path() / "doomed-tool";
  std::filesystem::copy_file("/usr/bin/tail", tool);
  const test::ChildProcess running(tool.string(), {"-f", "/dev/null"});
  std::filesystem::remove(tool);
  EXPECT_EQ(ExecutableNameOfProcess(static_cast<std::uint32_t>(running.pid())), "doomed-tool");
}

// Publishes on the test's thread; the hand-over does not care which thread it is.
class ManualForegroundApp final : public QueuedForegroundApp {
 public:
  explicit ManualForegroundApp(ForegroundChangeHandler handler)
      : QueuedForegroundApp(ForegroundBackend::kKWin, std::move(handler)) {}
  using QueuedForegroundApp::PublishProgram;
  using QueuedForegroundApp::PublishStatus;
};

TEST(ForegroundAppTest, TheOwnerGetsTheNewestNewsOnce) {
  int announced = 0;
  ManualForegroundApp app([&] { ++announced; });
  EXPECT_EQ(app.ForegroundProgramName(), u"Unknow");
  EXPECT_EQ(app.BackendStatus().problem, ForegroundProblem::kStarting);
  EXPECT_EQ(app.BackendStatus().backend, ForegroundBackend::kKWin);

  app.PublishStatus(ForegroundProblem::kNone);
  app.PublishProgram(u"foot");
  app.PublishProgram(u"wev");
  app.PublishProgram(u"wev");  // a repeat is no news
  app.PublishStatus(ForegroundProblem::kNone);
  EXPECT_EQ(announced, 3);
  EXPECT_EQ(app.ForegroundProgramName(), u"wev");
  EXPECT_TRUE(app.BackendStatus().SeesForeground());
  EXPECT_TRUE(app.IsEventDriven());
}

TEST(ForegroundAppTest, SwayTellsTheFocusedWindowsProcess) {
  const std::string tree = R"({"id": 1, "focused": false, "nodes": [
      {"type": "workspace", "focused": false, "nodes": [
        {"app_id": "foot", "pid": 4242, "focused": false},
        {"app_id": null, "pid": 77, "focused": true,
         "window_properties": {"class": "Steam", "instance": "steam"}}],
       "floating_nodes": [{"app_id": "wev", "pid": 99, "focused": false}]}]})";
  EXPECT_EQ(FocusedProcessInSwayTree(tree, "Steam"), 77u);          // an XWayland window: its class
  EXPECT_EQ(FocusedProcessInSwayTree(tree, "foot"), std::nullopt);  // not the focused one
  struct Case {
    const char* json;
    std::optional<std::uint32_t> pid;
  };
  const Case cases[] = {
      {R"({"nodes": [{"floating_nodes": [{"app_id": "a", "pid": 5, "focused": true}]}]})", 5},
      {R"({"type": "workspace", "focused": true, "nodes": []})", std::nullopt},
      {R"({"app_id": "a", "pid": -5, "focused": true})", std::nullopt},
      {R"({"app_id": "a", "pid": 0, "focused": true})", std::nullopt},
      {R"({"app_id": "a", "pid": "5", "focused": true})", std::nullopt},
      {R"({"app_id": "a", "pid": 5, "focused": "yes"})", std::nullopt},
      {R"({"app_id": "a", "pid": 5, "focused": true)", std::nullopt},  // cut short
      {R"({"nodes": {"app_id": "a", "pid": 5, "focused": true}})", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(FocusedProcessInSwayTree(c.json, "a"), c.pid) << c.json;
  // Nesting far deeper than a recursive walk could take.
  const std::string deep = std::string(20000, '[') + std::string(20000, ']');
  EXPECT_EQ(FocusedProcessInSwayTree(deep, "a"), std::nullopt);
}

TEST(ForegroundAppTest, HyprlandTellsTheActiveWindowsProcess) {
  test::TempFolder runtime;
  const test::ScopedVariable variable("XDG_RUNTIME_DIR", runtime.path().string());
  const std::filesystem::path folder = runtime.path() / "hypr" / "abc_123";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / ".socket.sock").string();
  // Hyprland's side: one request, one answer, then the connection closes.
  const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(server, 1), 0);
  std::string request(64, '\0');
  std::thread hyprland([&] {
    const int client = ::accept(server, nullptr, nullptr);
    request.resize(
        static_cast<std::size_t>(std::max<ssize_t>(::read(client, request.data(), 64), 0)));
    const std::string answer = R"({"class": "foot", "title": "~", "pid": 4242})";
    EXPECT_EQ(::write(client, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
    ::close(client);
  });
  EXPECT_EQ(HyprlandSocketPath("abc_123"), path);
  const std::optional<std::string> reply = HyprlandRequest(path, "j/activewindow");
  hyprland.join();
  ::close(server);
  EXPECT_EQ(request, "j/activewindow");
  ASSERT_TRUE(reply);
  EXPECT_EQ(ActiveProcessInHyprlandReply(*reply, "foot"), 4242u);
  EXPECT_EQ(ActiveProcessInHyprlandReply(*reply, "kitty"), std::nullopt);  // focus moved on
  EXPECT_EQ(ActiveProcessInHyprlandReply("{}", "foot"), std::nullopt);     // no active window
  EXPECT_EQ(ActiveProcessInHyprlandReply("[4242]", "foot"), std::nullopt);
  for (const char* refused : {"", "../abc_123", "..", "missing"}) {
    EXPECT_EQ(HyprlandSocketPath(refused), "") << refused;
  }
}

TEST(ForegroundAppTest, EachBackendSaysWhyItSeesNothing) {
  test::TempFolder empty;
  const test::ScopedVariable runtime("XDG_RUNTIME_DIR", empty.path().string());
  const test::ScopedVariable wayland("WAYLAND_DISPLAY", "wayland-none");
  const test::ScopedVariable bus("DBUS_SESSION_BUS_ADDRESS",
                                 "unix:path=" + (empty.path() / "no-bus").string());
  struct Case {
    std::unique_ptr<ForegroundApp> (*create)(ForegroundChangeHandler);
    ForegroundProblem problem;
  };
  const Case cases[] = {{&CreateWlrForegroundApp, ForegroundProblem::kNoDesktop},
                        {&CreateKWinForegroundApp, ForegroundProblem::kNoSessionBus},
                        {&CreateGnomeForegroundApp, ForegroundProblem::kNoSessionBus}};
  for (const Case& c : cases) {
    test::ForegroundWaiter waiter;
    const auto app = c.create(waiter.Handler());
    EXPECT_TRUE(waiter.WaitForProblem(*app, c.problem));
    EXPECT_FALSE(app->BackendStatus().detail.empty());
    EXPECT_EQ(app->ForegroundProgramName(), u"Unknow");
  }
}

}  // namespace
}  // namespace z900::platform
