#include "ui/skin.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "ui/bitmap_region.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

class SkinPicturesTest : public ::testing::Test {
 protected:
  ~SkinPicturesTest() override { SetSkinPixelRatio(1.0); }
};

// Controls cut their faces from one decoded picture; only the skin's ratio is decoded, and a
// picture nothing holds any longer is let go.
TEST_F(SkinPicturesTest, OneDecodedPictureWhileHeldAndOnlyAtTheRatioInUse) {
  const std::size_t before = SkinPicturesHeld();
  const int id = SkinOf(SkinWindow::kMainWindow).normal;
  SetSkinPixelRatio(1.0);
  QPixmap first = LoadBitmapResource(id);
  QPixmap second = LoadBitmapResource(id);
  ASSERT_FALSE(first.isNull());
  EXPECT_EQ(first.cacheKey(), second.cacheKey());
  EXPECT_EQ(first.size(), QSize(822, 544));
  EXPECT_EQ(SkinPicturesHeld(), before + 1);

  SetSkinPixelRatio(2.0);
  QPixmap large = LoadBitmapResource(id);
  EXPECT_EQ(large.size(), QSize(1644, 1088));
  EXPECT_EQ(large.devicePixelRatio(), 2.0);
  EXPECT_EQ(SkinPicturesHeld(), before + 2);

  first = QPixmap();
  second = QPixmap();
  large = QPixmap();
  EXPECT_EQ(SkinPicturesHeld(), before);
}

// Pictures decoded ahead on their own threads are what the next load takes, at the ratio in use.
TEST_F(SkinPicturesTest, PicturesDecodedAheadAreTheOnesLoaded) {
  for (const double ratio : {1.0, 2.0}) {
    SetSkinPixelRatio(ratio);
    const std::size_t before = SkinPicturesHeld();
    DecodeWindowImagesAhead(SkinWindow::kAboutBox);
    DecodeWindowImagesAhead(SkinWindow::kAboutBox);  // once is enough
    EXPECT_EQ(SkinPicturesHeld(), before);
    const WindowImages images = LoadWindowImages(SkinWindow::kAboutBox);
    for (const QPixmap* picture : {&images.normal, &images.hover, &images.pressed}) {
      EXPECT_EQ(picture->devicePixelRatio(), ratio);
      EXPECT_EQ(picture->deviceIndependentSize().toSize(), QSize(427, 228));
    }
    EXPECT_EQ(SkinPicturesHeld(), before + 3);
  }
}

TEST_F(SkinPicturesTest, TheProgramIconDecodesOnlyTheSizeItDraws) {
  const std::size_t before = SkinPicturesHeld();
  {
    const QIcon icon = ProgramIcon();
    EXPECT_EQ(SkinPicturesHeld(), before);
    EXPECT_EQ(icon.pixmap(QSize(24, 24), 1.0).size(), QSize(24, 24));  // the 32-pixel picture
    EXPECT_EQ(SkinPicturesHeld(), before + 1);
    EXPECT_EQ(icon.pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
    EXPECT_EQ(icon.pixmap(QSize(64, 64), 1.0).size(), QSize(64, 64));  // the same picture
    EXPECT_EQ(SkinPicturesHeld(), before + 2);
  }
  EXPECT_EQ(SkinPicturesHeld(), before);
}

// The outline comes from the picture drawn: at 2× a logical pixel is outside when any of its
// four device pixels has the key colour.
TEST_F(SkinPicturesTest, OutlineOfAPictureAtEitherRatio) {
  QImage device(8, 6, QImage::Format_RGB32);
  device.fill(Qt::black);
  device.setPixelColor(3, 3, QColor(colours::kTransparentKey));
  QPixmap picture = QPixmap::fromImage(device);
  EXPECT_TRUE(test::SameRegion(PictureOutline(picture), QRegion(0, 0, 8, 6) - QRegion(3, 3, 1, 1)));
  picture.setDevicePixelRatio(2.0);
  EXPECT_TRUE(test::SameRegion(PictureOutline(picture), QRegion(0, 0, 4, 3) - QRegion(1, 1, 1, 1)));

  for (const double ratio : {1.0, 2.0}) {
    SetSkinPixelRatio(ratio);
    const QRegion outline =
        PictureOutline(LoadBitmapResource(SkinOf(SkinWindow::kMainWindow).normal));
    EXPECT_EQ(outline.boundingRect(), QRect(0, 0, 822, 544)) << ratio;
    EXPECT_TRUE(outline.contains(QPoint(411, 272))) << ratio;
    EXPECT_FALSE(outline.contains(QPoint(1, 1))) << ratio;
    EXPECT_FALSE(outline.contains(QPoint(820, 542))) << ratio;
  }
}

}  // namespace
}  // namespace z900::ui
