#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cli/cli_session.h"
#include "config/apply_to_mouse.h"
#include "config/config_ports.h"
#include "config/profiles.h"
#include "config/settings_page_model.h"
#include "platform/key_store.h"

namespace z900::cli {

// One command's hold on the configuration: the key store, the profile files and the page
// state over the session's context, and the mouse when the command needs it.
class ConfigRun {
 public:
  explicit ConfigRun(CliSession& session);
  ~ConfigRun();
  ConfigRun(const ConfigRun&) = delete;
  ConfigRun& operator=(const ConfigRun&) = delete;

  // Loads the language and the profiles; kExitOk or the code to end with.
  int Load();
  // Opens the mouse into the page's own handle and asks for its mode; kExitOk or the code to
  // end with. Device commands before this go nowhere. Commands that write into the mouse open
  // it before they load anything, so that without a mouse no file is made or changed.
  int OpenMouse();
  // After a failed write: whether the mouse is gone (it can no longer be opened at all).
  bool MouseUnplugged();

  config::AppContext& context() { return session_.context(); }
  config::SettingsPageModel& page() { return page_; }
  config::ConfigPorts& ports() { return *ports_; }
  platform::KeyStore& store() { return *store_; }
  const config::ProfileEntry& selected() { return *page_.SelectedEntry(context().profiles); }
  int selected_number() const { return page_.selected_profile + 1; }

  // Stores the table and saves the loaded profile's file; kExitOk, or kExitFailed after saying
  // what was not saved.
  int Save();
  // A one-line text for a save that did not reach the profile file; empty for a saved one.
  std::string SaveProblem(config::SaveOutcome outcome);

 private:
  CliSession& session_;
  std::unique_ptr<platform::KeyStore> store_;
  config::ProfileFiles files_;
  std::unique_ptr<platform::HidBackend> no_mouse_;
  std::unique_ptr<device::HidChannel> no_mouse_channel_;
  std::unique_ptr<config::ConfigPorts> ports_;
  config::SettingsPageModel page_;
  bool mouse_open_ = false;
};

// One line on a profile file that could not be used as it was.
std::string ProfileProblemText(const config::ProfileFileProblem& problem);

// "profile 2 (Profile 2)".
std::string ProfileLabel(ConfigRun& run);

// Tells what an apply wrote (unless quiet) and what failed; kExitOk or kExitFailed.
int ReportApply(CliSession& session, ConfigRun& run, const config::ApplyReport& report, bool quiet);

// The first start after a firmware update: when the update marker is pending, writes the
// selected profile into the freshly flashed mouse once and says so on the error stream (the
// command's own output stays as it is). Runs from CliSession::OpenMouse, before the command
// uses the mouse; kExitOk, or the code to end with when the mouse cannot be opened.
int RunPendingFirmwareFollowUp(CliSession& session);

// The number in `text` when it lies in first … last.
std::optional<int> ParseInRange(std::string_view text, int first, int last);

}  // namespace z900::cli
