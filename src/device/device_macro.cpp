#include "device/device_macro.h"

#include <algorithm>

#include "device/key_usage_table.h"
#include "platform/byte_order.h"

namespace z900::device {

using platform::LoadLe32;
using platform::StoreLe16;

EncodeResult EncodeMacro(std::span<const std::uint8_t> record, DeviceMacro& out) {
  EncodeResult result;
  auto fail = [&](EncodeError error) {
    result.error = error;
    return result;
  };
  if (record.size() < kMacroEventsOffset) return fail(EncodeError::kTruncated);
  if (LoadLe32(record, kMacroMagicOffset) != kMacroRecordMagic) {
    return fail(EncodeError::kNotAMacroRecord);
  }
  const std::uint32_t event_count = LoadLe32(record, kMacroEventCountOffset);
  if (event_count > (record.size() - kMacroEventsOffset) / 4) {
    result.event_index = (record.size() - kMacroEventsOffset) / 4;
    return fail(EncodeError::kTruncated);
  }

  std::fill(out.bytes.begin(), out.bytes.end(), std::uint8_t{0});
  std::span<std::uint8_t> block(out.bytes);
  StoreLe16(block, 2, static_cast<std::uint16_t>(LoadLe32(record, kMacroLoopCountOffset)));
  std::size_t key_events = 0;
  for (std::size_t i = 0; i < event_count; ++i) {
    const std::uint32_t word = LoadLe32(record, kMacroEventsOffset + 4 * i);
    const auto kind = static_cast<std::uint8_t>(word >> 24);
    const std::uint32_t value = word & 0xFFFFFF;
    result.event_index = i;
    result.event = word;
    if (kind == kMacroKeyDown || kind == kMacroKeyUp) {
      const std::uint8_t usage = UsageOfVirtualKey(value);
      if (usage == 0) return fail(EncodeError::kKeyNotEncodable);
      const std::size_t slot = 4 + 3 * key_events;
      StoreLe16(block, slot, kind == kMacroKeyDown ? 1 : 0);
      block[slot + 2] = usage;
      ++key_events;
    } else if (kind == kMacroDelay) {
      if (key_events == 0) continue;  // nothing to pause after yet
      std::uint32_t units = value / 10;
      if (units > kMaxPauseUnits) {
        units = kMaxPauseUnits;
        ++result.capped_pauses;
      }
      const std::size_t slot = 4 + 3 * (key_events - 1);
      const auto press = static_cast<std::uint16_t>(block[slot] & 1);
      StoreLe16(block, slot, static_cast<std::uint16_t>(units << 1 | press));
    } else {
      return fail(EncodeError::kUnknownEventKind);
    }
    if (key_events > kMaxDeviceKeyEvents) return fail(EncodeError::kTooManyKeyEvents);
  }
  StoreLe16(block, 0, static_cast<std::uint16_t>(4 + 3 * key_events));
  result.event_index = 0;
  result.event = 0;
  return result;
}

}  // namespace z900::device
