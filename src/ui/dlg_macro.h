#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "i18n/language_strings.h"
#include "macro/macro_chooser.h"
#include "platform/key_store.h"
#include "ui/list_box_ex.h"
#include "ui/skinned_dialog.h"

namespace z900::ui {

// The list id of the chooser's list.
inline constexpr int kChooserListId = 10001;

// The macro chooser: every stored macro, in the order of the assignment menus, one of them
// preselected; OK reports the selected one. Enter, Esc and Space neither confirm nor cancel it.
class CDlgMacro : public SkinnedDialog {
  Q_OBJECT

 public:
  CDlgMacro(const i18n::LanguageStrings& strings, platform::KeyStore& store,
            QWidget* parent = nullptr);

  // The row selected when the dialog opens, counted from 1; 0 (and a position past the last
  // row) selects none. Set before the dialog is shown.
  void set_preset_position(std::uint32_t position) { preset_position_ = position; }
  // The macro chosen with OK: its id and position (from 1). Nullopt after the close button,
  // and after OK without a selection.
  const std::optional<macro::MacroChoice>& chosen() const { return chosen_; }

  CListBoxEx* list() const { return list_; }
  CGDIBitmapBtn* ok_button() const { return ok_; }
  CGDIBitmapBtn* close_button() const { return close_; }

 protected:
  void PaintContent(QPainter& painter) override;
  void showEvent(QShowEvent* event) override;

 private:
  QString title_;
  platform::KeyStore& store_;
  std::uint32_t preset_position_ = 0;
  std::vector<macro::MacroListEntry> macros_;
  std::optional<macro::MacroChoice> chosen_;
  CListBoxEx* list_;
  CGDIBitmapBtn* ok_;
  CGDIBitmapBtn* close_;
};

}  // namespace z900::ui
