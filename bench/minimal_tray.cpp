// The yardstick of the start-up benchmark: the least a Qt Widgets program with a tray icon does,
// and the least it does to show a window of the utility's size when the icon is double-clicked.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::darkBlue);
  QSystemTrayIcon tray{QIcon(pixmap)};
  tray.setToolTip("minimal tray");
  std::unique_ptr<QWidget> window;
  QObject::connect(&tray, &QSystemTrayIcon::activated, [&](QSystemTrayIcon::ActivationReason why) {
    if (why != QSystemTrayIcon::DoubleClick) return;
    if (!window) {
      window = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
      window->setWindowTitle("minimal tray window");
      window->setFixedSize(822, 544);
      QPalette palette = window->palette();
      palette.setColor(QPalette::Window, Qt::darkBlue);
      window->setPalette(palette);
      window->setAutoFillBackground(true);
    }
    window->show();
  });
  tray.show();
  return app.exec();
}
