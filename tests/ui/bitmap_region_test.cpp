#include "ui/bitmap_region.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTransform>

#include "ui/main_window_frame.h"
#include "ui/skin.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

QImage KeyImage(QSize size) {
  QImage image(size, QImage::Format_RGB888);
  image.fill(QColor(colours::kTransparentKey));
  return image;
}

TEST(BitmapToRegionTest, KeyPixelsAreOutsideEveryOtherPixelInside) {
  EXPECT_TRUE(BitmapToRegion(KeyImage(QSize(40, 30))).isEmpty());

  // One channel off the key is already part of the shape.
  QImage one = KeyImage(QSize(40, 30));
  one.setPixelColor(7, 4, QColor(0, 255, 31));
  EXPECT_TRUE(test::SameRegion(BitmapToRegion(one), QRegion(7, 4, 1, 1)));

  // Runs of a row join; rows with a gap keep it.
  QImage shape = KeyImage(QSize(40, 30));
  QPainter(&shape).fillRect(QRect(5, 5, 20, 10), Qt::black);
  shape.setPixelColor(10, 8, QColor(colours::kTransparentKey));
  EXPECT_TRUE(
      test::SameRegion(BitmapToRegion(shape), QRegion(5, 5, 20, 10) - QRegion(10, 8, 1, 1)));
}

TEST(BitmapToRegionTest, ManyRunsAreMergedAcrossBatches) {
  // Every other pixel of 200 rows: 20000 single-pixel runs, ten batches.
  QImage comb = KeyImage(QSize(200, 200));
  for (int y = 0; y < comb.height(); ++y) {
    for (int x = 0; x < comb.width(); x += 2) comb.setPixelColor(x, y, Qt::white);
  }
  const QRegion region = BitmapToRegion(comb);
  EXPECT_TRUE(region.contains(QPoint(198, 199)));
  EXPECT_FALSE(region.contains(QPoint(199, 199)));
  EXPECT_EQ(region.boundingRect(), QRect(0, 0, 199, 200));
}

TEST(BitmapToRegionTest, MainWindowOutlineFollowsItsPicture) {
  const QImage picture = LoadBitmapImage(SkinOf(SkinWindow::kMainWindow).normal);
  ASSERT_EQ(picture.size(), QSize(822, 544));
  const QRegion outline = BitmapToRegion(picture);
  // The chamfered corners are outside, the middle and the window buttons inside.
  EXPECT_FALSE(outline.contains(QPoint(1, 1)));
  EXPECT_FALSE(outline.contains(QPoint(1, 542)));
  EXPECT_FALSE(outline.contains(QPoint(820, 542)));
  EXPECT_TRUE(outline.contains(QPoint(411, 272)));
  EXPECT_TRUE(outline.contains(QPoint(818, 4)));
}

TEST(ThumbRegionTest, TransparentCornerColourIsCutAway) {
  QImage thumb(5, 5, QImage::Format_ARGB32);
  thumb.fill(Qt::transparent);
  QPainter(&thumb).fillRect(QRect(1, 1, 3, 3), QColor(20, 140, 185));
  EXPECT_TRUE(test::SameRegion(ThumbRegion(thumb), QRegion(1, 1, 3, 3)));
}

// The main window on screens of ratio 1, 1.5 and 2: where its outline lets it show, none of
// its pixels is the key colour. The window is drawn as it paints itself on such a screen (the
// @2x pictures from 1.5 on), and its outline is scaled as Qt hands it to the window system.
TEST(MainWindowOutlineTest, NoKeyColourInsideTheOutlineAtAnyPixelRatio) {
  for (const double ratio : {1.0, 1.5, 2.0}) {
    SetSkinPixelRatio(ratio);
    const i18n::LanguageStrings strings;
    MainWindowFrame frame{strings};
    frame.BuildFrame();  // as its first showing does
    QImage shown(frame.size() * ratio, QImage::Format_RGB32);
    shown.setDevicePixelRatio(ratio);
    frame.render(&shown);
    const QRegion outline = QTransform::fromScale(ratio, ratio).map(frame.mask());
    ASSERT_FALSE(outline.isEmpty());
    int key_pixels = 0;
    for (const QRect& run : outline) {
      for (int y = run.top(); y <= run.bottom(); ++y) {
        for (int x = run.left(); x <= run.right(); ++x) {
          if ((shown.pixel(x, y) & 0xFFFFFF) == (colours::kTransparentKey & 0xFFFFFF)) {
            ++key_pixels;
          }
        }
      }
    }
    EXPECT_EQ(key_pixels, 0) << "at ratio " << ratio;
  }
  SetSkinPixelRatio(1.0);
}

}  // namespace
}  // namespace z900::ui
