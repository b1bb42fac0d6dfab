// Every text of both languages fits where it is shown: each message in the message dialog, and
// every text of the windows, pages, dialogs and the tray menu as the render command draws them.
// A text fits when it is whole (no ellipsis, no word split inside) and stays in its place: its
// rectangle, or for a message the dialog's body above the line over the buttons.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTest>
#include <set>
#include <sstream>

#include "config/app_context.h"
#include "config/function_catalogue.h"
#include "i18n/language_strings.h"
#include "i18n/xml_document.h"
#include "set_dlg_fixture.h"
#include "support/temp_folder.h"
#include "ui/gallery.h"
#include "ui/info_dlg.h"
#include "ui/skin.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

using i18n::StringKey;

// What the program shows in the message dialog (str_msg2 with the path of a profile file).
constexpr StringKey kMessages[] = {
    StringKey::str_msg1,         StringKey::str_msg2,           StringKey::str_msg4,
    StringKey::str_msg5,         StringKey::str_msg6,           StringKey::str_msg7,
    StringKey::str_resetinfo,    StringKey::str_macro_msg8,     StringKey::str_macro_full,
    StringKey::str_update_msg1,  StringKey::str_update_msg2,    StringKey::str_update_msg3,
    StringKey::str_update_msg4,  StringKey::str_updateerror,    StringKey::str_updateerror1,
    StringKey::str_updateerror2, StringKey::str_update_success, StringKey::str_update_fail,
    StringKey::str_fwrecoverS,   StringKey::str_fwrecoverF};
constexpr char16_t kProfilePath[] = u"/home/user/.local/share/z900/Profile/Profile1.cfg";

std::string Describe(const TextFit& fit) {
  std::ostringstream text;
  text << '"' << fit.text.toStdString() << "\" took (" << fit.used.left() << ", " << fit.used.top()
       << ")-(" << fit.used.right() + 1 << ", " << fit.used.bottom() + 1 << ") of ("
       << fit.room.left() << ", " << fit.room.top() << ")-(" << fit.room.right() + 1 << ", "
       << fit.room.bottom() + 1 << ")" << (fit.cut ? ", cut" : "");
  return text.str();
}

// Collects how the texts it is asked about lay while it lives.
class TextWatch {
 public:
  explicit TextWatch(std::function<bool(const QString&)> wanted) {
    WatchSkinText([this, wanted = std::move(wanted)](const TextFit& fit) {
      if (wanted(fit.text)) fits.push_back(fit);
    });
  }
  ~TextWatch() { WatchSkinText({}); }
  TextWatch(const TextWatch&) = delete;
  TextWatch& operator=(const TextWatch&) = delete;

  // The ones that do not fit, described.
  std::vector<std::string> Misfits() const {
    std::vector<std::string> misfits;
    for (const TextFit& fit : fits) {
      if (!fit.Fits()) misfits.push_back(Describe(fit));
    }
    return misfits;
  }

  std::vector<TextFit> fits;
};

class TextFitTest : public ::testing::TestWithParam<const char*> {
 protected:
  TextFitTest() {
    SetSkinPixelRatio(1.0);
    const std::filesystem::path file =
        std::filesystem::path(Z900_LANGUAGE_FILE).parent_path() / GetParam();
    i18n::CXmlDocument document;
    EXPECT_TRUE(i18n::LoadLanguageStrings(document, file, context.strings)) << file;
    context.paths.module_directory = test::ProgramFolder();
  }
  QString Text(StringKey key) const { return LanguageText(context.strings, key); }

  config::AppContext context;
};

// Each message in the notice and in the question: whole, above the line over the buttons, and
// (but for the one that names a file) in the lines from the message's own rectangle down.
TEST_P(TextFitTest, EveryMessageFitsAboveTheButtons) {
  for (const StringKey key : kMessages) {
    const bool names_file = key == StringKey::str_msg2;
    const QString message =
        names_file
            ? QString::fromStdU16String(i18n::FormatText(context.strings.Get(key), kProfilePath))
            : Text(key);
    ASSERT_FALSE(message.isEmpty()) << i18n::StringKeyName(key);
    for (const int confirm : {0, 1}) {
      TextWatch watch([&](const QString& text) { return text == message; });
      CInfoDlg dialog(message, confirm, context.strings);
      dialog.grab();
      ASSERT_EQ(watch.fits.size(), 1u) << i18n::StringKeyName(key);
      const TextFit& fit = watch.fits.front();
      EXPECT_TRUE(fit.Fits()) << i18n::StringKeyName(key) << ": " << Describe(fit);
      // Begins where the message's rectangle does: its lines did not have to move up to stay
      // above the line over the buttons.
      if (!names_file) {
        const QFontMetrics metrics(SkinFont());
        EXPECT_EQ(fit.used.top(), kMessageRect.top() + metrics.ascent() + LineInk(metrics).top())
            << i18n::StringKeyName(key) << ": " << Describe(fit);
      }
    }
  }
}

// A message of several parts (what failed in a write, each on its line) breaks where its parts
// end, and only there when the lines are short.
TEST_P(TextFitTest, AMessageBreaksAtItsLineBreaks) {
  const QString message = QStringLiteral("One part.\nAnother part.");
  TextWatch watch([&](const QString& text) { return text == message; });
  CInfoDlg dialog(message, 0, context.strings);
  dialog.grab();
  ASSERT_EQ(watch.fits.size(), 1u);
  EXPECT_EQ(watch.fits.front().lines, 2) << Describe(watch.fits.front());
  EXPECT_TRUE(watch.fits.front().Fits()) << Describe(watch.fits.front());
}

// Every window, page, dialog and menu the render command draws, with the texts of the language
// (a firmware line is the version's text and its number).
TEST_P(TextFitTest, EveryTextOfTheWindowsFits) {
  std::set<QString> texts;
  for (std::size_t k = 0; k < i18n::kStringKeyCount; ++k) {
    texts.insert(Text(static_cast<StringKey>(k)));
  }
  const QString firmware = Text(StringKey::str_fwcurrent_version);
  TextWatch watch([&](const QString& text) {
    return texts.contains(text) || (!firmware.isEmpty() && text.startsWith(firmware + ' '));
  });
  const z900::test::TempFolder folder;
  const GalleryResult drawn = RenderGallery(context, folder.path());
  EXPECT_THAT(drawn.errors, ::testing::IsEmpty());
  EXPECT_GT(watch.fits.size(), 100u);
  EXPECT_THAT(watch.Misfits(), ::testing::IsEmpty());
  // The tray menu's items and the message dialog's buttons among them.
  for (const StringKey key : {StringKey::str_config, StringKey::str_cancel}) {
    EXPECT_TRUE(std::any_of(watch.fits.begin(), watch.fits.end(),
                            [&](const TextFit& fit) { return fit.text == Text(key); }))
        << i18n::StringKeyName(key) << " not drawn";
  }
}

// The name of every function the mouse's buttons can carry, on the settings page's assignment
// buttons, in both languages (combinations, macros and host actions show their own texts).
class FunctionNameFitTest : public test::SetDlgTest {};

TEST_F(FunctionNameFitTest, EveryFunctionNameFitsOnTheAssignmentButtons) {
  Open();
  for (const char* language : {"language.xml", "language_de.xml"}) {
    i18n::CXmlDocument document;
    ASSERT_TRUE(i18n::LoadLanguageStrings(
        document, std::filesystem::path(Z900_LANGUAGE_FILE).parent_path() / language,
        context.strings));
    TextWatch watch([](const QString&) { return true; });
    int names = 0;
    for (const config::FunctionEntry& function : config::FunctionCatalogue()) {
      const QString name =
          QString::fromStdU16String(config::FunctionDisplayName(function.type, context.strings));
      if (name.isEmpty()) continue;
      ++names;
      for (int button = 1; button <= 8; ++button) {
        dlg->assignment_button(button)->SetText(name);
        dlg->assignment_button(button)->grab();
      }
    }
    EXPECT_GT(names, 40) << language;
    EXPECT_THAT(watch.Misfits(), ::testing::IsEmpty()) << language;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFitTest,
                         ::testing::Values("language.xml", "language_de.xml"),
                         [](const ::testing::TestParamInfo<const char*>& language) {
                           return std::string(language.param) == "language.xml" ? "English"
                                                                                : "German";
                         });

}  // namespace
}  // namespace z900::ui
