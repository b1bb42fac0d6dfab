#include "device/event_channel.h"

#include "device/driver_records.h"

namespace z900::device {

EventChannel::~EventChannel() { ShutDown(); }

int EventChannel::StartEventChannel(PostEvent post) {
  if (reader_.joinable()) return 1;
  post_ = std::move(post);
  stop_ = false;
  reader_ = std::thread([this] { EventReaderThread(); });
  return 1;
}

int EventChannel::RegisterWithDriver() {
  if (device_open_) {
    device_open_ = false;
    source_.CloseDevice();
  }
  if (!source_.OpenDevice()) return 0;
  device_open_ = true;
  const auto record = RecordBytes(MakeControlRecord(kRequestRegister, source_.semaphore_handle()));
  if (source_.Control(record)) return 1;
  device_open_ = false;
  source_.CloseDevice();
  return 0;
}

int EventChannel::SendDriverSetting() {
  return source_.Control(RecordBytes(MakeControlRecord(kRequestSetting))) ? 1 : 0;
}

int EventChannel::UnregisterFromDriver() {
  if (device_open_) {
    source_.Control(RecordBytes(MakeControlRecord(kRequestUnregister)));
    device_open_ = false;
    source_.CloseDevice();
  }
  return 1;
}

bool EventChannel::RegistrationTick() {
  return RegisterWithDriver() == 1 && device_open_ && SendDriverSetting() == 1;
}

void EventChannel::ShutDown() {
  UnregisterFromDriver();
  if (!reader_.joinable()) return;
  stop_ = true;
  source_.ReleaseWaiter();
  // The reader wakes from the one release, finds no handle and ends; waiting for it keeps the
  // channel from going away under a running thread.
  reader_.join();
}

void EventChannel::EventReaderThread() {
  DriverEventBuffer buffer = MakeEventBuffer();
  if (stop_) return;
  do {
    source_.WaitForEvent();
    if (device_open_) {
      std::array<std::uint8_t, sizeof buffer> bytes = RecordBytes(buffer);
      if (source_.ReadEvent(bytes)) {
        std::memcpy(&buffer, bytes.data(), sizeof buffer);
        if (post_) post_(buffer.event_word);
      }
    }
  } while (!stop_);
}

void EventQueue::Push(std::uint32_t word) {
  {
    std::lock_guard lock(mutex_);
    words_.push_back(word);
  }
  arrived_.notify_all();
}

std::optional<std::uint32_t> EventQueue::Take(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!arrived_.wait_for(lock, timeout, [&] { return !words_.empty(); })) return std::nullopt;
  const std::uint32_t word = words_.front();
  words_.pop_front();
  return word;
}

std::uint32_t EventQueue::Take() {
  std::unique_lock lock(mutex_);
  arrived_.wait(lock, [&] { return !words_.empty(); });
  const std::uint32_t word = words_.front();
  words_.pop_front();
  return word;
}

std::size_t EventQueue::size() {
  std::lock_guard lock(mutex_);
  return words_.size();
}

}  // namespace z900::device
