#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace z900::platform {

// What a failed look-up of the foreground program yields; never equal to a stored name.
inline constexpr char16_t kUnknownProgram[] = u"Unknow";

// Every name the program of the foreground window goes by. A profile's program matches when it
// equals one of them, code unit by code unit.
struct ForegroundProgram {
  // The file name of its executable; the app id or window class when its process cannot be
  // read; "Unknow" when nothing is known.
  std::u16string name = kUnknownProgram;
  // What else the running program shows of itself: its process name (comm), the file name it
  // was started as (argv[0]), the script an interpreter runs (as started and with its links
  // followed), and the window's class, instance name or app id. Without `name` and repeats.
  std::vector<std::u16string> other_names;

  bool Matches(std::u16string_view program) const;
  friend bool operator==(const ForegroundProgram&, const ForegroundProgram&) = default;
};

// The name a program chosen by its path will be seen as in the foreground, to be stored in its
// profile: the executable its links lead to; for a script, the script (an interpreter running it
// shows its name); for a shell script that starts another program, the window class of the
// desktop entry that starts it, or that entry's name (the app id). The chosen file's own name
// when it cannot be read. Reads files only; never runs anything (see docs/foreground.md).
std::u16string ProgramSeenAs(const std::filesystem::path& chosen);

// How the foreground program is found.
enum class ForegroundBackend : std::uint8_t {
  kNone,        // nothing can be asked
  kX11,         // the X server's active window (on Wayland: XWayland windows only)
  kWlroots,     // the wlroots foreign-toplevel protocol (sway, Hyprland, …)
  kKWin,        // a KWin script reporting activations on the session bus
  kGnomeShell,  // our GNOME Shell extension on the session bus
  kWindows,     // Windows' foreground window events
};

// Why the foreground program cannot be seen, or kNone when it can.
enum class ForegroundProblem : std::uint8_t {
  kNone,
  kStarting,             // the back-end is still connecting
  kNoDesktop,            // neither a Wayland compositor nor an X server to ask
  kNoProtocol,           // the compositor offers no foreign-toplevel protocol
  kNoSessionBus,         // the D-Bus session bus cannot be reached
  kNoScripting,          // KWin refused or lacks its scripting interface
  kExtensionNotEnabled,  // the GNOME Shell extension is not running
  kConnectionLost,       // the compositor or the bus went away
  kUntrustedPeer,        // another program holds the desktop's bus name; it is not believed
};

// What the back-end can see: shown beside the switch box and written to the log.
struct ForegroundStatus {
  ForegroundBackend backend = ForegroundBackend::kNone;
  ForegroundProblem problem = ForegroundProblem::kStarting;
  // The desktop's own back-end failed and only XWayland windows are seen, through X11.
  bool xwayland_only = false;
  // One line of English for the log and the tooltip: what is wrong and how to mend it.
  std::string detail;

  bool SeesForeground() const { return problem == ForegroundProblem::kNone; }
  friend bool operator==(const ForegroundStatus&, const ForegroundStatus&) = default;
};

// "wlroots foreign-toplevel protocol", "KWin script", … for the log and the tooltip.
const char* ForegroundBackendName(ForegroundBackend backend);
// The status as one line: what follows the foreground, or why nothing does.
std::string DescribeForegroundStatus(const ForegroundStatus& status);

// Called on a back-end's own thread whenever the foreground program or the status changed. It
// must only hand the news over to the owner's thread (post an event, write an eventfd); the
// owner then asks ForegroundProgramName and BackendStatus there.
using ForegroundChangeHandler = std::function<void()>;

// The program that owns the foreground window. All calls come from one thread, the owner's.
class ForegroundApp {
 public:
  virtual ~ForegroundApp() = default;
  // The file name (without folder) of the foreground window's executable; the app id or window
  // class when the process cannot be found; "Unknow" when nothing is known.
  virtual std::u16string ForegroundProgramName() = 0;
  // The same with the other names the program shows; by default the name alone.
  virtual ForegroundProgram ForegroundProgramNames() { return {ForegroundProgramName(), {}}; }
  virtual ForegroundStatus BackendStatus() = 0;
  // True while changes are announced through the change handler and ForegroundProgramName only
  // returns what the last announcement brought (no system call per check); false while every
  // call asks the system, so the owner checks on a timer.
  virtual bool IsEventDriven() = 0;
};

// Base of the back-ends that learn of changes on a thread of their own: that thread publishes,
// the owner's calls take the news out of a queue, and the handler is told after each publish.
class QueuedForegroundApp : public ForegroundApp {
 public:
  std::u16string ForegroundProgramName() override;
  ForegroundProgram ForegroundProgramNames() override;
  ForegroundStatus BackendStatus() override;
  bool IsEventDriven() override { return true; }

 protected:
  QueuedForegroundApp(ForegroundBackend backend, ForegroundChangeHandler on_change);
  // From the back-end's thread; a repeat of the last published value is dropped.
  void PublishProgram(ForegroundProgram program);
  void PublishProgram(std::u16string name) { PublishProgram(ForegroundProgram{std::move(name)}); }
  void PublishStatus(ForegroundProblem problem, std::string detail = {});

 private:
  struct Update {
    bool is_status = false;
    ForegroundProgram program;
    ForegroundStatus status;
  };
  void Publish(Update update);
  void TakeUpdates();

  const ForegroundBackend backend_;
  const ForegroundChangeHandler on_change_;
  std::mutex mutex_;
  std::deque<Update> updates_;  // guarded by mutex_
  // Only on the back-end's thread.
  ForegroundProgram published_program_;
  ForegroundStatus published_status_;
  // Only on the owner's thread.
  ForegroundProgram program_;
  ForegroundStatus status_;
};

// The foreground look-up for this session (see docs/foreground.md): the desktop's own back-end
// when there is one, X11 otherwise and as the fallback for XWayland windows. The handler may
// be empty.
std::unique_ptr<ForegroundApp> CreateSystemForegroundApp(ForegroundChangeHandler on_change = {});

}  // namespace z900::platform
