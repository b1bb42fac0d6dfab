#include "ui/skin_menu.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "ui/skin.h"

namespace z900::ui {
namespace {

constexpr int kItemHeight = 24;
constexpr int kFrame = 1;
constexpr int kMinColumnWidth = 160;
constexpr int kMaxColumnWidth = 300;
// The item pictures are drawn in three slices: the left edge with its bar, the stretched
// middle and the right end with the sub-menu arrow.
constexpr int kLeftSlice = 12;
constexpr int kRightSlice = 24;
constexpr int kTextLeft = 14;
constexpr int kTextRight = 26;

enum ItemState { kNormal, kOver, kPressed };

}  // namespace

SkinMenuLook SkinMenuLook::Load(const std::filesystem::path& program_folder) {
  SkinMenuLook look;
  const SkinFile files[6] = {SkinFile::kMenuNormal,      SkinFile::kMenuOver,
                             SkinFile::kMenuDown,        SkinFile::kMenuNormalWithSub,
                             SkinFile::kMenuOverWithSub, SkinFile::kMenuDownWithSub};
  for (int i = 0; i < 3; ++i) {
    look.item[i] = LoadSkinImage(SkinFilePath(program_folder, files[i]));
    look.item_with_sub[i] = LoadSkinImage(SkinFilePath(program_folder, files[3 + i]));
  }
  look.text = QColor(colours::kDialogText);
  look.lit_text = QColor(colours::kWhite);
  look.frame = QColor(colours::kAccent);
  return look;
}

CSkinMenuPopup::CSkinMenuPopup(const SkinMenuLook& look, std::vector<Row> rows,
                               std::span<const config::MenuItemRecord> items)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint), look_(look), rows_(std::move(rows)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setFont(SkinFont(QFont::Normal));
  for (const config::MenuItemRecord& item : items) {
    texts_.push_back(QString::fromStdU16String(config::MenuItemText(item)));
    identifiers_.push_back(item.identifier);
  }
  const QFontMetrics metrics(font());
  int widest = 0;
  for (const QString& text : texts_) widest = std::max(widest, metrics.horizontalAdvance(text));
  // A few pixels to spare: elision counts more exactly than the advance.
  column_width_ = std::clamp(widest + kTextLeft + kTextRight + 2 * kFrame + 6, kMinColumnWidth,
                             kMaxColumnWidth);

  // Room for the top level and for the tallest sub-menu beside its row.
  int height = RowCount(0) * kItemHeight + 2 * kFrame;
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    const int sub = static_cast<int>(rows_[r].children.size());
    if (sub > 0)
      height = std::max(height, static_cast<int>(r) * kItemHeight + sub * kItemHeight + 2 * kFrame);
  }
  setFixedSize(2 * column_width_, height);
  UpdateShape();
}

int CSkinMenuPopup::RowCount(int column) const {
  if (column == 0) return static_cast<int>(rows_.size());
  return open_row_ < 0 ? 0 : static_cast<int>(rows_[open_row_].children.size());
}

QRect CSkinMenuPopup::ColumnRect(int column) const {
  if (column == 0) return QRect(0, 0, column_width_, RowCount(0) * kItemHeight + 2 * kFrame);
  if (open_row_ < 0) return {};
  return QRect(column_width_, open_row_ * kItemHeight, column_width_,
               RowCount(1) * kItemHeight + 2 * kFrame);
}

QRect CSkinMenuPopup::ItemRect(int column, int row) const {
  const QRect area = ColumnRect(column);
  if (area.isEmpty() || row < 0 || row >= RowCount(column)) return {};
  return QRect(area.left() + kFrame, area.top() + kFrame + row * kItemHeight,
               area.width() - 2 * kFrame, kItemHeight);
}

CSkinMenuPopup::Hit CSkinMenuPopup::HitAt(const QPoint& pos) const {
  for (int column = 0; column < 2; ++column) {
    for (int row = 0; row < RowCount(column); ++row) {
      if (ItemRect(column, row).contains(pos)) return {column, row};
    }
  }
  return {};
}

void CSkinMenuPopup::UpdateShape() {
  QRegion shape(ColumnRect(0));
  if (open_row_ >= 0) shape += ColumnRect(1);
  setMask(shape);
  update();
}

void CSkinMenuPopup::OpenSub(int row, bool highlight_first) {
  if (open_row_ != row) {
    open_row_ = rows_[row].children.empty() ? -1 : row;
    highlighted_[1] = -1;
    UpdateShape();
  }
  if (highlight_first && open_row_ >= 0) {
    keyboard_column_ = 1;
    Highlight(1, 0);
  }
}

void CSkinMenuPopup::CloseSub() {
  if (open_row_ < 0) return;
  open_row_ = -1;
  highlighted_[1] = -1;
  keyboard_column_ = 0;
  UpdateShape();
}

void CSkinMenuPopup::Highlight(int column, int row) {
  if (highlighted_[column] == row) return;
  highlighted_[column] = row;
  update();
}

void CSkinMenuPopup::Activate(int column, int row) {
  if (column == 0) {
    const Row& entry = rows_[row];
    if (entry.HasSub()) {
      OpenSub(row, true);
      return;
    }
    const int id = static_cast<int>(identifiers_[entry.record]);
    emit Chosen(id, id);
    return;
  }
  const Row& parent = rows_[open_row_];
  emit Chosen(static_cast<int>(identifiers_[parent.children[row]]),
              static_cast<int>(identifiers_[parent.record]));
}

void CSkinMenuPopup::DrawItem(QPainter& painter, const QRect& rect, const QString& text,
                              bool has_sub, int state) const {
  const QPixmap& picture = has_sub ? look_.item_with_sub[state] : look_.item[state];
  if (picture.isNull()) {
    painter.fillRect(rect, state == kNormal ? QColor(Qt::black) : look_.frame);
  } else {
    const qreal ratio = picture.devicePixelRatio();
    const int width = picture.width();
    const int height = picture.height();
    const int left = qRound(kLeftSlice * ratio);
    const int right = qRound(kRightSlice * ratio);
    painter.drawPixmap(QRect(rect.left(), rect.top(), kLeftSlice, rect.height()), picture,
                       QRect(0, 0, left, height));
    painter.drawPixmap(QRect(rect.left() + kLeftSlice, rect.top(),
                             rect.width() - kLeftSlice - kRightSlice, rect.height()),
                       picture, QRect(left, 0, width - left - right, height));
    painter.drawPixmap(
        QRect(rect.right() + 1 - kRightSlice, rect.top(), kRightSlice, rect.height()), picture,
        QRect(width - right, 0, right, height));
  }
  painter.setPen(state == kNormal ? look_.text : look_.lit_text);
  const QRect text_rect = rect.adjusted(kTextLeft, 0, -kTextRight, 0);
  painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   painter.fontMetrics().elidedText(text, Qt::ElideRight, text_rect.width()));
}

void CSkinMenuPopup::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (int column = 0; column < 2; ++column) {
    const QRect area = ColumnRect(column);
    if (area.isEmpty()) continue;
    painter.fillRect(area, look_.frame);
    for (int row = 0; row < RowCount(column); ++row) {
      const int record = column == 0 ? rows_[row].record : rows_[open_row_].children[row];
      const bool has_sub = column == 0 && rows_[row].HasSub();
      int state = kNormal;
      if (pressed_.column == column && pressed_.row == row) {
        state = kPressed;
      } else if (highlighted_[column] == row || (column == 0 && open_row_ == row)) {
        state = kOver;
      }
      DrawItem(painter, ItemRect(column, row), texts_[record], has_sub, state);
    }
  }
}

void CSkinMenuPopup::mouseMoveEvent(QMouseEvent* event) {
  const Hit hit = HitAt(event->position().toPoint());
  if (hit.column < 0) return;
  keyboard_column_ = hit.column;
  Highlight(hit.column, hit.row);
  if (hit.column == 0) {
    if (rows_[hit.row].children.empty()) {
      CloseSub();
    } else {
      OpenSub(hit.row, false);
    }
  }
}

void CSkinMenuPopup::mousePressEvent(QMouseEvent* event) {
  const Hit hit = HitAt(event->position().toPoint());
  if (hit.column < 0) {
    // Outside the columns shown, as outside the menu: it closes.
    if (!ColumnRect(0).contains(event->position().toPoint()) &&
        !ColumnRect(1).contains(event->position().toPoint())) {
      close();
    }
    return;
  }
  pressed_ = hit;
  update();
}

void CSkinMenuPopup::mouseReleaseEvent(QMouseEvent* event) {
  const Hit hit = HitAt(event->position().toPoint());
  const Hit pressed = std::exchange(pressed_, Hit{});
  update();
  if (hit.column < 0 || hit.column != pressed.column || hit.row != pressed.row) return;
  Activate(hit.column, hit.row);
}

void CSkinMenuPopup::keyPressEvent(QKeyEvent* event) {
  const int column = keyboard_column_;
  const int count = RowCount(column);
  const int current = highlighted_[column];
  switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up:
      if (count == 0) break;
      if (event->key() == Qt::Key_Down) {
        Highlight(column, (current + 1) % count);
      } else {
        Highlight(column, current <= 0 ? count - 1 : current - 1);
      }
      // Moving through the top level shows no sub-menu until one is opened.
      if (column == 0) CloseSub();
      break;
    case Qt::Key_Right:
      if (column == 0 && current >= 0) OpenSub(current, true);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (current >= 0) Activate(column, current);
      break;
    case Qt::Key_Left:
      if (column == 1) CloseSub();
      break;
    case Qt::Key_Escape:
      if (column == 1) {
        CloseSub();
      } else {
        close();
      }
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void CSkinMenuPopup::leaveEvent(QEvent*) {
  // The open sub-menu's parent stays lit; the rest goes dark when the pointer leaves.
  highlighted_[1] = -1;
  if (open_row_ < 0) highlighted_[0] = -1;
  update();
}

CSkinMenu::CSkinMenu(SkinMenuLook look, QObject* owner) : QObject(owner), look_(std::move(look)) {}

CSkinMenu::~CSkinMenu() { DestroyMenuEx(); }

bool CSkinMenu::CreateMenuEx(std::span<const config::MenuItemRecord> items, const QPoint& global) {
  DestroyMenuEx();
  if (items.size() > static_cast<std::size_t>(config::kMaxMenuItems)) {
    items = items.first(config::kMaxMenuItems);
  }
  std::vector<CSkinMenuPopup::Row> rows;
  std::vector<int> row_of(items.size(), -1);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const config::MenuItemRecord& item = items[i];
    if (item.parent == config::kTopLevelParent) {
      row_of[i] = static_cast<int>(rows.size());
      rows.push_back({static_cast<int>(i), {}, {}, config::OpensSubMenu(item)});
    } else if (item.parent < i && row_of[item.parent] >= 0) {
      rows[row_of[item.parent]].children.push_back(static_cast<int>(i));
    }
  }
  if (rows.empty()) return false;

  popup_ = new CSkinMenuPopup(look_, std::move(rows), items);
  connect(popup_, &CSkinMenuPopup::Chosen, this, [this](int item, int category) {
    DestroyMenuEx();
    emit Chosen(item, category);
  });
  QPoint at = global;
  if (const QScreen* screen = QGuiApplication::screenAt(global); screen != nullptr) {
    const QRect area = screen->availableGeometry();
    at.setX(
        std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - popup_->width())));
    at.setY(
        std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - popup_->height())));
  }
  popup_->move(at);
  popup_->show();
  popup_->raise();
  popup_->activateWindow();
  popup_->setFocus();
  return true;
}

void CSkinMenu::DestroyMenuEx() {
  if (popup_ == nullptr) return;
  CSkinMenuPopup* popup = popup_;
  popup_ = nullptr;
  // No choice may come from a menu that was closed.
  popup->disconnect(this);
  popup->close();
}

bool CSkinMenu::IsOpen() const { return popup_ != nullptr && popup_->isVisible(); }

}  // namespace z900::ui
