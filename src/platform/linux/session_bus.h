#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foreground_app.h"
#include "platform/linux/event_thread.h"
#include "platform/linux/foreground_backends.h"

// What the D-Bus back-ends share: one sd-bus connection per back-end thread, used only there.
namespace z900::platform {

struct BusDeleter {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;

// The session bus (DBUS_SESSION_BUS_ADDRESS, else the user's bus), with calls that give up after
// a few seconds; nullptr with the reason in `why`.
BusPtr OpenSessionBus(std::string& why);

// The unique name that owns a bus name now, or nullopt.
std::optional<std::string> BusNameOwner(sd_bus* bus, const char* name);

// The process id of the connection with a unique name, as the bus daemon saw it connect.
std::optional<std::uint32_t> BusPeerProcess(sd_bus* bus, const std::string& unique);

// Whether the connection `unique` that holds the desktop's name `name` is the program `trusted`
// names; when not, `why` is the line that says who holds it instead.
bool IsTrustedBusPeer(sd_bus* bus, const char* name, const std::string& unique,
                      const TrustedBusPeer& trusted, std::string& why);

// Installs a match for NameOwnerChanged of one bus name.
int WatchBusName(sd_bus* bus, const char* name, sd_bus_message_handler_t handler, void* data);

// The new owner from a NameOwnerChanged signal (empty when the name was released).
std::optional<std::string> NewOwnerOf(sd_bus_message* message);

// Handles the bus's messages until the thread is told to stop (true) or the connection ends
// (false). `deadline`, when set, is checked after every wake-up; `on_deadline` runs once it has
// passed and may set a new one.
using BusDeadline = std::optional<std::chrono::steady_clock::time_point>;
bool RunBusLoop(sd_bus* bus, const EventThread& thread, BusDeadline& deadline,
                const std::function<void()>& on_deadline);

// The text of a failed call's error.
std::string BusErrorText(const sd_bus_error& error, int result);

// A foreground back-end whose news comes over the session bus, handled on a thread of its own
// that alone uses the connection.
class BusForegroundApp : public QueuedForegroundApp {
 protected:
  using QueuedForegroundApp::QueuedForegroundApp;
  // From the derived constructor, once its members exist; Stop from its destructor, before they
  // go away.
  void Start();
  void Stop() { thread_.Stop(); }

  // On the bus thread, with bus_ set: installs objects and matches and asks what it needs; false
  // when that failed (and said so) and the thread is to end.
  virtual bool Attach() = 0;
  // On the bus thread once Stop was called, the connection still open.
  virtual void Detach() {}
  // On the bus thread once deadline_ has passed.
  virtual void DeadlinePassed() {}

  // Only on the bus thread.
  sd_bus* bus_ = nullptr;
  BusDeadline deadline_;

 private:
  void Run();
  EventThread thread_;
};

}  // namespace z900::platform
