#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QRegion>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <vector>

#include "ui/info_dlg.h"
#include "ui/skin.h"

namespace z900::ui::test {

// A picture of one colour, as a stand-in for a window picture whose faces are cut out.
inline QPixmap Solid(QSize size, QColor colour) {
  QPixmap picture(size);
  picture.fill(colour);
  return picture;
}

// The colour at a point of what a widget draws.
inline QColor PixelOf(QWidget& widget, QPoint at) {
  return QColor(widget.grab().toImage().pixel(at));
}

// The pointer entering a widget and moving to `at`, delivered straight to it (the offscreen
// platform leaves enter and leave to the caller).
inline void Hover(QWidget& widget, QPoint at) {
  const QPointF global = widget.mapToGlobal(QPointF(at));
  QEnterEvent enter(QPointF(at), global, global);
  QApplication::sendEvent(&widget, &enter);
  QMouseEvent move(QEvent::MouseMove, QPointF(at), global, Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&widget, &move);
}

inline void Leave(QWidget& widget) {
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&widget, &leave);
}

// Two regions cover the same pixels.
inline bool SameRegion(const QRegion& a, const QRegion& b) { return (a ^ b).isEmpty(); }

// The folder the test program runs from, which holds the skins folder and language files.
inline std::filesystem::path ProgramFolder() {
  return std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
}

// Answers every message dialog that opens, with OK (Apply), Cancel or Discard, and writes down
// its text.
class AnswerDialogs : public QObject {
 public:
  enum class Answer { kOk, kCancel, kDiscard };
  explicit AnswerDialogs(bool confirm = true)
      : AnswerDialogs(confirm ? Answer::kOk : Answer::kCancel) {}
  explicit AnswerDialogs(Answer answer) : answer_(answer) { qApp->installEventFilter(this); }
  ~AnswerDialogs() override { qApp->removeEventFilter(this); }

  std::vector<QString> shown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<CInfoDlg*>(watched);
    if (dialog != nullptr && event->type() == QEvent::Show) {
      shown.push_back(dialog->message());
      CGDIBitmapBtn* button = answer_ == Answer::kOk       ? dialog->ok_button()
                              : answer_ == Answer::kCancel ? dialog->cancel_button()
                                                           : dialog->discard_button();
      QTimer::singleShot(0, dialog, [button] { QTest::mouseClick(button, Qt::LeftButton); });
    }
    return false;
  }

 private:
  Answer answer_;
};

// A shown, active top-level window for controls that light up only in the active window.
class ActiveWindowTest : public ::testing::Test {
 protected:
  ActiveWindowTest() {
    SetSkinPixelRatio(1.0);
    window.resize(400, 300);
    window.show();
    QApplication::setActiveWindow(&window);
  }
  QWidget window;
};

}  // namespace z900::ui::test
