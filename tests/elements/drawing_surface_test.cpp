// The drawing surface's not-xor pen and filled boxes, read back pixel by pixel.

#include "DrawingSurface.h"
#include "QtPrinters.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace zr::ui;

namespace {

constexpr ColorRef kBack = Rgb(12, 200, 77);
constexpr ColorRef kPen = Rgb(0, 0, 110);

ColorRef NotXor(ColorRef dest, ColorRef pen) {
    return ~(dest ^ pen) & 0x00FFFFFFu;
}

} // namespace

class DrawingSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar.Move(720, 2460, 3615, 80); // 241 x 5 px (80 twips is 5.33)
        bar.SetBackColor(kBack);
    }
    QWidget parent;
    DrawingSurface bar{&parent};
};

TEST_F(DrawingSurfaceTest, WidthIsTheLaidOutTwips) {
    EXPECT_EQ(bar.Width(), 3615);
    EXPECT_EQ(bar.Picture().width(), 241);
}

TEST_F(DrawingSurfaceTest, NotXorBoxInvertsAgainstThePenAndTwiceRestores) {
    bar.Cls();
    bar.SetDrawMode(DrawingSurface::vbNotXorPen);
    // From left of the surface to x = 200 twips, top 30 twips, as the progress drawing does.
    bar.LineBF(-200, 0, 200, 30, kPen);

    // Columns 0..13 (200 twips lies in pixel 13), rows 0..2 (30 twips lies in row 2).
    EXPECT_EQ(bar.Point(0, 0), NotXor(kBack, kPen));
    EXPECT_EQ(bar.Point(13 * 15, 2 * 15), NotXor(kBack, kPen));
    EXPECT_EQ(bar.Point(14 * 15, 0), kBack) << "box ends at the pixel holding x = 200";
    EXPECT_EQ(bar.Point(0, 3 * 15), kBack) << "box ends at the pixel holding y = 30";

    bar.LineBF(-200, 0, 200, 30, kPen);
    const QImage& picture = bar.Picture();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ASSERT_EQ(bar.Point(x * 15, y * 15), kBack) << "pixel " << x << "," << y;
}

TEST_F(DrawingSurfaceTest, NotXorOnBlackWithBlackPenGivesWhiteAndCopyPenCopies) {
    bar.SetBackColor(Rgb(0, 0, 0));
    bar.SetDrawMode(DrawingSurface::vbNotXorPen);
    bar.LineBF(0, 0, 0, 0, Rgb(0, 0, 0));
    EXPECT_EQ(bar.Point(0, 0), Rgb(255, 255, 255));
    EXPECT_EQ(bar.Point(15, 0), Rgb(0, 0, 0)) << "a zero-size box is one pixel";

    bar.SetDrawMode(DrawingSurface::vbCopyPen);
    bar.LineBF(30, 15, 45, 15, kPen);
    EXPECT_EQ(bar.Point(30, 15), kPen);
    EXPECT_EQ(bar.Point(45, 15), kPen);
    EXPECT_EQ(bar.Point(60, 15), Rgb(0, 0, 0));
}

TEST_F(DrawingSurfaceTest, ClsClearsAndBoxesOutsideOrAbsurdAreHarmless) {
    bar.SetDrawMode(DrawingSurface::vbCopyPen);
    bar.LineBF(0, 0, 3615, 80, kPen);
    EXPECT_EQ(bar.Point(3600, 60), kPen);
    bar.Cls();
    EXPECT_EQ(bar.Point(3600, 60), kBack);

    bar.LineBF(5000, 0, 9000, 30, kPen);   // right of the surface
    bar.LineBF(-1e30, -5, 1e30, -1, kPen); // above it, huge
    bar.LineBF(std::numeric_limits<double>::quiet_NaN(), 0, 10, 10, kPen);
    for (int x = 0; x < 241; ++x)
        ASSERT_EQ(bar.Point(x * 15, 0), kBack);
    EXPECT_EQ(bar.Point(-1, 0), static_cast<ColorRef>(-1));
    EXPECT_EQ(bar.Point(3615, 0), static_cast<ColorRef>(-1));
}

TEST_F(DrawingSurfaceTest, PictureSurvivesRepaintAndShowsOnScreen) {
    bar.SetDrawMode(DrawingSurface::vbCopyPen);
    bar.LineBF(0, 0, 150, 75, kPen);
    parent.resize(400, 300);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    bar.Refresh();
    const QImage shot = bar.grab().toImage();
    EXPECT_EQ(FromQColor(shot.pixelColor(5, 2)), kPen);
    EXPECT_EQ(FromQColor(shot.pixelColor(20, 2)), kBack);
}

TEST_F(DrawingSurfaceTest, TakesFocusInTheTabOrder) {
    QWidget before(&parent);
    before.setFocusPolicy(Qt::StrongFocus);
    QWidget::setTabOrder(&before, &bar);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    parent.activateWindow();
    before.setFocus();
    QTest::keyClick(&before, Qt::Key_Tab);
    EXPECT_TRUE(bar.hasFocus());
}
