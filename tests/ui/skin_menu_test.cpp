#include "ui/skin_menu.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "macro/macro_store.h"
#include "platform/memory_key_store.h"
#include "platform/text.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

// The standard menu with every text its key's name.
class SkinMenuTest : public ::testing::Test {
 protected:
  SkinMenuTest() : menu_(SkinMenuLook::Load(test::ProgramFolder()), nullptr) {
    SetSkinPixelRatio(1.0);
    for (std::size_t k = 0; k < i18n::kStringKeyCount; ++k) {
      const auto key = static_cast<i18n::StringKey>(k);
      strings_.Set(key, platform::Utf8ToUtf16(i18n::StringKeyName(key)));
    }
    config::MacroItemTable table{};
    items_ = config::BuildAssignmentMenu(config::MenuVariant::kStandard, store_, strings_, table);
  }

  CSkinMenuPopup* Open() {
    EXPECT_TRUE(menu_.CreateMenuEx(items_, QPoint(10, 10)));
    return menu_.popup();
  }
  static void Click(QWidget* popup, const QRect& item) {
    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, item.center());
  }
  static void MoveTo(QWidget* popup, const QRect& item) {
    QMouseEvent move(QEvent::MouseMove, QPointF(item.center()),
                     popup->mapToGlobal(QPointF(item.center())), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(popup, &move);
  }

  i18n::LanguageStrings strings_;
  platform::MemoryKeyStore store_;
  std::vector<config::MenuItemRecord> items_;
  CSkinMenu menu_;
};

TEST_F(SkinMenuTest, PointerOpensTheGroupAndAClickReportsItemAndCategory) {
  CSkinMenuPopup* popup = Open();
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(menu_.IsOpen());
  ASSERT_EQ(popup->RowCount(0), 9);
  QSignalSpy chosen(&menu_, &CSkinMenu::Chosen);

  // The basic functions (third row) open beside their row when the pointer reaches them.
  MoveTo(popup, popup->ItemRect(0, 2));
  EXPECT_EQ(popup->open_row(), 2);
  ASSERT_EQ(popup->RowCount(1), 13);
  EXPECT_EQ(popup->ItemRect(1, 0).top(), popup->ItemRect(0, 2).top());
  EXPECT_TRUE(popup->mask().contains(popup->ItemRect(1, 12).center()));
  // Moving on to an item without sub-menu closes it again.
  MoveTo(popup, popup->ItemRect(0, 7));
  EXPECT_EQ(popup->open_row(), -1);
  EXPECT_FALSE(popup->mask().contains(popup->ItemRect(0, 2).center() + QPoint(200, 0)));

  MoveTo(popup, popup->ItemRect(0, 2));
  Click(popup, popup->ItemRect(1, 1));  // str_copy
  ASSERT_EQ(chosen.size(), 1);
  EXPECT_EQ(chosen[0][0].toInt(), 65);
  EXPECT_EQ(chosen[0][1].toInt(), 20);
  EXPECT_FALSE(menu_.IsOpen());

  // A top-level item without sub-menu is its own category.
  popup = Open();
  Click(popup, popup->ItemRect(0, 7));  // str_onekeystart
  ASSERT_EQ(chosen.size(), 2);
  EXPECT_EQ(chosen[1][0].toInt(), 12);
  EXPECT_EQ(chosen[1][1].toInt(), 12);
}

TEST_F(SkinMenuTest, KeyboardWalksBothLevels) {
  CSkinMenuPopup* popup = Open();
  QSignalSpy chosen(&menu_, &CSkinMenu::Chosen);
  for (int i = 0; i < 5; ++i) QTest::keyClick(popup, Qt::Key_Down);  // 0 … 4: screenshots
  EXPECT_EQ(popup->highlighted(0), 4);
  EXPECT_EQ(popup->open_row(), -1) << "walking the top level opens nothing";
  QTest::keyClick(popup, Qt::Key_Right);
  EXPECT_EQ(popup->open_row(), 4);
  EXPECT_EQ(popup->highlighted(1), 0);
  QTest::keyClick(popup, Qt::Key_Up);  // wraps to the last of three
  EXPECT_EQ(popup->highlighted(1), 2);
  QTest::keyClick(popup, Qt::Key_Escape);  // back to the top level
  EXPECT_EQ(popup->open_row(), -1);
  EXPECT_TRUE(menu_.IsOpen());
  QTest::keyClick(popup, Qt::Key_Return);  // opens it again
  QTest::keyClick(popup, Qt::Key_Down);
  QTest::keyClick(popup, Qt::Key_Return);
  ASSERT_EQ(chosen.size(), 1);
  EXPECT_EQ(chosen[0][0].toInt(), 117);
  EXPECT_EQ(chosen[0][1].toInt(), 119);

  popup = Open();
  QTest::keyClick(popup, Qt::Key_Escape);
  EXPECT_FALSE(menu_.IsOpen());
  EXPECT_EQ(chosen.size(), 1);
}

TEST_F(SkinMenuTest, NoChoiceComesFromAClosedMenu) {
  CSkinMenuPopup* popup = Open();
  QSignalSpy chosen(&menu_, &CSkinMenu::Chosen);
  menu_.DestroyMenuEx();
  menu_.DestroyMenuEx();  // harmless when none is open
  EXPECT_FALSE(menu_.IsOpen());
  EXPECT_EQ(menu_.popup(), nullptr);
  // The closed window goes with the next turn of the event loop; a late click on it is lost.
  if (popup != nullptr) Click(popup, popup->ItemRect(0, 7));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(chosen.size(), 0);

  // A click outside the columns closes the menu without a choice.
  popup = Open();
  QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, QPoint(popup->width() - 2, 2));
  EXPECT_FALSE(menu_.IsOpen());
  EXPECT_EQ(chosen.size(), 0);
}

// A stored macro that cannot be listed leaves the macro item with an empty sub-menu: drawn as
// an item that opens one, and never a choice of its own.
TEST_F(SkinMenuTest, AnEmptyMacroSubMenuIsASubMenuAndChoosesNothing) {
  const std::u16string key = std::u16string(macro::kMacroBaseKey) + u"broken";
  ASSERT_EQ(store_.CreateKey(key), platform::KeyStoreStatus::kOk);
  ASSERT_EQ(store_.WriteValue(key, u"", platform::BinaryValue(std::vector<std::uint8_t>(40, 0))),
            platform::KeyStoreStatus::kOk);
  config::MacroItemTable table{};
  items_ = config::BuildAssignmentMenu(config::MenuVariant::kStandard, store_, strings_, table);
  CSkinMenuPopup* popup = Open();
  ASSERT_EQ(popup->RowCount(0), 10);
  ASSERT_EQ(config::MenuItemText(items_[1]), u"str_mac_def");
  QSignalSpy chosen(&menu_, &CSkinMenu::Chosen);

  // Its row ends like the advanced functions' row below it, with the sub-menu's arrow, and not
  // like one-key start's.
  const QImage picture = popup->grab().toImage();
  const auto arrow_end = [&](int row) {
    const QRect item = popup->ItemRect(0, row);
    return picture.copy(item.right() - 20, item.top(), 20, item.height());
  };
  EXPECT_EQ(arrow_end(1), arrow_end(2));
  EXPECT_NE(arrow_end(1), arrow_end(8));

  MoveTo(popup, popup->ItemRect(0, 1));
  Click(popup, popup->ItemRect(0, 1));
  QTest::keyClick(popup, Qt::Key_Return);
  EXPECT_EQ(chosen.size(), 0);
  EXPECT_TRUE(menu_.IsOpen());
  EXPECT_EQ(popup->RowCount(1), 0);
}

TEST_F(SkinMenuTest, MalformedTablesShowWhatTheyCan) {
  std::vector<config::MenuItemRecord> items(3);
  items[0] = {config::kTopLevelParent, 5, {u'A'}};
  items[1] = {7, 64, {u'B'}};  // a parent beyond the table
  items[2] = {1, 65, {u'C'}};  // a parent that is a sub-item
  ASSERT_TRUE(menu_.CreateMenuEx(items, QPoint(0, 0)));
  EXPECT_EQ(menu_.popup()->RowCount(0), 1);
  MoveTo(menu_.popup(), menu_.popup()->ItemRect(0, 0));
  EXPECT_EQ(menu_.popup()->open_row(), -1);

  const std::vector<config::MenuItemRecord> no_top = {items[1], items[2]};
  EXPECT_FALSE(menu_.CreateMenuEx(no_top, QPoint(0, 0)));
  EXPECT_FALSE(menu_.IsOpen());
}

}  // namespace
}  // namespace z900::ui
