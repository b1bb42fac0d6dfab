#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <filesystem>
#include <span>
#include <vector>

#include "config/assignment_menu.h"

namespace z900::ui {

// The pictures and colours the assignment menus are drawn with.
struct SkinMenuLook {
  // Items: normal, pointer over it, pressed; then the same for items that open a sub-menu.
  QPixmap item[3];
  QPixmap item_with_sub[3];
  QColor text;      // an item's text
  QColor lit_text;  // the text of the item under the pointer or the keyboard
  QColor frame;     // the line around each column

  // The skins folder's six menu pictures and the skin's colours.
  static SkinMenuLook Load(const std::filesystem::path& program_folder);
};

// The open menu's window: the top-level column and, beside the item it belongs to, the open
// sub-menu's column. One pop-up window shaped to the columns it shows.
class CSkinMenuPopup : public QWidget {
  Q_OBJECT

 public:
  struct Row {
    int record;  // index in the item table
    QString text;
    std::vector<int> children;  // rows of the sub-menu, as indexes in the item table
    // Drawn and handled as a sub-menu's item even without children: never a choice itself.
    bool opens_sub = false;

    bool HasSub() const { return opens_sub || !children.empty(); }
  };

  CSkinMenuPopup(const SkinMenuLook& look, std::vector<Row> rows,
                 std::span<const config::MenuItemRecord> items);

  // The column of the top level (0) or of the open sub-menu (1), and a row's rectangle in it.
  QRect ItemRect(int column, int row) const;
  int highlighted(int column) const { return highlighted_[column]; }
  // The top-level row whose sub-menu is open; -1 when none.
  int open_row() const { return open_row_; }
  int RowCount(int column) const;

 signals:
  // A row without sub-menu was chosen: the item's identifier and its category.
  void Chosen(int item, int category);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  struct Hit {
    int column = -1;
    int row = -1;
  };
  Hit HitAt(const QPoint& pos) const;
  QRect ColumnRect(int column) const;
  void OpenSub(int row, bool highlight_first);
  void CloseSub();
  void Highlight(int column, int row);
  void Activate(int column, int row);
  void UpdateShape();
  void DrawItem(QPainter& painter, const QRect& rect, const QString& text, bool has_sub,
                int state) const;

  SkinMenuLook look_;  // pictures are shared, not copied
  std::vector<Row> rows_;
  std::vector<QString> texts_;  // per item of the table
  std::vector<std::uint32_t> identifiers_;
  int column_width_;
  int open_row_ = -1;
  int highlighted_[2] = {-1, -1};
  int keyboard_column_ = 0;
  Hit pressed_;
};

// The assignment menus' own menu: shows a table of MenuItemRecord as a two-level menu near the
// pointer and reports a choice as (item, category), where the category is the identifier of
// the chosen item's top-level item (its own for a top-level item without sub-menu).
class CSkinMenu : public QObject {
  Q_OBJECT

 public:
  CSkinMenu(SkinMenuLook look, QObject* owner);
  ~CSkinMenu() override;
  // For the menus opened from now on.
  void SetLook(SkinMenuLook look) { look_ = std::move(look); }

  // Shows the menu with its corner at `global` (kept on the screen) and returns at once; an
  // open menu is closed first. Items whose parent is not a top-level item before them are left
  // out; false, showing nothing, when no top-level item remains.
  bool CreateMenuEx(std::span<const config::MenuItemRecord> items, const QPoint& global);
  // Closes the open menu, if any; no choice arrives from it afterwards.
  void DestroyMenuEx();
  bool IsOpen() const;
  CSkinMenuPopup* popup() const { return popup_; }

 signals:
  void Chosen(int item, int category);

 private:
  SkinMenuLook look_;
  QPointer<CSkinMenuPopup> popup_;
};

}  // namespace z900::ui
