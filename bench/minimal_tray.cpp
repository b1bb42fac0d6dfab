// The yardstick of the start-up benchmark: the least a Qt Widgets program with a tray icon does.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::darkBlue);
  QSystemTrayIcon tray{QIcon(pixmap)};
  tray.setToolTip("minimal tray");
  tray.show();
  return app.exec();
}
