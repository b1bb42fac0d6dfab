#include "ui/png_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "ui/bitmap_region.h"
#include "ui/control_range.h"
#include "ui/skin.h"

namespace z900::ui {

CPngHSlider::CPngHSlider(const QPixmap& image, const QImage& shape, QWidget* track)
    : QWidget(track), image_(image) {
  const QSize size = shape.isNull() ? QSize(0, 0) : shape.size();
  resize(size);
  // Initially centred on the track's origin, until the first position is set.
  move(-size.width() / 2, -size.height() / 2);
  if (!shape.isNull()) setMask(ThumbRegion(shape));
  SetPos(0);
}

void CPngHSlider::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
}

int CPngHSlider::Travel() const { return parentWidget()->width() - width(); }

void CPngHSlider::SetPos(int position) {
  if (static_cast<unsigned>(position) < static_cast<unsigned>(minimum_) ||
      static_cast<unsigned>(position) > static_cast<unsigned>(maximum_)) {
    position = minimum_;
  }
  position_ = position;
  const int span = maximum_ - minimum_;
  const int x = span == 0 ? origin_x_
                          : origin_x_ + static_cast<int>(static_cast<long long>(Travel()) *
                                                         (position - minimum_) / span);
  move(x, origin_y_);
  update();
}

void CPngHSlider::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter(this).drawPixmap(0, 0, image_);
}

void CPngHSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  grab_point_ = event->position().toPoint();
}

void CPngHSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  const int wanted = mapToParent(event->position().toPoint()).x() - grab_point_.x();
  const int right_limit = parentWidget()->width() - width();
  move(std::max(origin_x_, std::min(wanted, right_limit)), origin_y_);
}

void CPngHSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  position_ = ScaleToRange(minimum_, maximum_, x() - origin_x_, Travel() - origin_x_);
  emit Released(position_, kSliderId);
}

CPngHSliderBar::CPngHSliderBar(const std::filesystem::path& thumb_path, const QRect& rect,
                               QWidget* parent)
    : QWidget(parent) {
  setGeometry(rect);
  const QImage shape(QString::fromStdU16String(thumb_path.u16string()));
  thumb_ = new CPngHSlider(LoadSkinImage(thumb_path), shape, this);
  connect(thumb_, &CPngHSlider::Released, this,
          [this](int position, int) { emit PositionChanged(position, kSliderId); });
}

void CPngHSliderBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  thumb_->SetRange(minimum, maximum);
}

void CPngHSliderBar::SetPos(int position) {
  thumb_->SetPos(position);
  update();
}

int CPngHSliderBar::position() const { return thumb_->position(); }

void CPngHSliderBar::SetBackground(const QPixmap& background) {
  background_ = background;
  update();
}

void CPngHSliderBar::paintEvent(QPaintEvent*) {
  if (background_.isNull()) return;
  QPainter(this).drawPixmap(0, 0, background_);
}

void CPngHSliderBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // In the owner's coordinates: (x − left) / (right − left) of the range.
  const int x = mapToParent(event->position().toPoint()).x();
  const int position = ScaleToRange(minimum_, maximum_, x - geometry().left(), width());
  thumb_->SetPos(position);
  update();
  emit PositionChanged(position, kSliderId);
}

}  // namespace z900::ui
