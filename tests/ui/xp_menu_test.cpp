#include "ui/xp_menu.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <QTimer>

#include "ui/skin.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

QImage DrawItem(bool highlighted, const XPMenuItem* item, QSize size = QSize(87, 22)) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  DrawXPMenuItem(painter, image.rect(), highlighted, item);
  return image;
}

TEST(XPMenuItemTest, HighlightedAndPlainColours) {
  const XPMenuItem item{190, 191, QStringLiteral("About")};
  const QImage plain = DrawItem(false, &item);
  EXPECT_EQ(QColor(plain.pixel(0, 0)), QColor(219, 216, 209));
  EXPECT_EQ(QColor(plain.pixel(86, 21)), QColor(219, 216, 209));
  const QImage lit = DrawItem(true, &item);
  EXPECT_EQ(QColor(lit.pixel(0, 0)), QColor(Qt::black));
  EXPECT_EQ(QColor(lit.pixel(86, 10)), QColor(Qt::black));
  EXPECT_EQ(QColor(lit.pixel(1, 1)), QColor(177, 185, 207));
}

TEST(XPMenuItemTest, ItemWithoutDataIsLeftBlank) {
  const QImage blank = DrawItem(true, nullptr);
  for (int y = 0; y < blank.height(); ++y) {
    for (int x = 0; x < blank.width(); ++x) ASSERT_EQ(blank.pixel(x, y), qRgb(255, 255, 255));
  }
}

TEST(XPMenuItemTest, LongTextStaysInItsItemWithAnEllipsis) {
  const XPMenuItem item{133, 134, QStringLiteral("Configuration and everything else")};
  // Drawn into a wider picture: nothing may land right of the item's rectangle.
  QImage image(200, 22, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    DrawXPMenuItem(painter, QRect(0, 0, 87, 22), false, &item);
  }
  for (int x = 87; x < image.width(); ++x) {
    for (int y = 0; y < image.height(); ++y) ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255));
  }
}

TEST(XPMenuTest, ExecReturnsTheChosenCommandOrNothing) {
  const XPMenuItem about{190, 191, QStringLiteral("About")};
  const XPMenuItem exit{135, 136, QStringLiteral("Exit")};
  CXPMenu menu;
  menu.AppendItem(24578, &about);
  menu.AppendItem(24577, &exit);
  EXPECT_EQ(menu.ItemRect(1).size(), QSize(75 + kXPMenuCheckMarkWidth, 22));

  QTimer::singleShot(0, &menu, [&] {
    QTest::mouseMove(&menu, menu.ItemRect(1).center());
    EXPECT_EQ(menu.highlighted(), 1);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, menu.ItemRect(1).center());
  });
  EXPECT_EQ(menu.Exec(QPoint(100, 100)), 24577);

  QTimer::singleShot(0, &menu, [&] { QTest::keyClick(&menu, Qt::Key_Escape); });
  EXPECT_EQ(menu.Exec(QPoint(100, 100)), 0);

  QTimer::singleShot(0, &menu, [&] {
    QTest::keyClick(&menu, Qt::Key_Down);
    QTest::keyClick(&menu, Qt::Key_Return);
  });
  EXPECT_EQ(menu.Exec(QPoint(100, 100)), 24578);
}

}  // namespace
}  // namespace z900::ui
