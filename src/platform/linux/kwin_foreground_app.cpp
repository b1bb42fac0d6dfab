#include <stdlib.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/file_io.h"
#include "platform/kwin_script.h"
#include "platform/linux/foreground_backends.h"
#include "platform/linux/session_bus.h"
#include "platform/program_paths.h"

namespace z900::platform {
namespace {

constexpr char kKWinService[] = "org.kde.KWin";
constexpr char kScriptingPath[] = "/Scripting";
constexpr char kScriptingInterface[] = "org.kde.kwin.Scripting";
// How long KWin may take to run the script and send its first report before we say it failed.
constexpr auto kFirstReportWait = std::chrono::seconds(10);

std::string Replace(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A process id as the script sends it: decimal digits, 0 for none.
std::uint32_t ParseProcessId(std::string_view text) {
  std::uint32_t pid = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
  if (error != std::errc() || end != text.data() + text.size() || pid > 0x7FFFFFFF) return 0;
  return pid;
}

// The foreground program on KDE Plasma: a script that we load into KWin through its scripting
// interface calls our object on every activation with the window's process id and resource
// class. The script is unloaded when we stop; if KWin restarts, it is loaded again.
class KWinForegroundApp final : public BusForegroundApp {
 public:
  KWinForegroundApp(ForegroundChangeHandler on_change, TrustedBusPeer trusted)
      : BusForegroundApp(ForegroundBackend::kKWin, std::move(on_change)),
        trusted_(std::move(trusted)) {
    Start();
  }
  ~KWinForegroundApp() override {
    Stop();
    RemoveScriptFile();  // the thread has ended: its members are ours now
  }

 private:
  bool Attach() override {
    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Activated", "ss", "", &KWinForegroundApp::OnActivated,
                      SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};
    if (sd_bus_add_object_vtable(bus_, nullptr, kKWinReceiverPath, kKWinReceiverInterface, kVtable,
                                 this) < 0 ||
        WatchBusName(bus_, kKWinService, &KWinForegroundApp::OnOwnerChanged, this) < 0) {
      PublishStatus(ForegroundProblem::kNoSessionBus, "cannot listen on the session bus");
      return false;
    }
    if (const std::optional<std::string> owner = BusNameOwner(bus_, kKWinService)) {
      Load(*owner);
    } else {
      PublishStatus(ForegroundProblem::kNoScripting, "KWin is not on the session bus");
    }
    return true;
  }

  void Detach() override { Unload(); }

  void DeadlinePassed() override {
    PublishStatus(ForegroundProblem::kNoScripting,
                  "KWin loaded the script but it never reported the active window");
  }

  // Hands the script, with our names filled in, to the KWin instance `owner`.
  void Load(const std::string& owner) {
    kwin_owner_.clear();
    reported_ = false;
    deadline_.reset();
    // Any program of the user may take the name while KWin is away: it gets neither our
    // script nor a hearing.
    std::string why;
    if (!IsTrustedBusPeer(bus_, kKWinService, owner, trusted_, why)) {
      return PublishStatus(ForegroundProblem::kUntrustedPeer, why);
    }
    kwin_owner_ = owner;
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus_, &unique) < 0 || unique == nullptr ||
        !WriteScriptFile(unique)) {
      return PublishStatus(ForegroundProblem::kNoScripting, "cannot write the KWin script file");
    }
    Unload();  // a copy left behind by a run that ended without stopping
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int result =
        sd_bus_call_method(bus_, kKWinService, kScriptingPath, kScriptingInterface, "loadScript",
                           &error, &reply, "ss", script_file_.c_str(), kKWinPluginName);
    std::int32_t id = -1;
    if (result >= 0) result = sd_bus_message_read(reply, "i", &id);
    sd_bus_message_unref(reply);
    if (result < 0 || id < 0) {
      const std::string text = result < 0 ? BusErrorText(error, result) : "it refused the script";
      sd_bus_error_free(&error);
      return PublishStatus(ForegroundProblem::kNoScripting,
                           "KWin did not load the script: " + text);
    }
    // KWin 5.27 and 6 publish a loaded script under /Scripting/Script<id>, older ones under /<id>.
    for (const std::string& script_path :
         {"/Scripting/Script" + std::to_string(id), "/" + std::to_string(id)}) {
      sd_bus_error_free(&error);
      result = sd_bus_call_method(bus_, kKWinService, script_path.c_str(), "org.kde.kwin.Script",
                                  "run", &error, nullptr, "");
      if (result >= 0) break;
    }
    if (result < 0) {
      const std::string text = BusErrorText(error, result);
      sd_bus_error_free(&error);
      return PublishStatus(ForegroundProblem::kNoScripting, "KWin did not run the script: " + text);
    }
    if (!reported_) deadline_ = std::chrono::steady_clock::now() + kFirstReportWait;
  }

  void Unload() {
    if (kwin_owner_.empty()) return;
    sd_bus_call_method(bus_, kKWinService, kScriptingPath, kScriptingInterface, "unloadScript",
                       nullptr, nullptr, "s", kKWinPluginName);
  }

  bool WriteScriptFile(const char* unique_name) {
    if (script_file_.empty()) {
      const std::filesystem::path folder =
          EnvironmentValue("XDG_RUNTIME_DIR").value_or(std::filesystem::temp_directory_path());
      std::string pattern = (folder / "z900-kwin-XXXXXX.js").string();
      const int fd = ::mkstemps(pattern.data(), 3);
      if (fd < 0) return false;
      ::close(fd);
      script_file_ = pattern;
    }
    std::string script = Replace(kKWinScript, "@SERVICE@", unique_name);
    script = Replace(std::move(script), "@PATH@", kKWinReceiverPath);
    script = Replace(std::move(script), "@INTERFACE@", kKWinReceiverInterface);
    return !WriteFileAtomically(
        script_file_, {reinterpret_cast<const std::uint8_t*>(script.data()), script.size()});
  }

  void RemoveScriptFile() {
    if (script_file_.empty()) return;
    std::error_code error;
    std::filesystem::remove(script_file_, error);
  }

  static int OnActivated(sd_bus_message* message, void* data, sd_bus_error* error) {
    auto* self = static_cast<KWinForegroundApp*>(data);
    const char* sender = sd_bus_message_get_sender(message);
    if (sender == nullptr || self->kwin_owner_ != sender) {
      return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "only KWin reports activations");
    }
    const char* pid = nullptr;
    const char* window_class = nullptr;
    const int result = sd_bus_message_read(message, "ss", &pid, &window_class);
    if (result < 0) return result;
    if (!self->reported_) {  // the status first, as the program is to be trusted with it
      self->reported_ = true;
      self->deadline_.reset();
      self->PublishStatus(ForegroundProblem::kNone);
    }
    self->PublishProgram(ProcessProgramNames(ParseProcessId(pid), window_class));
    return sd_bus_reply_method_return(message, "");
  }

  static int OnOwnerChanged(sd_bus_message* message, void* data, sd_bus_error* /*error*/) {
    auto* self = static_cast<KWinForegroundApp*>(data);
    const std::optional<std::string> owner = NewOwnerOf(message);
    if (!owner) return 0;
    self->PublishProgram(kUnknownProgram);
    if (owner->empty()) {
      self->kwin_owner_.clear();
      self->deadline_.reset();
      self->PublishStatus(ForegroundProblem::kConnectionLost, "KWin left the session bus");
    } else {
      self->PublishStatus(ForegroundProblem::kStarting);
      self->Load(*owner);
    }
    return 0;
  }

  const TrustedBusPeer trusted_;
  // Only on the bus thread.
  std::string kwin_owner_;  // KWin's unique name: the only sender we take reports from
  std::string script_file_;
  bool reported_ = false;
};

}  // namespace

std::unique_ptr<ForegroundApp> CreateKWinForegroundApp(ForegroundChangeHandler on_change) {
  return CreateKWinForegroundApp(std::move(on_change), KWinPeer());
}

std::unique_ptr<ForegroundApp> CreateKWinForegroundApp(ForegroundChangeHandler on_change,
                                                       TrustedBusPeer trusted) {
  return std::make_unique<KWinForegroundApp>(std::move(on_change), std::move(trusted));
}

}  // namespace z900::platform
