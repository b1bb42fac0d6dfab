// What the settings page's controls and timers do.
#include <QCursor>
#include <QPointer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "config/assignment_choice.h"
#include "config/assignment_menu.h"
#include "config/auto_switch.h"
#include "config/profiles.h"
#include "config/store_lock.h"
#include "device/hid_channel.h"
#include "macro/macro_store.h"
#include "platform/text.h"
#include "ui/set_dlg.h"
#include "ui/skinned_dialog.h"
#include "ui/window_store_lock.h"

namespace z900::ui {
namespace {

// Where a menu opens: at the pointer when it is on the clicked control, else below it.
QPoint MenuPosition(const QWidget& control) {
  const QPoint cursor = QCursor::pos();
  const QRect area(control.mapToGlobal(QPoint(0, 0)), control.size());
  return area.contains(cursor) ? cursor : area.bottomLeft();
}

}  // namespace

void CSetDlg::WhenIdle(std::function<void()> task) {
  // The window may delete the page (its shut-down) before work that waited for a write runs.
  ports_.worker.WhenIdle([page = QPointer<CSetDlg>(this), task = std::move(task)] {
    if (page != nullptr) task();
  });
}

void CSetDlg::Command(std::function<void()> action) {
  menu_.DestroyMenuEx();
  WhenIdle([this, action = std::move(action)] {
    // A name typed since the last copy is kept before the page shows anything anew.
    TakeNameBox();
    action();
  });
}

void CSetDlg::ShowForegroundStatus() {
  const platform::ForegroundStatus status = ports_.foreground.BackendStatus();
  if (!foreground_status_ || status != *foreground_status_) {
    foreground_status_ = status;
    const std::string line = platform::DescribeForegroundStatus(status);
    std::fprintf(stderr, "z900-config: automatic switching: %s\n", line.c_str());
    ShowSwitchBoxTip();
  }
  // The one problem the user can mend, told once per run when a profile waits for a program.
  if (status.problem != platform::ForegroundProblem::kExtensionNotEnabled || told_extension_) {
    return;
  }
  for (const config::ProfileEntry& entry : context_.profiles.entries) {
    if (entry.auto_switch == 0 || entry.program_name[0] == u'\0') continue;
    told_extension_ = true;
    config::ShowMessage(context_, ports_.config.ui, platform::Utf8ToUtf16(status.detail), false);
    return;
  }
}

void CSetDlg::ShowSwitchBoxTip() {
  if (switch_box_ == nullptr) return;
  QString tip = LanguageText(context_.strings, i18n::StringKey::str_autopath);
  if (foreground_status_ && !foreground_status_->SeesForeground()) {
    tip += QStringLiteral("\n") +
           QString::fromStdString(platform::DescribeForegroundStatus(*foreground_status_));
  }
  if (switch_waits_) {
    tip += QStringLiteral("\n") +
           LanguageText(context_.strings, i18n::StringKey::str_autoswitch_waits);
  }
  switch_box_->SetTooltip(tip);
}

bool CSetDlg::OnScreen() const { return isVisible() && !window()->isMinimized(); }

void CSetDlg::TakeNameBox() {
  // Nothing can have been typed into a page that was never shown.
  if (name_box_ == nullptr || !name_edited_) return;
  name_edited_ = false;
  config::CopyProfileName(context_.settings, name_box_->text().toStdU16String());
}

void CSetDlg::OpenAssignmentMenu(int button, const QWidget* control) {
  Command([this, button, control] {
    config::BeginAssignmentChoice(context_, model_, button);
    const std::vector<config::MenuItemRecord> items =
        config::BuildAssignmentMenu(config::MenuVariantOf(button), ports_.config.store,
                                    context_.strings, model_.macro_item_table);
    menu_.CreateMenuEx(items, MenuPosition(*control));
  });
}

void CSetDlg::MenuChosen(int item, int category) {
  menu_.DestroyMenuEx();
  WhenIdle([this, item, category] {
    TakeNameBox();
    config::AssignmentPorts ports{ports_.config.ui, ports_.config.store, ports_.layout};
    config::HandleAssignmentChoice(context_, model_, ports, item, category);
    Refresh();
  });
}

void CSetDlg::ClickDpiBox(int index) {
  Command([this, index] {
    config::ToggleDpiBox(context_.settings, context_.current_mode, index);
    Refresh();
  });
}

void CSetDlg::SliderMoved(int position, int id) {
  if (id != kSliderId) return;
  WhenIdle([this, position] {
    TakeNameBox();
    config::SetLightingEffect(context_.settings, context_.current_mode,
                              config::SnapLightingPosition(position));
    Refresh();
  });
}

void CSetDlg::SelectMode(int mode) {
  Command([this, mode] {
    context_.current_mode = mode;
    Refresh();
  });
}

void CSetDlg::SelectProfileTab(int index) {
  Command([this, index] {
    const bool replaced = ReplaceAfterAsking([this, index] {
      model_.switch_target_index = index;
      // The mouse keeps its settings until Apply.
      std::optional<config::ProfileFileProblem> problem;
      config::SelectProfile(context_, model_, ports_.config, index, false, &problem);
      Refresh();
      // Another profile's file is the one to watch now. The selection itself is an edit of the
      // table, not of the profile now loaded.
      stored_ = ReadStoredState();
      edit_baseline_ = EditBytes();
      if (problem) config::TellProfileProblem(context_, ports_.config.ui, *problem);
    });
    // Staying: the tabs show the profile that stays loaded.
    if (!replaced) Refresh();
  });
}

bool CSetDlg::ReplaceAfterAsking(std::function<void()> replace) {
  if (!HoldsUnappliedEdits()) {
    replace();
    return true;
  }
  switch (config::AskUnappliedChanges(context_, ports_.config.ui)) {
    case platform::UnappliedChoice::kStay:
      return false;
    case platform::UnappliedChoice::kDiscard:
      replace();
      return true;
    case platform::UnappliedChoice::kApply:
      break;
  }
  const auto stored = std::make_shared<std::atomic<bool>>(false);
  StartWrite(
      [this, stored](WriteOutcome& outcome) {
        outcome.report = config::ApplyToMouse(context_, model_, ports_.config, true);
        stored->store(outcome.report->save == config::SaveOutcome::kSaved ||
                      outcome.report->save == config::SaveOutcome::kRegistryCopy);
      },
      true,
      [stored, replace = std::move(replace)] {
        // Edits that could not be stored stay on the page.
        if (stored->load()) replace();
      });
  return true;
}

bool CSetDlg::HoldsUnappliedEdits() {
  TakeNameBox();
  return EditBytes() != edit_baseline_;
}

void CSetDlg::FollowMacroNames() {
  const bool edited = HoldsUnappliedEdits();
  if (const config::ProfileEntry* entry = model_.SelectedEntry(context_.profiles)) {
    config::RefreshMacroNames(context_.settings, *entry, ports_.config.store);
  }
  if (!edited) edit_baseline_ = EditBytes();
  Refresh();
}

void CSetDlg::ClickSwitchBox() {
  Command([this] {
    config::ChooseSwitchProgram(
        context_, model_, ports_.config.ui,
        model_.switch_box_checked ? config::SwitchAction::kTurnOff : config::SwitchAction::kTurnOn);
    Refresh();
  });
}

void CSetDlg::ClickProgramButton() {
  Command([this] {
    config::ChooseSwitchProgram(context_, model_, ports_.config.ui,
                                config::SwitchAction::kChooseProgram);
    Refresh();
  });
}

void CSetDlg::Apply() {
  Command([this] {
    StartWrite(
        [this](WriteOutcome& outcome) {
          outcome.report = config::ApplyToMouse(context_, model_, ports_.config, true);
        },
        true);
  });
}

void CSetDlg::Reset() {
  Command([this] {
    // Asked here; the write runs on the worker.
    if (!config::ConfirmResetProfile(context_, model_, ports_.config.ui)) return;
    StartWrite(
        [this](WriteOutcome& outcome) {
          outcome.report = config::ResetConfirmedProfile(context_, model_, ports_.config);
        },
        true);
  });
}

void CSetDlg::StartWrite(std::function<void(WriteOutcome&)> write, bool shows_progress,
                         std::function<void()> then) {
  // The name box's text is part of what is written.
  TakeNameBox();
  // Filled on the worker, read on the ui thread once the worker has handed the job back.
  auto outcome = std::make_shared<WriteOutcome>();
  ports_.worker.Run(
      [this, write = std::move(write), outcome, shows_progress] {
        // Other programs (z900ctl) keep off the profiles and macros while the page writes them,
        // and the page waits for theirs; the lock is held for this write alone.
        bool busy = false;
        const std::unique_ptr<platform::FileLock> lock = LockStore(true, busy, shows_progress);
        if (busy) {
          outcome->lock_given_up = true;
          outcome->lock_holders = config::StoreLockHolders(context_.paths);
          if (shows_progress) ports_.config.ui.CloseProgress();
          return;
        }
        write(*outcome);
        // Taken under the lock: a change another program makes right after it is news. What
        // the mouse did not take stays an edit not yet applied.
        if (outcome->report && outcome->report->WriteIncomplete()) {
          stored_ = ReadStoredState();
        } else {
          TakeBaseline();
        }
      },
      [this, outcome, then = std::move(then)] {
        AfterWrite(*outcome);
        if (then) then();
      });
}

std::unique_ptr<platform::FileLock> CSetDlg::LockStore(bool wait, bool& busy, bool shows_progress) {
  return LockStoreForWindow(context_.paths, platform::LockMode::kExclusive,
                            wait ? &ports_.config.channel.clock() : nullptr, busy,
                            [this, shows_progress] {
                              QMetaObject::invokeMethod(this, [this] { emit WaitingForStore(); });
                              if (shows_progress) ports_.config.ui.ShowProgressWaiting();
                            });
}

void CSetDlg::AfterWrite(const WriteOutcome& outcome) {
  stored_changed_ = false;
  Refresh();
  update();
  config::AppContext& context = context_;
  if (outcome.lock_given_up) {
    config::ShowMessage(context, ports_.config.ui,
                        i18n::FormatText(context.Text(i18n::StringKey::str_lock_timeout),
                                         platform::Utf8ToUtf16(outcome.lock_holders)),
                        false);
  }
  if (outcome.problem) {
    // The automatic switching tries again at every tick: a problem is told once.
    const std::pair<int, std::error_code> told{outcome.problem->profile, outcome.problem->error};
    if (told != told_switch_problem_) {
      told_switch_problem_ = told;
      config::TellProfileProblem(context, ports_.config.ui, *outcome.problem);
    }
  }
  if (outcome.report) {
    const bool incomplete = outcome.report->WriteIncomplete();
    SetMouseBehind(incomplete);
    if (incomplete && MouseGone()) {
      emit MouseRemovedDuringWrite();
    } else if (const std::u16string failures = config::ApplyFailureText(context, *outcome.report);
               !failures.empty()) {
      config::ShowMessage(context, ports_.config.ui, failures, false);
    }
  }
  emit WriteFinished();
}

void CSetDlg::SetMouseBehind(bool behind) {
  mouse_behind_ = behind;
  if (apply_ == nullptr) return;  // the controls show it when they are made
  apply_->SetCheck(behind);
  apply_->SetTooltip(LanguageText(
      context_.strings, behind ? i18n::StringKey::str_apply_pending : i18n::StringKey::str_apply));
}

bool CSetDlg::MouseGone() { return device::MouseGone(ports_.config.channel); }

void CSetDlg::SwitchTick() {
  // Nothing is switched under a running write or a dialog of the page: the choice in the
  // dialog belongs to the profile it was opened on.
  if (ports_.worker.busy() || model_.dialog_open != 0) return;
  TakeNameBox();
  ForegroundChanged();
}

void CSetDlg::ForegroundChanged() {
  // The news may be that the back-end can announce changes now, or no longer can.
  UpdateSwitchTimer(isVisible());
  if (ports_.worker.busy()) {
    // Taken up once the write is done: hidden, no timer would look again.
    if (!foreground_news_waits_) {
      foreground_news_waits_ = true;
      WhenIdle([this] {
        foreground_news_waits_ = false;
        ForegroundChanged();
      });
    }
    return;
  }
  if (model_.dialog_open != 0 || context_.message_box_flag != 0) return;
  ShowForegroundStatus();
  const std::optional<int> target =
      config::FindAutoSwitchTarget(context_, model_, ports_.foreground);
  // A switch would replace edits the user sees and has not applied: it waits for them.
  const bool waits = target && OnScreen() && HoldsUnappliedEdits();
  if (waits != switch_waits_) {
    switch_waits_ = waits;
    ShowSwitchBoxTip();
  }
  if (!target || waits) return;
  model_.switch_target_index = *target;
  const int index = *target;
  StartWrite(
      [this, index](WriteOutcome& outcome) {
        if (config::SelectProfile(context_, model_, ports_.config, index, false,
                                  &outcome.problem)) {
          outcome.report = config::ApplyToMouse(context_, model_, ports_.config, false);
        }
      },
      false);
}

std::vector<std::uint8_t> CSetDlg::PageBytes() const {
  std::vector<std::uint8_t> bytes = config::RecordBytes(context_.settings);
  const std::vector<std::uint8_t> table = config::TableBytes(context_.profiles);
  bytes.insert(bytes.end(), table.begin(), table.end());
  return bytes;
}

std::vector<std::uint8_t> CSetDlg::EditBytes() const {
  std::vector<std::uint8_t> bytes = config::RecordBytes(context_.settings);
  if (const config::ProfileEntry* entry = model_.SelectedEntry(context_.profiles)) {
    const std::size_t start = bytes.size();
    bytes.resize(start + sizeof *entry);
    std::memcpy(bytes.data() + start, entry, sizeof *entry);
  }
  bytes.push_back(static_cast<std::uint8_t>(model_.selected_profile));
  return bytes;
}

void CSetDlg::TakeBaseline() {
  baseline_ = PageBytes();
  edit_baseline_ = EditBytes();
  stored_ = ReadStoredState();
}

bool CSetDlg::HoldsUnappliedChanges() const { return PageBytes() != baseline_; }

CSetDlg::StoredState CSetDlg::ReadStoredState() {
  StoredState state;
  platform::KeyValue table;
  if (ports_.config.store.ReadValue(config::kConfigKey, config::kConfigInfoValue, table) ==
      platform::KeyStoreStatus::kOk) {
    state.profile = std::move(table.data);
  }
  if (const config::ProfileEntry* entry = model_.SelectedEntry(context_.profiles)) {
    std::vector<std::uint8_t> file;
    ports_.config.files.Read(
        std::filesystem::path(platform::Utf16ToUtf8(platform::ReadFixedText(entry->file_path))),
        config::kProfileFileSize, file);
    state.profile.insert(state.profile.end(), file.begin(), file.end());
  }
  state.macros = macro::ListMacros(ports_.config.store);
  return state;
}

void CSetDlg::WatchStoredData() {
  // The profile folder, the key holding the profile table, the macro key and each macro.
  const std::filesystem::path& root = context_.paths.registry_root;
  std::vector<std::filesystem::path> folders = {context_.paths.profile_folder,
                                                platform::KeyStoreFolder(root, config::kConfigKey),
                                                platform::KeyStoreFolder(root, macro::kMacroBaseKey)};
  std::vector<std::u16string> macros;
  if (ports_.config.store.EnumerateSubkeys(macro::kMacroBaseKey, macros) ==
      platform::KeyStoreStatus::kOk) {
    for (const std::u16string& name : macros) {
      folders.push_back(
          platform::KeyStoreFolder(root, std::u16string(macro::kMacroBaseKey) + name));
    }
  }
  QStringList paths;
  for (const std::filesystem::path& folder : folders) {
    const QString path = QString::fromStdU16String(folder.u16string());
    if (!folder.empty() && !watcher_.directories().contains(path) &&
        std::filesystem::is_directory(folder)) {
      paths.push_back(path);
    }
  }
  if (!paths.isEmpty()) watcher_.addPaths(paths);
}

void CSetDlg::StoredDataChanged() {
  WhenIdle([this] {
    WatchStoredData();
    if (model_.dialog_open != 0 || context_.message_box_flag != 0) {
      // Looked at again once the dialog is closed.
      settle_timer_.start();
      return;
    }
    // Loading may store a mended profile table: under the lock, which the ui thread does not
    // wait for. While another program changes the files they are looked at again shortly.
    bool busy = false;
    std::unique_ptr<platform::FileLock> lock = LockStore(false, busy);
    if (busy) {
      settle_timer_.start();
      return;
    }
    if (reload_pending_) {
      reload_pending_ = false;
      const config::LoadProfilesResult loaded =
          config::LoadProfiles(context_, model_, ports_.config);
      stored_changed_ = false;
      Refresh();
      TakeBaseline();
      update();
      // Told with the lock let go: another program need not wait for the user to read it.
      lock.reset();
      TellLoadProblems(loaded);
      return;
    }
    // What the page wrote itself, or a change that left the files as they were, is no news.
    const StoredState now = ReadStoredState();
    if (now == stored_) return;
    TakeNameBox();
    const bool own_edits = HoldsUnappliedChanges();
    std::vector<config::ProfileFileProblem> problems;
    if (now.profile != stored_.profile) {
      if (own_edits) {
        stored_changed_ = true;
      } else {
        problems = config::LoadProfiles(context_, model_, ports_.config).problems;
        stored_changed_ = false;
      }
    }
    // Macro names follow the store in either case; the page's own edits stay.
    if (const config::ProfileEntry* entry = model_.SelectedEntry(context_.profiles)) {
      config::RefreshMacroNames(context_.settings, *entry, ports_.config.store);
    }
    Refresh();
    if (own_edits) {
      stored_ = ReadStoredState();
    } else {
      TakeBaseline();
    }
    update();
    lock.reset();
    TellLoadProblems({.problems = std::move(problems)});
  });
}

}  // namespace z900::ui
