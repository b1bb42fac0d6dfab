#pragma once

#include <QString>

#include "i18n/language_strings.h"
#include "ui/skinned_dialog.h"

namespace z900::ui {

// Results of the message dialog.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultDiscard = 3;

// Where the message begins, and how far its lines may go: the body of the dialog above the
// line that divides it from the buttons (a long text moves up from its rectangle).
inline constexpr QRect kMessageRect = RectLTRB(90, 73, 305, 91);
inline constexpr QRect kMessageRoom = RectLTRB(90, 35, 305, 119);

// The buttons of the message dialog.
enum class InfoButtons {
  kOk,                  // a notice
  kOkCancel,            // a question
  kApplyDiscardCancel,  // what becomes of changes not yet applied
};

// The message dialog: a notice with OK, a question with OK and Cancel, or the question about
// unapplied changes with Apply, Discard and Cancel. OK and Apply end it with 1, Discard with 3;
// Cancel, the close button and Escape with 2.
class CInfoDlg : public SkinnedDialog {
  Q_OBJECT

 public:
  // A notice, or with any non-zero confirm flag a question.
  CInfoDlg(const QString& text, int confirm, const i18n::LanguageStrings& strings,
           QWidget* parent = nullptr);
  CInfoDlg(const QString& text, InfoButtons buttons, const i18n::LanguageStrings& strings,
           QWidget* parent = nullptr);

  bool question() const { return question_; }
  const QString& message() const { return text_; }
  CGDIBitmapBtn* ok_button() const { return ok_; }
  CGDIBitmapBtn* cancel_button() const { return cancel_; }
  CGDIBitmapBtn* discard_button() const { return discard_; }
  CGDIBitmapBtn* close_button() const { return close_; }

  void reject() override { done(kResultCancel); }

 protected:
  void PaintContent(QPainter& painter) override;

 private:
  QString text_;
  QString title_;
  bool question_;
  CGDIBitmapBtn* ok_;
  CGDIBitmapBtn* cancel_ = nullptr;
  CGDIBitmapBtn* discard_ = nullptr;
  CGDIBitmapBtn* close_;
};

}  // namespace z900::ui
