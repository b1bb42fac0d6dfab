#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/event_source.h"

namespace z900::device {

// The utility's side of the virtual driver: registration, a reader thread that takes one event
// per semaphore release, and hand-over of every event word to the ui thread.
class EventChannel {
 public:
  // Called on the reader thread with each event word; must hand it to the ui thread (a queued
  // call or a queue), never act on it there.
  using PostEvent = std::function<void(std::uint32_t word)>;

  explicit EventChannel(platform::EventSource& source) : source_(source) {}
  ~EventChannel();  // runs the shut-down sequence when it has not run
  EventChannel(const EventChannel&) = delete;
  EventChannel& operator=(const EventChannel&) = delete;

  // Sets the target and starts the reader thread. Returns 1.
  int StartEventChannel(PostEvent post);
  // Opens the driver (closing a handle left from an earlier attempt) and registers.
  int RegisterWithDriver();
  // Sends the setting request; its caller makes sure a handle is held.
  int SendDriverSetting();
  // Unregisters and closes the handle, when one is held. Returns 1.
  int UnregisterFromDriver();
  // The retry timer's tick: registration and setting; true when both succeeded, so the
  // caller stops its 1000 ms timer.
  bool RegistrationTick();
  // Unregisters, stops the reader and waits for it to end.
  void ShutDown();

  bool registered() const { return device_open_.load(); }

 private:
  void EventReaderThread();

  platform::EventSource& source_;
  PostEvent post_;  // written before the reader starts, read-only afterwards
  std::atomic<bool> device_open_{false};
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

// A hand-over queue for event words: the reader thread pushes, the thread that acts takes.
// For programs without a ui event loop (the cli) and for tests; the Qt ui posts a queued call.
class EventQueue {
 public:
  void Push(std::uint32_t word);
  // The oldest word, waiting up to `timeout` for one; nullopt when none came.
  std::optional<std::uint32_t> Take(std::chrono::milliseconds timeout);
  // The oldest word, waiting as long as it takes.
  std::uint32_t Take();
  std::size_t size();
  // A poster for StartEventChannel that pushes into this queue.
  EventChannel::PostEvent Poster() {
    return [this](std::uint32_t word) { Push(word); };
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::uint32_t> words_;
};

}  // namespace z900::device
