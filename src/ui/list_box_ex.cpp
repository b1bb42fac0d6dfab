#include "ui/list_box_ex.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "ui/key_swallower.h"
#include "ui/skin.h"

namespace z900::ui {
namespace {

constexpr int kTagRole = Qt::UserRole;
constexpr int kTextIndent = 5;  // from the row's left edge
constexpr int kIconGap = 10;    // text after an icon starts this far past the icon's width

// The icons of the skins folder by row kind: up, down, delay; normal and selected.
constexpr SkinFile kIconFiles[3][2] = {
    {SkinFile::kMacroUpNormal, SkinFile::kMacroUpSelect},
    {SkinFile::kMacroDownNormal, SkinFile::kMacroDownSelect},
    {SkinFile::kMacroDelayNormal, SkinFile::kMacroDelaySelect},
};

QString ColourName(const QColor& colour) { return colour.name(QColor::HexRgb); }

}  // namespace

class CListBoxEx::RowPainter final : public QStyledItemDelegate {
 public:
  explicit RowPainter(CListBoxEx& list) : QStyledItemDelegate(&list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const Look& look = list_.look_;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QRect row = option.rect;
    painter->save();
    painter->fillRect(row, selected ? look.selected_background : look.background);
    QColor text_colour = selected ? look.selected_text : look.text;
    if (!list_.isEnabled()) text_colour = list_.palette().color(QPalette::Disabled, QPalette::Text);

    const std::uint32_t tag = index.data(kTagRole).toUInt();
    const int kind = static_cast<int>(tag >> 24);
    int text_left = row.left() + kTextIndent;
    if (kind >= macro::kRowKeyUp && kind <= macro::kRowDelay) {
      const QPixmap& icon = list_.icons_[kind - macro::kRowKeyUp][selected ? 1 : 0];
      if (!icon.isNull()) {
        painter->drawPixmap(
            QRect(QPoint(row.left() + kTextIndent, row.top() + 1), list_.icon_size_), icon);
      }
    }
    if (kind != macro::kRowMacro) text_left = row.left() + list_.icon_size_.width() + kIconGap;

    painter->setFont(look.font);
    painter->setPen(text_colour);
    const QRect text_box(text_left, row.top(), row.right() - text_left, row.height());
    const QString text = painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(),
                                                           Qt::ElideRight, text_box.width());
    painter->drawText(text_box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return QSize(list_.viewport()->width(), list_.look_.row_height);
  }

 private:
  CListBoxEx& list_;
};

CListBoxEx::CListBoxEx(int control_id, const QRect& rect, QWidget* parent)
    : QListWidget(parent), control_id_(control_id) {
  setGeometry(rect);
  setFrameShape(QFrame::NoFrame);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setItemDelegate(new RowPainter(*this));
  SetLook({SkinFont(QFont::Normal), 20, palette().color(QPalette::Text),
           palette().color(QPalette::HighlightedText), palette().color(QPalette::Highlight),
           palette().color(QPalette::Base)});
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (showing_) return;
    const std::optional<std::size_t> row = SelectedRow();
    emit RowSelected(control_id_, row ? static_cast<int>(*row) : -1);
  });
}

void CListBoxEx::SetLook(const Look& look) {
  look_ = look;
  setFont(look.font);
  // The scroll bar in the skin's colours: a dark track and a thin thumb that lights up.
  setStyleSheet(
      QStringLiteral("QListWidget { background: %1; border: none; outline: none; }"
                     "QScrollBar:vertical { background: #0b0e10; width: 8px; margin: 0; }"
                     "QScrollBar::handle:vertical { background: #2a3338; min-height: 20px;"
                     " border-radius: 3px; margin: 1px; }"
                     "QScrollBar::handle:vertical:hover { background: #158cb9; }"
                     "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                     "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical"
                     " { background: none; }")
          .arg(ColourName(look.background)));
  doItemsLayout();
  viewport()->update();
}

void CListBoxEx::SetProgramFolder(const std::filesystem::path& program_folder) {
  for (int kind = 0; kind < 3; ++kind) {
    for (int selected = 0; selected < 2; ++selected) {
      icons_[kind][selected] =
          LoadSkinImage(SkinFilePath(program_folder, kIconFiles[kind][selected]));
    }
  }
  viewport()->update();
}

void CListBoxEx::ShowRows(std::span<const macro::MacroRow> rows,
                          std::optional<std::size_t> selected) {
  showing_ = true;
  const int wanted = static_cast<int>(rows.size());
  if (rename_box_ != nullptr &&
      (rename_row_ >= wanted || RowTag(rename_row_) != rows[rename_row_].tag)) {
    CloseRenameBox();
  }
  while (count() > wanted) delete takeItem(count() - 1);
  for (int i = 0; i < wanted; ++i) {
    const QString text = QString::fromStdU16String(rows[i].text);
    if (i == count()) {
      auto* added = new QListWidgetItem(text);
      added->setData(kTagRole, rows[i].tag);
      addItem(added);
      continue;
    }
    QListWidgetItem* shown = item(i);
    if (shown->text() != text) shown->setText(text);
    if (shown->data(kTagRole).toUInt() != rows[i].tag) shown->setData(kTagRole, rows[i].tag);
  }
  if (selected && *selected >= rows.size()) selected.reset();
  if (selected != SelectedRow()) {
    if (selected) {
      setCurrentRow(static_cast<int>(*selected));
      scrollToItem(currentItem());
    } else {
      clearSelection();
      setCurrentRow(-1);
    }
  }
  showing_ = false;
}

std::optional<std::size_t> CListBoxEx::SelectedRow() const {
  const QList<QListWidgetItem*> chosen = selectedItems();
  if (chosen.isEmpty()) return std::nullopt;
  return static_cast<std::size_t>(row(chosen.front()));
}

std::uint32_t CListBoxEx::RowTag(int row) const {
  const QListWidgetItem* shown = item(row);
  return shown == nullptr ? 0 : shown->data(kTagRole).toUInt();
}

void CListBoxEx::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!rename_enabled_ || rename_box_ != nullptr) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid()) OpenRenameBox(index.row());
}

void CListBoxEx::OpenRenameBox(int row) {
  CloseRenameBox();
  QListWidgetItem* target = item(row);
  if (target == nullptr) return;
  rename_row_ = row;
  auto* box = new QLineEdit(target->text(), viewport());
  box->setFont(look_.font);
  // Typing stops at the limit; a longer name (a new macro's default) is not cut here.
  box->setMaxLength(static_cast<int>(std::max<qsizetype>(rename_length_, target->text().size())));
  // Blanks go into the name, and Enter confirms it, whatever the list's owner keeps from its
  // other controls.
  box->setProperty(kTakesItsKeys, true);
  connect(box, &QLineEdit::returnPressed, this, &CListBoxEx::TakeRename);
  box->setFrame(false);
  box->setStyleSheet(
      QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %2;"
                     " padding: 0 %3px; selection-background-color: %2;"
                     " selection-color: %1; }")
          .arg(ColourName(look_.selected_background), ColourName(look_.selected_text))
          .arg(kTextIndent - 2));
  box->setGeometry(visualItemRect(target));
  box->selectAll();
  box->installEventFilter(this);
  box->show();
  box->setFocus();
  rename_box_ = box;
}

bool CListBoxEx::eventFilter(QObject* watched, QEvent* event) {
  if (watched == rename_box_ && event->type() == QEvent::FocusOut) TakeRename();
  return QListWidget::eventFilter(watched, event);
}

void CListBoxEx::TakeRename() {
  if (rename_box_ == nullptr) return;
  const QString text = rename_box_->text();
  const int row = rename_row_;
  CloseRenameBox();
  if (QListWidgetItem* renamed = item(row)) {
    renamed->setText(text);
    showing_ = true;
    setCurrentRow(row);
    showing_ = false;
  }
  emit RowRenamed(control_id_, row, text);
}

void CListBoxEx::CloseRenameBox() {
  if (rename_box_ == nullptr) return;
  QLineEdit* box = rename_box_;
  rename_box_ = nullptr;
  rename_row_ = -1;
  box->removeEventFilter(this);
  box->hide();
  box->deleteLater();
}

}  // namespace z900::ui
