#pragma once

#include <QColor>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "macro/macro_rows.h"

namespace z900::ui {

// A list of macro rows drawn by the skin: each row's kind (the top byte of its tag) chooses
// where its text starts and which icon of the skins folder stands before it (key up, key down,
// delay; a second set for the selected row). Optionally a double click opens a rename box over
// a row, whose text is taken when the box loses the focus or Enter is pressed in it.
class CListBoxEx : public QListWidget {
  Q_OBJECT

 public:
  struct Look {
    QFont font;
    int row_height = 20;
    QColor text;
    QColor selected_text;
    QColor selected_background;
    QColor background;
  };

  // Placed at `rect` of the parent; `control_id` goes with every notice.
  CListBoxEx(int control_id, const QRect& rect, QWidget* parent);

  int control_id() const { return control_id_; }
  void SetLook(const Look& look);
  // Loads the row icons from the skins folder of the program folder; missing ones draw nothing.
  void SetProgramFolder(const std::filesystem::path& program_folder);
  // Whether a double click opens the rename box, and how many UTF-16 units may be typed in it.
  void SetRenameEnabled(bool enabled, int max_length = 10) {
    rename_enabled_ = enabled;
    rename_length_ = max_length;
  }

  // Shows these rows with `selected` selected (and in view); rows that did not change stay as
  // they are. A rename box stays open while its row keeps its place.
  void ShowRows(std::span<const macro::MacroRow> rows, std::optional<std::size_t> selected);
  std::optional<std::size_t> SelectedRow() const;
  std::uint32_t RowTag(int row) const;

  // Opens the rename box over a row (an open one closes first, its text not taken).
  void OpenRenameBox(int row);
  QLineEdit* rename_box() const { return rename_box_; }

 signals:
  // The user changed the selection; `row` is the selected row, -1 for none.
  void RowSelected(int control_id, int row);
  // A rename box closed: the row shows `text` now and is selected.
  void RowRenamed(int control_id, int row, const QString& text);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class RowPainter;
  void TakeRename();
  void CloseRenameBox();

  int control_id_;
  Look look_;
  // Icons by kind (2 up, 3 down, 4 delay), normal and selected.
  QPixmap icons_[3][2];
  QSize icon_size_{16, 16};
  bool rename_enabled_ = false;
  int rename_length_ = 10;
  QPointer<QLineEdit> rename_box_;
  int rename_row_ = -1;
  bool showing_ = false;  // the selection changes because rows are shown, not by the user
};

}  // namespace z900::ui
