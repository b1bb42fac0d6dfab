#include "config/apply_to_mouse.h"

#include <algorithm>
#include <array>
#include <vector>

#include "config/function_catalogue.h"
#include "config/profiles.h"
#include "device/command_set.h"
#include "device/device_macro.h"
#include "device/memory_map.h"
#include "macro/macro_store.h"

namespace z900::config {
namespace {

constexpr std::uint32_t kProgressPauseMs = 700;

// The stage indexes of a mode's first `count` stages; empty when a value is not a DPI stage.
std::vector<std::uint8_t> StageIndexes(const SettingsRecord& record, int mode, int count) {
  std::vector<std::uint8_t> indexes;
  for (int i = 0; i < count; ++i) {
    const auto* found = std::find(device::kDpiStageValues.begin(), device::kDpiStageValues.end(),
                                  record.dpi_stages[mode][i]);
    if (found == device::kDpiStageValues.end()) return {};
    indexes.push_back(static_cast<std::uint8_t>(found - device::kDpiStageValues.begin()));
  }
  return indexes;
}

class Applier {
 public:
  Applier(AppContext& context, SettingsPageModel& page, ConfigPorts& ports, bool show_progress)
      : context_(context),
        page_(page),
        ports_(ports),
        show_progress_(show_progress),
        entry_(page.SelectedEntry(context.profiles)) {}

  ApplyReport Run() {
    platform::Clock& clock = ports_.channel.clock();
    const std::uint64_t start_ms = clock.NowMs();
    const int saved_mode = context_.current_mode;
    if (show_progress_) {
      ports_.ui.OpenProgress();
      ports_.ui.SetProgress(0);
    }
    for (int mode = 0; mode < kModeCount; ++mode) {
      context_.current_mode = mode;
      SendDpiStages(mode);
      Progress(10);
      for (int button = 1; button <= kButtonCount; ++button) {
        Progress(10 + 40 * mode + 5 * (button - 1));
        WriteButton(mode, button);
      }
      SendLighting(mode);
      SendReportRate(mode);
    }
    report_.table_stored = StoreProfileTable(context_, ports_.store);
    report_.save = SaveProfileFile(context_, page_, ports_);
    context_.current_mode = saved_mode;
    if (show_progress_) {
      ports_.ui.SetProgress(100);
      clock.SleepMs(kProgressPauseMs);
      ports_.ui.CloseProgress();
    }
    report_.elapsed_ms = clock.NowMs() - start_ms;
    return report_;
  }

 private:
  device::HidChannel& channel() { return ports_.channel; }
  const device::DeviceHandle& handle() const { return page_.mouse_handle; }
  SettingsRecord& record() { return context_.settings; }

  void Progress(int position) {
    if (show_progress_) ports_.ui.SetProgress(position);
  }

  void SendDpiStages(int mode) {
    const int count = RecountStages(record(), mode);
    const std::vector<std::uint8_t> indexes = StageIndexes(record(), mode, count);
    const auto payload = device::BuildDpiStageCommand(mode, indexes);
    if (!payload) {
      ++report_.modes_without_dpi;
      return;
    }
    channel().SendReport(*payload, handle());  // not acknowledged
  }

  void WriteButton(int mode, int button) {
    const ButtonAssignment& assignment = ButtonOf(record(), mode, button);
    std::uint32_t code = 0;
    if (assignment.function_type == kTypeMacro) {
      WriteMacro(mode, button);
      code = page_.macro_slot_codes[mode][button - 1];
    } else {
      const DeviceCodeResult result = DeviceCodeOf(assignment);
      if (result.kind != DeviceCodeResult::Kind::kCode) {
        ++report_.slots_kept;
        return;
      }
      code = result.value;
    }
    if (device::WriteButtonSlot(channel(), handle(), context_.current_mode, button, code)) {
      ++report_.slots_written;
    } else {
      ++report_.slots_failed;
    }
  }

  // Writes the button's macro into the next free macro slot and remembers the slot's code.
  void WriteMacro(int mode, int button) {
    const std::uint32_t id = entry_ == nullptr ? 0 : MacroIdOf(*entry_, mode, button);
    const std::optional<macro::MacroRecord> stored =
        id == 0 ? std::nullopt : macro::LoadMacro(ports_.store, id);
    if (!stored || next_slot_ >= device::kMacroSlotCount) {
      ++report_.macros_failed;
      return;
    }
    // The encoded block is 4 KiB: kept off the stack.
    const auto block = std::make_unique<device::DeviceMacro>();
    if (!device::EncodeMacro(macro::MacroRecordBytes(*stored), *block) ||
        !device::WriteMemoryBlock(channel(), handle(), device::MacroSlotAddress(next_slot_),
                                  block->Block())) {
      ++report_.macros_failed;
      return;
    }
    page_.macro_slot_codes[mode][button - 1] = MacroSlotCode(next_slot_);
    ++next_slot_;
    ++report_.macros_written;
    report_.macro_bytes += block->length();
  }

  void SendLighting(int mode) {
    const int code = LightingCode(record(), mode);
    if (code < 0) return;
    const std::uint8_t setting =
        mode == 0 ? device::kSettingLightingMode0 : device::kSettingLightingMode1;
    if (!device::SendSetting(channel(), handle(), setting, static_cast<std::uint8_t>(code))) {
      ++report_.settings_failed;
    }
  }

  void SendReportRate(int mode) {
    const std::optional<std::uint32_t> current =
        device::ReadMemory(channel(), handle(), device::kReportRateAddress);
    if (!current) ++report_.settings_failed;
    const int code = ReportRateCode(record().report_rate[mode]);
    if (code < 0) return;
    const int other_mode = 1 - mode;
    // The mouse's code of the other mode, or without an answer the record's own.
    const int other_code = current ? static_cast<int>(*current >> (8 * other_mode) & 0xFF)
                                   : ReportRateCode(record().report_rate[other_mode]);
    if (other_code < 0) return;
    const auto new_code = static_cast<std::uint8_t>(code);
    const auto kept_code = static_cast<std::uint8_t>(other_code);
    const std::array<std::uint8_t, 4> payload =
        mode == 0 ? device::BuildReportRateCommand(new_code, kept_code)
                  : device::BuildReportRateCommand(kept_code, new_code);
    channel().SendReport(payload, handle());  // not acknowledged
  }

  AppContext& context_;
  SettingsPageModel& page_;
  ConfigPorts& ports_;
  const bool show_progress_;
  const ProfileEntry* entry_;
  int next_slot_ = 0;
  ApplyReport report_;
};

}  // namespace

int LightingCode(const SettingsRecord& record, int mode) {
  if (record.lighting_follows_activity[mode] != 0) return 1;
  switch (record.lighting_effect[mode]) {
    case kLightingOff:
      return 0;
    case kLightingSlow:
      return 2;
    case kLightingFast:
      return 3;
    case kLightingAlways:
      return 4;
    default:
      return -1;
  }
}

int ReportRateCode(std::int32_t rate) {
  switch (rate) {
    case 125:
      return device::kRate125Hz;
    case 500:
      return device::kRate500Hz;
    case 1000:
      return device::kRate1000Hz;
    default:
      return -1;
  }
}

ApplyReport ApplyToMouse(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                         bool show_progress) {
  return Applier(context, page, ports, show_progress).Run();
}

}  // namespace z900::config
