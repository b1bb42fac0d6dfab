#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/hid_backend.h"

// The two records exchanged with the virtual input driver.
namespace z900::device {

static_assert(std::endian::native == std::endian::little);

inline constexpr std::uint32_t kRequestRegister = 1;
inline constexpr std::uint32_t kRequestUnregister = 2;
inline constexpr std::uint32_t kRequestSetting = 32;
// The setting request carries the left-click device code.
inline constexpr std::uint32_t kDriverSettingValue = 0x00010003;

// Control codes: device type 0x22, buffered, any access; function 0x903 and 0x902.
inline constexpr std::uint32_t kIoctlControl = 0x22240C;
inline constexpr std::uint32_t kIoctlReadEvent = 0x222408;

// A control request to the driver: 172 bytes, every byte not named zero.
struct DriverControlRecord {
  std::uint32_t request_type;
  std::uint8_t reserved1[8];
  std::uint32_t setting_value;
  std::uint32_t setting_value2;
  std::uint8_t reserved2[88];
  std::uint16_t vendor_id;
  std::uint16_t product_id;
  std::uint8_t reserved3[52];
  std::uint32_t semaphore_handle;
  std::uint32_t reserved4;
};
static_assert(sizeof(DriverControlRecord) == 172);
static_assert(offsetof(DriverControlRecord, request_type) == 0);
static_assert(offsetof(DriverControlRecord, reserved1) == 4);
static_assert(offsetof(DriverControlRecord, setting_value) == 12);
static_assert(offsetof(DriverControlRecord, setting_value2) == 16);
static_assert(offsetof(DriverControlRecord, reserved2) == 20);
static_assert(offsetof(DriverControlRecord, vendor_id) == 108);
static_assert(offsetof(DriverControlRecord, product_id) == 110);
static_assert(offsetof(DriverControlRecord, reserved3) == 112);
static_assert(offsetof(DriverControlRecord, semaphore_handle) == 164);
static_assert(offsetof(DriverControlRecord, reserved4) == 168);

// The buffer of an event read: 60 bytes, passed in and out of every read.
struct DriverEventBuffer {
  std::uint32_t event_word;
  std::uint16_t vendor_id;
  std::uint16_t product_id;
  std::uint8_t reserved[52];
};
static_assert(sizeof(DriverEventBuffer) == 60);
static_assert(offsetof(DriverEventBuffer, event_word) == 0);
static_assert(offsetof(DriverEventBuffer, vendor_id) == 4);
static_assert(offsetof(DriverEventBuffer, product_id) == 6);
static_assert(offsetof(DriverEventBuffer, reserved) == 8);

// A control record of the given type with the mouse's IDs; the semaphore goes only into a
// registration, the setting value only into a setting request.
inline DriverControlRecord MakeControlRecord(std::uint32_t request_type,
                                             std::uint32_t semaphore_handle = 0) {
  DriverControlRecord record{};
  record.request_type = request_type;
  record.vendor_id = platform::kMouseVendorId;
  record.product_id = platform::kMouseProductId;
  if (request_type == kRequestRegister) record.semaphore_handle = semaphore_handle;
  if (request_type == kRequestSetting) record.setting_value = kDriverSettingValue;
  return record;
}

// The event buffer as the reader prepares it before its first read.
inline DriverEventBuffer MakeEventBuffer() {
  DriverEventBuffer buffer{};
  buffer.vendor_id = platform::kMouseVendorId;
  buffer.product_id = platform::kMouseProductId;
  return buffer;
}

// How a driver answers a control request (a 172-byte record) while its device is open or not:
// registration and setting need the device, unregistration always succeeds, anything else
// (a wrong size, IDs or request type) is refused.
inline bool AcceptControlRequest(std::span<const std::uint8_t> record, bool device_open) {
  if (record.size() != sizeof(DriverControlRecord)) return false;
  DriverControlRecord control{};
  std::memcpy(&control, record.data(), sizeof control);
  if (control.vendor_id != platform::kMouseVendorId ||
      control.product_id != platform::kMouseProductId) {
    return false;
  }
  switch (control.request_type) {
    case kRequestRegister:
    case kRequestSetting:
      return device_open;
    case kRequestUnregister:
      return true;
    default:
      return false;
  }
}

template <typename Record>
std::array<std::uint8_t, sizeof(Record)> RecordBytes(const Record& record) {
  std::array<std::uint8_t, sizeof(Record)> bytes{};
  std::memcpy(bytes.data(), &record, sizeof(Record));
  return bytes;
}

}  // namespace z900::device
