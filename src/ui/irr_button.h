#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QPolygon>
#include <QRegion>

namespace z900::ui {

// A button of any outline, such as the settings page's tabs. Its faces are the parts of full
// window pictures under its outline; it reports a press at once, not on release.
class CIrrButton : public QAbstractButton {
  Q_OBJECT

 public:
  // `outline` is in parent coordinates; the button covers its bounding box.
  CIrrButton(const QString& text, const QPolygon& outline, QWidget* parent);

  // Full-window pictures: normal, selected, hover and disabled.
  void SetImages(const QPixmap& normal, const QPixmap& selected, const QPixmap& hover,
                 const QPixmap& disabled);
  void SetTextColours(QColor normal, QColor hover, QColor selected);
  // Sticky buttons show the selected face from the selected flag rather than the mouse.
  void SetSticky(bool on) { sticky_ = on; }
  void SetSelected(bool selected);
  bool selected() const { return selected_; }
  bool hovering() const { return hovering_; }
  bool pressed() const { return pressed_; }

  // The region in the button's own coordinates and its centre in the parent's.
  const QRegion& region() const { return region_; }
  QPoint centre() const { return centre_; }
  // Where the caption starts, in parent coordinates: left of the centre by 6 per character
  // (less 5) for up to five characters, by 3 per character (less 5) for longer ones.
  QPoint CaptionOrigin() const;

 signals:
  // The left button went down on the button (both clicks of a double click count).
  void Pressed();

 protected:
  bool hitButton(const QPoint& pos) const override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void SetHovering(bool on);

  QRegion region_;
  QPoint centre_;
  QPixmap normal_;
  QPixmap selected_image_;
  QPixmap hover_;
  QPixmap disabled_;
  QColor normal_colour_;
  QColor hover_colour_;
  QColor selected_colour_;
  bool sticky_ = false;
  bool selected_ = false;
  bool hovering_ = false;
  bool pressed_ = false;
};

}  // namespace z900::ui
