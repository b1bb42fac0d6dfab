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

}  // namespace z900::device
