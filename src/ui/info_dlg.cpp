#include "ui/info_dlg.h"

#include <QPainter>

namespace z900::ui {

using i18n::StringKey;

namespace {

SkinWindow SkinOfButtons(InfoButtons buttons) {
  switch (buttons) {
    case InfoButtons::kOk:
      return SkinWindow::kMessageNotice;
    case InfoButtons::kOkCancel:
      return SkinWindow::kMessageQuestion;
    case InfoButtons::kApplyDiscardCancel:
      break;
  }
  return SkinWindow::kMessageChoice;
}

}  // namespace

CInfoDlg::CInfoDlg(const QString& text, int confirm, const i18n::LanguageStrings& strings,
                   QWidget* parent)
    : CInfoDlg(text, confirm != 0 ? InfoButtons::kOkCancel : InfoButtons::kOk, strings, parent) {}

CInfoDlg::CInfoDlg(const QString& text, InfoButtons buttons, const i18n::LanguageStrings& strings,
                   QWidget* parent)
    : SkinnedDialog(SkinOfButtons(buttons), parent),
      text_(text),
      title_(LanguageText(strings, StringKey::str_tips)),
      question_(buttons != InfoButtons::kOk) {
  setWindowTitle(title_);
  close_ = AddButton(QString(), RectLTRB(300, 0, 329, 29));
  const QString ok_text = LanguageText(strings, StringKey::str_ok);
  const QString cancel_text = LanguageText(strings, StringKey::str_cancel);
  switch (buttons) {
    case InfoButtons::kOk:
      ok_ = AddButton(ok_text, RectLTRB(240, 127, 306, 159));
      break;
    case InfoButtons::kOkCancel:
      ok_ = AddButton(ok_text, RectLTRB(178, 127, 244, 159));
      cancel_ = AddButton(cancel_text, RectLTRB(245, 127, 311, 159));
      break;
    case InfoButtons::kApplyDiscardCancel:
      // Wider than the question's two, with narrower margins: room for longer words.
      ok_ = AddButton(LanguageText(strings, StringKey::str_apply), RectLTRB(60, 127, 143, 159));
      discard_ =
          AddButton(LanguageText(strings, StringKey::str_discard), RectLTRB(144, 127, 227, 159));
      cancel_ = AddButton(cancel_text, RectLTRB(228, 127, 311, 159));
      for (CGDIBitmapBtn* button : {ok_, discard_, cancel_}) button->SetTextMargins(4, 3);
      connect(discard_, &QAbstractButton::clicked, this, [this] { done(kResultDiscard); });
      break;
  }
  if (cancel_ != nullptr) {
    connect(cancel_, &QAbstractButton::clicked, this, [this] { done(kResultCancel); });
  }
  connect(ok_, &QAbstractButton::clicked, this, [this] { done(kResultOk); });
  connect(close_, &QAbstractButton::clicked, this, [this] { done(kResultCancel); });
}

void CInfoDlg::PaintContent(QPainter& painter) {
  painter.setFont(SkinFont());
  painter.setPen(QColor(colours::kDialogText));
  DrawSkinText(painter, RectLTRB(10, 9, 100, 23), title_, TextLayout::kLeft);
  DrawSkinText(painter, kMessageRect, text_, TextLayout::kWrapped, kMessageRoom);
}

}  // namespace z900::ui
