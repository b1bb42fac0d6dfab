#include "ui/main_window_frame.h"

#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "ui/bitmap_region.h"

namespace z900::ui {

using i18n::StringKey;

PagePlaceholder::PagePlaceholder(SkinWindow page, QWidget* parent)
    : QWidget(parent),
      picture_(CutOut(LoadBitmapResource(SkinOf(page).normal),
                      QRect(QPoint(0, 0), kMainWindowPageRect.size()))) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PagePlaceholder::paintEvent(QPaintEvent*) { QPainter(this).drawPixmap(0, 0, picture_); }

MainWindowFrame::MainWindowFrame(const i18n::LanguageStrings& strings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), strings_(strings) {
  setFixedSize(SkinOf(SkinWindow::kMainWindow).size);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void MainWindowFrame::BuildFrame() {
  if (frame_built()) return;
  images_ = LoadWindowImages(SkinWindow::kMainWindow);
  setMask(PictureOutline(images_.normal));
  const auto button = [this](const QString& caption, const QRect& rect) {
    auto* made = new CGDIBitmapBtn(caption, rect, this);
    made->SetBitmaps(images_.normal, images_.hover, images_.pressed, images_.normal);
    return made;
  };
  minimise_ = button(QString(), kMinimiseButtonRect);
  close_ = button(QString(), kCloseButtonRect);
  mouse_page_ = button(LanguageText(strings_, StringKey::str_mouse_page), kMousePageButtonRect);
  macro_page_ = button(LanguageText(strings_, StringKey::str_macro_manager), kMacroPageButtonRect);
  mouse_page_->SetCheckMode(true);
  macro_page_->SetCheckMode(true);
  // The buttons have cut their faces out; only the normal picture is drawn from now on.
  images_.hover = QPixmap();
  images_.pressed = QPixmap();
  CentreOnScreen(*this);
}

void MainWindowFrame::setVisible(bool visible) {
  if (visible) BuildFrame();
  QWidget::setVisible(visible);
}

void MainWindowFrame::SetPages(QWidget* settings_page, QWidget* macro_page) {
  for (const auto& [slot, page] :
       {std::pair{&settings_, settings_page}, std::pair{&macro_, macro_page}}) {
    if (*slot == page) continue;
    delete *slot;
    *slot = page;
    if (page == nullptr) continue;
    page->setParent(this);
    page->setGeometry(kMainWindowPageRect);
    page->hide();
  }
}

void MainWindowFrame::SwitchPage(int number) {
  if (settings_ != nullptr) settings_->setVisible(number == kSettingsPage);
  if (macro_ != nullptr) macro_->setVisible(number == kMacroPage);
}

void MainWindowFrame::SelectPageButton(int number) {
  if (!frame_built()) return;
  // SetCheck redraws only a button whose state changes.
  mouse_page_->SetCheck(number == kSettingsPage);
  macro_page_->SetCheck(number == kMacroPage);
}

void MainWindowFrame::paintEvent(QPaintEvent*) { QPainter(this).drawPixmap(0, 0, images_.normal); }

void MainWindowFrame::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    SurfacePressed();
    // The focus leaves the controls, as on a click on the bare window anywhere.
    if (QWidget* focused = focusWidget()) focused->clearFocus();
  }
  drag_.Press(*this, *event);
}

void MainWindowFrame::mouseMoveEvent(QMouseEvent* event) { drag_.Move(*this, *event); }

void MainWindowFrame::mouseReleaseEvent(QMouseEvent* event) { drag_.Release(*event); }

}  // namespace z900::ui
