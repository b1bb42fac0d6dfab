#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "config/app_context.h"
#include "config/apply_to_mouse.h"
#include "config/config_ports.h"
#include "config/settings_page_model.h"
#include "platform/key_store.h"

// The five profiles: the table in the registry value ConfigInfo, one profile file per profile,
// loading, selecting, saving and resetting. Every message goes through the UiPort.
namespace z900::config {

inline constexpr std::u16string_view kConfigKey = u"Software\\TALVO\\Z900";
inline constexpr std::u16string_view kConfigInfoValue = u"ConfigInfo";
inline constexpr std::u16string_view kDefaultSettingValue = u"DefaultSetting";
inline constexpr std::u16string_view kFirstRunValue = u"FirstRun";
// A profile file: the record, then one trailer byte.
inline constexpr std::size_t kProfileFileSize = sizeof(SettingsRecord) + 1;

// "Profile1.cfg" … "Profile5.cfg" in the profile folder, for index 0 … 4.
std::filesystem::path ProfileFilePath(const platform::ProgramPaths& paths, int index);

// A profile file that could not be used as it was (by LoadProfiles or SelectProfile). A profile
// file is one of exactly kProfileFileSize bytes that starts with the record's magic.
struct ProfileFileProblem {
  enum class Kind {
    kUnreadable,          // could not be read (`error`): left as it is, never replaced
    kKeptDamaged,         // not a profile file: kept as `copy`, then replaced by the defaults
    kDamagedNotReplaced,  // not a profile file, and it could not be kept or replaced (`error`):
                          // left as it is
    kNotCreated,          // missing, and the defaults could not be written (`error`)
  };
  Kind kind = Kind::kUnreadable;
  int profile = 0;  // 0 … 4
  std::filesystem::path path;
  std::filesystem::path copy;
  std::error_code error;
};

struct LoadProfilesResult {
  bool registry = true;   // the key exists or was created
  bool paths_fit = true;  // every profile file's path fits its 259-unit field
  int loaded = -1;        // the profile loaded from the table's selection; -1: profile 1 taken
  // kOk, or why ConfigInfo could not be read although it is there (no permission, not a file):
  // it is then left as it is, and the table in memory starts empty.
  platform::KeyStoreStatus table_status = platform::KeyStoreStatus::kOk;
  // The value name under which a damaged ConfigInfo was kept before it was started anew.
  std::u16string table_copy;
  std::vector<ProfileFileProblem> problems;
};
// Reads the table from ConfigInfo (creating the key and value when missing, keeping a damaged
// value beside it before starting anew), sets every entry's path and magic, loads the first
// selected profile whose file loads (a selected profile that fails is deselected; a missing
// file is made with the defaults, after which str_msg2 says so, and one that is not a profile
// file is kept as a copy and then replaced by them), names the entries str_profile1 … 5, falls
// back to profile 1, and updates the page's profile tabs and switch controls. A file that
// cannot be read is never replaced. Everything that did not go as it should is in `problems`
// (see ProfileProblemIsFatal). A profile folder whose paths do not fit leaves the paths empty:
// nothing is read or written then, and `paths_fit` says why.
LoadProfilesResult LoadProfiles(AppContext& context, SettingsPageModel& page, ConfigPorts& ports);

// Whether a problem of LoadProfiles ends a command that uses the profiles: a file that cannot
// be read, or a loaded profile whose defaults live in memory only because they could not be
// stored.
bool ProfileProblemIsFatal(const SettingsPageModel& page, const ProfileFileProblem& problem);

// Tells the user of a problem in the program's message dialog, with the language strings:
// the copy of a damaged file, a file that was left as it is and why, defaults that could not
// be stored (unless str_msg4 has said so already).
void TellProfileProblem(AppContext& context, platform::UiPort& ui,
                        const ProfileFileProblem& problem);

// Results of LoadProfileFile.
inline constexpr int kNotAProfileFile = -1;
inline constexpr int kProfileNotLoaded = 0;
inline constexpr int kProfileLoaded = 1;
// Reads one profile file into the settings record: 1 loaded, 0 not loaded (a missing file is
// created with defaults when report_missing, and str_msg2 tells so once it is), −1 not a
// profile file ("Info" box with str_msg3). While the registry copy of profile 1 exists in this
// run, profile 1 is read from it.
int LoadProfileFile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                    std::u16string_view path, bool report_missing, std::u16string_view name);

// Puts the defaults, named `name`, into the settings record and writes them as the file at
// `path` (creating the profile folder); str_msg4 when access is denied, and the reason in
// `why` for any failure. Either way the profile of that file loses its program and its
// automatic switching. 1 written, 0 not.
int CreateDefaultProfileFile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                             std::u16string_view path, std::u16string_view name,
                             std::error_code* why = nullptr);

// Writes the settings record and the trailer byte into the selected profile's file, replacing
// it whole, so that a failure at any point leaves the previous file intact.
SaveOutcome SaveProfileFile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports);

// Loads profile `index` (0 … 4) into the page and selects it; with `apply` writes it into the
// mouse as well. A missing file is made with the defaults first, without a word; a damaged one
// is kept as a copy and replaced by them (`problem` says where the copy is). When the file
// cannot be read, made or replaced, the previous profile stays loaded and selected, `problem`
// says why, and the result is false. The table reaches the registry here only while the main
// window is hidden in the tray.
bool SelectProfile(AppContext& context, SettingsPageModel& page, ConfigPorts& ports, int index,
                   bool apply, std::optional<ProfileFileProblem>* problem = nullptr);

// The table as stored in ConfigInfo: an empty table when there is none yet, nullopt with the
// reason in `why` when it cannot be read or is no profile table.
std::optional<ProfileTable> ReadStoredProfileTable(platform::KeyStore& store, std::string& why);

// Writes ConfigInfo into the existing key; false when the key does not exist or the write fails.
bool StoreProfileTable(const AppContext& context, platform::KeyStore& store);

// Asks str_resetinfo; on OK returns the selected profile to the defaults (its macros and its
// program cleared), writes it into the mouse with the progress window, stores it, and empties
// the fourteen macro slots. Nullopt when the user declined.
std::optional<ApplyReport> ResetProfile(AppContext& context, SettingsPageModel& page,
                                        ConfigPorts& ports);
// The two halves of ResetProfile, for a window that asks on its own thread and writes on
// another: the question (with the dialog-open flag set while it shows), and everything after
// OK. ResetConfirmedProfile gives nullopt when no profile is loaded.
bool ConfirmResetProfile(AppContext& context, SettingsPageModel& page, platform::UiPort& ui);
std::optional<ApplyReport> ResetConfirmedProfile(AppContext& context, SettingsPageModel& page,
                                                 ConfigPorts& ports);

// The page's switch box and program button after an entry: checked and showing its program
// while its automatic switching is on.
void ShowSwitchControls(SettingsPageModel& page, const ProfileEntry& entry);

// Leaves the FirstRun marker (binary 01 00 00 00) unless it is there as a binary value.
// False when the key cannot be opened or created, or the write fails.
bool WriteFirstRunMarker(platform::KeyStore& store);

}  // namespace z900::config
