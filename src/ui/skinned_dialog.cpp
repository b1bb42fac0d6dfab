#include "ui/skinned_dialog.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace z900::ui {

SkinnedDialog::SkinnedDialog(SkinWindow skin, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), images_(LoadWindowImages(skin)) {
  setFixedSize(SkinOf(skin).size);
  setAttribute(Qt::WA_OpaquePaintEvent);
  CentreOnScreen(*this);
}

CGDIBitmapBtn* SkinnedDialog::AddButton(const QString& caption, const QRect& rect, QColor normal,
                                        QColor hover, QColor pressed) {
  auto* button = new CGDIBitmapBtn(caption, rect, this);
  button->SetBitmaps(images_.normal, images_.hover, images_.pressed, images_.normal);
  button->SetTextColours(normal, hover, pressed);
  return button;
}

void SkinnedDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinPicture(painter, rect(), images_.normal);
  PaintContent(painter);
}

void SkinnedDialog::mousePressEvent(QMouseEvent* event) { drag_.Press(*this, *event); }

void SkinnedDialog::mouseMoveEvent(QMouseEvent* event) { drag_.Move(*this, *event); }

void SkinnedDialog::mouseReleaseEvent(QMouseEvent* event) { drag_.Release(*event); }

void WindowDrag::Press(QWidget& window, const QMouseEvent& event) {
  if (event.button() != Qt::LeftButton) return;
  if (window.windowHandle() != nullptr && window.windowHandle()->startSystemMove()) return;
  dragging_ = true;
  offset_ = event.globalPosition().toPoint() - window.pos();
}

void WindowDrag::Move(QWidget& window, const QMouseEvent& event) {
  if (dragging_) window.move(event.globalPosition().toPoint() - offset_);
}

void WindowDrag::Release(const QMouseEvent& event) {
  if (event.button() == Qt::LeftButton) dragging_ = false;
}

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  window.move(area.x() + (area.width() - window.width()) / 2,
              area.y() + (area.height() - window.height()) / 2);
}

}  // namespace z900::ui
