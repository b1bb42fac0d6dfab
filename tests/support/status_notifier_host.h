#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/bus_peer.h"

namespace z900::test {

// A desktop that shows tray icons as StatusNotifier items, on the session bus of this process
// (DBUS_SESSION_BUS_ADDRESS): the item watcher with a host registered, and the desktop's
// notifications, both on one connection of its own.
class StatusNotifierHost {
 public:
  StatusNotifierHost();

  // The bus name of the first item registered, waiting at most `patience` for it.
  std::optional<std::string> WaitForItem(std::chrono::milliseconds patience);
  // Calls a method of the item's with two integers (Activate, ContextMenu, SecondaryActivate)
  // and waits for its answer; false when it failed.
  bool CallItem(const std::string& item, const char* method, int x, int y);
  // Asks the item for a property and waits for the answer; returns whether a notification had
  // come before it. The notification is sent before that answer when it is sent at once.
  bool NotifiedBeforeAnAnswerOfTheItem(const std::string& item);
  // The summaries of the notifications shown so far.
  std::vector<std::string> notifications();

 private:
  struct Calls;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> items_;          // guarded by mutex_
  std::vector<std::string> notifications_;  // guarded by mutex_
  std::optional<bool> notified_before_answer_;  // guarded by mutex_
  BusPeer peer_;                            // last: its thread stops before the rest goes
};

}  // namespace z900::test
