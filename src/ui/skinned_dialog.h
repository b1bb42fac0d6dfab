#pragma once

#include <QColor>
#include <QDialog>
#include <QPoint>
#include <QString>

#include "i18n/language_strings.h"
#include "ui/gdi_bitmap_btn.h"
#include "ui/skin.h"

namespace z900::ui {

// Moves a frameless top-level window while the left button is held on its own surface: the
// window system moves it where it can, elsewhere the window follows the pointer.
class WindowDrag {
 public:
  void Press(QWidget& window, const QMouseEvent& event);
  void Move(QWidget& window, const QMouseEvent& event);
  void Release(const QMouseEvent& event);

 private:
  bool dragging_ = false;
  QPoint offset_;
};

// A frameless dialog drawn from its three skin pictures: sized to the normal picture, centred on
// the screen, moved by dragging anywhere outside its buttons, whose faces it cuts from the
// same pictures. The close button of the title corner and the other buttons are made with
// AddButton.
class SkinnedDialog : public QDialog {
  Q_OBJECT

 public:
  SkinnedDialog(SkinWindow skin, QWidget* parent);

  const WindowImages& images() const { return images_; }

  // A button at `rect` with its faces from the window pictures (the normal one also when
  // disabled) and its caption colours.
  CGDIBitmapBtn* AddButton(const QString& caption, const QRect& rect,
                           QColor normal = QColor(colours::kDialogText),
                           QColor hover = QColor(colours::kWhite),
                           QColor pressed = QColor(colours::kWhite));

 protected:
  // Draws what lies on the background; the background itself is drawn already.
  virtual void PaintContent(QPainter& painter) = 0;

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  WindowImages images_;
  WindowDrag drag_;
};

// A language string as the ui shows it.
inline QString LanguageText(const i18n::LanguageStrings& strings, i18n::StringKey key) {
  return QString::fromStdU16String(strings.Get(key));
}

// Centres a top-level window in the screen's available area.
void CentreOnScreen(QWidget& window);

}  // namespace z900::ui
