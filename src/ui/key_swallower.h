#pragma once

#include <QList>
#include <QObject>

class QWidget;

namespace z900::ui {

// A widget with this property set to true takes every key itself, also those a KeySwallower
// keeps from the window it is in (an edit box whose blanks and Enter matter).
inline constexpr char kTakesItsKeys[] = "z900TakesItsKeys";

// Keeps some keys from a window and every control in it, also from controls added later: their
// presses and releases reach no widget there (the keyboard hook still hears them).
class KeySwallower : public QObject {
 public:
  // `keys` are Qt key codes; the swallower lives as long as `root`.
  KeySwallower(QWidget* root, QList<int> keys);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Watch(QObject* object);

  QList<int> keys_;
};

}  // namespace z900::ui
