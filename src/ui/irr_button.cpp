#include "ui/irr_button.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "ui/skin.h"

namespace z900::ui {

CIrrButton::CIrrButton(const QString& text, const QPolygon& outline, QWidget* parent)
    : QAbstractButton(parent),
      normal_colour_(colours::kButtonText),
      hover_colour_(colours::kButtonHoverText),
      selected_colour_(colours::kButtonPressedText) {
  setText(text);
  const QRect box = outline.boundingRect();
  region_ = QRegion(outline.translated(-box.topLeft()));
  centre_ = box.center();
  setGeometry(box);
  setMask(region_);
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(true);
}

void CIrrButton::SetImages(const QPixmap& normal, const QPixmap& selected, const QPixmap& hover,
                           const QPixmap& disabled) {
  normal_ = normal;
  selected_image_ = selected;
  hover_ = hover;
  disabled_ = disabled;
  update();
}

void CIrrButton::SetTextColours(QColor normal, QColor hover, QColor selected) {
  normal_colour_ = normal;
  hover_colour_ = hover;
  selected_colour_ = selected;
  update();
}

void CIrrButton::SetSelected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  update();
}

QPoint CIrrButton::CaptionOrigin() const {
  const auto n = static_cast<int>(text().size());
  const int per_character = n <= 5 ? 6 : 3;
  return {centre_.x() - per_character * n + 5, centre_.y() - 6};
}

bool CIrrButton::hitButton(const QPoint& pos) const {
  return rect().contains(pos) && region_.contains(pos);
}

void CIrrButton::paintEvent(QPaintEvent*) {
  const QPixmap* image = &normal_;
  QColor colour = normal_colour_;
  if (sticky_) {
    if (selected_) {
      image = &selected_image_;
      colour = selected_colour_;
    } else if (hovering_) {
      image = &hover_;
      colour = hover_colour_;
    }
  } else if (!isEnabled()) {
    image = &disabled_;
  } else if (pressed_) {
    image = &selected_image_;
    colour = selected_colour_;
  } else if (hovering_) {
    image = &hover_;
    colour = hover_colour_;
  }

  QPainter painter(this);
  painter.setClipRegion(region_);
  if (!image->isNull()) painter.drawPixmap(QPoint(0, 0), CutOut(*image, geometry()));
  if (text().isEmpty()) return;
  painter.setFont(SkinFont());
  painter.setPen(colour);
  // The caption's origin is the top of its line, as the skin's layout gives it.
  const QFontMetrics metrics(painter.font());
  const QPoint origin = CaptionOrigin() - geometry().topLeft();
  painter.drawText(origin + QPoint(0, metrics.ascent()), text());
  const QRect ink = LineInk(metrics);
  ReportSkinText({text(), rect(),
                  QRect(origin.x(), origin.y() + metrics.ascent() + ink.top(),
                        metrics.horizontalAdvance(text()), ink.height())});
}

void CIrrButton::SetHovering(bool on) {
  if (hovering_ == on) return;
  hovering_ = on;
  update();
}

void CIrrButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !hitButton(event->position().toPoint())) {
    event->ignore();
    return;
  }
  emit Pressed();
  pressed_ = true;
  update();
}

// Qt gives the second press of a double click as this event alone: it is a press like the first.
void CIrrButton::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void CIrrButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = false;
  SetHovering(hitButton(event->position().toPoint()));
  update();
}

void CIrrButton::mouseMoveEvent(QMouseEvent* event) {
  if (pressed_) return;
  SetHovering(hitButton(event->position().toPoint()));
}

void CIrrButton::leaveEvent(QEvent* event) {
  SetHovering(false);
  QAbstractButton::leaveEvent(event);
}

}  // namespace z900::ui
