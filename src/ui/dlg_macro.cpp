#include "ui/dlg_macro.h"

#include <QPainter>

#include "ui/key_swallower.h"

namespace z900::ui {

using i18n::StringKey;

CDlgMacro::CDlgMacro(const i18n::LanguageStrings& strings, platform::KeyStore& store,
                     QWidget* parent)
    : SkinnedDialog(SkinWindow::kMacroChooser, parent),
      title_(LanguageText(strings, StringKey::str_macro_list)),
      store_(store) {
  setWindowTitle(QStringLiteral("Talvo Z900 Macro"));
  list_ = new CListBoxEx(kChooserListId, RectLTRB(5, 30, 234, 219), this);
  list_->SetLook({SkinFont(QFont::Normal), 16, QColor(ColorRef(0x41372E)), QColor(colours::kAccent),
                  QColor(ColorRef(0x111111)), QColor(ColorRef(0x010101))});
  const QString ok_text = LanguageText(strings, StringKey::str_ok);
  ok_ = AddButton(ok_text, RectLTRB(163, 224, 229, 256), QColor(colours::kWhite),
                  QColor(colours::kDialogText), QColor(colours::kWhite));
  ok_->SetTooltip(ok_text);
  close_ = AddButton(QString(), RectLTRB(211, 0, 241, 27));
  connect(ok_, &QAbstractButton::clicked, this, [this] {
    chosen_ = macro::ChosenMacro(macros_, list_->SelectedRow());
    accept();
  });
  connect(close_, &QAbstractButton::clicked, this, [this] {
    chosen_.reset();
    reject();
  });
  new KeySwallower(this, {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space});
}

void CDlgMacro::showEvent(QShowEvent* event) {
  macros_ = macro::ListMacros(store_);
  std::vector<macro::MacroRow> rows;
  for (const macro::MacroListEntry& entry : macros_) {
    rows.push_back({macro::RowTag(macro::kRowMacro, entry.id), entry.name});
  }
  list_->ShowRows(rows, macro::PresetRow(preset_position_, rows.size()));
  chosen_.reset();
  SkinnedDialog::showEvent(event);
}

void CDlgMacro::PaintContent(QPainter& painter) {
  painter.setFont(SkinFont());
  painter.setPen(QColor(colours::kAboutText));
  DrawSkinText(painter, RectLTRB(10, 6, 100, 26), title_, TextLayout::kLeft);
}

}  // namespace z900::ui
