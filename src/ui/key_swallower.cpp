#include "ui/key_swallower.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QWidget>

namespace z900::ui {

KeySwallower::KeySwallower(QWidget* root, QList<int> keys) : QObject(root), keys_(std::move(keys)) {
  Watch(root);
}

void KeySwallower::Watch(QObject* object) {
  if (!object->isWidgetType()) return;
  object->installEventFilter(this);
  for (QObject* child : object->children()) Watch(child);
}

bool KeySwallower::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ChildAdded:
      Watch(static_cast<QChildEvent*>(event)->child());
      break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
      if (watched->property(kTakesItsKeys).toBool()) break;
      return keys_.contains(static_cast<QKeyEvent*>(event)->key());
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace z900::ui
