#include "ui/info_dlg.h"

#include <QPainter>
#include <QTextOption>

namespace z900::ui {
namespace {

// The text ends above the band of the buttons.
constexpr int kBodyBottom = 120;
// A long message is set smaller, down to this size, before it may reach the buttons.
constexpr int kSmallestTextPixels = 9;

}  // namespace

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
  const QRect usual = RectLTRB(90, 73, 305, kBodyBottom);
  const QRect needs =
      painter.boundingRect(usual, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
  if (needs.bottom() <= kBodyBottom && needs.right() <= usual.right()) {
    DrawSkinText(painter, usual, text_, TextLayout::kWrapped);
    return;
  }
  // A longer text (a path, a list of what failed) takes the whole body beside the icon, in a
  // smaller font as far as it needs, and breaks a word that is wider than a line.
  const QRectF body = RectLTRB(90, 38, 320, kBodyBottom);
  QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  QFont font = SkinFont();
  for (int pixels = font.pixelSize(); pixels >= kSmallestTextPixels; --pixels) {
    font.setPixelSize(pixels);
    painter.setFont(font);
    if (painter.boundingRect(body, text_, option).height() <= body.height()) break;
  }
  painter.drawText(body, text_, option);
}

}  // namespace z900::ui
