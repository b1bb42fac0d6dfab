#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

namespace z900::platform {

// The channel of the virtual input driver: a device that takes control requests and, once the
// utility is registered, counts one release of its semaphore per pending event and hands the
// events out one read at a time.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Opens the driver device; false when it is not there.
  virtual bool OpenDevice() = 0;
  virtual void CloseDevice() = 0;
  // A control request: the 172-byte control record.
  virtual bool Control(std::span<const std::uint8_t> record) = 0;
  // Reads one event into the 60-byte event buffer, which carries the last read's bytes in.
  virtual bool ReadEvent(std::span<std::uint8_t> buffer) = 0;
  // Blocks until the semaphore has a count, and takes it.
  virtual void WaitForEvent() = 0;
  // Releases the semaphore once from the utility's side (to wake the reader at shut-down).
  virtual void ReleaseWaiter() = 0;
  // The value passed to the driver as the semaphore handle.
  virtual std::uint32_t semaphore_handle() const = 0;
};

// The semaphore and event queue every source shares. Words arrive through Deliver (from any
// thread) or, for sources with an origin to watch, through Poll on the waiting reader thread.
class QueuedEventSource : public EventSource {
 public:
  static constexpr std::size_t kMaxPending = 8000;  // the semaphore's maximum count
  static constexpr std::uint32_t kPollIntervalMs = 50;

  bool ReadEvent(std::span<std::uint8_t> buffer) override;
  void WaitForEvent() override;
  void ReleaseWaiter() override;
  std::uint32_t semaphore_handle() const override { return 1; }

  // Queues one event word and releases the semaphore once; false when it is full.
  bool Deliver(std::uint32_t word);
  // Takes back the queued words that no read has taken yet, oldest first; for when the reader
  // has stopped and they would otherwise be lost.
  std::vector<std::uint32_t> TakeUnread();

 protected:
  // True for sources that must watch an origin (a device, a file) while the reader waits.
  virtual bool HasOrigin() const { return false; }
  // Waits up to timeout_ms for new event words of the origin; runs on the reader thread.
  virtual std::vector<std::uint32_t> Poll(std::uint32_t timeout_ms);

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::size_t count_ = 0;
  std::deque<std::uint32_t> words_;
};

}  // namespace z900::platform
