#include "config/profiles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "device/command_set.h"
#include "device/memory_map.h"
#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::config {
namespace {

using i18n::StringKey;
using platform::KeyStoreStatus;

constexpr std::array<StringKey, kProfileCount> kProfileNames = {
    StringKey::str_profile1, StringKey::str_profile2, StringKey::str_profile3,
    StringKey::str_profile4, StringKey::str_profile5};

constexpr std::u16string_view kRegistryCopyFile = u"Profile1.cfg";

std::filesystem::path PathOf(std::u16string_view text) {
  return platform::PathFromUtf8(platform::Utf16ToUtf8(text));
}

// The profile file path as its field holds it; nullopt when it does not fit the field or
// does not survive the round trip through UTF-16.
std::optional<std::u16string> PathFieldText(const std::filesystem::path& path) {
  const std::string native = platform::PathToUtf8(path);
  std::u16string text = platform::Utf8ToUtf16(native);
  if (text.size() > kMaxTextUnits || platform::Utf16ToUtf8(text) != native) return std::nullopt;
  return text;
}

// The bytes of a profile file: the record, then the trailer byte.
std::vector<std::uint8_t> ProfileFileBytes(const SettingsRecord& record, std::uint8_t trailer) {
  std::vector<std::uint8_t> bytes = RecordBytes(record);
  bytes.push_back(trailer);
  return bytes;
}

void UpdateProfileTabs(const AppContext& context, SettingsPageModel& page) {
  for (int k = 0; k < kProfileCount; ++k) {
    const ProfileEntry& entry = context.profiles.entries[k];
    page.profile_tabs[k] = entry.magic == kProfileEntryMagic && entry.selected != 0;
    if (page.profile_tabs[k]) page.selected_profile_index = k;
  }
}

// Whether a path names profile 1's file, the one with a registry copy.
bool IsRegistryCopyFile(std::u16string_view path) {
  return PathOf(path).filename() == std::filesystem::path(kRegistryCopyFile);
}

bool ReadRegistryCopy(AppContext& context, platform::KeyStore& store) {
  if (store.OpenKey(kConfigKey) != KeyStoreStatus::kOk) return false;
  platform::KeyValue value;
  if (store.ReadValue(kConfigKey, kDefaultSettingValue, value) != KeyStoreStatus::kOk ||
      value.data.size() > sizeof(SettingsRecord)) {
    return false;
  }
  // Copied over the record as it lies, as many bytes as were stored.
  if (!value.data.empty()) std::memcpy(&context.settings, value.data.data(), value.data.size());
  return true;
}

// What reading a profile file came to.
enum class FileLoad { kLoaded, kNoPath, kMissing, kUnreadable, kNotAProfile };

// Reads a profile file into the settings record, which it changes only when the file is a
// profile file: exactly kProfileFileSize bytes starting with the record's magic. A file that
// cannot be read gives its reason in `error`. Nothing is shown.
FileLoad ReadProfileFile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                         std::u16string_view path, std::error_code& error) {
  error.clear();
  if (path.empty()) return FileLoad::kNoPath;
  if (page.registry_copy_flag == 1 && IsRegistryCopyFile(path) &&
      ReadRegistryCopy(context, ports.store)) {
    return FileLoad::kLoaded;
  }

  std::vector<std::uint8_t> bytes;
  // One byte more than a profile file has tells a longer file.
  if ((error = ports.files.Read(PathOf(path), kProfileFileSize + 1, bytes))) {
    return IsMissingFileError(error) ? FileLoad::kMissing : FileLoad::kUnreadable;
  }
  // A short file would load as a record with blank buttons, and the next save would write that
  // over what is left of the user's profile.
  if (bytes.size() != kProfileFileSize ||
      std::memcmp(bytes.data(), &kSettingsMagic, sizeof kSettingsMagic) != 0) {
    return FileLoad::kNotAProfile;
  }
  std::memcpy(&context.settings, bytes.data(), sizeof(SettingsRecord));
  page.trailer_byte = bytes[sizeof(SettingsRecord)];
  return FileLoad::kLoaded;
}

// The defaults in place of profile k's file after it failed to load: a missing file is made
// anew, a damaged one only after a copy of it is kept, and one that cannot be read stays. What
// did not go as it should is returned; a missing file made anew is no problem.
std::optional<ProfileFileProblem> ReplaceUnusableFile(AppContext& context, SettingsPageModel& page,
                                                      ConfigPorts& ports, int k, FileLoad load,
                                                      std::error_code error) {
  const ProfileEntry& entry = context.profiles.entries[k];
  const std::u16string path = platform::ReadFixedText(entry.file_path);
  const std::u16string name = platform::ReadFixedText(entry.name);
  ProfileFileProblem problem{ProfileFileProblem::Kind::kUnreadable, k, PathOf(path), {}, error};
  if (load == FileLoad::kNoPath) return std::nullopt;
  if (load == FileLoad::kUnreadable) return problem;
  problem.kind = load == FileLoad::kNotAProfile ? ProfileFileProblem::Kind::kDamagedNotReplaced
                                                : ProfileFileProblem::Kind::kNotCreated;
  if (load == FileLoad::kNotAProfile) {
    // Never replaced without its copy. One that may not be written could not be replaced
    // either, which str_msg4 says.
    if ((problem.error = ports.files.KeepDamagedCopy(problem.path, problem.copy))) {
      if (IsAccessDeniedError(problem.error)) {
        ShowMessage(context, ports.ui, context.Text(StringKey::str_msg4), false);
      }
      return problem;
    }
  }
  std::error_code created;
  if (CreateDefaultProfileFile(context, page, ports, path, name, &created) == 0) {
    if (!problem.copy.empty()) std::filesystem::remove(problem.copy, error);
    problem.copy.clear();
    problem.error = created;
    return problem;
  }
  if (problem.copy.empty()) return std::nullopt;
  problem.kind = ProfileFileProblem::Kind::kKeptDamaged;
  problem.error.clear();
  return problem;
}

void TellMissingMade(AppContext& context, ConfigPorts& ports, std::u16string_view path) {
  ShowMessage(context, ports.ui, i18n::FormatText(context.Text(StringKey::str_msg2), path), false);
}

// Whether profile k's file was found unusable and is still so.
bool StillUnusable(const LoadProfilesResult& result, int k) {
  return std::any_of(result.problems.begin(), result.problems.end(), [k](const auto& p) {
    return p.profile == k && p.kind != ProfileFileProblem::Kind::kKeptDamaged;
  });
}

}  // namespace

std::filesystem::path ProfileFilePath(const platform::ProgramPaths& paths, int index) {
  return paths.profile_folder /
         platform::PathFromUtf8("Profile" + std::to_string(index + 1) + ".cfg");
}

void ShowSwitchControls(SettingsPageModel& page, const ProfileEntry& entry) {
  page.switch_box_checked = entry.auto_switch != 0;
  page.program_button_visible = page.switch_box_checked;
  page.program_button_text = platform::ReadFixedText(entry.program_name);
}

LoadProfilesResult LoadProfiles(AppContext& context, SettingsPageModel& page, ConfigPorts& ports) {
  LoadProfilesResult result;
  ProfileTable& table = context.profiles;
  std::memset(&table, 0, sizeof table);

  platform::KeyStore& store = ports.store;
  if (store.OpenKey(kConfigKey) == KeyStoreStatus::kOk) {
    platform::KeyValue value;
    std::optional<ProfileTable> read;
    const KeyStoreStatus status = store.ReadValue(kConfigKey, kConfigInfoValue, value);
    if (status == KeyStoreStatus::kOk && value.type == platform::ValueType::kBinary) {
      read = TableFromBytes(value.data);
    }
    if (read) {
      table = *read;
    } else if (status == KeyStoreStatus::kOk || status == KeyStoreStatus::kUnreadable) {
      // Damaged: kept beside, then started anew; never overwritten without a copy.
      result.table_status = store.KeepDamagedValue(kConfigKey, kConfigInfoValue, result.table_copy);
      if (result.table_status == KeyStoreStatus::kOk) {
        store.WriteValue(kConfigKey, kConfigInfoValue, platform::BinaryValue(TableBytes(table)));
      }
    } else if (status == KeyStoreStatus::kNotFound) {
      store.WriteValue(kConfigKey, kConfigInfoValue, platform::BinaryValue(TableBytes(table)));
    } else {
      result.table_status = status;  // cannot be read: reported, left as it is
    }
  } else if (store.CreateKey(kConfigKey) == KeyStoreStatus::kOk) {
    store.WriteValue(kConfigKey, kConfigInfoValue, platform::BinaryValue(TableBytes(table)));
  } else {
    result.registry = false;
  }

  for (int k = 0; k < kProfileCount; ++k) {
    ProfileEntry& entry = table.entries[k];
    const std::optional<std::u16string> path = PathFieldText(ProfileFilePath(context.paths, k));
    result.paths_fit = result.paths_fit && path.has_value();
    platform::WriteFixedText(entry.file_path, path.value_or(u""));
    entry.magic = kProfileEntryMagic;
  }

  for (int k = 0; k < kProfileCount; ++k) {
    ProfileEntry& entry = table.entries[k];
    if (entry.selected == 0) continue;
    const std::u16string path = platform::ReadFixedText(entry.file_path);
    std::error_code error;
    const FileLoad load = ReadProfileFile(context, page, ports, path, error);
    if (load == FileLoad::kLoaded) {
      result.loaded = k;
      break;
    }
    entry.selected = 0;
    std::optional<ProfileFileProblem> problem =
        ReplaceUnusableFile(context, page, ports, k, load, error);
    // Said once it is true: the file is there now.
    if (load == FileLoad::kMissing && !problem) TellMissingMade(context, ports, path);
    if (problem) result.problems.push_back(std::move(*problem));
  }

  for (int k = 0; k < kProfileCount; ++k) {
    platform::WriteFixedText(table.entries[k].name, context.Text(kProfileNames[k]));
  }

  if (result.loaded >= 0) {
    page.selected_profile = result.loaded;
  } else {
    ProfileEntry& first = table.entries[0];
    const std::u16string path = platform::ReadFixedText(first.file_path);
    std::error_code error;
    if (!StillUnusable(result, 0)) {
      const FileLoad load = ReadProfileFile(context, page, ports, path, error);
      std::optional<ProfileFileProblem> problem;
      if (load != FileLoad::kLoaded) {
        problem = ReplaceUnusableFile(context, page, ports, 0, load, error);
      }
      if (problem) result.problems.push_back(std::move(*problem));
    }
    if (StillUnusable(result, 0)) {
      // The page shows the defaults, which are stored nowhere; the problem says so.
      BuildDefaultSettings(context.settings, context.strings);
      platform::WriteFixedText(context.settings.profile_name, platform::ReadFixedText(first.name));
      page.trailer_byte = 0;
    }
    first.selected = 1;
    page.selected_profile = 0;
  }
  ShowSwitchControls(page, table.entries[page.selected_profile]);
  UpdateProfileTabs(context, page);
  return result;
}

int LoadProfileFile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                    std::u16string_view path, bool report_missing, std::u16string_view name) {
  std::error_code error;
  switch (ReadProfileFile(context, page, ports, path, error)) {
    case FileLoad::kLoaded:
      return kProfileLoaded;
    case FileLoad::kNotAProfile:
      ports.ui.ShowStandardBox(i18n::FormatText(context.Text(StringKey::str_msg3), path), u"Info");
      return kNotAProfileFile;
    case FileLoad::kMissing:
      if (report_missing && CreateDefaultProfileFile(context, page, ports, path, name) == 1) {
        TellMissingMade(context, ports, path);
      }
      return kProfileNotLoaded;
    default:
      return kProfileNotLoaded;
  }
}

bool ProfileProblemIsFatal(const SettingsPageModel& page, const ProfileFileProblem& problem) {
  using Kind = ProfileFileProblem::Kind;
  switch (problem.kind) {
    case Kind::kUnreadable:
      return true;
    case Kind::kNotCreated:
    case Kind::kDamagedNotReplaced:
      return problem.profile == page.selected_profile;
    case Kind::kKeptDamaged:
      return false;
  }
  return false;
}

void TellProfileProblem(AppContext& context, platform::UiPort& ui,
                        const ProfileFileProblem& problem) {
  using Kind = ProfileFileProblem::Kind;
  const std::u16string path = platform::Utf8ToUtf16(platform::PathToUtf8(problem.path));
  const std::u16string with_reason =
      path + u" (" + platform::Utf8ToUtf16(problem.error.message()) + u")";
  switch (problem.kind) {
    case Kind::kKeptDamaged:
      ShowMessage(context, ui,
                  i18n::FormatText(context.Text(StringKey::str_profile_damaged),
                                   platform::Utf8ToUtf16(platform::PathToUtf8(problem.copy))),
                  false);
      break;
    case Kind::kDamagedNotReplaced:
      ShowMessage(context, ui, i18n::FormatText(context.Text(StringKey::str_msg3), path), false);
      break;
    case Kind::kUnreadable:
      ShowMessage(context, ui,
                  i18n::FormatText(context.Text(StringKey::str_profile_noread), with_reason),
                  false);
      break;
    case Kind::kNotCreated:
      // A denied write has been told with str_msg4 as it happened.
      if (IsAccessDeniedError(problem.error)) break;
      ShowMessage(context, ui,
                  i18n::FormatText(context.Text(StringKey::str_profile_uncreated), with_reason),
                  false);
      break;
  }
}

int CreateDefaultProfileFile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                             std::u16string_view path, std::u16string_view name,
                             std::error_code* why) {
  if (path.empty()) return 0;
  // The defaults are in memory whether or not the file can be written.
  BuildDefaultSettings(context.settings, context.strings);
  platform::WriteFixedText(context.settings.profile_name, name);
  page.trailer_byte = 0;

  int result = 1;
  if (const std::error_code error =
          ports.files.Create(PathOf(path), ProfileFileBytes(context.settings, 0))) {
    if (IsAccessDeniedError(error)) {
      ShowMessage(context, ports.ui, context.Text(StringKey::str_msg4), false);
    }
    if (why != nullptr) *why = error;
    result = 0;
  }

  for (ProfileEntry& entry : context.profiles.entries) {
    if (platform::ReadFixedText(entry.file_path) != path) continue;
    std::memset(entry.program_name, 0, sizeof entry.program_name);
    entry.auto_switch = 0;
  }
  ports.ui.RefreshPage();
  return result;
}

SaveOutcome SaveProfileFile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports) {
  const ProfileEntry* entry = page.SelectedEntry(context.profiles);
  if (entry == nullptr) return SaveOutcome::kNoProfile;
  const std::u16string path = platform::ReadFixedText(entry->file_path);
  if (path.empty()) return SaveOutcome::kNoProfile;

  const std::error_code error =
      ports.files.Replace(PathOf(path), ProfileFileBytes(context.settings, page.trailer_byte));
  if (!error) return SaveOutcome::kSaved;
  if (IsMissingFileError(error)) {
    ports.ui.ShowStandardBox(i18n::FormatText(context.Text(StringKey::str_msg2), path), u"Info");
    return SaveOutcome::kMissing;
  }
  if (!IsAccessDeniedError(error)) return SaveOutcome::kFailed;
  // Profile 1 is known by its place in the table, not by its name: without a language file
  // every profile's name would be the same empty text.
  if (page.selected_profile != 0) return SaveOutcome::kDenied;
  if (ports.store.OpenKey(kConfigKey) == KeyStoreStatus::kOk &&
      ports.store.WriteValue(kConfigKey, kDefaultSettingValue,
                             platform::BinaryValue(RecordBytes(context.settings))) ==
          KeyStoreStatus::kOk) {
    page.registry_copy_flag = 1;
    return SaveOutcome::kRegistryCopy;
  }
  ports.ui.ShowStandardBox(context.Text(StringKey::str_msg5), u"Info");
  return SaveOutcome::kRegistryCopyFailed;
}

bool SelectProfile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports, int index,
                   bool apply, std::optional<ProfileFileProblem>* problem) {
  if (problem != nullptr) problem->reset();
  if (index < 0 || index >= kProfileCount) return false;
  ProfileEntry& entry = context.profiles.entries[index];
  // Kept off the stack: the record is some 50 KB.
  const auto previous = std::make_unique<SettingsRecord>(context.settings);
  const std::uint8_t previous_trailer = page.trailer_byte;
  std::error_code error;
  const FileLoad load =
      ReadProfileFile(context, page, ports, platform::ReadFixedText(entry.file_path), error);
  if (load != FileLoad::kLoaded) {
    // A profile never used before has no file yet: its defaults are made without a word. A
    // damaged file is kept beside before the defaults replace it.
    std::optional<ProfileFileProblem> found =
        ReplaceUnusableFile(context, page, ports, index, load, error);
    const bool replaced = load != FileLoad::kNoPath && load != FileLoad::kUnreadable &&
                          (!found || found->kind == ProfileFileProblem::Kind::kKeptDamaged);
    if (problem != nullptr) *problem = std::move(found);
    if (!replaced) {
      context.settings = *previous;
      page.trailer_byte = previous_trailer;
      return false;
    }
  }

  page.selected_profile = index;
  ShowSwitchControls(page, entry);
  for (ProfileEntry& other : context.profiles.entries) other.selected = 0;
  entry.selected = 1;
  UpdateProfileTabs(context, page);

  if (apply) ApplyToMouse(context, page, ports, false);
  if (context.tray_hidden_flag != 0) StoreProfileTable(context, ports.store);
  ports.ui.RefreshPage();
  return true;
}

std::optional<ProfileTable> ReadStoredProfileTable(platform::KeyStore& store, std::string& why) {
  platform::KeyValue value;
  const KeyStoreStatus status = store.ReadValue(kConfigKey, kConfigInfoValue, value);
  if (status == KeyStoreStatus::kNotFound) return ProfileTable{};
  if (status != KeyStoreStatus::kOk) {
    why = "the profile table cannot be read: " +
          std::string(platform::DescribeKeyStoreStatus(status));
    return std::nullopt;
  }
  std::optional<ProfileTable> table;
  if (value.type == platform::ValueType::kBinary) table = TableFromBytes(value.data);
  if (!table) why = "the stored profile table is damaged";
  return table;
}

bool StoreProfileTable(const AppContext& context, platform::KeyStore& store) {
  if (store.OpenKey(kConfigKey) != KeyStoreStatus::kOk) return false;
  return store.WriteValue(kConfigKey, kConfigInfoValue,
                          platform::BinaryValue(TableBytes(context.profiles))) ==
         KeyStoreStatus::kOk;
}

bool ConfirmResetProfile(AppContext& context, SettingsPageModel& page, platform::UiPort& ui) {
  if (page.SelectedEntry(context.profiles) == nullptr) return false;
  page.dialog_open = 1;
  const int answer = ShowMessage(context, ui, context.Text(StringKey::str_resetinfo), true);
  page.dialog_open = 0;
  return answer == 1;
}

std::optional<ApplyReport> ResetConfirmedProfile(AppContext& context, SettingsPageModel& page,
                                                 ConfigPorts& ports) {
  ProfileEntry* entry = page.SelectedEntry(context.profiles);
  if (entry == nullptr) return std::nullopt;
  BuildDefaultSettings(context.settings, context.strings);
  platform::WriteFixedText(context.settings.profile_name, platform::ReadFixedText(entry->name));
  std::memset(entry->macro_ids, 0, sizeof entry->macro_ids);
  std::memset(entry->program_name, 0, sizeof entry->program_name);
  entry->auto_switch = 0;
  ShowSwitchControls(page, *entry);
  ports.ui.RefreshPage();

  const ApplyReport report = ApplyToMouse(context, page, ports, true);
  for (int slot = 0; slot < device::kMacroSlotCount; ++slot) {
    device::ClearMacroSlot(ports.channel, page.mouse_handle, slot);
  }
  return report;
}

std::optional<ApplyReport> ResetProfile(AppContext& context, SettingsPageModel& page,
                                        ConfigPorts& ports) {
  if (!ConfirmResetProfile(context, page, ports.ui)) return std::nullopt;
  return ResetConfirmedProfile(context, page, ports);
}

bool WriteFirstRunMarker(platform::KeyStore& store) {
  if (store.OpenKey(kConfigKey) == KeyStoreStatus::kOk) {
    platform::KeyValue value;
    if (store.ReadValue(kConfigKey, kFirstRunValue, value) == KeyStoreStatus::kOk &&
        value.type == platform::ValueType::kBinary) {
      return true;
    }
  } else if (store.CreateKey(kConfigKey) != KeyStoreStatus::kOk) {
    return false;
  }
  return store.WriteValue(kConfigKey, kFirstRunValue, platform::BinaryValue({1, 0, 0, 0})) ==
         KeyStoreStatus::kOk;
}

}  // namespace z900::config
