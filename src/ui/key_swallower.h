#pragma once

#include <QList>
#include <QObject>

class QWidget;

namespace z900::ui {

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
