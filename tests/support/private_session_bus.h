#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "support/run_program.h"

namespace z900::test {

// Restores an environment variable at the end of a scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value);  // empty value: unset
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A private D-Bus session bus (dbus-daemon) for as long as the object lives;
// DBUS_SESSION_BUS_ADDRESS points at it meanwhile.
class PrivateSessionBus {
 public:
  PrivateSessionBus();
  ~PrivateSessionBus();
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

 private:
  std::unique_ptr<ChildProcess> daemon_;
  std::unique_ptr<ScopedVariable> address_;
};

// A connection to the session bus served on a thread of its own, playing another program's side
// (KWin, the shell extension). Everything that touches the connection runs on that thread.
class BusPeer {
 public:
  BusPeer();
  ~BusPeer();
  BusPeer(const BusPeer&) = delete;
  BusPeer& operator=(const BusPeer&) = delete;

  // Runs `task` on the peer's thread with its connection, and waits until it is done.
  void Do(const std::function<void(sd_bus*)>& task);
  std::string UniqueName();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace z900::test
