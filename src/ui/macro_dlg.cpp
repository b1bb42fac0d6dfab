#include "ui/macro_dlg.h"

#include <QPainter>
#include <QRegularExpressionValidator>
#include <cstdio>

#include "config/profiles.h"
#include "platform/text.h"
#include "ui/key_swallower.h"
#include "ui/skinned_dialog.h"
#include "ui/window_store_lock.h"

namespace z900::ui {
namespace {

using i18n::StringKey;

constexpr QRect kRecordRect = RectLTRB(563, 71, 688, 98);
constexpr QRect kNewMacroRect = RectLTRB(97, 302, 123, 327);
constexpr QRect kDeleteMacroRect = RectLTRB(124, 302, 150, 327);
constexpr QRect kInsertRect = RectLTRB(317, 302, 343, 327);
constexpr QRect kDeleteEventRect = RectLTRB(344, 302, 370, 327);
constexpr QRect kModifyRect = RectLTRB(371, 302, 397, 327);
constexpr QRect kDelayBoxRect = RectLTRB(563, 111, 576, 124);
constexpr QRect kMacroListRect = RectLTRB(98, 44, 307, 288);
constexpr QRect kEventListRect = RectLTRB(318, 44, 527, 288);
constexpr QRect kLoopBoxRect = RectLTRB(645, 128, 686, 145);
constexpr QRect kKeyChoiceRect = RectLTRB(560, 160, 580, 185);
constexpr QRect kDelayChoiceRect = RectLTRB(560, 191, 580, 207);
constexpr QRect kValueBoxRect = RectLTRB(585, 235, 667, 256);
constexpr QRect kOkRect = RectLTRB(672, 233, 724, 259);
constexpr QRect kUpperCoverRect = RectLTRB(532, 160, 775, 208);
constexpr QRect kLowerCoverRect = RectLTRB(532, 209, 775, 300);

// Labels drawn on the page; the accent bar of each list heading stands left of its label.
constexpr QRect kMacroListLabel = RectLTRB(95, 17, 309, 39);
constexpr QRect kEventListLabel = RectLTRB(316, 17, 529, 39);
constexpr QRect kDelayLabel = RectLTRB(584, 112, 774, 123);
constexpr QRect kLoopLabel = RectLTRB(564, 131, 640, 143);
constexpr QRect kKeyChoiceLabel = RectLTRB(584, 170, 755, 186);
constexpr QRect kDelayChoiceLabel = RectLTRB(584, 190, 755, 207);
constexpr QRect kPromptRect = RectLTRB(564, 214, 773, 226);
// Below the lists: where keys come from when only the utility's windows are heard.
constexpr QRect kHintRect = RectLTRB(98, 352, 775, 370);

constexpr int kLoopBoxLength = 5;
constexpr int kValueBoxLength = 5;
constexpr int kKeyNameLength = 32;
constexpr int kListRowHeight = 18;
// The record button's face carries a recording mark at its left.
constexpr int kRecordMarkWidth = 18;
constexpr int kRecordRightMargin = 6;  // the face's cut corner

// Keys that reach no control of the page: Enter and Esc confirm or cancel nothing here (but
// Enter the rename box of a macro), and F1 calls no help.
const QList<int> kSwallowedKeys = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space,
                                   Qt::Key_F1};

}  // namespace

CMacroDlg::CMacroDlg(config::AppContext& context, platform::KeyStore& store,
                     platform::KeyboardHook& hook, bool system_wide_hook, platform::Clock& clock,
                     platform::UiPort& ui, QWidget* parent)
    : QWidget(parent),
      context_(context),
      store_(store),
      clock_(clock),
      ui_(ui),
      system_wide_hook_(system_wide_hook),
      editor_(store, hook, clock, *this, context.Text(StringKey::str_new_macro)),
      images_(LoadWindowImages(SkinWindow::kMacroEditor)) {
  setFixedSize(kMainWindowPageRect.size());
  setAttribute(Qt::WA_OpaquePaintEvent);

  const CListBoxEx::Look list_look{SkinFont(QFont::Normal),      kListRowHeight,
                                   QColor(colours::kDialogText), QColor(colours::kAccent),
                                   QColor(ColorRef(0x141414)),   QColor(Qt::black)};
  macro_list_ = new CListBoxEx(kMacroListId, kMacroListRect, this);
  event_list_ = new CListBoxEx(kEventListId, kEventListRect, this);
  for (CListBoxEx* list : {macro_list_, event_list_}) {
    list->SetLook(list_look);
    list->SetProgramFolder(context.paths.module_directory);
  }
  // A name takes blanks and the record's whole length.
  macro_list_->SetRenameEnabled(true, static_cast<int>(macro::kMaxNameUnits));
  connect(macro_list_, &CListBoxEx::RowSelected, this, [this](int, int row) {
    editor_.SelectMacro(row < 0 ? std::nullopt : std::optional<std::size_t>(row));
    Render();
  });
  connect(macro_list_, &CListBoxEx::RowRenamed, this, [this](int, int row, const QString& text) {
    editor_.RenameMacro(static_cast<std::size_t>(row), text.toStdU16String());
    Render();
  });
  connect(event_list_, &CListBoxEx::RowSelected, this, [this](int, int row) {
    editor_.SelectEvent(row < 0 ? std::nullopt : std::optional<std::size_t>(row));
  });

  const QColor white(colours::kWhite);
  const QColor dim(colours::kDialogText);
  record_ = AddButton(Text(StringKey::str_macro_start), kRecordRect, &CMacroDlg::Record);
  record_->SetTextColours(white, dim, white);
  record_->SetCheckMode(true);
  record_->SetTextMargins(kRecordMarkWidth, kRecordRightMargin);
  new_macro_ = AddButton({}, kNewMacroRect, &CMacroDlg::NewMacro);
  new_macro_->SetTooltip(Text(StringKey::str_new_macro));
  delete_macro_ = AddButton({}, kDeleteMacroRect, &CMacroDlg::DeleteMacro);
  delete_macro_->SetTooltip(Text(StringKey::str_del_macro));
  insert_ = AddButton({}, kInsertRect, &CMacroDlg::Insert);
  insert_->SetTooltip(Text(StringKey::str_macro_new));
  delete_event_ = AddButton({}, kDeleteEventRect, &CMacroDlg::DeleteEvent);
  delete_event_->SetTooltip(Text(StringKey::str_macro_del));
  modify_ = AddButton({}, kModifyRect, &CMacroDlg::Modify);
  modify_->SetTooltip(Text(StringKey::str_macro_modify));
  // The commands that are off while recording show the dimmed picture then.
  for (CGDIBitmapBtn* button : {new_macro_, delete_macro_, insert_, delete_event_, modify_}) {
    button->SetBitmaps(images_.normal, images_.hover, images_.pressed, images_.hover);
  }
  delay_box_ = AddButton({}, kDelayBoxRect, &CMacroDlg::ToggleDelayBox);
  delay_box_->SetCheckMode(true);

  loop_box_ = AddEditBox(kLoopBoxRect, kLoopBoxLength);
  loop_box_->setAlignment(Qt::AlignCenter);
  loop_box_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), loop_box_));
  connect(loop_box_, &QLineEdit::textEdited, this, [this](const QString& text) {
    editor_.SetLoopText(text.toStdU16String());
    Render();
  });

  // The insert choices light up only when chosen; under the pointer they stay as they are.
  key_choice_ = AddButton({}, kKeyChoiceRect, &CMacroDlg::ChooseInsertKey);
  delay_choice_ = AddButton({}, kDelayChoiceRect, &CMacroDlg::ChooseInsertDelay);
  for (CGDIBitmapBtn* choice : {key_choice_, delay_choice_}) {
    choice->SetBitmaps(images_.normal, images_.normal, images_.pressed, images_.normal);
    choice->SetCheckMode(true);
  }
  value_box_ = AddEditBox(kValueBoxRect, kValueBoxLength);
  connect(value_box_, &QLineEdit::textEdited, this,
          [this](const QString& text) { editor_.SetValueText(text.toStdU16String()); });
  ok_ = AddButton(Text(StringKey::str_ok), kOkRect, &CMacroDlg::Ok);
  ok_->SetTextColours(white, dim, white);

  // The covers show the dimmed picture over the insert and value controls until a command
  // needs them; they do nothing when clicked.
  upper_cover_ = new CGDIBitmapBtn({}, kUpperCoverRect, this);
  lower_cover_ = new CGDIBitmapBtn({}, kLowerCoverRect, this);
  for (CGDIBitmapBtn* cover : {upper_cover_, lower_cover_}) {
    cover->SetBitmaps(images_.hover, images_.hover, images_.hover, images_.hover);
    cover->raise();
  }

  new KeySwallower(this, kSwallowedKeys);
  loop_timer_.setInterval(kLoopTidyMs);
  connect(&loop_timer_, &QTimer::timeout, this, &CMacroDlg::TidyLoopBox);
  store_timer_.setInterval(kStoreRetryMs);
  connect(&store_timer_, &QTimer::timeout, this, &CMacroDlg::WriteWaitingChanges);

  // Every control has cut its faces out of the hover and pressed pictures; only the normal
  // one is drawn from now on.
  images_.hover = QPixmap();
  images_.pressed = QPixmap();

  editor_.Open();
  Render();
}

CMacroDlg::~CMacroDlg() {
  ending_ = true;
  if (editor_.WriteChanges()) return;
  TellWaitingForStore();
  const std::uint64_t start = clock_.NowMs();
  while (!editor_.WriteChanges()) {
    if (clock_.NowMs() - start >= kStoreExitWaitMs) {
      std::fprintf(stderr,
                   "z900-config: %s stayed locked for %u s; the last changes of macros are not "
                   "stored\n",
                   context_.paths.store_lock_file.string().c_str(), kStoreExitWaitMs / 1000);
      return;
    }
    clock_.SleepMs(kStoreRetryMs);
  }
}

QString CMacroDlg::Text(StringKey key) const { return LanguageText(context_.strings, key); }

CGDIBitmapBtn* CMacroDlg::AddButton(const QString& caption, const QRect& rect,
                                    void (CMacroDlg::*command)()) {
  auto* button = new CGDIBitmapBtn(caption, rect, this);
  button->SetBitmaps(images_.normal, images_.hover, images_.pressed, images_.normal);
  // A pressed button takes the focus, as a push button does: an open rename box takes its text
  // then, and keys typed next (into a recording) reach no box.
  connect(button, &QAbstractButton::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });
  connect(button, &QAbstractButton::clicked, this, [this, command] {
    (this->*command)();
    Render();
  });
  return button;
}

QLineEdit* CMacroDlg::AddEditBox(const QRect& rect, int max_length) {
  auto* box = new QLineEdit(this);
  // Inside the drawn frame of the box.
  box->setGeometry(rect.adjusted(1, 1, -1, -1));
  box->setMaxLength(max_length);
  box->setFrame(false);
  box->setFont(SkinFont(QFont::Normal));
  box->setStyleSheet(QStringLiteral("QLineEdit { background: #0f0f0f; color: %1; border: none;"
                                    " padding: 0 3px; selection-background-color: %1;"
                                    " selection-color: #0f0f0f; }")
                         .arg(QColor(colours::kAccent).name()));
  return box;
}

void CMacroDlg::Render() {
  macro_list_->ShowRows(editor_.macros(), editor_.selected_macro());
  event_list_->ShowRows(editor_.events(), editor_.selected_event());
  const QString loop_text = QString::fromStdU16String(editor_.loop_text());
  if (loop_box_->text() != loop_text) loop_box_->setText(loop_text);
  // While a key is awaited the box names it (names are longer than what may be typed), and
  // typing does not change it.
  value_box_->setReadOnly(editor_.capturing());
  value_box_->setMaxLength(editor_.capturing() ? kKeyNameLength : kValueBoxLength);
  const QString value_text = QString::fromStdU16String(editor_.value_text());
  if (value_box_->text() != value_text) value_box_->setText(value_text);

  const bool recording = editor_.recording();
  record_->SetText(Text(recording ? StringKey::str_macro_end : StringKey::str_macro_start));
  record_->SetCheck(recording);  // lit while recording
  for (CGDIBitmapBtn* button : {new_macro_, delete_macro_, insert_, delete_event_, modify_}) {
    button->setEnabled(!recording);
  }
  delay_box_->SetCheck(editor_.delay_box_ticked());

  const bool choices = editor_.choices_shown();
  key_choice_->setVisible(choices);
  delay_choice_->setVisible(choices);
  key_choice_->SetCheck(editor_.choice() == macro::InsertChoice::kKey);
  delay_choice_->SetCheck(editor_.choice() == macro::InsertChoice::kDelay);
  upper_cover_->setVisible(!choices);
  const bool value_box = editor_.value_box_shown();
  value_box_->setVisible(value_box);
  ok_->setVisible(value_box);
  lower_cover_->setVisible(!value_box);
  update(kPromptRect);
}

QString CMacroDlg::PromptText() const {
  switch (editor_.prompt()) {
    case macro::EditorPrompt::kNone:
      break;
    case macro::EditorPrompt::kInsertKey:
      return Text(StringKey::str_macro_msg1);
    case macro::EditorPrompt::kInsertDelay:
      return Text(StringKey::str_macro_msg2);
    case macro::EditorPrompt::kModify:
      return Text(StringKey::str_macro_msg4);
  }
  return {};
}

void CMacroDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinPicture(painter, rect(), images_.normal);
  painter.setFont(SkinFont());
  painter.setPen(QColor(colours::kDialogText));
  DrawSkinText(painter, kMacroListLabel, Text(StringKey::str_macro_list), TextLayout::kLeft);
  DrawSkinText(painter, kEventListLabel, Text(StringKey::str_macro_event), TextLayout::kLeft);
  DrawSkinText(painter, kDelayLabel, Text(StringKey::str_macro_delay), TextLayout::kLeft);
  DrawSkinText(painter, kLoopLabel, Text(StringKey::str_macro_loop), TextLayout::kCentre);
  DrawSkinText(painter, kKeyChoiceLabel, Text(StringKey::str_macro_msg6), TextLayout::kLeft);
  DrawSkinText(painter, kDelayChoiceLabel, Text(StringKey::str_macro_msg7), TextLayout::kLeft);
  DrawSkinText(painter, kPromptRect, PromptText(), TextLayout::kLeft);
  if (!system_wide_hook_) {
    DrawSkinText(painter, kHintRect, Text(StringKey::str_macro_hint), TextLayout::kLeft);
  }
}

void CMacroDlg::showEvent(QShowEvent* event) {
  // The loop box is tidied only while it can be seen.
  loop_timer_.start();
  editor_.PageShown();
  Render();
  QWidget::showEvent(event);
}

void CMacroDlg::hideEvent(QHideEvent* event) {
  loop_timer_.stop();
  editor_.PageLeft();
  QWidget::hideEvent(event);
}

bool CMacroDlg::MacroInUse(std::uint32_t id) {
  if (config::IsMacroAssigned(context_.profiles, id)) return true;
  // The stored table as well: it may still hold an assignment that was changed but not yet
  // applied. A table that cannot be read cannot tell, and nothing is deleted on a guess.
  std::string why;
  const std::optional<config::ProfileTable> stored = config::ReadStoredProfileTable(store_, why);
  return !stored || config::IsMacroAssigned(*stored, id);
}

std::unique_ptr<platform::FileLock> CMacroDlg::TryLockStore(bool& busy) {
  return LockStoreForWindow(context_.paths, platform::LockMode::kExclusive, nullptr, busy);
}

void CMacroDlg::ChangesWaiting(bool waiting) {
  // Another program holds the lock for one command at most; the page goes on working and shows
  // with the busy pointer that its changes are not stored yet.
  if (!waiting) {
    store_timer_.stop();
    unsetCursor();
  } else if (!store_timer_.isActive()) {
    setCursor(Qt::BusyCursor);
    store_timer_.start();
  }
}

void CMacroDlg::WriteWaitingChanges() {
  editor_.WriteChanges();
  // A refused deletion puts its macro back.
  Render();
}

void CMacroDlg::ShowNotice(macro::EditorNotice notice) {
  const bool rename = notice == macro::EditorNotice::kRenameFailed;
  const std::u16string text = rename ? u"Rename Error"
                                     : context_.Text(notice == macro::EditorNotice::kMacroInUse
                                                         ? StringKey::str_macro_msg8
                                                         : StringKey::str_macro_full);
  if (ending_) {
    std::fprintf(stderr, "z900-config: %s\n", platform::Utf16ToUtf8(text).c_str());
  } else if (rename) {
    ui_.ShowStandardBox(u"      Rename Error     ", u"Warning");
  } else {
    config::ShowMessage(context_, ui_, text, false);
  }
}

void CMacroDlg::TidyLoopBox() {
  editor_.TidyLoopBox();
  Render();
}

void CMacroDlg::NewMacro() {
  if (editor_.NewMacro()) {
    Render();
    macro_list_->OpenRenameBox(macro_list_->count() - 1);
  }
}

void CMacroDlg::DeleteMacro() { editor_.DeleteMacro(); }
void CMacroDlg::Record() { editor_.Record(); }
void CMacroDlg::ToggleDelayBox() { editor_.SetDelayBoxTicked(!editor_.delay_box_ticked()); }
void CMacroDlg::DeleteEvent() { editor_.DeleteEvent(); }
void CMacroDlg::Insert() { editor_.Insert(); }
void CMacroDlg::ChooseInsertKey() { editor_.ChooseInsertKey(); }

void CMacroDlg::ChooseInsertDelay() {
  editor_.ChooseInsertDelay();
  Render();
  value_box_->setFocus();
}

void CMacroDlg::Modify() {
  editor_.Modify();
  Render();
  value_box_->setFocus();
}

void CMacroDlg::Ok() { editor_.Ok(); }

}  // namespace z900::ui
