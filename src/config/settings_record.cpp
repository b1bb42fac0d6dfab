#include "config/settings_record.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "config/function_catalogue.h"
#include "macro/macro_store.h"
#include "platform/text.h"

namespace z900::config {
namespace {

std::size_t ButtonSlot(int mode, int button) {
  return static_cast<std::size_t>(kButtonCount * mode + button - 1);
}

template <typename Record>
std::vector<std::uint8_t> BytesOf(const Record& record) {
  std::vector<std::uint8_t> bytes(sizeof(Record));
  std::memcpy(bytes.data(), &record, sizeof(Record));
  return bytes;
}

template <typename Record>
std::optional<Record> FromBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > sizeof(Record)) return std::nullopt;
  Record record{};
  if (!bytes.empty()) std::memcpy(&record, bytes.data(), bytes.size());
  return record;
}

// The default function types of buttons 1 … 8, the same in both modes.
constexpr std::array<std::int32_t, kButtonCount> kDefaultTypes = {1, 2, 4, 8, 16, 12, 11, 22};
constexpr std::array<std::int32_t, kDpiStageCount> kDpiValues = {800, 1600, 3200, 4000};

}  // namespace

ButtonAssignment& ButtonOf(SettingsRecord& record, int mode, int button) {
  return record.buttons[mode][button - 1];
}
const ButtonAssignment& ButtonOf(const SettingsRecord& record, int mode, int button) {
  return record.buttons[mode][button - 1];
}
std::uint32_t& MacroIdOf(ProfileEntry& entry, int mode, int button) {
  return entry.macro_ids[ButtonSlot(mode, button)];
}
bool IsMacroAssigned(const ProfileTable& table, std::uint32_t id) {
  if (id == 0) return false;
  for (const ProfileEntry& entry : table.entries) {
    if (std::find(std::begin(entry.macro_ids), std::end(entry.macro_ids), id) !=
        std::end(entry.macro_ids)) {
      return true;
    }
  }
  return false;
}

std::uint32_t MacroIdOf(const ProfileEntry& entry, int mode, int button) {
  return entry.macro_ids[ButtonSlot(mode, button)];
}

ComboKeyBlock ComboOf(const ButtonAssignment& assignment) {
  ComboKeyBlock block;
  std::memcpy(&block, assignment.parameters, sizeof block);
  return block;
}

void SetCombo(ButtonAssignment& assignment, const ComboKeyBlock& block) {
  std::memcpy(assignment.parameters, &block, sizeof block);
}

HostActionParameters HostActionOf(const ButtonAssignment& assignment) {
  HostActionParameters parameters;
  std::memcpy(&parameters, assignment.parameters, sizeof parameters);
  return parameters;
}

std::u16string HostActionPath(const ButtonAssignment& assignment) {
  return platform::ReadFixedText(HostActionOf(assignment).path);
}

bool SetHostAction(ButtonAssignment& assignment, std::uint32_t device_code,
                   std::u16string_view path) {
  if (path.size() > kMaxTextUnits) return false;
  HostActionParameters parameters = HostActionOf(assignment);
  parameters.device_code = device_code;
  platform::WriteFixedText(parameters.path, path);
  std::memcpy(assignment.parameters, &parameters, sizeof parameters);
  return true;
}

std::vector<std::uint8_t> RecordBytes(const SettingsRecord& record) { return BytesOf(record); }
std::vector<std::uint8_t> TableBytes(const ProfileTable& table) { return BytesOf(table); }
std::optional<SettingsRecord> SettingsFromBytes(std::span<const std::uint8_t> bytes) {
  return FromBytes<SettingsRecord>(bytes);
}
std::optional<ProfileTable> TableFromBytes(std::span<const std::uint8_t> bytes) {
  return FromBytes<ProfileTable>(bytes);
}

void BuildDefaultSettings(SettingsRecord& record, const i18n::LanguageStrings& strings) {
  std::memset(&record, 0, sizeof record);
  record.magic = kSettingsMagic;
  for (int mode = 0; mode < kModeCount; ++mode) {
    for (int button = 1; button <= kButtonCount; ++button) {
      ButtonAssignment& assignment = ButtonOf(record, mode, button);
      assignment.function_type = kDefaultTypes[static_cast<std::size_t>(button - 1)];
      assignment.macro_reference = 0;
      platform::WriteFixedText(assignment.display_name,
                               FunctionDisplayName(assignment.function_type, strings));
    }
    std::copy(kDpiValues.begin(), kDpiValues.end(), record.dpi_stages[mode]);
    record.lighting_effect[mode] = kLightingSlow;
    record.lighting_follows_activity[mode] = 0;
    record.report_rate[mode] = 1000;
  }
}

void RefreshMacroNames(SettingsRecord& record, const ProfileEntry& entry,
                       platform::KeyStore& store) {
  for (int mode = 0; mode < kModeCount; ++mode) {
    for (int button = 1; button <= kButtonCount; ++button) {
      const std::uint32_t id = MacroIdOf(entry, mode, button);
      if (id == 0) continue;
      const std::optional<macro::MacroRecord> stored = macro::LoadMacro(store, id);
      if (!stored) continue;
      platform::WriteFixedText(ButtonOf(record, mode, button).display_name,
                               macro::MacroName(*stored));
    }
  }
}

int RecountStages(SettingsRecord& record, int mode) {
  const auto& stages = record.dpi_stages[mode];
  const int count = static_cast<int>(std::count_if(std::begin(stages), std::end(stages),
                                                   [](std::int32_t dpi) { return dpi != 0; }));
  record.stage_count[mode] = count;
  return count;
}

bool KeepsLeftClick(const SettingsRecord& record, int mode, int button, std::int32_t new_type) {
  if (new_type == kTypeClick) return true;
  for (int other = 1; other <= kButtonCount; ++other) {
    if (other != button && ButtonOf(record, mode, other).function_type == kTypeClick) return true;
  }
  return false;
}

bool WheelTypeFits(std::int32_t type, int button) {
  if (type == kTypeWheelUp) return button == 7;
  if (type == kTypeWheelDown) return button == 8;
  return true;
}

bool IsValidLightingEffect(std::int32_t effect) {
  return effect == kLightingOff || effect == kLightingSlow || effect == kLightingFast ||
         effect == kLightingAlways;
}

bool IsValidReportRate(std::int32_t rate) { return rate == 125 || rate == 500 || rate == 1000; }

bool IsValidDpiStage(std::int32_t dpi) {
  return std::find(kDpiValues.begin(), kDpiValues.end(), dpi) != kDpiValues.end();
}

RecordCheck CheckSettingsRecord(const SettingsRecord& record) {
  for (int mode = 0; mode < kModeCount; ++mode) {
    bool has_click = false;
    for (int button = 1; button <= kButtonCount; ++button) {
      const std::int32_t type = ButtonOf(record, mode, button).function_type;
      has_click = has_click || type == kTypeClick;
      if (!WheelTypeFits(type, button)) return {Violation::kMisplacedWheel, mode, button};
    }
    if (!has_click) return {Violation::kNoLeftClick, mode, 0};
    const auto& stages = record.dpi_stages[mode];
    if (stages[0] == 0) return {Violation::kNoDpiStage, mode, 0};
    for (int i = 0; i < kDpiStageCount; ++i) {
      const std::int32_t dpi = stages[i];
      const bool packed = dpi == 0 ? (i + 1 == kDpiStageCount || stages[i + 1] == 0)
                                   : IsValidDpiStage(dpi) && (i == 0 || stages[i - 1] < dpi);
      if (!packed) return {Violation::kBadDpiStages, mode, 0};
    }
    if (!IsValidLightingEffect(record.lighting_effect[mode])) {
      return {Violation::kBadLighting, mode, 0};
    }
    if (!IsValidReportRate(record.report_rate[mode])) return {Violation::kBadReportRate, mode, 0};
  }
  return {};
}

std::string DescribeViolation(const RecordCheck& check) {
  const std::string mode = "mode " + std::to_string(check.mode);
  switch (check.violation) {
    case Violation::kNone:
      return "no rule is broken";
    case Violation::kNoLeftClick:
      return mode + " has no button with the left click";
    case Violation::kNoDpiStage:
      return mode + " has no DPI stage";
    case Violation::kBadDpiStages:
      return mode + " has DPI stages other than 800, 1600, 3200 and 4000 in ascending order";
    case Violation::kBadLighting:
      return mode + " has a lighting effect other than off, slow, fast and always";
    case Violation::kBadReportRate:
      return mode + " has a report rate other than 125, 500 and 1000 Hz";
    case Violation::kMisplacedWheel:
      return mode + ": button " + std::to_string(check.button) +
             " carries a wheel function, which belongs to button 7 (up) or 8 (down)";
  }
  return {};
}

bool HasOneSelectedProfile(const ProfileTable& table) {
  return std::count_if(std::begin(table.entries), std::end(table.entries),
                       [](const ProfileEntry& entry) { return entry.selected != 0; }) == 1;
}

}  // namespace z900::config
