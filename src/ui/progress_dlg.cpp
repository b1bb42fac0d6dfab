#include "ui/progress_dlg.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/skin.h"
#include "ui/skinned_dialog.h"

namespace z900::ui {
namespace {

constexpr QRect kBarRect = RectLTRB(35, 47, 295, 56);
constexpr QRect kTextRect(35, 20, 310, 40);
// The window's size when its picture is missing.
constexpr QSize kFallbackSize(330, 86);
constexpr int kMinimum = 0;
constexpr int kMaximum = 100;

}  // namespace

CProgressDlg::CProgressDlg(const i18n::LanguageStrings& strings,
                           const std::filesystem::path& program_folder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      normal_(LoadSkinImage(SkinFilePath(program_folder, SkinFile::kProgressNormal))),
      text_(LanguageText(strings, i18n::StringKey::str_probar_msg1)),
      wait_text_(LanguageText(strings, i18n::StringKey::str_probar_wait)) {
  const QPixmap over = LoadSkinImage(SkinFilePath(program_folder, SkinFile::kProgressOver));
  setWindowTitle(LanguageText(strings, i18n::StringKey::str_probar_title));
  setFixedSize(normal_.isNull() ? kFallbackSize : normal_.deviceIndependentSize().toSize());
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Not modal: one write at a time is the device worker's rule, and while it writes the pages
  // take no command, but the window behind can be moved and the tray menu opens.
  setWindowModality(Qt::NonModal);
  CentreOnScreen(*this);

  bar_ = new CPngHProgressBar(kBarRect, this);
  bar_->SetImages(over, normal_, kBarRect);
  bar_->SetReadOnly(true);
  bar_->SetRange(kMinimum, kMaximum);
  bar_->SetPos(kMinimum);
}

void CProgressDlg::SetPos(int value) {
  requested_ = value;
  bar_->SetPos(value >= kMinimum && value <= kMaximum ? value : kMinimum);
  // Shown at once: the caller may be about to block on the mouse.
  bar_->repaint();
  repaint();
}

void CProgressDlg::SetWaiting(bool waiting) {
  if (waiting_ == waiting) return;
  waiting_ = waiting;
  repaint();
}

void CProgressDlg::mousePressEvent(QMouseEvent* event) { drag_.Press(*this, *event); }

void CProgressDlg::mouseMoveEvent(QMouseEvent* event) { drag_.Move(*this, *event); }

void CProgressDlg::mouseReleaseEvent(QMouseEvent* event) { drag_.Release(*event); }

void CProgressDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  raise();
  activateWindow();
}

void CProgressDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (normal_.isNull()) {
    painter.fillRect(rect(), Qt::black);
  } else {
    painter.drawPixmap(0, 0, normal_);
  }
  QFont font = SkinFont(QFont::Normal);
  font.setPointSize(8);
  painter.setFont(font);
  painter.setPen(QColor(colours::kProgressText));
  DrawSkinText(painter, kTextRect, text(), TextLayout::kWrapped, kTextRect);
}

}  // namespace z900::ui
