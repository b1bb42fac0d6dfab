#include "ui/gdi_bitmap_btn.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "ui/skin.h"

namespace z900::ui {
namespace {

// The caption's box is the button narrowed by these margins, unless the owner sets others.
constexpr int kTextMarginLeft = 8;
constexpr int kTextMarginRight = 5;

}  // namespace

CGDIBitmapBtn::CGDIBitmapBtn(const QString& text, const QRect& rect, QWidget* parent)
    : QAbstractButton(parent),
      text_colours_{QColor(colours::kButtonText), QColor(colours::kButtonHoverText),
                    QColor(colours::kButtonPressedText)},
      text_margin_left_(kTextMarginLeft),
      text_margin_right_(kTextMarginRight) {
  setText(text);
  setGeometry(rect);
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(true);
}

void CGDIBitmapBtn::SetBitmaps(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                               const QPixmap& disabled) {
  const QRect area = geometry();
  faces_[static_cast<int>(Face::kNormal)] = CutOut(normal, area);
  faces_[static_cast<int>(Face::kHover)] = CutOut(hover, area);
  faces_[static_cast<int>(Face::kPressed)] = CutOut(pressed, area);
  faces_[static_cast<int>(Face::kDisabled)] = CutOut(disabled, area);
  // A button with faces covers its whole rectangle: its window need not repaint beneath it,
  // which also spares the about box a firmware query at every change of a button.
  setAttribute(Qt::WA_OpaquePaintEvent, !faces_[static_cast<int>(Face::kNormal)].isNull());
  update();
}

void CGDIBitmapBtn::SetText(const QString& text) {
  setText(text);
  update();
}

void CGDIBitmapBtn::SetTextColours(QColor normal, QColor hover, QColor pressed) {
  text_colours_[0] = normal;
  text_colours_[1] = hover;
  text_colours_[2] = pressed;
  update();
}

void CGDIBitmapBtn::SetTextMargins(int left, int right) {
  text_margin_left_ = left;
  text_margin_right_ = right;
  update();
}

void CGDIBitmapBtn::SetCheck(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  update();
}

CGDIBitmapBtn::Face CGDIBitmapBtn::CurrentFace() const {
  if (isDown() || (check_mode_ && checked_)) return Face::kPressed;
  if (hovering_) return Face::kHover;
  if (!isEnabled()) return Face::kDisabled;
  return Face::kNormal;
}

void CGDIBitmapBtn::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const Face face = CurrentFace();
  const QPixmap& image = faces_[static_cast<int>(face)];
  if (!image.isNull()) painter.drawPixmap(0, 0, image);
  if (text().isEmpty()) return;

  QColor colour;
  switch (face) {
    case Face::kPressed:
      colour = text_colours_[2];
      break;
    case Face::kHover:
      colour = text_colours_[1];
      break;
    case Face::kDisabled:
      colour = QColor(colours::kDisabledText);
      break;
    case Face::kNormal:
      colour = text_colours_[0];
      break;
  }
  painter.setFont(SkinFont());
  painter.setPen(colour);
  const QFontMetrics metrics(painter.font());
  const QRect box(text_margin_left_, 0, width() - text_margin_left_ - text_margin_right_, height());
  QString shown;
  // Centred by what the letters cover, so that a low button's descenders keep off its edge.
  const TextFit fit = FitSkinLine(metrics, box, text(), Qt::AlignHCenter, &shown);
  painter.drawText(QPoint(fit.used.left(), fit.used.top() - LineInk(metrics).top()), shown);
  ReportSkinText(fit);
}

void CGDIBitmapBtn::TrackHover(Qt::MouseButtons buttons) {
  // A drag that started elsewhere does not light the button.
  if ((buttons & Qt::LeftButton) && !hovering_) return;
  if (hovering_ || parentWidget() == nullptr) return;
  if (!window()->isActiveWindow()) return;
  SetHovering(true);
}

void CGDIBitmapBtn::SetHovering(bool on) {
  if (hovering_ == on) return;
  hovering_ = on;
  update();
}

void CGDIBitmapBtn::mouseMoveEvent(QMouseEvent* event) {
  const QPoint local = event->position().toPoint();
  if (rect().contains(local)) {
    TrackHover(event->buttons());
  } else {
    // Held by an implicit grab while the button is down: the pointer has left it.
    SetHovering(false);
  }
  if (parentWidget() != nullptr) emit MouseMoved(mapToParent(local));
  QAbstractButton::mouseMoveEvent(event);
}

void CGDIBitmapBtn::enterEvent(QEnterEvent* event) {
  TrackHover(QApplication::mouseButtons());
  QAbstractButton::enterEvent(event);
}

void CGDIBitmapBtn::leaveEvent(QEvent* event) {
  SetHovering(false);
  QAbstractButton::leaveEvent(event);
}

void CGDIBitmapBtn::focusOutEvent(QFocusEvent* event) {
  SetHovering(false);
  QAbstractButton::focusOutEvent(event);
}

}  // namespace z900::ui
