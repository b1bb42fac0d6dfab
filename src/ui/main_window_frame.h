#pragma once

#include <QPixmap>
#include <QWidget>

#include "i18n/language_strings.h"
#include "ui/gdi_bitmap_btn.h"
#include "ui/skin.h"
#include "ui/skinned_dialog.h"

namespace z900::ui {

// Where the main window's buttons sit (left, top, right, bottom as the layout gives them).
inline constexpr QRect kMinimiseButtonRect = RectLTRB(762, 3, 789, 24);
inline constexpr QRect kCloseButtonRect = RectLTRB(788, 3, 819, 33);
inline constexpr QRect kMousePageButtonRect = RectLTRB(30, 56, 86, 85);
inline constexpr QRect kMacroPageButtonRect = RectLTRB(94, 56, 159, 85);

// The two pages of the main window, as SwitchPage numbers them.
inline constexpr int kSettingsPage = 1;
inline constexpr int kMacroPage = 2;

// A page that is not built yet: its skin picture in the page rectangle.
class PagePlaceholder : public QWidget {
 public:
  PagePlaceholder(SkinWindow page, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
};

// The main window's look: the frameless window in the outline of its picture, its minimise and
// close buttons, the two page buttons and the two pages in their slots, moved by dragging its
// surface. CZ9xMouseConfigDlg gives it its behaviour; the gallery draws it as it stands.
// Its pictures, outline and buttons are made when it is first shown (or by BuildFrame): a
// utility that starts hidden in the tray decodes none of them.
class MainWindowFrame : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindowFrame(const i18n::LanguageStrings& strings, QWidget* parent = nullptr);

  // The pictures, the outline, the buttons and the place in the middle of the screen; once.
  void BuildFrame();
  bool frame_built() const { return minimise_ != nullptr; }
  void setVisible(bool visible) override;

  // Null until the frame is built.
  CGDIBitmapBtn* close_button() const { return close_; }
  CGDIBitmapBtn* minimise_button() const { return minimise_; }
  CGDIBitmapBtn* mouse_page_button() const { return mouse_page_; }
  CGDIBitmapBtn* macro_page_button() const { return macro_page_; }

  // Puts the settings page and the macro page into their slots at the page rectangle, hidden;
  // the frame owns them. Null leaves a slot empty; a page already in its slot stays as it is.
  void SetPages(QWidget* settings_page, QWidget* macro_page);
  // kSettingsPage or kMacroPage; null when the slot is empty.
  QWidget* page(int number) const { return number == kSettingsPage ? settings_ : macro_; }
  // Shows one page and hides the other.
  void SwitchPage(int number);
  // Presses the button of one page and releases the other's (once the frame is built).
  void SelectPageButton(int number);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // A press on the window's own surface, before it starts moving the window.
  virtual void SurfacePressed() {}

 private:
  const i18n::LanguageStrings& strings_;
  WindowImages images_;
  CGDIBitmapBtn* minimise_ = nullptr;
  CGDIBitmapBtn* close_ = nullptr;
  CGDIBitmapBtn* mouse_page_ = nullptr;
  CGDIBitmapBtn* macro_page_ = nullptr;
  QWidget* settings_ = nullptr;
  QWidget* macro_ = nullptr;
  WindowDrag drag_;
};

}  // namespace z900::ui
