#include "region_overlay.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace z900::screengrab {
namespace {

constexpr QColor kDim(0, 0, 0, 120);
constexpr QColor kEdge(70, 160, 255);

// A frameless window over the whole virtual desktop. The widget works in logical pixels and
// the image holds native ones; the two differ on a scaled (HiDPI) screen, so every position is
// mapped through the ratio of the image to the window before it becomes part of the result.
class RegionOverlay final : public QWidget {
 public:
  RegionOverlay(const QImage& desktop, QEventLoop& loop) : desktop_(desktop), loop_(loop) {
    setWindowTitle(kRegionOverlayTitle);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::X11BypassWindowManagerHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setGeometry(QGuiApplication::primaryScreen()->virtualGeometry());
  }

  const std::optional<QRect>& result() const { return result_; }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.drawImage(rect(), desktop_);
    painter.fillRect(rect(), kDim);
    if (!dragging_) {
      const QString hint = "Drag an area to capture it; Esc cancels";
      QRect box = LabelBox(painter, hint);
      box.moveCenter(mapFromGlobal(QGuiApplication::primaryScreen()->geometry().center()));
      DrawLabel(painter, box, hint);
      return;
    }
    const QRect area = NativeSelection();
    const QRectF shown = ToLogical(area);
    painter.drawImage(shown, desktop_, area);
    painter.setPen(QPen(kEdge, 1));
    painter.drawRect(shown.adjusted(0, 0, -1, -1));
    // The size goes below the area's right end, or inside it at the bottom of the screen.
    const QString size = QString("%1 × %2").arg(area.width()).arg(area.height());
    QRect box = LabelBox(painter, size);
    box.moveTopRight(shown.bottomRight().toPoint() + QPoint(0, 4));
    if (!rect().contains(box)) box.moveBottomRight(shown.bottomRight().toPoint() - QPoint(4, 4));
    DrawLabel(painter, box, size);
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton) return Finish(std::nullopt);
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    anchor_ = current_ = event->position();
    update();
  }

  void mouseMoveEvent(QMouseEvent* event) override {
    if (!dragging_) return;
    current_ = event->position();
    update();
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    current_ = event->position();
    const QRect area = NativeSelection();
    if (area.isEmpty()) {  // a click without a drag: let the user try again
      dragging_ = false;
      update();
      return;
    }
    Finish(area);
  }

  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) Finish(std::nullopt);
  }

  void closeEvent(QCloseEvent* /*event*/) override { loop_.quit(); }

 private:
  // Native pixels per logical pixel, per axis.
  QPointF Scale() const {
    return {desktop_.width() / static_cast<double>(std::max(1, width())),
            desktop_.height() / static_cast<double>(std::max(1, height()))};
  }

  // The dragged rectangle, from the press up to (not including) the release, in image pixels.
  QRect NativeSelection() const {
    const QPointF scale = Scale();
    const auto native = [&](double logical, double factor) {
      return static_cast<int>(std::lround(logical * factor));
    };
    const int left = native(std::min(anchor_.x(), current_.x()), scale.x());
    const int right = native(std::max(anchor_.x(), current_.x()), scale.x());
    const int top = native(std::min(anchor_.y(), current_.y()), scale.y());
    const int bottom = native(std::max(anchor_.y(), current_.y()), scale.y());
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(desktop_.rect());
  }

  QRectF ToLogical(const QRect& native) const {
    const QPointF scale = Scale();
    return {native.x() / scale.x(), native.y() / scale.y(), native.width() / scale.x(),
            native.height() / scale.y()};
  }

  static QRect LabelBox(const QPainter& painter, const QString& text) {
    return painter.fontMetrics().boundingRect(text).adjusted(-6, -3, 6, 3);
  }

  static void DrawLabel(QPainter& painter, const QRect& box, const QString& text) {
    painter.fillRect(box, QColor(0, 0, 0, 200));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
  }

  void Finish(std::optional<QRect> result) {
    result_ = result;
    close();
  }

  const QImage& desktop_;
  QEventLoop& loop_;
  bool dragging_ = false;
  QPointF anchor_;
  QPointF current_;
  std::optional<QRect> result_;
};

}  // namespace

std::optional<QRect> ChooseRegion(const QImage& desktop) {
  QEventLoop loop;
  RegionOverlay overlay(desktop, loop);
  overlay.show();
  overlay.raise();
  overlay.activateWindow();
  // The overlay bypasses the window manager, so it takes the keys itself for Esc to reach it.
  overlay.grabKeyboard();
  loop.exec();
  overlay.releaseKeyboard();
  return overlay.result();
}

}  // namespace z900::screengrab
