#pragma once

#include <QDialog>
#include <QPixmap>
#include <filesystem>

#include "i18n/language_strings.h"
#include "ui/png_progress_bar.h"

namespace z900::ui {

// The progress window of long writes into the mouse: the skins folder's two progress pictures,
// a read-only bar of 0 … 100 and the "writing" text. Positions outside the range show empty.
class CProgressDlg : public QDialog {
  Q_OBJECT

 public:
  CProgressDlg(const i18n::LanguageStrings& strings, const std::filesystem::path& program_folder,
               QWidget* parent = nullptr);

  void SetPos(int value);
  int requested() const { return requested_; }
  CPngHProgressBar* bar() const { return bar_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Comes to the front even while another program is active.
  void showEvent(QShowEvent* event) override;

 private:
  QPixmap normal_;
  QString text_;
  CPngHProgressBar* bar_;
  int requested_ = 0;
};

}  // namespace z900::ui
