#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "device/hid_channel.h"

// The five commands of the mouse, each one output report and, for most, an acknowledgement.
namespace z900::device {

// Asks for the active onboard mode and stores the answer in current_mode; on failure
// current_mode keeps its value.
bool QueryMode(HidChannel& channel, const DeviceHandle& handle, int& current_mode);

// The firmware number, one byte (12 reads as 1.2).
std::optional<std::uint8_t> QueryFirmwareVersion(HidChannel& channel, const DeviceHandle& handle);

// The four bytes at address … address+3 as a little-endian value; refused from 0x10000 up.
std::optional<std::uint32_t> ReadMemory(HidChannel& channel, const DeviceHandle& handle,
                                        std::uint32_t address);

// Writes a device code into a button's slot of the mode named by current_mode.
bool WriteButtonSlot(HidChannel& channel, const DeviceHandle& handle, int current_mode, int button,
                     std::uint32_t code);

// Sets the length field of macro slot 0 … 13 to zero.
bool ClearMacroSlot(HidChannel& channel, const DeviceHandle& handle, int slot);

// Writes data at address in chunks of 24 bytes and a shorter tail; `written` hears the bytes
// written so far after each acknowledged chunk.
bool WriteMemoryBlock(HidChannel& channel, const DeviceHandle& handle, std::uint32_t address,
                      std::span<const std::uint8_t> data,
                      const std::function<void(std::size_t written)>& written = {});

// Command 0xA6 with one value byte, acknowledged.
bool SendSetting(HidChannel& channel, const DeviceHandle& handle, std::uint8_t setting,
                 std::uint8_t value);

// Payload of the DPI stage command for a mode: 1 … 4 stage indexes (0 … 3), in order.
std::optional<std::array<std::uint8_t, 8>> BuildDpiStageCommand(
    int mode, std::span<const std::uint8_t> stage_indexes);

// Payload of the report-rate command carrying the codes of both modes.
std::array<std::uint8_t, 4> BuildReportRateCommand(std::uint8_t mode0_code,
                                                   std::uint8_t mode1_code);

}  // namespace z900::device
