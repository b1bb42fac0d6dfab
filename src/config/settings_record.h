#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "i18n/language_strings.h"
#include "platform/key_store.h"

// The configuration records: what is written into the mouse for both modes (SettingsRecord)
// and what the utility knows of its five profiles (ProfileTable). Both are stored byte for byte
// as they lie in memory, so every offset below is part of the file and registry formats.
namespace z900::config {

static_assert(std::endian::native == std::endian::little);

inline constexpr int kModeCount = 2;
inline constexpr int kButtonCount = 8;
inline constexpr int kDpiStageCount = 4;
inline constexpr int kProfileCount = 5;
// Text fields hold 260 UTF-16 units, of which at most 259 are used.
inline constexpr std::size_t kTextFieldUnits = 260;
inline constexpr std::size_t kMaxTextUnits = kTextFieldUnits - 1;

inline constexpr std::uint32_t kSettingsMagic = 0x8080BABA;
inline constexpr std::uint32_t kProfileEntryMagic = 0xBEBE;

// Function types the record code itself needs (the full catalogue is function_catalogue.h).
inline constexpr std::int32_t kTypeClick = 1;
inline constexpr std::int32_t kTypeCombo = 5;
inline constexpr std::int32_t kTypeMacro = 6;
inline constexpr std::int32_t kTypeWheelUp = 11;
inline constexpr std::int32_t kTypeHostAction = 19;
inline constexpr std::int32_t kTypeWheelDown = 22;

// Lighting effects and report rates a record may hold.
inline constexpr std::int32_t kLightingOff = 1;
inline constexpr std::int32_t kLightingSlow = 3;
inline constexpr std::int32_t kLightingFast = 5;
inline constexpr std::int32_t kLightingAlways = 7;

// Parameters of a key combination (type 5), filled by the combination-key dialog.
struct ComboKeyBlock {
  std::uint8_t display_mask;  // Ctrl 0x01, Shift 0x02, Alt 0x04, Win 0x08
  std::uint8_t key;           // low 8 bits of the key's virtual-key code; 0 = none
  std::uint8_t zero[2];
  std::uint32_t device_code;  // the combination as the mouse takes it
  std::uint8_t tail[528];
};
static_assert(std::is_trivially_copyable_v<ComboKeyBlock>);
static_assert(sizeof(ComboKeyBlock) == 536);
static_assert(offsetof(ComboKeyBlock, display_mask) == 0);
static_assert(offsetof(ComboKeyBlock, key) == 1);
static_assert(offsetof(ComboKeyBlock, zero) == 2);
static_assert(offsetof(ComboKeyBlock, device_code) == 4);
static_assert(offsetof(ComboKeyBlock, tail) == 8);

// Parameters of a host action (type 19): its device code and the path it acts on.
struct HostActionParameters {
  std::uint8_t unused[8];
  std::uint32_t device_code;
  char16_t path[kTextFieldUnits];
  std::uint8_t tail[4];
};
static_assert(std::is_trivially_copyable_v<HostActionParameters>);
static_assert(sizeof(HostActionParameters) == 536);
static_assert(offsetof(HostActionParameters, unused) == 0);
static_assert(offsetof(HostActionParameters, device_code) == 8);
static_assert(offsetof(HostActionParameters, path) == 12);
static_assert(offsetof(HostActionParameters, tail) == 532);

// The function of one button in one mode. The parameter bytes are read as a ComboKeyBlock or
// HostActionParameters according to the function type (see the accessors below); for other
// types they keep whatever an earlier assignment left there.
struct ButtonAssignment {
  std::int32_t function_type;
  std::uint32_t macro_reference;  // the macro's position in the store, for type 6; else 0
  std::uint8_t parameters[536];
  char16_t display_name[kTextFieldUnits];
  std::uint8_t reserved[2080];
};
static_assert(std::is_trivially_copyable_v<ButtonAssignment>);
static_assert(sizeof(ButtonAssignment) == 3144);
static_assert(offsetof(ButtonAssignment, function_type) == 0);
static_assert(offsetof(ButtonAssignment, macro_reference) == 4);
static_assert(offsetof(ButtonAssignment, parameters) == 8);
static_assert(offsetof(ButtonAssignment, display_name) == 544);
static_assert(offsetof(ButtonAssignment, reserved) == 1064);

// Everything written into the mouse for both modes, plus the profile's name: the content of a
// profile file.
struct SettingsRecord {
  std::uint32_t magic;
  ButtonAssignment buttons[kModeCount][kButtonCount];
  std::int32_t dpi_stages[kModeCount][kDpiStageCount];  // ascending, packed, rest 0
  std::int32_t stage_count[kModeCount];
  std::int32_t lighting_effect[kModeCount];            // 1, 3, 5 or 7
  std::int32_t lighting_follows_activity[kModeCount];  // non-zero overrides the effect
  std::int32_t report_rate[kModeCount];                // Hz: 125, 500 or 1000
  std::uint32_t reserved;
  char16_t profile_name[kTextFieldUnits];
};
static_assert(std::is_trivially_copyable_v<SettingsRecord>);
static_assert(sizeof(SettingsRecord) == 50896);
static_assert(offsetof(SettingsRecord, magic) == 0);
static_assert(offsetof(SettingsRecord, buttons) == 4);
static_assert(offsetof(SettingsRecord, dpi_stages) == 50308);
static_assert(offsetof(SettingsRecord, stage_count) == 50340);
static_assert(offsetof(SettingsRecord, lighting_effect) == 50348);
static_assert(offsetof(SettingsRecord, lighting_follows_activity) == 50356);
static_assert(offsetof(SettingsRecord, report_rate) == 50364);
static_assert(offsetof(SettingsRecord, reserved) == 50372);
static_assert(offsetof(SettingsRecord, profile_name) == 50376);

// What the utility knows of one profile.
struct ProfileEntry {
  std::uint32_t magic;                     // 0xBEBE once loaded
  std::int32_t selected;                   // 1 in exactly one entry after a load or a selection
  std::int32_t auto_switch;                // 1: the profile follows its program
  char16_t name[kTextFieldUnits];          // the language string str_profileK, set at load
  char16_t file_path[kTextFieldUnits];     // the profile file, set at load
  char16_t program_name[kTextFieldUnits];  // executable file name without folder; empty = none
  std::uint32_t macro_ids[kModeCount * kButtonCount];  // at 8 × mode + button − 1; 0 = none
};
static_assert(std::is_trivially_copyable_v<ProfileEntry>);
static_assert(sizeof(ProfileEntry) == 1636);
static_assert(offsetof(ProfileEntry, magic) == 0);
static_assert(offsetof(ProfileEntry, selected) == 4);
static_assert(offsetof(ProfileEntry, auto_switch) == 8);
static_assert(offsetof(ProfileEntry, name) == 12);
static_assert(offsetof(ProfileEntry, file_path) == 532);
static_assert(offsetof(ProfileEntry, program_name) == 1052);
static_assert(offsetof(ProfileEntry, macro_ids) == 1572);

// The five profiles, profile 1 first: the registry value ConfigInfo.
struct ProfileTable {
  ProfileEntry entries[kProfileCount];
};
static_assert(std::is_trivially_copyable_v<ProfileTable>);
static_assert(sizeof(ProfileTable) == 8180);
static_assert(offsetof(ProfileTable, entries) == 0);

// Accessors by mode 0 … 1 and button 1 … 8, as the records number them.
ButtonAssignment& ButtonOf(SettingsRecord& record, int mode, int button);
const ButtonAssignment& ButtonOf(const SettingsRecord& record, int mode, int button);
std::uint32_t& MacroIdOf(ProfileEntry& entry, int mode, int button);
std::uint32_t MacroIdOf(const ProfileEntry& entry, int mode, int button);

// The parameter bytes of a type-5 or type-19 assignment, read and written by copy.
ComboKeyBlock ComboOf(const ButtonAssignment& assignment);
void SetCombo(ButtonAssignment& assignment, const ComboKeyBlock& block);
HostActionParameters HostActionOf(const ButtonAssignment& assignment);
// The path a host-action button acts on (the executor reads it from here).
std::u16string HostActionPath(const ButtonAssignment& assignment);
// Stores a host action's code and path; false, changing nothing, when the path does not fit
// the 259 units of its field.
bool SetHostAction(ButtonAssignment& assignment, std::uint32_t device_code,
                   std::u16string_view path);

// Byte images of the records, and records from stored bytes: fewer bytes leave the rest zero,
// more are refused (nullopt).
std::vector<std::uint8_t> RecordBytes(const SettingsRecord& record);
std::vector<std::uint8_t> TableBytes(const ProfileTable& table);
std::optional<SettingsRecord> SettingsFromBytes(std::span<const std::uint8_t> bytes);
std::optional<ProfileTable> TableFromBytes(std::span<const std::uint8_t> bytes);

// Replaces the whole record by the defaults: both modes click, menu, middle, forward, back,
// one-key start, wheel up, wheel down; stages 800, 1600, 3200, 4000 with a stage count of 0;
// slow breathing; 1000 Hz; no profile name.
void BuildDefaultSettings(SettingsRecord& record, const i18n::LanguageStrings& strings);

// Whether a profile of the table assigns the macro to a button: its id is among the 16 macro
// ids of one of the five entries. Id 0 stands for no macro and is never assigned.
bool IsMacroAssigned(const ProfileTable& table, std::uint32_t id);

// Gives every button whose macro id is set in `entry` the current name of that macro, when the
// macro is still stored. The function types are not looked at.
void RefreshMacroNames(SettingsRecord& record, const ProfileEntry& entry,
                       platform::KeyStore& store);

// Recounts a mode's non-zero stages into its stage count and returns the count.
int RecountStages(SettingsRecord& record, int mode);

// The rules the editing code keeps. Each check tells whether the record (or table) keeps the
// rule; the editing operations refuse a change that would break one.
//
// Every mode keeps a left-click button: changing button `button` to `new_type` is allowed when
// the new type is the click or another button of the mode has it.
bool KeepsLeftClick(const SettingsRecord& record, int mode, int button, std::int32_t new_type);
// The wheel functions belong to their buttons: 11 only to button 7, 22 only to button 8.
bool WheelTypeFits(std::int32_t type, int button);
bool IsValidLightingEffect(std::int32_t effect);
bool IsValidReportRate(std::int32_t rate);
bool IsValidDpiStage(std::int32_t dpi);

enum class Violation {
  kNone,
  kNoLeftClick,     // a mode without a button of type 1
  kNoDpiStage,      // a mode without a DPI stage
  kBadDpiStages,    // a stage outside 800/1600/3200/4000, out of order, or a gap
  kBadLighting,     // an effect other than 1, 3, 5, 7
  kBadReportRate,   // a rate other than 125, 500, 1000
  kMisplacedWheel,  // a wheel function on another button than its own
};
struct RecordCheck {
  Violation violation = Violation::kNone;
  int mode = 0;
  int button = 0;  // for kNoLeftClick: 0; for kMisplacedWheel: the button
  explicit operator bool() const { return violation == Violation::kNone; }
};
// The first rule the record breaks, mode 0 first.
RecordCheck CheckSettingsRecord(const SettingsRecord& record);
// A short English text for a violation, for the cli.
std::string DescribeViolation(const RecordCheck& check);

// Exactly one entry selected.
bool HasOneSelectedProfile(const ProfileTable& table);

}  // namespace z900::config
