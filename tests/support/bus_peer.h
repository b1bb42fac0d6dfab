#pragma once

#include <systemd/sd-bus.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

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
