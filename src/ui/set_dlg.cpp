#include "ui/set_dlg.h"

#include <QCursor>
#include <QKeyEvent>
#include <QPainter>
#include <cstring>

#include "config/profiles.h"
#include "device/command_set.h"
#include "ui/skinned_dialog.h"
#include "update/firmware_handoff.h"

namespace z900::ui {
namespace {

using i18n::StringKey;

// Where the page sits in the main window, and so its size.
constexpr QSize kPageSize = kMainWindowPageRect.size();

// Assignment buttons 1 … 8 and the marker of each on the mouse.
constexpr QRect kAssignmentRects[config::kButtonCount] = {
    RectLTRB(97, 59, 186, 84),   RectLTRB(97, 88, 186, 113),  RectLTRB(97, 117, 186, 142),
    RectLTRB(97, 185, 186, 210), RectLTRB(97, 214, 186, 239), RectLTRB(97, 156, 186, 181),
    RectLTRB(97, 253, 186, 278), RectLTRB(97, 282, 186, 307)};
constexpr QRect kMarkerRects[config::kButtonCount] = {
    RectLTRB(286, 61, 313, 85),   RectLTRB(383, 58, 408, 82),   RectLTRB(337, 87, 363, 110),
    RectLTRB(240, 141, 266, 169), RectLTRB(247, 181, 273, 205), RectLTRB(238, 109, 263, 133),
    RectLTRB(340, 45, 365, 70),   RectLTRB(340, 125, 365, 150)};

constexpr QRect kDpiRects[] = {RectLTRB(506, 78, 541, 91), RectLTRB(561, 78, 600, 91),
                               RectLTRB(615, 78, 655, 91), RectLTRB(670, 78, 710, 91)};
// The stage names under the DPI boxes.
constexpr int kDpiLabelTop = 94;
constexpr int kDpiLabelHeight = 14;
constexpr QRect kRateRects[] = {RectLTRB(505, 154, 563, 171), RectLTRB(575, 154, 637, 171),
                                RectLTRB(653, 154, 715, 171)};
// The fast button overlaps the slow one's last eight pixels and lies above it.
constexpr QRect kEffectRects[] = {RectLTRB(511, 280, 551, 298), RectLTRB(560, 280, 630, 298),
                                  RectLTRB(622, 280, 692, 298), RectLTRB(701, 280, 741, 298)};
constexpr int kSlowCoveredWidth = kEffectRects[1].right() + 1 - kEffectRects[2].left();
constexpr StringKey kEffectTexts[] = {StringKey::str_led_off, StringKey::str_led_breslow,
                                      StringKey::str_led_brefast, StringKey::str_led_brealways};
constexpr QRect kLedNormalRect = RectLTRB(505, 238, 525, 256);
constexpr QRect kLedApmRect = RectLTRB(505, 302, 525, 323);
constexpr QRect kSliderRect = RectLTRB(526, 261, 727, 274);
constexpr QRect kNameRect = RectLTRB(167, 400, 310, 413);
constexpr QRect kSwitchRect = RectLTRB(374, 399, 390, 415);
constexpr QRect kProgramRect = RectLTRB(454, 396, 604, 415);
// Reset and Apply reach below the picture and the page; their faces end with the picture.
constexpr QRect kResetRect = RectLTRB(644, 420, 722, 461);
constexpr QRect kApplyRect = RectLTRB(722, 421, 799, 461);
// Where the page says that the stored profile changed elsewhere.
constexpr QRect kNoticeRect = RectLTRB(230, 436, 636, 452);

const QPolygon kModeOutlines[config::kModeCount] = {
    QPolygon({{650, 0}, {650, 7}, {658, 0}, {732, 0}, {717, 28}, {663, 28}, {650, 7}}),
    QPolygon({{715, 0}, {715, 28}, {733, 0}, {794, 0}, {801, 8}, {788, 28}, {715, 28}}),
};
const QPolygon kProfileOutlines[config::kProfileCount] = {
    QPolygon({{88, 353},
              {95, 353},
              {192, 353},
              {214, 375},
              {205, 382},
              {107, 382},
              {88, 362},
              {95, 353}}),
    QPolygon({{193, 353}, {194, 353}, {304, 353}, {326, 375}, {317, 382}, {222, 382}, {194, 353}}),
    QPolygon({{305, 353}, {306, 353}, {416, 353}, {437, 374}, {427, 383}, {335, 383}, {306, 353}}),
    QPolygon({{417, 353}, {418, 353}, {528, 353}, {548, 374}, {540, 382}, {446, 382}, {418, 353}}),
    QPolygon({{529, 353}, {529, 353}, {642, 353}, {663, 375}, {653, 382}, {558, 382}, {529, 352}}),
};
constexpr StringKey kModeTexts[] = {StringKey::str_mode1, StringKey::str_mode2};
constexpr StringKey kProfileTexts[] = {StringKey::str_profile1, StringKey::str_profile2,
                                       StringKey::str_profile3, StringKey::str_profile4,
                                       StringKey::str_profile5};

struct PaintedLabel {
  StringKey key;
  QRect rect;
  TextLayout layout;
};
constexpr PaintedLabel kLabels[] = {
    {StringKey::str_dpititle, RectLTRB(498, 56, 720, 70), TextLayout::kLeft},
    {StringKey::str_rate, RectLTRB(498, 134, 729, 148), TextLayout::kLeft},
    {StringKey::str_led_title, RectLTRB(498, 212, 729, 226), TextLayout::kLeft},
    {StringKey::str_led_normal, RectLTRB(526, 240, 729, 253), TextLayout::kLeft},
    {StringKey::str_led_breAPM, RectLTRB(526, 307, 729, 320), TextLayout::kLeft},
    {StringKey::str_profile_title, RectLTRB(93, 353, 183, 383), TextLayout::kCentre},
    {StringKey::str_autopath, RectLTRB(391, 399, 452, 415), TextLayout::kCentre},
    {StringKey::str_proname, RectLTRB(30, 399, 153, 415), TextLayout::kRight},
    {StringKey::str_soft_version, RectLTRB(10, 436, 220, 452), TextLayout::kLeft},
};
constexpr QRgb kLabelColour = qRgb(83, 97, 100);
constexpr QRgb kNameBoxBackground = qRgb(6, 6, 6);

}  // namespace

CSetDlg::CSetDlg(config::AppContext& context, SetDlgPorts ports, QWidget* parent)
    : QWidget(parent),
      context_(context),
      ports_(ports),
      own_model_(ports.model == nullptr ? std::make_unique<config::SettingsPageModel>() : nullptr),
      model_(ports.model == nullptr ? *own_model_ : *ports.model),
      menu_(SkinMenuLook{}, this) {
  setFixedSize(kPageSize);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The page itself takes the focus from the name box when its background is clicked.
  setFocusPolicy(Qt::ClickFocus);
  installEventFilter(this);
  connect(&menu_, &CSkinMenu::Chosen, this, &CSetDlg::MenuChosen);

  // Members, found by tests as children.
  hover_timer_.setParent(this);
  hover_timer_.setObjectName(QStringLiteral("hoverTimer"));
  switch_timer_.setParent(this);
  switch_timer_.setObjectName(QStringLiteral("switchTimer"));
  hover_timer_.setInterval(200);
  connect(&hover_timer_, &QTimer::timeout, this, &CSetDlg::HoverTick);
  switch_timer_.setInterval(1300);
  connect(&switch_timer_, &QTimer::timeout, this, &CSetDlg::SwitchTick);
  settle_timer_.setSingleShot(true);
  settle_timer_.setInterval(300);
  connect(&settle_timer_, &QTimer::timeout, this, &CSetDlg::StoredDataChanged);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
          [this] { settle_timer_.start(); });
}

CSetDlg::~CSetDlg() {
  menu_.DestroyMenuEx();
  ports_.worker.WaitUntilIdle();
  if (own_model_ && model_.mouse_handle) ports_.config.channel.CloseDevice(model_.mouse_handle);
}

CGDIBitmapBtn* CSetDlg::AddButton(const QString& text, const QRect& rect, bool check_mode) {
  auto* button = new CGDIBitmapBtn(text, rect, this);
  button->SetBitmaps(images_.normal, images_.hover, images_.pressed, images_.normal);
  button->SetTextColours(QColor(colours::kDialogText), QColor(colours::kWhite),
                         QColor(colours::kWhite));
  button->SetCheckMode(check_mode);
  button->SetTooltip(text);
  button->installEventFilter(this);
  return button;
}

CIrrButton* CSetDlg::AddTab(const QString& text, const QPolygon& outline) {
  auto* tab = new CIrrButton(text, outline, this);
  tab->SetImages(images_.normal, images_.pressed, images_.hover, images_.normal);
  tab->SetTextColours(QColor(colours::kDialogText), QColor(colours::kWhite),
                      QColor(colours::kWhite));
  tab->SetSticky(true);
  tab->setToolTip(text);
  tab->installEventFilter(this);
  return tab;
}

void CSetDlg::setVisible(bool visible) {
  if (visible) BuildControls();
  QWidget::setVisible(visible);
}

void CSetDlg::BuildControls() {
  if (controls_built()) return;
  images_ = LoadWindowImages(SkinWindow::kSettingsPage);
  menu_.SetLook(SkinMenuLook::Load(context_.paths.module_directory));
  const auto text = [this](StringKey key) { return LanguageText(context_.strings, key); };
  for (int b = 1; b <= config::kButtonCount; ++b) {
    CGDIBitmapBtn* button = AddButton(QString(), kAssignmentRects[b - 1], false);
    connect(button, &QAbstractButton::clicked, this,
            [this, b, button] { OpenAssignmentMenu(b, button); });
    assignment_[b - 1] = button;
    CGDIBitmapBtn* marker = AddButton(QString(), kMarkerRects[b - 1], true);
    // A marker is the button on the mouse picture: it opens the same menu.
    connect(marker, &QAbstractButton::clicked, this,
            [this, b, marker] { OpenAssignmentMenu(b, marker); });
    markers_[b - 1] = marker;
  }
  for (std::size_t i = 0; i < dpi_.size(); ++i) {
    dpi_[i] = AddButton(QString(), kDpiRects[i], true);
    dpi_[i]->SetTooltip(QString::number(config::kDpiBoxes[i]) + QStringLiteral(" DPI"));
    connect(dpi_[i], &QAbstractButton::clicked, this,
            [this, i] { ClickDpiBox(static_cast<int>(i)); });
  }
  for (std::size_t i = 0; i < rates_.size(); ++i) {
    rates_[i] = AddButton(QString::number(config::kRateButtons[i]) + QStringLiteral("Hz"),
                          kRateRects[i], true);
    const std::int32_t rate = config::kRateButtons[i];
    connect(rates_[i], &QAbstractButton::clicked, this, [this, rate] {
      Command([this, rate] {
        config::SetReportRate(context_.settings, context_.current_mode, rate);
        Refresh();
      });
    });
  }
  for (std::size_t i = 0; i < effects_.size(); ++i) {
    effects_[i] = AddButton(text(kEffectTexts[i]), kEffectRects[i], false);
    // The slow button's caption is centred on the part the fast one leaves visible.
    if (i == 1) effects_[i]->SetTextMargins(8, 5 + kSlowCoveredWidth);
    const std::int32_t effect = config::kEffectButtons[i];
    connect(effects_[i], &QAbstractButton::clicked, this, [this, effect] {
      Command([this, effect] {
        config::SetLightingEffect(context_.settings, context_.current_mode, effect);
        Refresh();
      });
    });
  }
  led_normal_ = AddButton(QString(), kLedNormalRect, true);
  led_normal_->SetTooltip(text(StringKey::str_led_normal));
  led_apm_ = AddButton(QString(), kLedApmRect, true);
  led_apm_->SetTooltip(text(StringKey::str_led_breAPM));
  for (const bool follows : {false, true}) {
    connect(follows ? led_apm_ : led_normal_, &QAbstractButton::clicked, this, [this, follows] {
      Command([this, follows] {
        config::SetLightingFollowsActivity(context_.settings, context_.current_mode, follows);
        Refresh();
      });
    });
  }

  slider_ = new CPngHSliderBar(SkinFilePath(context_.paths.module_directory, SkinFile::kSlider),
                               kSliderRect, this);
  slider_->SetRange(config::kSliderMinimum, config::kSliderMaximum);
  slider_->SetBackground(CutOut(
      LoadSkinImage(SkinFilePath(context_.paths.module_directory, SkinFile::kSettingsPageImage)),
      kSliderRect));
  connect(slider_, &CPngHSliderBar::PositionChanged, this, &CSetDlg::SliderMoved);

  for (int mode = 0; mode < config::kModeCount; ++mode) {
    mode_tabs_[mode] = AddTab(text(kModeTexts[mode]), kModeOutlines[mode]);
    connect(mode_tabs_[mode], &CIrrButton::Pressed, this, [this, mode] { SelectMode(mode); });
  }
  for (int k = 0; k < config::kProfileCount; ++k) {
    profile_tabs_[k] = AddTab(text(kProfileTexts[k]), kProfileOutlines[k]);
    connect(profile_tabs_[k], &CIrrButton::Pressed, this, [this, k] { SelectProfileTab(k); });
  }

  name_box_ = new QLineEdit(this);
  name_box_->setGeometry(kNameRect);
  name_box_->setMaxLength(config::kProfileNameLimit);
  name_box_->setFrame(false);
  name_box_->setFont(SkinFont());
  QPalette palette = name_box_->palette();
  palette.setColor(QPalette::Base, QColor(kNameBoxBackground));
  palette.setColor(QPalette::Text, QColor(colours::kDialogText));
  name_box_->setPalette(palette);
  name_box_->installEventFilter(this);
  connect(name_box_, &QLineEdit::textEdited, this, [this] { name_edited_ = true; });

  switch_box_ = AddButton(QString(), kSwitchRect, true);
  ShowSwitchBoxTip();
  connect(switch_box_, &QAbstractButton::clicked, this, &CSetDlg::ClickSwitchBox);
  program_button_ = AddButton(QString(), kProgramRect, false);
  program_button_->SetBitmaps(images_.pressed, images_.hover, images_.pressed, images_.pressed);
  connect(program_button_, &QAbstractButton::clicked, this, &CSetDlg::ClickProgramButton);

  reset_ = AddButton(text(StringKey::str_reset), kResetRect, false);
  connect(reset_, &QAbstractButton::clicked, this, &CSetDlg::Reset);
  // Lit (checked) while the mouse does not hold what the page shows.
  apply_ = AddButton(text(StringKey::str_apply), kApplyRect, true);
  connect(apply_, &QAbstractButton::clicked, this, &CSetDlg::Apply);
  SetMouseBehind(mouse_behind_);
  Refresh();
}

void CSetDlg::Initialise() {
  std::memset(&context_.settings, 0, sizeof context_.settings);
  context_.settings.magic = config::kSettingsMagic;
  model_.macro_slot_codes = {};
  config::LoadProfilesResult loaded;
  {
    // Loading may store a first or mended profile table. The window does not show yet, so
    // waiting for another program's lock freezes nothing.
    bool busy = false;
    const std::unique_ptr<platform::FileLock> lock = LockStore(true, busy, false);
    loaded = config::LoadProfiles(context_, model_, ports_.config);
  }
  TellLoadProblems(loaded);
  ports_.config.channel.OpenDevice(model_.mouse_handle);
  Start();
  StartPendingWrite();
}

void CSetDlg::StartPendingWrite() {
  // Read again under the lock: another program may have written the mouse meanwhile.
  if (!update::FirmwareMarkerPending(context_.paths) &&
      !config::WritePending(ports_.config.store)) {
    return;
  }
  StartWrite(
      [this](WriteOutcome& outcome) {
        // A freshly flashed mouse, or one that did not take the last write in full, gets the
        // configuration once.
        outcome.report = update::RunFirmwareFollowUp(context_, model_, ports_.config);
        if (!outcome.report) {
          outcome.report = config::RunPendingWrite(context_, model_, ports_.config);
        }
      },
      false);
}

void CSetDlg::TellLoadProblems(const config::LoadProfilesResult& result) {
  for (const config::ProfileFileProblem& problem : result.problems) {
    config::TellProfileProblem(context_, ports_.config.ui, problem);
  }
}

void CSetDlg::Start() {
  if (model_.mouse_handle) {
    int mode = context_.current_mode;
    if (device::QueryMode(ports_.config.channel, model_.mouse_handle, mode)) {
      context_.current_mode = mode;
    }
  }
  ShowLoaded();
  if (isVisible()) hover_timer_.start();
  started_ = true;
  UpdateSwitchTimer(isVisible());
}

void CSetDlg::showEvent(QShowEvent* event) {
  if (started_) hover_timer_.start();
  UpdateSwitchTimer(true);
  QWidget::showEvent(event);
}

void CSetDlg::hideEvent(QHideEvent* event) {
  // Hidden in the tray, the window uses no processor time for the markers.
  hover_timer_.stop();
  UpdateSwitchTimer(false);
  QWidget::hideEvent(event);
}

void CSetDlg::UpdateSwitchTimer(bool on_screen) {
  const bool needed = started_ && (on_screen || !ports_.foreground.IsEventDriven());
  if (!needed) {
    switch_timer_.stop();
  } else if (!switch_timer_.isActive()) {
    switch_timer_.start();
  }
}

void CSetDlg::ShowLoaded() {
  Refresh();
  TakeBaseline();
  WatchStoredData();
  update();
}

void CSetDlg::LoadAndRefresh() {
  reload_pending_ = true;
  StoredDataChanged();
}

void CSetDlg::Refresh() { ShowView(config::RefreshSettingsPage(context_, model_)); }

void CSetDlg::ShowView(const config::SettingsPageView& view) {
  if (!controls_built()) return;
  for (int b = 0; b < config::kButtonCount; ++b) {
    const QString name = QString::fromStdU16String(view.button_texts[b]);
    assignment_[b]->SetText(name);
    assignment_[b]->SetTooltip(name);
  }
  led_apm_->SetCheck(view.follows_activity);
  led_normal_->SetCheck(!view.follows_activity);
  for (CGDIBitmapBtn* effect : effects_) effect->setEnabled(!view.follows_activity);
  slider_->setEnabled(!view.follows_activity);
  slider_->setVisible(!view.follows_activity);
  for (std::size_t i = 0; i < rates_.size(); ++i) rates_[i]->SetCheck(view.rate_checked[i]);
  slider_->SetPos(view.slider_position);
  for (std::size_t i = 0; i < dpi_.size(); ++i) dpi_[i]->SetCheck(view.dpi_checked[i]);
  for (int mode = 0; mode < config::kModeCount; ++mode) {
    mode_tabs_[mode]->SetSelected(view.mode == mode);
  }
  for (int k = 0; k < config::kProfileCount; ++k) {
    profile_tabs_[k]->SetSelected(view.profile_tabs[k]);
  }
  if (view.profile_name) {
    // A longer name is shown cut; the record keeps it whole.
    const QString name =
        QString::fromStdU16String(*view.profile_name).left(config::kProfileNameLimit);
    if (name_box_->text() != name) {
      name_box_->setText(name);
      name_edited_ = false;
    }
    if (name_box_->hasFocus()) setFocus();
  }
  switch_box_->SetCheck(view.switch_box_checked);
  // The program's name is the one matched in the foreground, which the tip says.
  const QString program = QString::fromStdU16String(view.program_button_text);
  program_button_->SetText(program);
  program_button_->SetTooltip(
      program.isEmpty()
          ? QString()
          : LanguageText(context_.strings, i18n::StringKey::str_autoswitch_match) + "\n" + program);
  program_button_->setVisible(view.program_button_visible);
}

void CSetDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSkinPicture(painter, rect(), images_.normal);
  painter.setFont(SkinFont());
  painter.setPen(QColor(kLabelColour));
  for (const PaintedLabel& label : kLabels) {
    DrawSkinText(painter, label.rect, LanguageText(context_.strings, label.key), label.layout);
  }
  // Each DPI box is named by its stage below it.
  for (std::size_t i = 0; i < config::kDpiBoxes.size(); ++i) {
    const QRect box = kDpiRects[i];
    DrawSkinText(painter, QRect(box.left() - 8, kDpiLabelTop, box.width() + 16, kDpiLabelHeight),
                 QString::number(config::kDpiBoxes[i]), TextLayout::kCentre);
  }
  if (stored_changed_) {
    painter.setPen(QColor(colours::kAccent));
    DrawSkinText(painter, kNoticeRect,
                 LanguageText(context_.strings, StringKey::str_profile_changed), TextLayout::kLeft);
  }
}

void CSetDlg::mousePressEvent(QMouseEvent* event) {
  menu_.DestroyMenuEx();
  setFocus();
  QWidget::mousePressEvent(event);
}

bool CSetDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
    // Neither closes the page nor presses a button; the name box still takes blanks.
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
      case Qt::Key_F1:
        return true;
      case Qt::Key_Space:
        return watched != name_box_;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CSetDlg::HoverTick() {
  if (context_.tray_hidden_flag != 0 || !controls_built()) return;
  const QPoint cursor = QCursor::pos();
  const bool in_front = window()->isActiveWindow();
  for (int b = 0; b < config::kButtonCount; ++b) {
    const QRect area(assignment_[b]->mapToGlobal(QPoint(0, 0)), assignment_[b]->size());
    if (!area.contains(cursor)) {
      markers_[b]->SetCheck(false);
    } else if (in_front) {
      markers_[b]->SetCheck(true);
    }
  }
}

}  // namespace z900::ui
