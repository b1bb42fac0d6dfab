#pragma once

#include <atomic>
#include <string>

#include "config/settings_record.h"
#include "i18n/language_strings.h"
#include "platform/program_paths.h"
#include "platform/ui_port.h"

namespace z900::config {

// Process-wide state of a program run, owned by the application object and passed by
// reference to every operation that needs it.
struct AppContext {
  // The onboard mode that slot writes address: 0 or 1, or whatever the mouse last answered.
  int current_mode = 0;
  platform::ProgramPaths paths;
  i18n::LanguageStrings strings;
  // 1 while the message dialog (or the about box) is showing. Atomic: the device worker shows
  // messages too (through the ui thread), while the ui thread reads the flag.
  std::atomic<int> message_box_flag = 0;
  // The loaded profile's configuration and the table of the five profiles.
  SettingsRecord settings{};
  ProfileTable profiles{};
  // 1 after the user hid the main window with its close button, until it is shown again.
  // Written on the ui thread, read by a profile selection on the device worker.
  std::atomic<int> tray_hidden_flag = 0;

  const std::u16string& Text(i18n::StringKey key) const { return strings.Get(key); }
};

// The program's message routine: shows a text as a notice (confirm false) or a question, with
// the message-box flag set meanwhile. Returns 1 when the user confirmed with OK.
int ShowMessage(AppContext& context, platform::UiPort& ui, const std::u16string& text,
                bool confirm);
// Asks (str_unapplied) what becomes of the page's changes not yet applied, with the message-box
// flag set meanwhile.
platform::UnappliedChoice AskUnappliedChanges(AppContext& context, platform::UiPort& ui);

}  // namespace z900::config
