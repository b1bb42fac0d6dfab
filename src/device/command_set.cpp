#include "device/command_set.h"

#include <algorithm>

#include "device/memory_map.h"

namespace z900::device {
namespace {

using Buffer = std::array<std::uint8_t, kReportSize>;

void PutAddress(Buffer& buffer, std::size_t at, std::uint32_t address) {
  buffer[at] = static_cast<std::uint8_t>(address >> 24);
  buffer[at + 1] = static_cast<std::uint8_t>(address >> 16);
  buffer[at + 2] = static_cast<std::uint8_t>(address >> 8);
  buffer[at + 3] = static_cast<std::uint8_t>(address);
}

// Sends the first `length` bytes of the buffer and waits for their acknowledgement.
bool SendAndAwait(HidChannel& channel, const DeviceHandle& handle, Buffer& buffer,
                  std::size_t length, std::size_t k, std::uint32_t wait_ms) {
  if (!channel.SendReport(std::span(buffer).first(length), handle)) return false;
  return channel.AwaitAck(buffer, k, wait_ms, handle);
}

// One A5 report: address, length byte, data. A full chunk goes out as the whole payload of 31
// bytes (its last byte 0), a shorter write as 6 bytes plus its data.
bool WriteChunk(HidChannel& channel, const DeviceHandle& handle, std::uint32_t address,
                std::span<const std::uint8_t> data, std::uint32_t wait_ms) {
  Buffer buffer{};
  buffer[0] = kCmdWriteMemory;
  PutAddress(buffer, 1, address);
  buffer[5] = static_cast<std::uint8_t>(data.size());
  std::copy(data.begin(), data.end(), buffer.begin() + 6);
  const std::size_t length = data.size() == kWriteChunk ? kMaxPayload : 6 + data.size();
  return SendAndAwait(channel, handle, buffer, length, 1, wait_ms);
}

// A2 and A3: one code byte, answer byte 1.
std::optional<std::uint8_t> QueryByte(HidChannel& channel, const DeviceHandle& handle,
                                      std::uint8_t code) {
  Buffer buffer{code};
  if (!SendAndAwait(channel, handle, buffer, 1, 2, 0)) return std::nullopt;
  return buffer[1];
}

}  // namespace

bool QueryMode(HidChannel& channel, const DeviceHandle& handle, int& current_mode) {
  const std::optional<std::uint8_t> mode = QueryByte(channel, handle, kCmdQueryMode);
  if (!mode) return false;
  current_mode = *mode;
  return true;
}

std::optional<std::uint8_t> QueryFirmwareVersion(HidChannel& channel, const DeviceHandle& handle) {
  return QueryByte(channel, handle, kCmdQueryFirmware);
}

std::optional<std::uint32_t> ReadMemory(HidChannel& channel, const DeviceHandle& handle,
                                        std::uint32_t address) {
  if (address >= kMemorySize) return std::nullopt;
  Buffer buffer{kCmdReadMemory};
  PutAddress(buffer, 1, address);
  buffer[5] = 4;
  if (!SendAndAwait(channel, handle, buffer, 6, 5, 0)) return std::nullopt;
  return static_cast<std::uint32_t>(buffer[1]) | static_cast<std::uint32_t>(buffer[2]) << 8 |
         static_cast<std::uint32_t>(buffer[3]) << 16 | static_cast<std::uint32_t>(buffer[4]) << 24;
}

bool WriteButtonSlot(HidChannel& channel, const DeviceHandle& handle, int current_mode, int button,
                     std::uint32_t code) {
  const std::optional<std::uint32_t> address = ButtonSlotAddress(current_mode, button);
  if (!address) return false;
  const std::array<std::uint8_t, 4> bytes = {
      static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8),
      static_cast<std::uint8_t>(code >> 16), static_cast<std::uint8_t>(code >> 24)};
  return WriteChunk(channel, handle, *address, bytes, kSlotWriteWaitMs);
}

bool ClearMacroSlot(HidChannel& channel, const DeviceHandle& handle, int slot) {
  if (slot < 0 || slot >= kMacroSlotCount) return false;
  const std::array<std::uint8_t, 2> zero_length{};
  return WriteChunk(channel, handle, MacroSlotAddress(slot), zero_length, kSlotClearWaitMs);
}

bool WriteMemoryBlock(HidChannel& channel, const DeviceHandle& handle, std::uint32_t address,
                      std::span<const std::uint8_t> data,
                      const std::function<void(std::size_t written)>& written) {
  if (data.empty()) return false;
  if (address < 0x1000 && data.size() % 4 != 0) return false;
  if (static_cast<std::uint64_t>(address) + data.size() >= kMemorySize) return false;
  const std::size_t total = data.size();
  while (data.size() >= kWriteChunk) {
    if (!WriteChunk(channel, handle, address, data.first(kWriteChunk), kChunkWriteWaitMs)) {
      return false;
    }
    address += kWriteChunk;
    data = data.subspan(kWriteChunk);
    if (written) written(total - data.size());
  }
  if (data.empty()) return true;
  if (!WriteChunk(channel, handle, address, data, TailWriteWaitMs(data.size()))) return false;
  if (written) written(total);
  return true;
}

bool SendSetting(HidChannel& channel, const DeviceHandle& handle, std::uint8_t setting,
                 std::uint8_t value) {
  Buffer buffer{kCmdSetting, setting, value};
  return SendAndAwait(channel, handle, buffer, 3, 1, 0);
}

std::optional<std::array<std::uint8_t, 8>> BuildDpiStageCommand(
    int mode, std::span<const std::uint8_t> stage_indexes) {
  if (mode < 0 || mode >= kModeCount || stage_indexes.empty() ||
      stage_indexes.size() > kMaxDpiStages) {
    return std::nullopt;
  }
  if (std::any_of(stage_indexes.begin(), stage_indexes.end(),
                  [](std::uint8_t index) { return index >= kDpiStageValues.size(); })) {
    return std::nullopt;
  }
  std::array<std::uint8_t, 8> payload{kCmdSetting, mode == 0 ? kSettingDpiMode0 : kSettingDpiMode1};
  payload[2] = static_cast<std::uint8_t>(stage_indexes.size() * 16 + stage_indexes[0]);
  std::copy(stage_indexes.begin() + 1, stage_indexes.end(), payload.begin() + 3);
  return payload;
}

std::array<std::uint8_t, 4> BuildReportRateCommand(std::uint8_t mode0_code,
                                                   std::uint8_t mode1_code) {
  return {kCmdSetting, kSettingReportRate, mode0_code, mode1_code};
}

}  // namespace z900::device
