#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>
#include <filesystem>

namespace z900::ui {

// The identifier the settings page's slider reports with.
inline constexpr int kSliderId = 256;

// The slider's thumb: a shaped window of its picture's size inside the track.
class CPngHSlider : public QWidget {
  Q_OBJECT

 public:
  CPngHSlider(const QPixmap& image, const QImage& shape, QWidget* track);

  void SetRange(int minimum, int maximum);
  // Positions outside the range (compared as unsigned numbers) show at the minimum.
  void SetPos(int position);
  int position() const { return position_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  bool dragging() const { return dragging_; }

 signals:
  // The thumb was let go after a drag, at this position.
  void Released(int position, int id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // The free width the thumb's left edge moves over.
  int Travel() const;

  QPixmap image_;
  int origin_x_ = 0;
  int origin_y_ = 0;
  int minimum_ = 0;
  int maximum_ = 10;
  int position_ = 0;
  bool dragging_ = false;
  QPoint grab_point_;
};

// The slider's track, which owns its thumb and reports positions to its owner.
class CPngHSliderBar : public QWidget {
  Q_OBJECT

 public:
  // A track at `rect` of `parent` with the thumb picture of the skins folder; a missing picture
  // gives a thumb without image.
  CPngHSliderBar(const std::filesystem::path& thumb_path, const QRect& rect, QWidget* parent);

  void SetRange(int minimum, int maximum);
  void SetPos(int position);
  int position() const;
  // The picture under the track, drawn 1:1 as its background.
  void SetBackground(const QPixmap& background);
  CPngHSlider* thumb() const { return thumb_; }

 signals:
  // A new position chosen by the user: a drag ended or the track was clicked.
  void PositionChanged(int position, int id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  CPngHSlider* thumb_;
  QPixmap background_;
  int minimum_ = 0;
  int maximum_ = 10;
};

}  // namespace z900::ui
