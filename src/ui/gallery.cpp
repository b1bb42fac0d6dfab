#include "ui/gallery.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>

#include "config/function_catalogue.h"
#include "config/profile_files.h"
#include "config/profiles.h"
#include "device/hid_channel.h"
#include "macro/macro_store.h"
#include "platform/memory_key_store.h"
#include "platform/text.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_key.h"
#include "ui/about_mag.h"
#include "ui/bitmap_region.h"
#include "ui/combo_dlg.h"
#include "ui/device_worker.h"
#include "ui/dlg_macro.h"
#include "ui/gdi_bitmap_btn.h"
#include "ui/info_dlg.h"
#include "ui/irr_button.h"
#include "ui/macro_dlg.h"
#include "ui/main_window_frame.h"
#include "ui/png_progress_bar.h"
#include "ui/png_slider.h"
#include "ui/progress_dlg.h"
#include "ui/qt_ui_port.h"
#include "ui/set_dlg.h"
#include "ui/skin.h"
#include "ui/xp_menu.h"

namespace z900::ui {
namespace {

using i18n::StringKey;

constexpr int kGap = 12;
constexpr QRgb kSheetBackground = qRgb(0x2b, 0x2f, 0x33);

// A keyboard hook the gallery types into: keys go to the receiver while forwarding is on.
class GalleryKeyboardHook final : public platform::KeyboardHook {
 public:
  bool InstallHook() override { return true; }
  void RemoveHook() override {}
  void SetHookStatus(bool forward) override { forwarding_ = forward; }
  void SetReceiveWindow(platform::KeyReceiver* receiver) override { receiver_ = receiver; }
  void Type(platform::VirtualClock& clock, std::uint32_t key, bool released, std::uint32_t after) {
    clock.Advance(after);
    if (forwarding_ && receiver_ != nullptr) {
      receiver_->OnHookKey(key, released ? platform::kKeyReleasedFlag : 0);
    }
  }

 private:
  bool forwarding_ = false;
  platform::KeyReceiver* receiver_ = nullptr;
};

// Sample macros of the gallery's macro page and chooser.
void StoreSampleMacros(platform::KeyStore& store) {
  using macro::DelayRow;
  using macro::KeyRow;
  using macro::kRowKeyDown;
  using macro::kRowKeyUp;
  const auto save = [&store](std::uint32_t id, std::u16string_view name,
                             std::vector<macro::MacroRow> rows, std::u16string_view loop) {
    macro::SaveMacro(store, macro::BuildMacroRecord(rows, id, name, loop).record);
  };
  save(0x1000A1, u"Reload", {KeyRow(kRowKeyDown, 'R'), DelayRow(90), KeyRow(kRowKeyUp, 'R')}, u"1");
  save(
      0x1000B2, u"Sprint jump",
      {KeyRow(kRowKeyDown, platform::kVkLShift), DelayRow(40),
       KeyRow(kRowKeyDown, platform::kVkSpace), DelayRow(120),
       KeyRow(kRowKeyUp, platform::kVkSpace), DelayRow(35), KeyRow(kRowKeyUp, platform::kVkLShift)},
      u"1");
  std::vector<macro::MacroRow> copy_paste = {KeyRow(kRowKeyDown, platform::kVkLControl),
                                             DelayRow(60),
                                             KeyRow(kRowKeyDown, 'C'),
                                             DelayRow(85),
                                             KeyRow(kRowKeyUp, 'C'),
                                             DelayRow(30),
                                             KeyRow(kRowKeyUp, platform::kVkLControl),
                                             DelayRow(500),
                                             KeyRow(kRowKeyDown, platform::kVkLControl),
                                             DelayRow(55),
                                             KeyRow(kRowKeyDown, 'V'),
                                             DelayRow(80),
                                             KeyRow(kRowKeyUp, 'V'),
                                             DelayRow(25),
                                             KeyRow(kRowKeyUp, platform::kVkLControl),
                                             DelayRow(300),
                                             KeyRow(kRowKeyDown, platform::kVkReturn),
                                             DelayRow(70),
                                             KeyRow(kRowKeyUp, platform::kVkReturn)};
  save(0x1000C3, u"Copy & paste", copy_paste, u"3");
}

// A plain window showing a picture, to carry controls cut from it.
class PictureHost : public QWidget {
 public:
  explicit PictureHost(const QPixmap& picture) : picture_(picture) {
    setFixedSize(picture.deviceIndependentSize().toSize());
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawPixmap(0, 0, picture_); }

 private:
  QPixmap picture_;
};

// The page is drawn from a configuration in memory: it never opens a mouse.
class NoMouse final : public platform::HidBackend {
 public:
  bool Initialise() override { return true; }
  void Shutdown() override {}
  platform::HidOpenResult OpenMouse() override {
    return {nullptr, platform::HidOpenError::kNoDevice, ""};
  }
};

// Names letter keys by their letter, for the combination shown.
class LetterKeys final : public platform::KeyboardLayout {
 public:
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t key) const override {
    if (key >= 'A' && key <= 'Z') return static_cast<char32_t>(key - 'A' + 'a');
    return std::nullopt;
  }
};

class NoForeground final : public platform::ForegroundApp {
 public:
  std::u16string ForegroundProgramName() override { return platform::kUnknownProgram; }
  platform::ForegroundStatus BackendStatus() override { return {}; }
  bool IsEventDriven() override { return false; }
};

class Gallery {
 public:
  Gallery(const config::AppContext& context, std::filesystem::path folder)
      : context_(context), folder_(std::move(folder)) {}

  GalleryResult Run() {
    for (const double ratio : {1.0, 2.0}) {
      SetSkinPixelRatio(ratio);
      ratio_ = ratio;
      WindowPictures();
      MainWindowWithPages();
      MacroPage();
      Dialogs();
      Controls();
      TrayMenu();
      SkinFiles();
      SettingsPage();
    }
    // Screens of ratio 1.5 show the @2x pictures scaled down and the outline scaled up.
    SetSkinPixelRatio(1.5);
    ratio_ = 1.5;
    MainWindowWithPages();
    SetSkinPixelRatio(0);
    return std::move(result_);
  }

 private:
  QString Text(StringKey key) const { return LanguageText(context_.strings, key); }

  // Writes one picture and reads it back.
  void Save(const QImage& image, const std::string& name) {
    const std::string file =
        name + (ratio_ == 2.0 ? "@2x.png" : (ratio_ == 1.5 ? "@1.5x.png" : ".png"));
    const std::filesystem::path path = folder_ / file;
    const QString qpath = QString::fromStdU16String(path.u16string());
    if (image.isNull() || !image.save(qpath, "PNG")) {
      result_.errors.push_back("cannot write " + file);
      return;
    }
    const QImage back(qpath);
    if (back.isNull() || back.width() == 0 || IsBlank(back)) {
      result_.errors.push_back(file + " is empty");
      return;
    }
    result_.written.push_back(path);
  }

  static bool IsBlank(const QImage& image) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb first = pixels.pixel(0, 0);
    for (int y = 0; y < pixels.height(); ++y) {
      for (int x = 0; x < pixels.width(); ++x) {
        if (pixels.pixel(x, y) != first) return false;
      }
    }
    return true;
  }

  // A window's picture with its outside made transparent, as it shows on a desktop.
  static QImage WithoutKey(const QImage& picture) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        if ((row[x] & 0xFFFFFF) == (colours::kTransparentKey & 0xFFFFFF)) row[x] = 0;
      }
    }
    return image;
  }

  QImage Canvas(QSize logical) const {
    QImage image(logical * ratio_, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio_);
    image.fill(Qt::transparent);
    return image;
  }

  QImage Grab(QWidget& widget) const {
    QImage image = Canvas(widget.size());
    widget.render(&image, QPoint(), QRegion(),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
  }

  QImage Crop(const QImage& image, const QRect& logical) const {
    QImage part = image.copy(QRect(logical.topLeft() * ratio_, logical.size() * ratio_));
    part.setDevicePixelRatio(ratio_);
    return part;
  }

  // Pictures side by side (or one below the other) on a neutral sheet.
  QImage Sheet(const std::vector<QImage>& parts, bool vertical) const {
    QSize size(kGap, kGap);
    for (const QImage& part : parts) {
      const QSize logical = part.deviceIndependentSize().toSize();
      if (vertical) {
        size.setWidth(std::max(size.width(), logical.width() + 2 * kGap));
        size.rheight() += logical.height() + kGap;
      } else {
        size.rwidth() += logical.width() + kGap;
        size.setHeight(std::max(size.height(), logical.height() + 2 * kGap));
      }
    }
    QImage sheet = Canvas(size);
    sheet.fill(kSheetBackground);
    QPainter painter(&sheet);
    QPoint at(kGap, kGap);
    for (const QImage& part : parts) {
      painter.drawImage(at, part);
      const QSize logical = part.deviceIndependentSize().toSize();
      if (vertical) {
        at.ry() += logical.height() + kGap;
      } else {
        at.rx() += logical.width() + kGap;
      }
    }
    return sheet;
  }

  // Shows a widget offscreen as the active window, so its buttons may light up.
  static void Activate(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
  }

  static void Hover(QWidget& widget) {
    QEnterEvent enter(QPointF(2, 2), widget.mapToGlobal(QPointF(2, 2)),
                      widget.mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(&widget, &enter);
  }

  void WindowPictures() {
    for (const WindowSkin& skin : WindowSkins()) {
      const std::array<std::pair<int, const char*>, 3> states = {
          {{skin.normal, "normal"}, {skin.hover, "hover"}, {skin.pressed, "pressed"}}};
      for (const auto& [id, state] : states) {
        Save(WithoutKey(LoadBitmapResource(id).toImage()),
             std::string("window_") + skin.name + "_" + state);
      }
    }
  }

  // The main window as it stands (its buttons with their captions, the page's button pressed)
  // with a page's picture in the slot, cut to the window's outline.
  QImage MainWindowWith(const QImage& page, int page_number) const {
    MainWindowFrame frame(context_.strings);
    frame.BuildFrame();
    frame.SelectPageButton(page_number);
    const QImage framed = Grab(frame);
    QImage image = Canvas(SkinOf(SkinWindow::kMainWindow).size);
    QPainter painter(&image);
    painter.setClipRegion(BitmapToRegion(LoadBitmapImage(SkinOf(SkinWindow::kMainWindow).normal)));
    painter.drawImage(0, 0, framed);
    painter.drawImage(kMainWindowPageRect.topLeft(), page);
    painter.end();
    return image;
  }

  // The main window with each page's bare picture in place.
  void MainWindowWithPages() {
    for (const auto& [page, number, name] :
         {std::tuple{SkinWindow::kSettingsPage, kSettingsPage, "settings"},
          std::tuple{SkinWindow::kMacroEditor, kMacroPage, "macros"}}) {
      const QPixmap picture = CutOut(LoadBitmapResource(SkinOf(page).normal),
                                     QRect(QPoint(0, 0), kMainWindowPageRect.size()));
      Save(MainWindowWith(picture.toImage(), number), std::string("window_main_with_") + name);
    }
  }

  // The macro page in its states, and in place in the main window.
  void MacroPage() {
    // A context of its own: the page's message flags and profiles stay out of the others'.
    config::AppContext context;
    context.paths = context_.paths;
    context.strings = context_.strings;
    platform::MemoryKeyStore store;
    GalleryKeyboardHook hook;
    platform::VirtualClock clock(0x00ABCDEF);
    QtUiPort ui(context);
    const auto page_of = [&](bool system_wide) {
      auto page =
          std::make_unique<CMacroDlg>(context, store, hook, system_wide, clock, ui, nullptr);
      Activate(*page);
      return page;
    };
    Save(Grab(*page_of(true)), "page_macros_empty");
    Save(Grab(*page_of(false)), "page_macros_keys_of_this_window");

    StoreSampleMacros(store);
    {
      auto page = page_of(true);
      Save(Grab(*page), "page_macros_recorded");
      Save(MainWindowWith(Grab(*page), kMacroPage), "window_main_with_macro_page");

      page->insert_button()->click();
      page->key_choice()->click();
      hook.Type(clock, platform::kVkNext, false, 0);
      Save(Grab(*page), "page_macros_insert_key");
      page->ok_button()->click();

      page->record_button()->click();
      hook.Type(clock, platform::kVkLMenu, false, 0);
      hook.Type(clock, platform::kVkTab, false, 180);
      hook.Type(clock, platform::kVkTab, true, 95);
      hook.Type(clock, platform::kVkLMenu, true, 60);
      Save(Grab(*page), "page_macros_recording");
      page->record_button()->click();

      page->new_macro_button()->click();
      Save(Grab(*page), "page_macros_rename");
      page->hide();
    }

    CDlgMacro chooser(context.strings, store);
    chooser.set_preset_position(2);
    Activate(chooser);
    Save(Grab(chooser), "dialog_macro_chooser");
    Hover(*chooser.ok_button());
    Save(Grab(chooser), "dialog_macro_chooser_ok_hover");
    chooser.hide();
  }

  void Dialogs() {
    {
      CInfoDlg notice(Text(StringKey::str_msg6), 0, context_.strings);
      Save(Grab(notice), "dialog_notice");
      // A message that names a file: the longest the program shows.
      CInfoDlg file_notice(
          QString::fromStdU16String(i18n::FormatText(
              context_.strings.Get(StringKey::str_msg2),
              u"/home/user/.local/share/z900/Profile/Profile1.cfg")),
          0, context_.strings);
      Save(Grab(file_notice), "dialog_notice_file");
      CInfoDlg question(Text(StringKey::str_resetinfo), 5, context_.strings);
      Save(Grab(question), "dialog_question");
      Activate(question);
      Hover(*question.ok_button());
      Save(Grab(question), "dialog_question_ok_hover");
      question.cancel_button()->setDown(true);
      Save(Grab(question), "dialog_question_cancel_pressed");
      question.hide();
      CInfoDlg unapplied(Text(StringKey::str_unapplied), InfoButtons::kApplyDiscardCancel,
                         context_.strings);
      Save(Grab(unapplied), "dialog_unapplied");
    }
    for (const auto& [version, name] :
         {std::pair{std::optional<std::uint8_t>(12), "dialog_about"},
          std::pair{std::optional<std::uint8_t>(), "dialog_about_no_mouse"}}) {
      AboutBoxPorts ports;
      ports.query_firmware = [version] { return version; };
      CAboutMag about(context_.strings, ports);
      Save(Grab(about), name);
      if (version) {
        Activate(about);
        Hover(*about.firmware_update_button());
        Save(Grab(about), "dialog_about_update_hover");
        about.hide();
      }
    }
    for (const int position : {0, 40, 100}) {
      CProgressDlg progress(context_.strings, context_.paths.module_directory);
      progress.SetPos(position);
      Save(Grab(progress), "dialog_progress_" + std::to_string(position));
    }
    CProgressDlg waiting(context_.strings, context_.paths.module_directory);
    waiting.SetWaiting(true);
    Save(Grab(waiting), "dialog_progress_waiting");
    // The longest messages: the failures of a write, a damaged profile's copy, the end after
    // an unplugged write.
    config::ApplyReport failed;
    failed.slots_failed = 16;
    failed.macros_failed = 1;
    const std::u16string copy =
        u"/home/user/.local/share/z900/Profile/Profile3.cfg.damaged-20250101-120000";
    for (const auto& [text, name] :
         {std::pair{config::ApplyFailureText(context_, failed), "dialog_notice_apply_failed"},
          std::pair{i18n::FormatText(context_.Text(StringKey::str_profile_damaged), copy),
                    "dialog_notice_profile_damaged"},
          std::pair{context_.Text(StringKey::str_unplugged_write), "dialog_notice_unplugged"}}) {
      CInfoDlg notice(QString::fromStdU16String(text), 0, context_.strings);
      Save(Grab(notice), name);
    }
  }

  void Controls() {
    const WindowImages page = LoadWindowImages(SkinWindow::kSettingsPage);
    PictureHost host(page.normal);
    Activate(host);

    // A bitmap button in each state: the settings page's first assignment button.
    std::vector<QImage> buttons;
    const auto bitmap_button = [&](const std::function<void(CGDIBitmapBtn&)>& state) {
      CGDIBitmapBtn button(Text(StringKey::str_click), RectLTRB(97, 59, 186, 84), &host);
      button.SetBitmaps(page.normal, page.hover, page.pressed, page.normal);
      button.SetTextColours(QColor(colours::kDialogText), QColor(colours::kWhite),
                            QColor(colours::kWhite));
      state(button);
      buttons.push_back(Grab(button));
    };
    bitmap_button([](CGDIBitmapBtn&) {});
    bitmap_button([](CGDIBitmapBtn& b) { Hover(b); });
    bitmap_button([](CGDIBitmapBtn& b) { b.setDown(true); });
    bitmap_button([](CGDIBitmapBtn& b) { b.setEnabled(false); });
    bitmap_button([](CGDIBitmapBtn& b) {
      b.SetCheckMode(true);
      b.SetCheck(true);
      Hover(b);
    });
    Save(Sheet(buttons, false), "control_bitmap_button_states");

    // Region buttons: a mode tab normal, hovered and selected, on the page.
    std::vector<QImage> tabs;
    const QPolygon mode1({{650, 0}, {650, 7}, {658, 0}, {732, 0}, {717, 28}, {663, 28}, {650, 7}});
    for (int state = 0; state < 3; ++state) {
      CIrrButton tab(Text(StringKey::str_mode1), mode1, &host);
      tab.SetImages(page.normal, page.pressed, page.hover, page.normal);
      tab.SetTextColours(QColor(colours::kDialogText), QColor(colours::kWhite),
                         QColor(colours::kWhite));
      tab.SetSticky(true);
      tab.show();
      if (state == 1) {
        const QPointF centre(tab.width() / 2.0, tab.height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, centre, tab.mapToGlobal(centre), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&tab, &move);
      }
      tab.SetSelected(state == 2);
      tabs.push_back(Crop(Grab(host), QRect(640, 0, 170, 32)));
    }
    Save(Sheet(tabs, false), "control_region_button_states");

    // The lighting slider at each effect, on its part of the page picture.
    std::vector<QImage> sliders;
    const QRect track = RectLTRB(526, 261, 727, 274);
    const QPixmap page_image =
        LoadSkinImage(SkinFilePath(context_.paths.module_directory, SkinFile::kSettingsPageImage));
    for (const int position : {1, 3, 5, 7}) {
      CPngHSliderBar slider(SkinFilePath(context_.paths.module_directory, SkinFile::kSlider), track,
                            &host);
      slider.SetRange(1, 7);
      slider.SetBackground(CutOut(page_image, track));
      slider.SetPos(position);
      sliders.push_back(Grab(slider));
    }
    Save(Sheet(sliders, true), "control_slider_positions");

    // The progress bar at the start, midway, full, and out of range both ways (empty).
    std::vector<QImage> bars;
    for (const int position : {0, 50, 100, 120, -5}) {
      CProgressDlg dialog(context_.strings, context_.paths.module_directory);
      dialog.SetPos(position);
      bars.push_back(Grab(*dialog.bar()));
    }
    Save(Sheet(bars, true), "control_progress_bar_positions");
    host.hide();
  }

  void TrayMenu() {
    const std::array items = {
        XPMenuItem{190, 191, Text(StringKey::str_about)},
        XPMenuItem{133, 134, Text(StringKey::str_config)},
        XPMenuItem{135, 136, Text(StringKey::str_exit)},
    };
    std::vector<QImage> menus;
    for (int highlighted = -1; highlighted < 3; ++highlighted) {
      CXPMenu menu;
      for (std::size_t i = 0; i < items.size(); ++i) {
        menu.AppendItem(24578 + static_cast<int>(i), &items[i]);
      }
      if (highlighted >= 0) {
        const QPointF at = menu.ItemRect(highlighted).center();
        QMouseEvent move(QEvent::MouseMove, at, menu.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&menu, &move);
      }
      QImage image = Grab(menu);
      if (highlighted < 0) Save(image, "tray_menu");
      menus.push_back(image);
    }
    Save(Sheet(menus, false), "tray_menu_highlights");
  }

  void SkinFiles() {
    std::vector<QImage> menu_items;
    for (const SkinFile file :
         {SkinFile::kMenuNormal, SkinFile::kMenuOver, SkinFile::kMenuDown,
          SkinFile::kMenuNormalWithSub, SkinFile::kMenuOverWithSub, SkinFile::kMenuDownWithSub}) {
      menu_items.push_back(
          LoadSkinImage(SkinFilePath(context_.paths.module_directory, file)).toImage());
    }
    Save(Sheet(menu_items, true), "skin_menu_items");

    std::vector<QImage> icons;
    for (const SkinFile file :
         {SkinFile::kMacroUpNormal, SkinFile::kMacroDownNormal, SkinFile::kMacroDelayNormal,
          SkinFile::kMacroUpSelect, SkinFile::kMacroDownSelect, SkinFile::kMacroDelaySelect}) {
      icons.push_back(LoadSkinImage(SkinFilePath(context_.paths.module_directory, file)).toImage());
    }
    for (const int id : {190, 191, 133, 134, 135, 136})
      icons.push_back(LoadIconResource(id).toImage());
    icons.push_back(ProgramIcon().pixmap(QSize(64, 64), ratio_).toImage());
    Save(Sheet(icons, false), "skin_icons");
  }

  // A configuration that shows what the page can hold: a copy, a combination, a macro and a
  // program among the buttons.
  void FillSampleConfiguration(config::AppContext& sample) const {
    sample.current_mode = context_.current_mode;
    sample.paths = context_.paths;
    sample.strings = context_.strings;
    config::BuildDefaultSettings(sample.settings, sample.strings);
    platform::WriteFixedText(sample.settings.profile_name, u"Office");
    const auto assign = [&](int button, std::int32_t type, std::u16string_view name) {
      config::ButtonAssignment& assignment = config::ButtonOf(sample.settings, 0, button);
      assignment.function_type = type;
      platform::WriteFixedText(assignment.display_name, name);
    };
    assign(3, 65, config::FunctionDisplayName(65, sample.strings));
    assign(4, config::kTypeCombo, u"Ctrl + Shift + T");
    assign(5, config::kTypeMacro, u"Reload and sprint");
    assign(6, config::kTypeHostAction, u"/usr/bin/gimp");
    sample.settings.dpi_stages[0][0] = 800;
    sample.settings.dpi_stages[0][1] = 3200;
    sample.settings.dpi_stages[0][2] = 0;
    sample.settings.dpi_stages[0][3] = 0;
    sample.settings.report_rate[0] = 500;
    sample.settings.lighting_effect[0] = config::kLightingFast;
    sample.settings.lighting_follows_activity[1] = 1;
    for (int k = 0; k < config::kProfileCount; ++k) {
      sample.profiles.entries[k].magic = config::kProfileEntryMagic;
      sample.profiles.entries[k].selected = k == 0 ? 1 : 0;
    }
    sample.profiles.entries[0].auto_switch = 1;
    platform::WriteFixedText(sample.profiles.entries[0].program_name, u"libreoffice");
  }

  // The settings page as it shows in both modes, with a menu open, with the progress window
  // over it, inside the main window, and the combination-key dialog.
  void SettingsPage() {
    config::AppContext sample;
    FillSampleConfiguration(sample);
    NoMouse backend;
    device::HidChannel channel(backend, platform::SystemClock());
    platform::MemoryKeyStore store;
    config::ProfileFiles files;
    QtUiPort user(sample);
    config::ConfigPorts ports{channel, store, user, files};
    LetterKeys layout;
    NoForeground foreground;
    DeviceWorker worker;
    CSetDlg page(sample, SetDlgPorts{ports, layout, foreground, worker});
    page.model().selected_profile = 0;
    page.model().profile_tabs[0] = true;
    config::ShowSwitchControls(page.model(), sample.profiles.entries[0]);
    page.Refresh();
    Activate(page);
    Hover(*page.assignment_button(3));
    page.marker(3)->SetCheck(true);
    const QImage mode0 = Grab(page);
    Save(mode0, "page_settings_mode0");
    Leave(*page.assignment_button(3));
    page.marker(3)->SetCheck(false);

    sample.current_mode = 1;
    page.Refresh();
    Save(Grab(page), "page_settings_mode1");
    sample.current_mode = 0;
    page.Refresh();

    // The menu of button 3 with the basic functions open and Copy under the pointer.
    const std::vector<config::MenuItemRecord> items = config::BuildAssignmentMenu(
        config::MenuVariant::kStandard, store, sample.strings, page.model().macro_item_table);
    const QPoint menu_at(kMainWindowPageRect.width() / 2 - 180, 130);
    page.menu().CreateMenuEx(items, page.mapToGlobal(menu_at));
    CSkinMenuPopup* popup = page.menu().popup();
    if (popup != nullptr) {
      MoveOver(*popup, popup->ItemRect(0, 2).center());
      MoveOver(*popup, popup->ItemRect(1, 1).center());
      QImage over = Grab(page);
      QPainter painter(&over);
      painter.setClipRegion(popup->mask().translated(menu_at));
      painter.drawImage(menu_at, Grab(*popup));
      painter.end();
      Save(over, "page_settings_menu");
    }
    page.menu().DestroyMenuEx();

    {
      CProgressDlg progress(sample.strings, sample.paths.module_directory);
      progress.SetPos(45);
      QImage over = Grab(page);
      QPainter painter(&over);
      painter.fillRect(over.rect(), QColor(0, 0, 0, 110));
      painter.drawImage(
          QPoint((page.width() - progress.width()) / 2, (page.height() - progress.height()) / 2),
          Grab(progress));
      painter.end();
      Save(over, "page_settings_progress");
    }

    Save(MainWindowWith(mode0, kSettingsPage), "window_main_with_settings_page");
    page.SetMouseBehind(true);
    Save(Grab(page), "page_settings_apply_pending");
    page.hide();

    {
      CComboDlg combo(sample.strings, nullptr, layout);
      combo.OnHookKey(0xA2, 0);
      combo.OnHookKey('C', 0);
      Save(Grab(combo), "dialog_combo");
    }
  }

  static void MoveOver(QWidget& widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget.mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
  }

  static void Leave(QWidget& widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
  }

  const config::AppContext& context_;
  std::filesystem::path folder_;
  double ratio_ = 1.0;
  GalleryResult result_;
};

}  // namespace

GalleryResult RenderGallery(const config::AppContext& context,
                            const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return Gallery(context, folder).Run();
}

int RenderGalleryCommand(const config::AppContext& context, const std::filesystem::path& folder,
                         const char* program) {
  const GalleryResult result = RenderGallery(context, folder);
  for (const auto& path : result.written) std::printf("%s\n", path.string().c_str());
  for (const auto& error : result.errors) std::fprintf(stderr, "%s: %s\n", program, error.c_str());
  std::printf("%zu pictures written, %zu failed\n", result.written.size(), result.errors.size());
  return result.errors.empty() && !result.written.empty() ? EXIT_SUCCESS : EXIT_FAILURE;
}

}  // namespace z900::ui
