#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QRect>

namespace z900::ui {

// A push button whose faces are cut out of its window's pictures, with an optional caption in
// the skin font. In check mode a checked button draws as pressed.
class CGDIBitmapBtn : public QAbstractButton {
  Q_OBJECT

 public:
  // Placed at `rect` in parent coordinates with `text` as its caption (empty: image only).
  CGDIBitmapBtn(const QString& text, const QRect& rect, QWidget* parent);

  // Cuts the button's rectangle out of each window picture; the four faces of its states.
  void SetBitmaps(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                  const QPixmap& disabled);
  void SetText(const QString& text);
  void SetTextColours(QColor normal, QColor hover, QColor pressed);
  // The caption is centred between these margins (8 and 5 unless set): a face with a mark at
  // one side keeps its caption clear of it.
  void SetTextMargins(int left, int right);
  // Check mode: the button keeps a checked state and draws it like pressed.
  void SetCheckMode(bool on) { check_mode_ = on; }
  void SetCheck(bool checked);
  bool GetCheck() const { return checked_; }
  void SetTooltip(const QString& text) { setToolTip(text); }

  bool hovering() const { return hovering_; }

  // The face and caption colour drawn for the current state.
  enum class Face { kNormal, kHover, kPressed, kDisabled };
  Face CurrentFace() const;

 signals:
  // Every mouse move over the button, in the parent's coordinates.
  void MouseMoved(QPoint parent_point);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // Starts hovering when the rules allow it: no drag from elsewhere, an active window.
  void TrackHover(Qt::MouseButtons buttons);
  void SetHovering(bool on);

  QPixmap faces_[4];
  QColor text_colours_[3];
  int text_margin_left_;
  int text_margin_right_;
  bool check_mode_ = false;
  bool checked_ = false;
  bool hovering_ = false;
};

}  // namespace z900::ui
