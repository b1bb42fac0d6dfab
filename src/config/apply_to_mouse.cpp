#include "config/apply_to_mouse.h"

#include <algorithm>
#include <array>
#include <memory>
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

// What a button's write takes on the wire, in the protocol's milliseconds: the weights by which
// the buttons share the progress bar.
constexpr std::uint64_t kButtonCostMs = device::kSlotWriteWaitMs + device::kAckPollIntervalMs;

// The protocol's time for the first `bytes` of a macro block.
std::uint64_t BlockCostMs(std::size_t bytes) {
  const std::size_t chunks = bytes / device::kWriteChunk;
  const std::size_t tail = bytes % device::kWriteChunk;
  std::uint64_t cost =
      chunks * std::uint64_t{device::kChunkWriteWaitMs + device::kAckPollIntervalMs};
  if (tail > 0) cost += device::TailWriteWaitMs(tail) + device::kAckPollIntervalMs;
  return cost;
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
    Plan();
    if (show_progress_) {
      ports_.ui.OpenProgress();
      ports_.ui.SetProgress(0);
    }
    for (int mode = 0; mode < kModeCount; ++mode) {
      context_.current_mode = mode;
      SendDpiStages(mode);
      Progress(10);
      for (int button = 1; button <= kButtonCount; ++button) {
        Progress(Position(0));
        WriteButton(mode, button);
        done_ms_ += kButtonCostMs + planned_[Index(mode, button)].cost_ms;
      }
      SendLighting(mode);
      SendReportRate(mode);
    }
    MarkWritePending(report_.WriteIncomplete());
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
  // A macro button's block, encoded before the write starts, and its share of the time.
  struct PlannedMacro {
    std::unique_ptr<device::DeviceMacro> block;  // null: gone or not encodable
    std::uint64_t cost_ms = 0;
  };

  static int Index(int mode, int button) { return mode * kButtonCount + button - 1; }
  device::HidChannel& channel() { return ports_.channel; }
  const device::DeviceHandle& handle() const { return page_.mouse_handle; }
  SettingsRecord& record() { return context_.settings; }

  // Loads and encodes every macro the buttons play, in the order of the visit, so that the
  // progress bar knows the whole write before it starts.
  void Plan() {
    int slots = 0;
    for (int mode = 0; mode < kModeCount; ++mode) {
      for (int button = 1; button <= kButtonCount; ++button) {
        total_ms_ += kButtonCostMs;
        if (ButtonOf(record(), mode, button).function_type != kTypeMacro) continue;
        const std::uint32_t id = entry_ == nullptr ? 0 : MacroIdOf(*entry_, mode, button);
        const std::optional<macro::MacroRecord> stored =
            id == 0 ? std::nullopt : macro::LoadMacro(ports_.store, id);
        if (!stored) continue;
        // The encoded block is 4 KiB: kept off the stack.
        auto block = std::make_unique<device::DeviceMacro>();
        if (!device::EncodeMacro(macro::MacroRecordBytes(*stored), *block)) continue;
        PlannedMacro& planned = planned_[Index(mode, button)];
        if (slots++ < device::kMacroSlotCount) planned.cost_ms = BlockCostMs(block->Block().size());
        total_ms_ += planned.cost_ms;
        planned.block = std::move(block);
      }
    }
  }

  // Where the bar stands with `extra_ms` of the current button's write done.
  int Position(std::uint64_t extra_ms) const {
    return 10 + static_cast<int>(80 * (done_ms_ + extra_ms) / total_ms_);
  }

  void Progress(int position) {
    if (!show_progress_) return;
    ports_.ui.SetProgress(position);
    shown_ = position;
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
    const PlannedMacro& planned = planned_[Index(mode, button)];
    if (!planned.block || next_slot_ >= device::kMacroSlotCount) {
      ++report_.macros_failed;
      return;
    }
    const auto chunk_written = [this](std::size_t written) {
      // The bar moves on with the chunks; a position it shows already is not sent again.
      const int position = Position(kButtonCostMs + BlockCostMs(written));
      if (position != shown_) Progress(position);
    };
    if (!device::WriteMemoryBlock(channel(), handle(), device::MacroSlotAddress(next_slot_),
                                  planned.block->Block(), chunk_written)) {
      ++report_.macros_failed;
      ++report_.macro_writes_failed;
      return;
    }
    page_.macro_slot_codes[mode][button - 1] = MacroSlotCode(next_slot_);
    ++next_slot_;
    ++report_.macros_written;
    report_.macro_bytes += planned.block->length();
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

  // The next start writes the profile again while the mouse may not hold it all.
  void MarkWritePending(bool pending) {
    platform::KeyStore& store = ports_.store;
    if (store.OpenKey(kConfigKey) != platform::KeyStoreStatus::kOk) return;
    if (pending) {
      store.WriteValue(kConfigKey, kWritePendingValue, platform::BinaryValue({1, 0, 0, 0}));
    } else if (WritePending(store)) {
      store.DeleteValue(kConfigKey, kWritePendingValue);
    }
  }

  AppContext& context_;
  SettingsPageModel& page_;
  ConfigPorts& ports_;
  const bool show_progress_;
  const ProfileEntry* entry_;
  std::array<PlannedMacro, kModeCount * kButtonCount> planned_;
  std::uint64_t total_ms_ = 0;  // every button's share
  std::uint64_t done_ms_ = 0;   // the shares of the buttons written
  int shown_ = -1;
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

std::vector<ApplyFailure> ApplyFailures(const ApplyReport& report) {
  std::vector<ApplyFailure> failures;
  if (const int count = report.slots_failed + report.settings_failed; count > 0) {
    failures.push_back({ApplyFailure::Kind::kUnacknowledged, count});
  }
  if (report.macros_failed > 0) {
    failures.push_back({ApplyFailure::Kind::kMacrosWithoutSlot, report.macros_failed});
  }
  if (report.modes_without_dpi > 0) {
    failures.push_back({ApplyFailure::Kind::kModesWithoutDpi, report.modes_without_dpi});
  }
  return failures;
}

std::u16string ApplyFailureText(const AppContext& context, const ApplyReport& report) {
  std::u16string text;
  for (const ApplyFailure& failure : ApplyFailures(report)) {
    i18n::StringKey key = i18n::StringKey::str_apply_unacked;
    if (failure.kind == ApplyFailure::Kind::kMacrosWithoutSlot) {
      key = i18n::StringKey::str_apply_macros;
    } else if (failure.kind == ApplyFailure::Kind::kModesWithoutDpi) {
      key = i18n::StringKey::str_apply_nodpi;
    }
    const std::string count = std::to_string(failure.count);
    text += i18n::FormatText(context.Text(key), std::u16string(count.begin(), count.end()));
    text += u'\n';
  }
  // Only a write the mouse did not acknowledge is worth trying again.
  if (report.WriteIncomplete()) {
    text += context.Text(i18n::StringKey::str_apply_pending);
  } else if (!text.empty()) {
    text.pop_back();
  }
  return text;
}

bool WritePending(platform::KeyStore& store) {
  platform::KeyValue value;
  return store.ReadValue(kConfigKey, kWritePendingValue, value) == platform::KeyStoreStatus::kOk &&
         value.type == platform::ValueType::kBinary && !value.data.empty() && value.data[0] != 0;
}

std::optional<ApplyReport> RunPendingWrite(AppContext& context, SettingsPageModel& page,
                                           ConfigPorts& ports) {
  if (!WritePending(ports.store)) return std::nullopt;
  return ApplyToMouse(context, page, ports, false);
}

}  // namespace z900::config
