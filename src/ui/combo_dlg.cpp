#include "ui/combo_dlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "keys/key_names.h"
#include "ui/key_event_vk.h"
#include "ui/skin.h"

namespace z900::ui {
namespace {

using Box = keys::ComboKeyState::Box;

constexpr QRect kTitleRect = RectLTRB(11, 5, 140, 21);
constexpr QRect kHintRect = RectLTRB(151, 57, 280, 71);
constexpr QRect kKeyRect = RectLTRB(152, 87, 310, 110);

struct BoxLayout {
  Box box;
  const char* name;  // caption and tooltip: the key's own fixed name
  QRect rect;
};
constexpr BoxLayout kBoxes[] = {
    {keys::ComboKeyState::kCtrlBox, "Ctrl", RectLTRB(42, 54, 92, 68)},
    {keys::ComboKeyState::kAltBox, "Alt", RectLTRB(42, 79, 92, 93)},
    {keys::ComboKeyState::kShiftBox, "Shift", RectLTRB(42, 104, 99, 118)},
    {keys::ComboKeyState::kWinBox, "Win", RectLTRB(42, 129, 92, 143)},
};

}  // namespace

CComboDlg::CComboDlg(const i18n::LanguageStrings& strings, platform::KeyboardHook* hook,
                     const platform::KeyboardLayout& layout, QWidget* parent)
    : SkinnedDialog(SkinWindow::kComboDialog, parent),
      hook_(hook),
      layout_(layout),
      title_(LanguageText(strings, i18n::StringKey::str_combo_title)),
      hint_(LanguageText(strings, i18n::StringKey::str_combo_tips)) {
  setWindowTitle(title_);
  // Keys reach the dialog itself, not its buttons.
  setFocusPolicy(Qt::StrongFocus);
  close_ = AddButton(QString(), RectLTRB(318, 0, 348, 29));
  connect(close_, &QAbstractButton::clicked, this, &CComboDlg::Close);
  ok_ = AddButton(LanguageText(strings, i18n::StringKey::str_ok), RectLTRB(260, 152, 326, 184),
                  QColor(colours::kWhite), QColor(colours::kDialogText), QColor(colours::kWhite));
  ok_->SetTooltip(ok_->text());
  connect(ok_, &QAbstractButton::clicked, this, &CComboDlg::Accept);
  for (const BoxLayout& layout_of_box : kBoxes) {
    CGDIBitmapBtn* button = AddButton(QString::fromLatin1(layout_of_box.name), layout_of_box.rect);
    button->SetCheckMode(true);
    button->SetTooltip(QString::fromLatin1(layout_of_box.name));
    const Box box = layout_of_box.box;
    connect(button, &QAbstractButton::clicked, this, [this, box] {
      state_.ToggleBox(box);
      ShowState();
    });
    boxes_[box] = button;
  }
}

CComboDlg::~CComboDlg() {
  // The hook must not deliver to a dialog that is gone.
  if (hook_ != nullptr) hook_->SetReceiveWindow(nullptr);
}

void CComboDlg::showEvent(QShowEvent* event) {
  SkinnedDialog::showEvent(event);
  if (hook_ != nullptr) {
    hook_->SetReceiveWindow(this);
    hook_->SetHookStatus(true);
  }
  setFocus();
}

void CComboDlg::OnHookKey(std::uint32_t virtual_key, std::uint32_t /*flags*/) {
  if (virtual_key == 0) return;
  state_.OnKey(virtual_key);
  ShowState();
}

void CComboDlg::ShowState() {
  for (const BoxLayout& layout_of_box : kBoxes) {
    boxes_[layout_of_box.box]->SetCheck(state_.IsTicked(layout_of_box.box));
  }
  update(kKeyRect);
}

QString CComboDlg::KeyText() const {
  return QString::fromStdU16String(
      keys::FormatKeyCombination(state_.DisplayMask(), state_.key(), false, layout_));
}

void CComboDlg::keyPressEvent(QKeyEvent* event) {
  // Every key is the user's answer, none a shortcut of the dialog.
  event->accept();
  if (hook_ == nullptr) OnHookKey(VirtualKeyOfKeyEvent(*event), 0);
}

void CComboDlg::keyReleaseEvent(QKeyEvent* event) {
  event->accept();
  if (hook_ == nullptr && !event->isAutoRepeat()) {
    OnHookKey(VirtualKeyOfKeyEvent(*event), platform::kKeyReleasedFlag);
  }
}

void CComboDlg::StopHook() {
  if (hook_ == nullptr) return;
  hook_->SetHookStatus(false);
  hook_->SetReceiveWindow(nullptr);
}

void CComboDlg::Accept() {
  StopHook();
  choice_ = state_.Accept();
  done(choice_ ? QDialog::Accepted : QDialog::Rejected);
}

void CComboDlg::Close() {
  StopHook();
  choice_.reset();
  done(QDialog::Rejected);
}

void CComboDlg::PaintContent(QPainter& painter) {
  painter.setFont(SkinFont());
  painter.setPen(QColor(colours::kAboutText));
  DrawSkinText(painter, kTitleRect, title_, TextLayout::kLeft);
  DrawSkinText(painter, kHintRect, hint_, TextLayout::kLeft);
  DrawSkinText(painter, kKeyRect, KeyText(), TextLayout::kCentre);
}

}  // namespace z900::ui
