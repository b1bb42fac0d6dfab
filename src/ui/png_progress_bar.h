#pragma once

#include <QPixmap>
#include <QWidget>

namespace z900::ui {

// The identifier the progress bar reports with.
inline constexpr int kProgressBarId = 769;

// A bar drawn from two pictures: the empty track, and the filled track revealed from the left.
class CPngHProgressBar : public QWidget {
  Q_OBJECT

 public:
  CPngHProgressBar(const QRect& rect, QWidget* parent);

  // Cuts the fill and the track out of full-window pictures at (x, y, width, height).
  void SetImages(const QPixmap& fill_source, const QPixmap& track_source, const QRect& part);
  void SetRange(int minimum, int maximum);
  void SetPos(int position);
  int position() const { return position_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  // The width of the filled part for the current position.
  int FilledWidth() const;

 signals:
  // The user let go after dragging to this position.
  void PositionChanged(int position, int id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void DragTo(int x);

  QPixmap fill_;
  QPixmap track_;
  int minimum_ = 0;
  int maximum_ = 10;
  int position_ = 0;
  bool read_only_ = false;
  bool tracking_ = true;
  bool dragging_ = false;
};

}  // namespace z900::ui
