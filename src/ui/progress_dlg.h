#pragma once

#include <QDialog>
#include <QPixmap>
#include <filesystem>

#include "i18n/language_strings.h"
#include "ui/png_progress_bar.h"
#include "ui/skinned_dialog.h"

namespace z900::ui {

// The progress window of long writes into the mouse: the skins folder's two progress pictures,
// a read-only bar of 0 … 100 and the "writing" text, or the text that says that the write
// waits for another program. Positions outside the range show empty. It keeps no input from
// the other windows (the window behind it can be moved, the tray menu opens; the pages take no
// command while a write runs) and is moved by dragging it.
class CProgressDlg : public QDialog {
  Q_OBJECT

 public:
  CProgressDlg(const i18n::LanguageStrings& strings, const std::filesystem::path& program_folder,
               QWidget* parent = nullptr);

  void SetPos(int value);
  int requested() const { return requested_; }
  CPngHProgressBar* bar() const { return bar_; }
  // Says that the write waits for another program, or (false) that it writes.
  void SetWaiting(bool waiting);
  bool waiting() const { return waiting_; }
  const QString& text() const { return waiting_ ? wait_text_ : text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Comes to the front even while another program is active.
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPixmap normal_;
  QString text_;
  QString wait_text_;
  CPngHProgressBar* bar_;
  WindowDrag drag_;
  int requested_ = 0;
  bool waiting_ = false;
};

}  // namespace z900::ui
