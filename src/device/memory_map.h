#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The mouse's memory as the utility uses it, and the codes of its short setting commands.
namespace z900::device {

inline constexpr std::uint32_t kMemorySize = 0x10000;
inline constexpr std::uint32_t kReportRateAddress = 0x14;  // mode 0; mode 1 at 0x15
inline constexpr std::uint32_t kFirmwareAddress = 0x18;    // 32-bit firmware number
inline constexpr std::array<std::uint32_t, 2> kButtonSlotBase = {0x400, 0x600};
inline constexpr int kModeCount = 2;
inline constexpr int kFirstButton = 1;
inline constexpr int kLastSlotButton = 9;  // button 9 has a slot but is never written
inline constexpr int kMacroSlotCount = 14;
inline constexpr std::uint32_t kMacroSlotSize = 0x1000;

// Slot offset of buttons 1 … 9; buttons 5 and 6 are crossed.
inline constexpr std::array<std::uint32_t, 9> kButtonSlotTable = {0x00, 0x04, 0x08, 0x10, 0x18,
                                                                  0x14, 0x24, 0x28, 0x0C};

// Address of a button's slot, or nullopt for a mode or button outside the table.
constexpr std::optional<std::uint32_t> ButtonSlotAddress(int mode, int button) {
  if (mode < 0 || mode >= kModeCount || button < kFirstButton || button > kLastSlotButton) {
    return std::nullopt;
  }
  return kButtonSlotBase[static_cast<std::size_t>(mode)] +
         kButtonSlotTable[static_cast<std::size_t>(button - 1)];
}

// Macro slot n (0 … 13) lies at (n + 1) × 0x1000.
constexpr std::uint32_t MacroSlotAddress(int slot) {
  return static_cast<std::uint32_t>(slot + 1) * kMacroSlotSize;
}

// Command codes, byte 1 of an output report.
inline constexpr std::uint8_t kCmdQueryMode = 0xA2;
inline constexpr std::uint8_t kCmdQueryFirmware = 0xA3;
inline constexpr std::uint8_t kCmdReadMemory = 0xA4;
inline constexpr std::uint8_t kCmdWriteMemory = 0xA5;
inline constexpr std::uint8_t kCmdSetting = 0xA6;

// Setting bytes of command 0xA6.
inline constexpr std::uint8_t kSettingDpiMode0 = 2;
inline constexpr std::uint8_t kSettingReportRate = 3;
inline constexpr std::uint8_t kSettingLightingMode0 = 4;
inline constexpr std::uint8_t kSettingDpiMode1 = 5;
inline constexpr std::uint8_t kSettingLightingMode1 = 6;

// Report-rate codes: the polling interval in milliseconds.
inline constexpr std::uint8_t kRate1000Hz = 1;
inline constexpr std::uint8_t kRate500Hz = 2;
inline constexpr std::uint8_t kRate125Hz = 8;

// DPI stage indexes 0 … 3.
inline constexpr std::array<int, 4> kDpiStageValues = {800, 1600, 3200, 4000};
inline constexpr int kMaxDpiStages = 4;

// Largest block of data one write report carries.
inline constexpr std::size_t kWriteChunk = 24;

// Initial acknowledgement waits in milliseconds.
inline constexpr std::uint32_t kSlotWriteWaitMs = 50;
inline constexpr std::uint32_t kSlotClearWaitMs = 40;
inline constexpr std::uint32_t kChunkWriteWaitMs = 120;
// Wait after a short tail of r bytes.
constexpr std::uint32_t TailWriteWaitMs(std::size_t r) {
  return static_cast<std::uint32_t>(5 * r + 30);
}

}  // namespace z900::device
