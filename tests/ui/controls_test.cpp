#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "ui/gdi_bitmap_btn.h"
#include "ui/irr_button.h"
#include "ui/png_progress_bar.h"
#include "ui/png_slider.h"
#include "ui/skin.h"
#include "ui_fixture.h"

namespace z900::ui {
namespace {

using test::Hover;
using test::Leave;
using test::PixelOf;
using test::Solid;

const QColor kNormal(10, 20, 30);
const QColor kHover(40, 50, 60);
const QColor kPressed(70, 80, 90);
const QColor kDisabled(100, 110, 120);

class BitmapButtonTest : public test::ActiveWindowTest {
 protected:
  BitmapButtonTest() : button(QString(), QRect(20, 30, 60, 24), &window) {
    const QSize size = window.size();
    button.SetBitmaps(Solid(size, kNormal), Solid(size, kHover), Solid(size, kPressed),
                      Solid(size, kDisabled));
    button.show();
  }
  QColor Face() { return PixelOf(button, QPoint(30, 12)); }
  CGDIBitmapBtn button;
};

TEST_F(BitmapButtonTest, DrawsTheFaceOfEachState) {
  EXPECT_EQ(Face(), kNormal);
  Hover(button, QPoint(10, 10));
  EXPECT_TRUE(button.hovering());
  EXPECT_EQ(Face(), kHover);
  button.setDown(true);
  EXPECT_EQ(Face(), kPressed);
  button.setDown(false);
  Leave(button);
  EXPECT_FALSE(button.hovering());
  button.setEnabled(false);
  EXPECT_EQ(Face(), kDisabled);
}

TEST_F(BitmapButtonTest, CheckedButtonInCheckModeDrawsPressedEvenWhileHovered) {
  button.SetCheck(true);
  Hover(button, QPoint(10, 10));
  EXPECT_EQ(Face(), kHover) << "outside check mode the check is not drawn";
  button.SetCheckMode(true);
  button.update();
  EXPECT_TRUE(button.hovering());
  EXPECT_EQ(Face(), kPressed);
}

TEST_F(BitmapButtonTest, InactiveWindowOrADragFromElsewhereDoesNotLightIt) {
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  Hover(button, QPoint(10, 10));
  EXPECT_FALSE(button.hovering());

  QApplication::setActiveWindow(&window);
  QMouseEvent drag(QEvent::MouseMove, QPointF(12, 12), button.mapToGlobal(QPointF(12, 12)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&button, &drag);
  EXPECT_FALSE(button.hovering());
  Hover(button, QPoint(12, 12));
  EXPECT_TRUE(button.hovering());
}

TEST_F(BitmapButtonTest, ReportsMovesInParentCoordinatesAndClicks) {
  QSignalSpy moves(&button, &CGDIBitmapBtn::MouseMoved);
  QSignalSpy clicks(&button, &QAbstractButton::clicked);
  QTest::mouseMove(&button, QPoint(5, 6));
  ASSERT_FALSE(moves.isEmpty());
  EXPECT_EQ(moves.last().at(0).toPoint(), QPoint(25, 36));
  QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 6));
  EXPECT_EQ(clicks.count(), 1);
}

class RegionButtonTest : public test::ActiveWindowTest {
 protected:
  // A triangle: the box's lower right half lies outside.
  RegionButtonTest() : button(QString(), QPolygon({{100, 50}, {200, 50}, {100, 150}}), &window) {
    button.show();
  }
  CIrrButton button;
};

TEST_F(RegionButtonTest, CaptionStartsLeftOfTheCentreByItsLength) {
  ASSERT_EQ(button.centre(), QPoint(150, 100));
  struct Case {
    const char* caption;
    int left_of_centre;
  };
  for (const Case& c :
       {Case{"A", 1}, Case{"Mode1", 25}, Case{"Mode 1", 13}, Case{"Profile1", 19}}) {
    button.setText(QString::fromLatin1(c.caption));
    EXPECT_EQ(button.CaptionOrigin(), QPoint(150 - c.left_of_centre, 94)) << c.caption;
  }
}

TEST_F(RegionButtonTest, ReportsThePressAtOnceAndOnlyInsideItsOutline) {
  QSignalSpy pressed(&button, &CIrrButton::Pressed);
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(90, 90));
  EXPECT_EQ(pressed.count(), 0) << "outside the triangle, inside its box";
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(pressed.count(), 1);
  EXPECT_TRUE(button.pressed());
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(button.pressed());
}

// The second click of a double click is a second press. The clicks come through the window as
// the window system gives them, and Qt makes the second press a double-click event.
TEST_F(RegionButtonTest, DoubleClickIsTwoPresses) {
  QSignalSpy pressed(&button, &CIrrButton::Pressed);
  QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {},
                     button.mapTo(&window, QPoint(10, 10)));
  EXPECT_EQ(pressed.count(), 2);
  EXPECT_FALSE(button.pressed());
  QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {},
                     button.mapTo(&window, QPoint(90, 90)));
  EXPECT_EQ(pressed.count(), 2) << "outside the triangle, inside its box";
}

TEST_F(RegionButtonTest, StickyButtonShowsSelectedFromItsFlag) {
  const QSize size = window.size();
  button.SetImages(Solid(size, kNormal), Solid(size, kPressed), Solid(size, kHover),
                   Solid(size, kDisabled));
  button.SetSticky(true);
  Hover(button, QPoint(10, 10));
  EXPECT_EQ(PixelOf(button, QPoint(5, 5)), kHover);
  button.SetSelected(true);
  EXPECT_EQ(PixelOf(button, QPoint(5, 5)), kPressed);
  QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
  button.SetSelected(false);
  Leave(button);
  EXPECT_EQ(PixelOf(button, QPoint(5, 5)), kNormal);
}

class SliderTest : public test::ActiveWindowTest {
 protected:
  // The settings page's slider: a track 201 wide with the 13-pixel thumb, range 1 … 7.
  SliderTest()
      : slider(SkinFilePath(test::ProgramFolder(), SkinFile::kSlider), QRect(26, 61, 201, 13),
               &window) {
    slider.SetRange(1, 7);
    slider.show();
  }
  int ThumbX() const { return slider.thumb()->x(); }
  CPngHSliderBar slider;
};

TEST_F(SliderTest, PositionsMapOntoTheTravelAndOutOfRangeShowsAtTheMinimum) {
  ASSERT_EQ(slider.thumb()->width(), 13) << "the slider picture is missing";
  struct Case {
    int position;
    int shown;
    int x;
  };
  for (const Case& c : {Case{1, 1, 0}, Case{4, 4, 94}, Case{7, 7, 188}, Case{8, 1, 0},
                        Case{0, 1, 0}, Case{-1, 1, 0}}) {
    slider.SetPos(c.position);
    EXPECT_EQ(slider.position(), c.shown) << c.position;
    EXPECT_EQ(ThumbX(), c.x) << c.position;
  }
}

TEST_F(SliderTest, TrackClicksAtBothEdgesGiveMinimumAndMaximum) {
  QSignalSpy reports(&slider, &CPngHSliderBar::PositionChanged);
  struct Case {
    int x;
    int position;
  };
  // The right edge is the track's right side, reached while the press holds the mouse.
  for (const Case& c : {Case{0, 1}, Case{201, 7}, Case{100, 3}, Case{400, 7}}) {
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(c.x == 0 ? 0 : 200, 2));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(c.x, 2));
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.last().at(0).toInt(), c.position) << c.x;
    EXPECT_EQ(reports.last().at(1).toInt(), kSliderId);
    EXPECT_EQ(slider.position(), c.position);
  }
}

TEST_F(SliderTest, DraggedThumbStaysOnTheTrackAndReportsWhereItWasLetGo) {
  QSignalSpy reports(&slider, &CPngHSliderBar::PositionChanged);
  CPngHSlider* thumb = slider.thumb();
  QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(6, 6));
  QTest::mouseMove(thumb, QPoint(600, 6));
  EXPECT_EQ(ThumbX(), 188);
  QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(6, 6));
  ASSERT_EQ(reports.count(), 1);
  EXPECT_EQ(reports.at(0).at(0).toInt(), 7);

  QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(6, 6));
  QTest::mouseMove(thumb, QPoint(-600, 6));
  EXPECT_EQ(ThumbX(), 0);
  QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(6, 6));
  EXPECT_EQ(reports.last().at(0).toInt(), 1);
}

TEST_F(SliderTest, EmptyRangeNeitherDividesByZeroNorMoves) {
  slider.SetRange(5, 5);
  slider.SetPos(5);
  EXPECT_EQ(ThumbX(), 0);
  QSignalSpy reports(&slider, &CPngHSliderBar::PositionChanged);
  QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(150, 2));
  ASSERT_EQ(reports.count(), 1);
  EXPECT_EQ(reports.at(0).at(0).toInt(), 5);

  QWidget owner;
  CPngHProgressBar bar(QRect(0, 0, 100, 9), &owner);
  bar.SetRange(0, 0);
  bar.SetPos(3);
  EXPECT_EQ(bar.FilledWidth(), 0);
}

TEST(ProgressBarTest, FillFollowsThePositionAndDraggingReportsIt) {
  QWidget owner;
  owner.resize(300, 100);
  CPngHProgressBar bar(QRect(35, 47, 260, 9), &owner);
  bar.SetRange(0, 100);
  struct Case {
    int position;
    int filled;
  };
  for (const Case& c : {Case{0, 0}, Case{50, 130}, Case{100, 260}}) {
    bar.SetPos(c.position);
    EXPECT_EQ(bar.FilledWidth(), c.filled) << c.position;
  }

  QSignalSpy reports(&bar, &CPngHProgressBar::PositionChanged);
  bar.SetReadOnly(true);
  QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(26, 4));
  EXPECT_TRUE(reports.isEmpty());
  bar.SetReadOnly(false);
  QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(26, 4));
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(-30, 4));
  ASSERT_EQ(reports.count(), 1);
  EXPECT_EQ(reports.at(0).at(0).toInt(), 0);
  EXPECT_EQ(reports.at(0).at(1).toInt(), kProgressBarId);
}

}  // namespace
}  // namespace z900::ui
