#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/app_context.h"
#include "config/config_ports.h"
#include "config/settings_page_model.h"

namespace z900::config {

// How a save of the profile file ended (see SaveProfileFile in profiles.h).
enum class SaveOutcome {
  kSaved,
  kMissing,             // "Info" box with str_msg2; nothing written
  kRegistryCopy,        // profile 1 could not be written; saved as DefaultSetting
  kRegistryCopyFailed,  // neither: "Info" box with str_msg5
  kDenied,              // profiles 2 … 5 could not be written; nothing shown
  kFailed,              // another failure; nothing shown
  kNoProfile,           // no profile is loaded, or its path did not fit
};

// What an apply did, for callers that show figures; the apply itself never stops on a fault.
struct ApplyReport {
  int slots_written = 0;        // button slots the mouse acknowledged
  int slots_failed = 0;         // button slot writes without acknowledgement
  int slots_kept = 0;           // buttons whose type has no code (86, 87, unknown)
  int macros_written = 0;       // macro blocks written into macro slots
  int macros_failed = 0;        // macro buttons whose macro is gone, not encodable, beyond 14 or
                                // not acknowledged; they keep their code of the last write
  int macro_writes_failed = 0;  // of those, the macro blocks the mouse did not acknowledge
  std::size_t macro_bytes = 0;
  int settings_failed = 0;    // lighting commands and rate reads without acknowledgement
  int modes_without_dpi = 0;  // modes whose stages gave no DPI command
  bool table_stored = false;  // ConfigInfo written
  SaveOutcome save = SaveOutcome::kNoProfile;
  std::uint64_t elapsed_ms = 0;  // on the channel's clock

  int FailedCommands() const { return slots_failed + macros_failed + settings_failed; }
  // Whether the mouse may not hold what was written: a command went unacknowledged.
  bool WriteIncomplete() const { return slots_failed + settings_failed + macro_writes_failed > 0; }
};

// One fact about what an apply could not do, as both the cli and the window tell it.
struct ApplyFailure {
  enum class Kind {
    kUnacknowledged,     // commands the mouse did not acknowledge (slots, lighting, reads)
    kMacrosWithoutSlot,  // macro buttons that got no macro slot
    kModesWithoutDpi,    // modes whose stages gave no DPI command
  };
  Kind kind;
  int count;
};
// The failures of an apply, in the order they are told; empty when it did everything.
std::vector<ApplyFailure> ApplyFailures(const ApplyReport& report);
// The failures in the language's words for the program's message dialog, one per line, and
// str_apply_pending last when the mouse did not acknowledge the write in full; empty when there
// are none.
std::u16string ApplyFailureText(const AppContext& context, const ApplyReport& report);

// The key-store value that says the mouse may not hold the selected profile: the last apply
// was cut off or not acknowledged in full. Every apply sets or clears it.
inline constexpr std::u16string_view kWritePendingValue = u"WritePending";
bool WritePending(platform::KeyStore& store);
// When the mark is set, writes the loaded profile into the mouse once, without the progress
// window (which clears the mark when the mouse takes it all). Nullopt when nothing was pending.
std::optional<ApplyReport> RunPendingWrite(AppContext& context, SettingsPageModel& page,
                                           ConfigPorts& ports);

// Writes the whole configuration of both modes into the mouse through the page's handle:
// per mode the DPI stages, the eight button slots (macro buttons first get their macro written
// into the next free macro slot, 0x1000 upwards, in visit order), the lighting and the report
// rate; then stores the profile table (ConfigInfo) and saves the record into the selected
// profile's file. The current mode is 0 and then 1 while it runs and is restored at the end.
// With show_progress the progress window goes through 0, then per mode 10 and one position per
// button, then 100, followed by a 700 ms pause. The buttons share 10 … 90 by the time their
// writes take, and a macro's share moves on with every chunk written; without macros button b
// of mode m is at 10 + 40 × m + 5 × (b − 1). Every wait goes through the channel's clock.
// Device faults are counted, never reported to the user here, and set or clear the
// WritePending mark.
//
// When the mouse's current report-rate codes cannot be read, the command carries the
// record's own rate of the other mode instead.
ApplyReport ApplyToMouse(AppContext& context, SettingsPageModel& page, ConfigPorts& ports,
                         bool show_progress);

// The lighting code sent for a mode (1 when the lighting follows activity; 0, 2, 3, 4 for the
// effects 1, 3, 5, 7); -1 for an effect outside those.
int LightingCode(const SettingsRecord& record, int mode);
// The report-rate code of 125, 500 and 1000 Hz (8, 2, 1); -1 for other rates.
int ReportRateCode(std::int32_t rate);

}  // namespace z900::config
