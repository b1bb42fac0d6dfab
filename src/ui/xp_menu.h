#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

class QPainter;

namespace z900::ui {

// The data of one tray-menu item: its icons (resource numbers) and text.
struct XPMenuItem {
  int icon_normal = 0;
  int icon_selected = 0;
  QString text;
};

// Every item of the tray menu measures this size; like the desktop menus it was made for, the
// menu adds the width of a check mark, so items are drawn this much wider.
inline constexpr QSize kXPMenuItemSize(75, 22);
inline constexpr int kXPMenuCheckMarkWidth = 12;

// Draws one item in its rectangle: highlighted on a framed light-blue field with its selected
// icon, otherwise on the light field with its normal icon; without data nothing is drawn.
void DrawXPMenuItem(QPainter& painter, const QRect& rect, bool highlighted, const XPMenuItem* item);

// The tray menu: a pop-up of owner-drawn items, each a command number with its XPMenuItem. The
// items stay owned by the caller while the menu is shown.
class CXPMenu : public QWidget {
  Q_OBJECT

 public:
  explicit CXPMenu(QWidget* parent = nullptr);

  void AppendItem(int command, const XPMenuItem* item);
  // Shows the menu with its top-left corner at `global` (kept on the screen) and waits for a
  // choice; returns its command, or 0 when the menu was closed without one.
  int Exec(const QPoint& global);
  // Shows the menu without waiting; the choice arrives as Chosen.
  void Popup(const QPoint& global);

  int highlighted() const { return highlighted_; }
  QRect ItemRect(int index) const;

 signals:
  void Chosen(int command);
  void Closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  struct Entry {
    int command;
    const XPMenuItem* item;
  };
  int IndexAt(const QPoint& pos) const;
  void SetHighlighted(int index);
  void Choose(int index);

  std::vector<Entry> entries_;
  int highlighted_ = -1;
  int chosen_ = 0;
};

}  // namespace z900::ui
