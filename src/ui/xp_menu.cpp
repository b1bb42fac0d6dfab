#include "ui/xp_menu.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "ui/skin.h"

namespace z900::ui {
namespace {

constexpr QRgb kHighlightFill = ColorRef(0xCFB9B1);
constexpr QRgb kHighlightText = ColorRef(0x913C00);
constexpr QRgb kItemFill = ColorRef(0xD1D8DB);
constexpr int kIconColumn = 25;
constexpr int kTextLeft = 33;
constexpr int kIconSize = 16;
// The pop-up's own one-pixel frame around the items.
constexpr int kFrame = 1;
constexpr QRgb kFrameColour = qRgb(0x6b, 0x70, 0x75);

}  // namespace

void DrawXPMenuItem(QPainter& painter, const QRect& rect, bool highlighted,
                    const XPMenuItem* item) {
  if (item == nullptr) return;
  painter.save();
  if (highlighted) {
    painter.fillRect(rect, Qt::black);
    painter.fillRect(rect.adjusted(1, 1, -1, -1), QColor(kHighlightFill));
    painter.drawPixmap(QRect(rect.left() + 2, rect.top() + 2, kIconSize, kIconSize),
                       LoadIconResource(item->icon_selected));
    painter.setPen(QColor(kHighlightText));
  } else {
    painter.fillRect(QRect(rect.left(), rect.top(), kIconColumn, rect.height()), QColor(kItemFill));
    painter.fillRect(
        QRect(rect.left() + kIconColumn, rect.top(), rect.width() - kIconColumn, rect.height()),
        QColor(kItemFill));
    painter.drawPixmap(QRect(rect.left() + 3, rect.top() + 3, kIconSize, kIconSize),
                       LoadIconResource(item->icon_normal));
    painter.setPen(Qt::black);
  }
  painter.setFont(SkinFont(QFont::Medium));
  const QRect text_rect(rect.left() + kTextLeft, rect.top(), rect.width() - kTextLeft,
                        rect.height());
  QString shown;
  const TextFit fit =
      FitSkinLine(painter.fontMetrics(), text_rect, item->text, Qt::AlignHCenter, &shown);
  painter.drawText(QPoint(fit.used.left(), fit.used.top() - LineInk(painter.fontMetrics()).top()),
                   shown);
  ReportSkinText(fit);
  painter.restore();
}

CXPMenu::CXPMenu(QWidget* parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
}

void CXPMenu::AppendItem(int command, const XPMenuItem* item) {
  entries_.push_back({command, item});
  setFixedSize(kXPMenuItemSize.width() + kXPMenuCheckMarkWidth + 2 * kFrame,
               kXPMenuItemSize.height() * static_cast<int>(entries_.size()) + 2 * kFrame);
}

QRect CXPMenu::ItemRect(int index) const {
  return QRect(kFrame, kFrame + index * kXPMenuItemSize.height(), width() - 2 * kFrame,
               kXPMenuItemSize.height());
}

int CXPMenu::IndexAt(const QPoint& pos) const {
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    if (ItemRect(i).contains(pos)) return i;
  }
  return -1;
}

void CXPMenu::Popup(const QPoint& global) {
  chosen_ = 0;
  highlighted_ = -1;
  QPoint at = global;
  if (const QScreen* screen = QGuiApplication::screenAt(global); screen != nullptr) {
    // Opens upwards or leftwards where the screen ends, as tray menus do near a panel.
    const QRect area = screen->availableGeometry();
    if (at.y() + height() > area.bottom()) at.setY(global.y() - height());
    if (at.x() + width() > area.right()) at.setX(global.x() - width());
  }
  move(at);
  show();
  raise();
  activateWindow();
  setFocus();
}

int CXPMenu::Exec(const QPoint& global) {
  QEventLoop loop;
  connect(this, &CXPMenu::Closed, &loop, &QEventLoop::quit);
  Popup(global);
  loop.exec();
  return chosen_;
}

void CXPMenu::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(kFrameColour));
  painter.fillRect(rect().adjusted(kFrame, kFrame, -kFrame, -kFrame), QColor(kItemFill));
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    DrawXPMenuItem(painter, ItemRect(i), i == highlighted_, entries_[i].item);
  }
}

void CXPMenu::SetHighlighted(int index) {
  if (highlighted_ == index) return;
  highlighted_ = index;
  update();
}

void CXPMenu::Choose(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size())) return;
  chosen_ = entries_[index].command;
  hide();
  emit Chosen(chosen_);
}

void CXPMenu::mouseMoveEvent(QMouseEvent* event) {
  SetHighlighted(IndexAt(event->position().toPoint()));
}

void CXPMenu::mouseReleaseEvent(QMouseEvent* event) {
  const int index = IndexAt(event->position().toPoint());
  if (index < 0) {
    // A click outside a pop-up closes it.
    if (!rect().contains(event->position().toPoint())) hide();
    return;
  }
  Choose(index);
}

void CXPMenu::keyPressEvent(QKeyEvent* event) {
  const int count = static_cast<int>(entries_.size());
  if (count == 0) return;
  switch (event->key()) {
    case Qt::Key_Down:
      SetHighlighted((highlighted_ + 1) % count);
      break;
    case Qt::Key_Up:
      SetHighlighted(highlighted_ <= 0 ? count - 1 : highlighted_ - 1);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      Choose(highlighted_);
      break;
    case Qt::Key_Escape:
      hide();
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void CXPMenu::leaveEvent(QEvent*) { SetHighlighted(-1); }

void CXPMenu::hideEvent(QHideEvent*) { emit Closed(); }

}  // namespace z900::ui
