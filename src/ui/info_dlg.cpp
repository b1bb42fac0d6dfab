#include "ui/info_dlg.h"

#include <QPainter>

namespace z900::ui {

using i18n::StringKey;

CInfoDlg::CInfoDlg(const QString& text, int confirm, const i18n::LanguageStrings& strings,
                   QWidget* parent)
    : SkinnedDialog(confirm != 0 ? SkinWindow::kMessageQuestion : SkinWindow::kMessageNotice,
                    parent),
      text_(text),
      title_(LanguageText(strings, StringKey::str_tips)),
      question_(confirm != 0) {
  setWindowTitle(title_);
  close_ = AddButton(QString(), RectLTRB(300, 0, 329, 29));
  const QString ok_text = LanguageText(strings, StringKey::str_ok);
  if (question_) {
    ok_ = AddButton(ok_text, RectLTRB(178, 127, 244, 159));
    cancel_ = AddButton(LanguageText(strings, StringKey::str_cancel), RectLTRB(245, 127, 311, 159));
    connect(cancel_, &QAbstractButton::clicked, this, [this] { done(kResultCancel); });
  } else {
    ok_ = AddButton(ok_text, RectLTRB(240, 127, 306, 159));
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
