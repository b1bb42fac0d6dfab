#include "ui/png_progress_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "ui/control_range.h"
#include "ui/skin.h"

namespace z900::ui {

CPngHProgressBar::CPngHProgressBar(const QRect& rect, QWidget* parent) : QWidget(parent) {
  setGeometry(rect);
}

void CPngHProgressBar::SetImages(const QPixmap& fill_source, const QPixmap& track_source,
                                 const QRect& part) {
  fill_ = CutOut(fill_source, part);
  track_ = CutOut(track_source, part);
  update();
}

void CPngHProgressBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  update();
}

void CPngHProgressBar::SetPos(int position) {
  position_ = position;
  update();
}

int CPngHProgressBar::FilledWidth() const {
  const int span = maximum_ - minimum_;
  if (span == 0) return 0;
  const long long filled = static_cast<long long>(position_ - minimum_) * width() / span;
  return static_cast<int>(std::clamp<long long>(filled, 0, width()));
}

void CPngHProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!track_.isNull()) painter.drawPixmap(0, 0, track_);
  const int filled = FilledWidth();
  if (filled > 0 && !fill_.isNull()) {
    // The source rectangle is in the picture's own pixels.
    const qreal ratio = fill_.devicePixelRatio();
    painter.drawPixmap(QRectF(0, 0, filled, height()), fill_,
                       QRectF(0, 0, filled * ratio, height() * ratio));
  }
}

void CPngHProgressBar::DragTo(int x) {
  position_ = ScaleToRange(minimum_, maximum_, std::max(x, 0), width());
  update();
}

void CPngHProgressBar::mousePressEvent(QMouseEvent* event) {
  if (read_only_ || !tracking_ || event->button() != Qt::LeftButton) return;
  dragging_ = true;
}

void CPngHProgressBar::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) DragTo(event->position().toPoint().x());
}

void CPngHProgressBar::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  DragTo(event->position().toPoint().x());
  emit PositionChanged(position_, kProgressBarId);
}

}  // namespace z900::ui
