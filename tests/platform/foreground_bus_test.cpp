// The KWin and GNOME Shell back-ends against a private session bus, with the compositor's side
// played by a stand-in: one that loads our KWin script as KWin does, one that is our shell
// extension's bus object.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/foreground_app.h"
#include "platform/linux/foreground_backends.h"
#include "platform/text.h"
#include "support/bus_peer.h"
#include "support/foreground_waiter.h"
#include "support/run_program.h"
#include "support/session_bus.h"
#include "support/temp_folder.h"
#include "support/xvfb_display.h"

namespace z900::platform {
namespace {

const std::string kSelf = std::to_string(::getpid());

// The stand-ins below are this test program, on threads of its own: it is the desktop here.
TrustedBusPeer StandIns() {
  return {"the tests' stand-in", {ExecutableNameOfProcess(::getpid()).value_or("")}, false};
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// What a KWin of ours knows; lives on its peer's thread, read through Do.
struct KWinState {
  std::string script_file;
  std::string plugin;
  std::vector<std::string> unloaded;
  // The target of the script's callDBus, as read from the script KWin was handed.
  std::string service;
  std::string path;
  std::string interface;
  std::string method;
  std::string leftover_placeholders;
  std::string reply_error;  // of the last report
};

// Plays KWin: owns org.kde.KWin, takes a script through /Scripting and, when it runs, does what
// the script does on activation: calls the object the script names with (pid, resource class).
class KWinStandIn {
 public:
  // `pid` and `resource_class`: the window active when the script starts.
  KWinStandIn(std::string pid, std::string resource_class)
      : active_pid_(std::move(pid)), active_class_(std::move(resource_class)) {
    peer_.Do([this](sd_bus* bus) {
      static const sd_bus_vtable kScripting[] = {
          SD_BUS_VTABLE_START(0), SD_BUS_METHOD("loadScript", "ss", "i", &KWinStandIn::OnLoad, 0),
          SD_BUS_METHOD("unloadScript", "s", "b", &KWinStandIn::OnUnload, 0), SD_BUS_VTABLE_END};
      static const sd_bus_vtable kScript[] = {SD_BUS_VTABLE_START(0),
                                              SD_BUS_METHOD("run", "", "", &KWinStandIn::OnRun, 0),
                                              SD_BUS_VTABLE_END};
      ASSERT_GE(sd_bus_add_object_vtable(bus, nullptr, "/Scripting", "org.kde.kwin.Scripting",
                                         kScripting, this),
                0);
      ASSERT_GE(sd_bus_add_object_vtable(bus, nullptr, "/Scripting/Script0", "org.kde.kwin.Script",
                                         kScript, this),
                0);
      ASSERT_GE(sd_bus_request_name(bus, "org.kde.KWin", 0), 0);
    });
  }

  // A window of `pid` and `resource_class` became active: report it as the script would.
  void Activate(const std::string& pid, const std::string& resource_class) {
    peer_.Do([&](sd_bus* bus) { Report(bus, pid, resource_class); });
  }

  KWinState State() {
    KWinState copy;
    peer_.Do([&](sd_bus*) { copy = state_; });
    return copy;
  }

 private:
  void Report(sd_bus* bus, const std::string& pid, const std::string& resource_class) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_call_method(bus, state_.service.c_str(), state_.path.c_str(), state_.interface.c_str(),
                       state_.method.c_str(), &error, nullptr, "ss", pid.c_str(),
                       resource_class.c_str());
    state_.reply_error = error.name != nullptr ? error.name : "";
    sd_bus_error_free(&error);
  }

  static int OnLoad(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* self = static_cast<KWinStandIn*>(data);
    const char* file = nullptr;
    const char* plugin = nullptr;
    sd_bus_message_read(message, "ss", &file, &plugin);
    self->state_.script_file = file;
    self->state_.plugin = plugin;
    return sd_bus_reply_method_return(message, "i", 0);
  }

  static int OnUnload(sd_bus_message* message, void* data, sd_bus_error*) {
    const char* plugin = nullptr;
    sd_bus_message_read(message, "s", &plugin);
    static_cast<KWinStandIn*>(data)->state_.unloaded.push_back(plugin);
    return sd_bus_reply_method_return(message, "b", 1);
  }

  static int OnRun(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* self = static_cast<KWinStandIn*>(data);
    KWinState& state = self->state_;
    const std::string script = ReadText(state.script_file);
    const auto value = [&](const char* name) {
      std::smatch match;
      const std::regex pattern(std::string("var ") + name + R"re( = "([^"]*)";)re");
      return std::regex_search(script, match, pattern) ? match[1].str() : std::string();
    };
    state.service = value("service");
    state.path = value("path");
    state.interface = value("iface");
    std::smatch call;
    if (std::regex_search(script, call,
                          std::regex(R"re(callDBus\(service, path, iface, "(\w+)")re"))) {
      state.method = call[1].str();
    }
    std::smatch placeholder;
    if (std::regex_search(script, placeholder, std::regex("@[A-Z]+@"))) {
      state.leftover_placeholders = placeholder.str();
    }
    const int result = sd_bus_reply_method_return(message, "");
    // The script reports the window that is active when it starts.
    self->Report(sd_bus_message_get_bus(message), self->active_pid_, self->active_class_);
    return result;
  }

  std::string active_pid_;
  std::string active_class_;
  KWinState state_;
  test::BusPeer peer_;  // last: its thread stops before the state goes away
};

class ForegroundBusTest : public ::testing::Test {
 protected:
  test::TempFolder folder;
  test::SessionBus session{folder.path(), {}};
  test::ScopedVariable address{"DBUS_SESSION_BUS_ADDRESS", session.address()};
  test::ForegroundWaiter waiter;
};

TEST_F(ForegroundBusTest, KWinScriptReportsEveryActivation) {
  // The script is written into the runtime folder, which is everyone's business but ours to
  // tidy: a file there that looks like a dead writer's temporary file stays.
  const test::ScopedVariable runtime("XDG_RUNTIME_DIR", folder.path().string());
  const std::filesystem::path theirs =
      folder.path() / ("notes.tmp-" + std::to_string(test::EndedProcessId()) + "-1");
  std::ofstream(theirs) << "another program's";
  auto kwin = std::make_unique<KWinStandIn>(kSelf, "org.kde.dolphin");
  auto app = CreateKWinForegroundApp(waiter.Handler(), StandIns());
  ASSERT_TRUE(waiter.WaitForProgram(*app, u"platform_tests"));  // the pid names the program
  EXPECT_TRUE(app->BackendStatus().SeesForeground());
  EXPECT_EQ(app->BackendStatus().backend, ForegroundBackend::kKWin);
  EXPECT_TRUE(app->IsEventDriven());

  // The script KWin got names our object on our connection, with nothing left unfilled.
  KWinState state = kwin->State();
  EXPECT_EQ(state.plugin, kKWinPluginName);
  EXPECT_EQ(state.path, kKWinReceiverPath);
  EXPECT_EQ(state.interface, kKWinReceiverInterface);
  EXPECT_TRUE(state.service.starts_with(":"));
  EXPECT_EQ(state.leftover_placeholders, "");
  EXPECT_EQ(state.unloaded, std::vector<std::string>{kKWinPluginName});  // a stale copy first
  EXPECT_EQ(std::filesystem::path(state.script_file).parent_path(), folder.path());
  EXPECT_TRUE(std::filesystem::exists(theirs));

  // Without a process id, or with a damaged one, the resource class is the identity.
  const std::pair<std::string, std::string> steps[] = {
      {"0", "org.kde.konsole"}, {"12x", "org.kde.kate"}, {"-1", "org.kde.okular"}};
  for (const auto& [pid, resource_class] : steps) {
    kwin->Activate(pid, resource_class);
    EXPECT_TRUE(waiter.WaitForProgram(*app, Utf8ToUtf16(resource_class))) << pid;
  }
  kwin->Activate("0", "");  // the desktop itself
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"Unknow"));

  // Only KWin may report.
  test::BusPeer stranger;
  std::string refused;
  stranger.Do([&](sd_bus* bus) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_call_method(bus, state.service.c_str(), kKWinReceiverPath, kKWinReceiverInterface,
                       "Activated", &error, nullptr, "ss", kSelf.c_str(), "evil");
    refused = error.name != nullptr ? error.name : "";
    sd_bus_error_free(&error);
  });
  EXPECT_EQ(refused, SD_BUS_ERROR_ACCESS_DENIED);
  EXPECT_EQ(app->ForegroundProgramName(), u"Unknow");

  // A restarted KWin gets the script again.
  kwin.reset();
  EXPECT_TRUE(waiter.WaitForProblem(*app, ForegroundProblem::kConnectionLost));
  kwin = std::make_unique<KWinStandIn>("0", "org.kde.systemsettings");
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"org.kde.systemsettings"));
  EXPECT_TRUE(app->BackendStatus().SeesForeground());

  // Stopping unloads the script and removes its file.
  app.reset();
  state = kwin->State();
  EXPECT_EQ(state.unloaded, (std::vector<std::string>{kKWinPluginName, kKWinPluginName}));
  EXPECT_FALSE(std::filesystem::exists(state.script_file));
}

TEST_F(ForegroundBusTest, KWinThatRefusesTheScriptIsReported) {
  test::BusPeer kwin;
  kwin.Do([](sd_bus* bus) {
    static const sd_bus_vtable kScripting[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD(
            "loadScript", "ss", "i",
            [](sd_bus_message* message, void*, sd_bus_error*) {
              return sd_bus_reply_method_return(message, "i", -1);
            },
            0),
        SD_BUS_METHOD(
            "unloadScript", "s", "b",
            [](sd_bus_message* message, void*, sd_bus_error*) {
              return sd_bus_reply_method_return(message, "b", 0);
            },
            0),
        SD_BUS_VTABLE_END};
    ASSERT_GE(sd_bus_add_object_vtable(bus, nullptr, "/Scripting", "org.kde.kwin.Scripting",
                                       kScripting, nullptr),
              0);
    ASSERT_GE(sd_bus_request_name(bus, "org.kde.KWin", 0), 0);
  });
  const auto app = CreateKWinForegroundApp(waiter.Handler(), StandIns());
  ASSERT_TRUE(waiter.WaitForProblem(*app, ForegroundProblem::kNoScripting));
  EXPECT_EQ(DescribeForegroundStatus(app->BackendStatus()),
            "Automatic profile switching cannot see the foreground program: KWin did not load "
            "the script: it refused the script");
}

// Plays our GNOME Shell extension's bus object.
class ExtensionStandIn {
 public:
  ExtensionStandIn() {
    peer_.Do([this](sd_bus* bus) {
      static const sd_bus_vtable kObject[] = {
          SD_BUS_VTABLE_START(0),
          SD_BUS_METHOD("GetFocus", "", "us", &ExtensionStandIn::OnGetFocus, 0),
          SD_BUS_SIGNAL("FocusChanged", "us", 0), SD_BUS_VTABLE_END};
      ASSERT_GE(sd_bus_add_object_vtable(bus, nullptr, kGnomeExtensionPath,
                                         kGnomeExtensionInterface, kObject, this),
                0);
    });
  }

  void Enable() {
    peer_.Do(
        [](sd_bus* bus) { ASSERT_GE(sd_bus_request_name(bus, kGnomeExtensionBusName, 0), 0); });
  }
  void Disable() {
    peer_.Do([](sd_bus* bus) { ASSERT_GE(sd_bus_release_name(bus, kGnomeExtensionBusName), 0); });
  }
  // How often it was asked for the focused window.
  int focus_asked() {
    int count = 0;
    peer_.Do([&](sd_bus*) { count = focus_asked_; });
    return count;
  }
  void Focus(std::uint32_t pid, const std::string& wm_class) {
    peer_.Do([&](sd_bus* bus) {
      pid_ = pid;
      class_ = wm_class;
      sd_bus_emit_signal(bus, kGnomeExtensionPath, kGnomeExtensionInterface, "FocusChanged", "us",
                         pid, wm_class.c_str());
    });
  }

 private:
  static int OnGetFocus(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* self = static_cast<ExtensionStandIn*>(data);
    ++self->focus_asked_;
    return sd_bus_reply_method_return(message, "us", self->pid_, self->class_.c_str());
  }

  std::uint32_t pid_ = static_cast<std::uint32_t>(::getpid());
  int focus_asked_ = 0;
  std::string class_ = "org.gnome.Nautilus";
  test::BusPeer peer_;  // last: its thread stops before the state goes away
};

TEST_F(ForegroundBusTest, GnomeExtensionFollowedOnceEnabled) {
  ExtensionStandIn extension;
  const auto app = CreateGnomeForegroundApp(waiter.Handler(), StandIns());
  // Not enabled yet: the status says how to enable it.
  ASSERT_TRUE(waiter.WaitForProblem(*app, ForegroundProblem::kExtensionNotEnabled))
      << DescribeForegroundStatus(app->BackendStatus());
  EXPECT_NE(app->BackendStatus().detail.find("gnome-extensions enable z900-foreground@z900"),
            std::string::npos);

  extension.Enable();  // asked at once for the focused window
  ASSERT_TRUE(waiter.WaitForProgram(*app, u"platform_tests"));
  EXPECT_TRUE(app->BackendStatus().SeesForeground());

  extension.Focus(0, "org.gnome.Calculator");
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"org.gnome.Calculator"));

  // A signal of the same name from anyone else is not the extension's word.
  const int before = waiter.changes();
  test::BusPeer stranger;
  stranger.Do([](sd_bus* bus) {
    sd_bus_emit_signal(bus, kGnomeExtensionPath, kGnomeExtensionInterface, "FocusChanged", "us", 0u,
                       "evil");
  });
  extension.Focus(0, "org.gnome.Maps");
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"org.gnome.Maps"));
  EXPECT_EQ(waiter.changes(), before + 1);

  extension.Disable();
  EXPECT_TRUE(waiter.WaitForProblem(*app, ForegroundProblem::kExtensionNotEnabled));
  EXPECT_EQ(app->ForegroundProgramName(), u"Unknow");
}

TEST_F(ForegroundBusTest, GnomeWithoutTheExtensionSeesXWaylandWindowsUntilItIsEnabled) {
  test::XvfbDisplay xwayland;
  xwayland.ShowActiveWindow(::getpid());
  const test::ScopedVariable type("XDG_SESSION_TYPE", "wayland");
  const test::ScopedVariable desktop("XDG_CURRENT_DESKTOP", "GNOME");
  const test::ScopedVariable wayland("WAYLAND_DISPLAY", "wayland-0");
  ExtensionStandIn extension;
  extension.Focus(0, "org.gnome.Terminal");  // while disabled: nobody listens
  const auto app = CreateSessionForegroundApp(ReadSessionFacts(), waiter.Handler(), StandIns());

  ASSERT_TRUE(waiter.WaitForProblem(*app, ForegroundProblem::kExtensionNotEnabled));
  // X11 stands in from now on, and tells of XWayland's active window as it changes.
  ASSERT_TRUE(waiter.WaitUntil([&] { return app->BackendStatus().xwayland_only; }));
  EXPECT_TRUE(DescribeForegroundStatus(app->BackendStatus())
                  .starts_with("Automatic profile switching sees only programs running under "
                               "XWayland: the GNOME Shell extension is not enabled"));
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"platform_tests"));
  EXPECT_TRUE(app->IsEventDriven());
  xwayland.ShowActiveWindow(0, "XTerm");
  EXPECT_TRUE(waiter.WaitForProgram(*app, u"XTerm"));

  extension.Enable();
  ASSERT_TRUE(waiter.WaitForProgram(*app, u"org.gnome.Terminal"));
  EXPECT_TRUE(app->BackendStatus().SeesForeground());
  EXPECT_FALSE(app->BackendStatus().xwayland_only);
  EXPECT_TRUE(app->IsEventDriven());
}

// With the extension off, or KWin away, any program of the user can take the desktop's bus name:
// only the desktop's own program is believed, and the status says who holds the name instead.
TEST_F(ForegroundBusTest, OnlyTheDesktopsOwnProgramIsBelieved) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  ExtensionStandIn extension;
  extension.Enable();
  const auto gnome = CreateGnomeForegroundApp(waiter.Handler());
  ASSERT_TRUE(waiter.WaitForProblem(*gnome, ForegroundProblem::kUntrustedPeer))
      << DescribeForegroundStatus(gnome->BackendStatus());
  EXPECT_EQ(gnome->BackendStatus().detail, "org.z900.Foreground is held by " + self + " (pid " +
                                               kSelf +
                                               "), not by GNOME Shell; what it says is ignored");
  EXPECT_EQ(gnome->ForegroundProgramName(), u"Unknow");
  EXPECT_EQ(extension.focus_asked(), 0);

  KWinStandIn kwin(kSelf, "org.kde.dolphin");
  const auto kde = CreateKWinForegroundApp(waiter.Handler());
  ASSERT_TRUE(waiter.WaitForProblem(*kde, ForegroundProblem::kUntrustedPeer))
      << DescribeForegroundStatus(kde->BackendStatus());
  EXPECT_EQ(kde->BackendStatus().detail, "org.kde.KWin is held by " + self + " (pid " + kSelf +
                                             "), not by KWin; what it says is ignored");
  EXPECT_EQ(kwin.State().script_file, "");  // not even handed our script
}

// The program behind a process id: named by its executable, which must be a file of the system
// when the peer must be.
TEST(RunsTrustedProgramTest, NameAndSystemFile) {
  test::TempFolder folder;
  const std::filesystem::path copy = folder.path() / "tail";
  std::filesystem::copy_file("/usr/bin/tail", copy);
  std::filesystem::permissions(copy, std::filesystem::perms::all);  // anyone may change it
  const test::ChildProcess system_tail("/usr/bin/tail", {"-f", "/dev/null"});
  const test::ChildProcess copied_tail(copy.string(), {"-f", "/dev/null"});
  struct Case {
    int pid;
    TrustedBusPeer trusted;
    bool believed;
  };
  const Case cases[] = {
      {system_tail.pid(), {"tail", {"head", "tail"}, true}, true},
      {system_tail.pid(), {"GNOME Shell", {"gnome-shell"}, true}, false},
      {copied_tail.pid(), {"tail", {"tail"}, true}, false},
      {copied_tail.pid(), {"tail", {"tail"}, false}, true},
      {test::EndedProcessId(), {"tail", {"tail"}, false}, false},
  };
  for (const Case& c : cases) {
    std::string why;
    EXPECT_EQ(RunsTrustedProgram(static_cast<std::uint32_t>(c.pid), c.trusted, why), c.believed)
        << why;
    EXPECT_NE(why.find("(pid " + std::to_string(c.pid) + ")"), std::string::npos) << why;
  }
}

// Both forms of the extension as the build puts them together: the script that GNOME Shell 42 to
// 44 loads and the ES module of 45 and later, each with our names and the versions it is for.
TEST(GnomeExtensionTest, ShippedFilesUseOurNames) {
  struct Form {
    const char* folder;
    const char* entry;  // how GNOME Shell finds the extension in the script
    const char* versions;
  };
  const Form forms[] = {
      {"legacy", "\nfunction init() {", R"("shell-version": ["42", "43", "44"])"},
      {"module", "\nexport default class ForegroundExtension extends Extension {",
       R"("shell-version": ["45", "46", "47", "48"])"},
  };
  for (const Form& form : forms) {
    const std::filesystem::path folder =
        std::filesystem::path(Z900_GNOME_EXTENSIONS) / form.folder / kGnomeExtensionUuid;
    const std::string script = ReadText(folder / "extension.js");
    for (const std::string& quoted : {std::string("'") + kGnomeExtensionBusName + "'",
                                      std::string("'") + kGnomeExtensionPath + "'",
                                      std::string("\"") + kGnomeExtensionInterface + "\"",
                                      std::string(form.entry)}) {
      EXPECT_NE(script.find(quoted), std::string::npos) << form.folder << ": " << quoted;
    }
    const std::string metadata = ReadText(folder / "metadata.json");
    EXPECT_NE(metadata.find(std::string("\"uuid\": \"") + kGnomeExtensionUuid + "\""),
              std::string::npos)
        << form.folder;
    EXPECT_NE(metadata.find(form.versions), std::string::npos) << form.folder;
  }
}

}  // namespace
}  // namespace z900::platform
