#pragma once

#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include "config/app_context.h"
#include "macro/macro_editor.h"
#include "platform/clock.h"
#include "platform/key_store.h"
#include "platform/keyboard_hook.h"
#include "platform/ui_port.h"
#include "ui/gdi_bitmap_btn.h"
#include "ui/list_box_ex.h"
#include "ui/skin.h"

namespace z900::ui {

// The list ids of the macro page, as its notices carry them.
inline constexpr int kMacroListId = 256;
inline constexpr int kEventListId = 257;
// The period of the loop box's tidying.
inline constexpr int kLoopTidyMs = 2000;
// While another program holds the store lock, the page tries it again this often.
inline constexpr int kStoreRetryMs = 50;
// How long the page waits for the store lock at its end, for the changes still waiting: longer
// than the longest write of the mouse.
inline constexpr std::uint32_t kStoreExitWaitMs = 30000;

// The macro page of the main window (the page rectangle's size): the macro list, the rows of
// the selected macro, the record button and the delay box, the loop count, and the insert,
// delete and modify commands whose choices and value box lie under covers until a command
// needs them. The macro editor of the core decides; the page shows it and forwards input.
// The ui thread never waits for the store lock: while another program holds it, the changes
// wait with the busy pointer and are written once it is free; the page's end waits for them.
class CMacroDlg : public QWidget, private macro::MacroEditorHost {
  Q_OBJECT

 public:
  // `system_wide_hook` false: the hook hears only the utility's windows, and the page says so.
  CMacroDlg(config::AppContext& context, platform::KeyStore& store, platform::KeyboardHook& hook,
            bool system_wide_hook, platform::Clock& clock, platform::UiPort& ui, QWidget* parent);
  // Writes the changes still waiting, trying the store lock on `clock` for kStoreExitWaitMs at
  // most; what is still locked out then is reported on standard error.
  ~CMacroDlg() override;

  const macro::MacroEditor& editor() const { return editor_; }

  CListBoxEx* macro_list() const { return macro_list_; }
  CListBoxEx* event_list() const { return event_list_; }
  CGDIBitmapBtn* record_button() const { return record_; }
  CGDIBitmapBtn* new_macro_button() const { return new_macro_; }
  CGDIBitmapBtn* delete_macro_button() const { return delete_macro_; }
  CGDIBitmapBtn* insert_button() const { return insert_; }
  CGDIBitmapBtn* delete_event_button() const { return delete_event_; }
  CGDIBitmapBtn* modify_button() const { return modify_; }
  CGDIBitmapBtn* delay_box() const { return delay_box_; }
  CGDIBitmapBtn* key_choice() const { return key_choice_; }
  CGDIBitmapBtn* delay_choice() const { return delay_choice_; }
  CGDIBitmapBtn* ok_button() const { return ok_; }
  CGDIBitmapBtn* upper_cover() const { return upper_cover_; }
  CGDIBitmapBtn* lower_cover() const { return lower_cover_; }
  QLineEdit* loop_box() const { return loop_box_; }
  QLineEdit* value_box() const { return value_box_; }
  QTimer* loop_timer() { return &loop_timer_; }
  QTimer* store_timer() { return &store_timer_; }
  // The prompt drawn while a command waits for input; empty when none.
  QString PromptText() const;

 public slots:
  // The loop box's periodic tidying (the loop timer runs it).
  void TidyLoopBox();
  // Another try at the changes that wait for the store lock (the store timer runs it).
  void WriteWaitingChanges();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  bool MacroInUse(std::uint32_t id) override;
  void ShowNotice(macro::EditorNotice notice) override;
  std::unique_ptr<platform::FileLock> TryLockStore(bool& busy) override;
  void ChangesWaiting(bool waiting) override;
  void EditorChanged() override { Render(); }

  QString Text(i18n::StringKey key) const;
  // A skinned button at `rect` whose click runs `command` and then shows the editor's state.
  CGDIBitmapBtn* AddButton(const QString& caption, const QRect& rect, void (CMacroDlg::*command)());
  QLineEdit* AddEditBox(const QRect& rect, int max_length);
  // Shows the editor's state in every control.
  void Render();

  void NewMacro();
  void DeleteMacro();
  void Record();
  void ToggleDelayBox();
  void DeleteEvent();
  void Insert();
  void ChooseInsertKey();
  void ChooseInsertDelay();
  void Modify();
  void Ok();

  config::AppContext& context_;
  platform::KeyStore& store_;
  platform::Clock& clock_;
  platform::UiPort& ui_;
  bool system_wide_hook_;
  macro::MacroEditor editor_;
  WindowImages images_;
  QTimer loop_timer_;
  QTimer store_timer_;
  // The page is ending: notices go to standard error, as no box may open now.
  bool ending_ = false;

  CListBoxEx* macro_list_;
  CListBoxEx* event_list_;
  CGDIBitmapBtn* record_;
  CGDIBitmapBtn* new_macro_;
  CGDIBitmapBtn* delete_macro_;
  CGDIBitmapBtn* insert_;
  CGDIBitmapBtn* delete_event_;
  CGDIBitmapBtn* modify_;
  CGDIBitmapBtn* delay_box_;
  CGDIBitmapBtn* key_choice_;
  CGDIBitmapBtn* delay_choice_;
  CGDIBitmapBtn* ok_;
  CGDIBitmapBtn* upper_cover_;
  CGDIBitmapBtn* lower_cover_;
  QLineEdit* loop_box_;
  QLineEdit* value_box_;
};

}  // namespace z900::ui
