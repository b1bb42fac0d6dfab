#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <optional>
#include <thread>

#include "config/app_context.h"
#include "ui/about_mag.h"
#include "ui/info_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/qt_ui_port.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

using i18n::StringKey;

i18n::LanguageStrings Strings() {
  i18n::LanguageStrings strings;
  strings.Set(StringKey::str_ok, u"OK");
  strings.Set(StringKey::str_cancel, u"Cancel");
  strings.Set(StringKey::str_fwcurrent_version, u"Firmware");
  return strings;
}

TEST(InfoDlgTest, AnyNonZeroFlagAsksAQuestion) {
  const i18n::LanguageStrings strings = Strings();
  for (const int flag : {0, 1, 5, -1}) {
    CInfoDlg dialog(QStringLiteral("Text"), flag, strings);
    EXPECT_EQ(dialog.question(), flag != 0) << flag;
    EXPECT_EQ(dialog.cancel_button() != nullptr, flag != 0) << flag;
    EXPECT_EQ(dialog.ok_button()->geometry().left(), flag != 0 ? 178 : 240) << flag;
    EXPECT_EQ(dialog.size(), QSize(330, 160));
  }
}

// A long message (a path without blanks, several failures) stays beside the icon and above the
// buttons, and beyond the right edge of the text nothing is drawn either.
TEST(InfoDlgTest, ALongMessageStaysInsideTheBody) {
  SetSkinPixelRatio(1.0);
  const i18n::LanguageStrings strings = Strings();
  const QImage empty = CInfoDlg(QString(), 0, strings).grab().toImage();
  const QString path = QStringLiteral(
      "/home/someone/.local/share/z900/Profile/Profile3.cfg.damaged-"
      "20250101-120000");
  for (const QString& text :
       {QStringLiteral("The profile file was damaged. It was kept as ") + path +
            QStringLiteral(", and the default settings replace it."),
        QStringLiteral("The mouse did not acknowledge 16 commands.\n1 macro buttons got no macro "
                       "slot.\n2 modes have no valid DPI stages.\nThe mouse does not hold "
                       "this profile yet: Apply writes it again.")}) {
    const QImage shown = CInfoDlg(text, 0, strings).grab().toImage();
    ASSERT_EQ(shown.size(), empty.size());
    int changed_outside = 0;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        const bool body = x >= 88 && x < 322 && y >= 36 && y <= 121;
        if (!body && shown.pixel(x, y) != empty.pixel(x, y)) ++changed_outside;
      }
    }
    EXPECT_EQ(changed_outside, 0) << text.toStdString();
  }
}

TEST(InfoDlgTest, OkGivesOneCancelCloseAndEscapeGiveTwo) {
  const i18n::LanguageStrings strings = Strings();
  struct Case {
    const char* what;
    std::function<void(CInfoDlg&)> act;
    int result;
  };
  const Case cases[] = {
      {"ok", [](CInfoDlg& d) { QTest::mouseClick(d.ok_button(), Qt::LeftButton); }, 1},
      {"cancel", [](CInfoDlg& d) { QTest::mouseClick(d.cancel_button(), Qt::LeftButton); }, 2},
      {"close", [](CInfoDlg& d) { QTest::mouseClick(d.close_button(), Qt::LeftButton); }, 2},
      {"escape", [](CInfoDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, 2},
  };
  for (const Case& c : cases) {
    CInfoDlg dialog(QStringLiteral("Reset?"), 5, strings);
    QTimer::singleShot(0, &dialog, [&] { c.act(dialog); });
    EXPECT_EQ(dialog.exec(), c.result) << c.what;
  }
}

// The question about unapplied changes: Apply, Discard and Cancel side by side, and through
// the window's UiPort what each answer means.
TEST(InfoDlgTest, TheUnappliedQuestionOffersApplyDiscardAndCancel) {
  i18n::LanguageStrings strings = Strings();
  strings.Set(StringKey::str_apply, u"Apply");
  strings.Set(StringKey::str_discard, u"Discard");
  CInfoDlg dialog(QStringLiteral("Unapplied"), InfoButtons::kApplyDiscardCancel, strings);
  EXPECT_TRUE(dialog.question());
  EXPECT_EQ(dialog.ok_button()->geometry(), RectLTRB(60, 127, 143, 159));
  EXPECT_EQ(dialog.ok_button()->text(), QStringLiteral("Apply"));
  ASSERT_NE(dialog.discard_button(), nullptr);
  EXPECT_EQ(dialog.discard_button()->geometry(), RectLTRB(144, 127, 227, 159));
  EXPECT_EQ(dialog.discard_button()->text(), QStringLiteral("Discard"));
  EXPECT_EQ(dialog.cancel_button()->geometry(), RectLTRB(228, 127, 311, 159));

  config::AppContext context;
  context.strings = strings;
  QtUiPort port(context);
  const std::pair<test::AnswerDialogs::Answer, platform::UnappliedChoice> answers[] = {
      {test::AnswerDialogs::Answer::kOk, platform::UnappliedChoice::kApply},
      {test::AnswerDialogs::Answer::kDiscard, platform::UnappliedChoice::kDiscard},
      {test::AnswerDialogs::Answer::kCancel, platform::UnappliedChoice::kStay},
  };
  for (const auto& [answer, choice] : answers) {
    test::AnswerDialogs user(answer);
    EXPECT_EQ(port.AskUnappliedChanges(u"Unapplied"), choice);
    EXPECT_EQ(user.shown.size(), 1u);
  }
}

TEST(QtUiPortTest, ShowMessageSetsTheFlagWhileTheDialogShows) {
  config::AppContext context;
  context.strings = Strings();
  QtUiPort port(context);
  int flag_while_shown = -1;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CInfoDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    flag_while_shown = context.message_box_flag;
    QTest::mouseClick(dialog->ok_button(), Qt::LeftButton);
  });
  EXPECT_EQ(config::ShowMessage(context, port, u"Saved.", false), 1);
  EXPECT_EQ(flag_while_shown, 1);
  EXPECT_EQ(context.message_box_flag, 0);
}

TEST(QtUiPortTest, CallsFromAWorkerRunOnTheUiThreadAndWaitForTheAnswer) {
  config::AppContext context;
  context.strings = Strings();
  context.paths.module_directory = test::ProgramFolder();
  QtUiPort port(context);
  test::AnswerDialogs answer_cancel(false);
  QEventLoop loop;
  int answer = 0;
  bool progress_seen = false;
  std::thread worker([&] {
    port.OpenProgress();
    port.SetProgress(40);
    // Read on the ui thread, like every other touch of the dialogs.
    QMetaObject::invokeMethod(
        &port,
        [&] {
          progress_seen = port.progress() != nullptr && port.progress()->bar()->position() == 40;
        },
        Qt::BlockingQueuedConnection);
    answer = port.ShowMessage(u"Overwrite?", true);
    port.CloseProgress();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  EXPECT_TRUE(progress_seen);
  EXPECT_EQ(answer, 2);
  EXPECT_EQ(port.progress(), nullptr);
}

TEST(AboutMagTest, FirmwareLineShowsTenthsOrNotAvailable) {
  const i18n::LanguageStrings strings = Strings();
  struct Case {
    std::optional<std::uint8_t> version;
    const char* line;
  };
  for (const Case& c : {Case{7, "Firmware 0.7"}, Case{255, "Firmware 25.5"},
                        Case{12, "Firmware 1.2"}, Case{std::nullopt, "Firmware N/A"}}) {
    AboutBoxPorts ports;
    int queries = 0;
    ports.query_firmware = [&] {
      ++queries;
      return c.version;
    };
    CAboutMag about(strings, ports);
    about.grab();
    EXPECT_EQ(about.firmware_line(), QString::fromLatin1(c.line));
    EXPECT_GE(queries, 1) << "the mouse is asked when the box paints";
  }
}

// The about box's low buttons (15 pixels: the two update buttons and the web site) keep their
// captions off their top and bottom rows: the descenders of "Update" and of the host name do
// not touch the edge.
TEST(AboutMagTest, LowButtonsKeepTheirCaptionsOffTheirEdges) {
  SetSkinPixelRatio(1.0);
  i18n::LanguageStrings strings = Strings();
  strings.Set(StringKey::str_update, u"Update");
  CAboutMag about(strings, AboutBoxPorts{});
  for (CGDIBitmapBtn* button :
       {about.utility_update_button(), about.firmware_update_button(), about.web_button()}) {
    ASSERT_EQ(button->height(), 15);
    const QString caption = button->text();
    const QImage with = button->grab().toImage();
    button->SetText(QString());
    const QImage without = button->grab().toImage();
    button->SetText(caption);
    for (const int row : {0, with.height() - 1}) {
      int touched = 0;
      for (int x = 0; x < with.width(); ++x) touched += with.pixel(x, row) != without.pixel(x, row);
      EXPECT_EQ(touched, 0) << caption.toStdString() << " touches row " << row;
    }
  }
}

TEST(AboutMagTest, UpdateButtonsRunTheChecksAndANewImageClosesTheBox) {
  const i18n::LanguageStrings strings = Strings();
  AboutBoxPorts ports;
  int utility_checks = 0;
  bool image_stored = false;
  QString opened;
  ports.check_utility_update = [&] {
    ++utility_checks;
    return true;
  };
  ports.check_firmware_update = [&] { return image_stored; };
  ports.open_web_site = [&](const QString& address) { opened = address; };
  CAboutMag about(strings, ports);
  about.show();

  QTest::mouseClick(about.utility_update_button(), Qt::LeftButton);
  QTest::mouseClick(about.web_button(), Qt::LeftButton);
  QTest::mouseClick(about.firmware_update_button(), Qt::LeftButton);
  EXPECT_EQ(utility_checks, 1);
  EXPECT_EQ(opened, QStringLiteral("https://z900.example"));
  EXPECT_TRUE(about.isVisible()) << "no image: the box stays";
  EXPECT_FALSE(about.firmware_image_ready());

  image_stored = true;
  QTest::mouseClick(about.firmware_update_button(), Qt::LeftButton);
  EXPECT_TRUE(about.firmware_image_ready());
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), kResultCancel);
}

TEST(ProgressDlgTest, PositionsOutsideTheRangeShowAnEmptyBar) {
  CProgressDlg progress(Strings(), test::ProgramFolder());
  EXPECT_EQ(progress.size(), QSize(330, 86)) << "sized to its picture";
  struct Case {
    int value;
    int shown;
  };
  for (const Case& c : {Case{40, 40}, Case{100, 100}, Case{120, 0}, Case{-5, 0}, Case{0, 0}}) {
    progress.SetPos(c.value);
    EXPECT_EQ(progress.requested(), c.value);
    EXPECT_EQ(progress.bar()->position(), c.shown) << c.value;
  }
  progress.SetPos(120);
  EXPECT_EQ(progress.bar()->FilledWidth(), 0);
}

}  // namespace
}  // namespace z900::ui
