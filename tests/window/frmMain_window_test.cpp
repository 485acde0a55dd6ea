// The player window as a window: its start state, rounded outline, locked size, caption bar
// and which pointer moves reach its own mouse-move handler.

#include "LayoutTable.h"
#include "PlayerWindowFixture.h"
#include "WindowOutline.h"

#include <QScreen>
#include <QWindow>

using namespace zr::ui;
using layout_table::kClientOrigin;

namespace {

using StartTest = PlayerWindowTest;
using SizeLockTest = PlayerWindowTest;
using MouseRoutingTest = PlayerWindowTest;
using CaptionBarTest = PlayerWindowTest;

TEST_F(StartTest, LightsOffThreeVolumeStepsLitClockAtZeroNothingLoaded) {
    for (std::int16_t light = 0; light <= 8; ++light) {
        SCOPED_TRACE(light);
        EXPECT_EQ(window->speCommandLight(light).FillColor(), Rgb(0, 0, 0));
        EXPECT_EQ(window->speCommandLight(light).FillStyle(), Shape::vbFSSolid);
    }
    for (std::int16_t step = 0; step <= 5; ++step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(window->VolumeInd(step).FillColor(), step <= 2 ? Rgb(250, 0, 0) : Rgb(128, 0, 0));
        EXPECT_EQ(window->VolumeInd(step).FillStyle(), Shape::vbFSSolid);
    }
    EXPECT_EQ(mVariables::VolumeLevel(), 498);
    for (Label* digit : {&window->lblELTimeA, &window->lblELTimeB, &window->lblELTimeC,
                         &window->lblELTimeD, &window->lblLengthA, &window->lblPositionA})
        EXPECT_EQ(digit->Caption(), QStringLiteral("0"));
    EXPECT_EQ(window->Label1.Caption(), QStringLiteral(":"));
    EXPECT_EQ(window->lblArtistA.Caption(), QStringLiteral("No Track loaded."));
    EXPECT_EQ(window->lblPlayMode(1).Caption(), QStringLiteral("Normal play"));
    EXPECT_EQ(window->lstFiles.ListItems().Count(), 0);
    EXPECT_FALSE(window->Timer1.Enabled());
    EXPECT_EQ(window->Timer1.Interval(), 1000);
    EXPECT_EQ(window->StatusReply.Text(), QString(30, QChar(0)));
}

TEST_F(StartTest, LoadStepRunsBeforeTheWindowIsFirstShown) {
    mVariables::ResetToStartValues();
    frmMain fresh;
    EXPECT_EQ(mVariables::VolumeLevel(), 0);
    bool loadedWhileHidden = false;
    QObject::connect(&fresh, &Form::LoadRaised, [&] { loadedWhileHidden = !fresh.isVisible(); });
    fresh.show();
    EXPECT_TRUE(loadedWhileHidden);
    EXPECT_EQ(mVariables::VolumeLevel(), 498);
    EXPECT_EQ(fresh.VolumeInd(2).FillColor(), Rgb(250, 0, 0));
    EXPECT_EQ(fresh.VolumeInd(3).FillColor(), Rgb(128, 0, 0));
}

TEST(OutlineTest, PixelsRoundHalvesToEven) {
    EXPECT_EQ(OutlinePixels(5670, 15), 378);
    EXPECT_EQ(OutlinePixels(6900, 15), 460);
    EXPECT_EQ(OutlinePixels(5670, 12), 472); // 472.5
    EXPECT_EQ(OutlinePixels(6900, 12), 575);
    EXPECT_EQ(OutlinePixels(7.5, 1), 8);
    EXPECT_EQ(OutlinePixels(6.5, 1), 6);
    EXPECT_EQ(OutlinePixels(5670, 0), 0);
}

TEST(OutlineTest, CornersAreCutByThirtyPixelEllipses) {
    const QRegion region = RoundedOutline(QSize(378, 460), 30);
    EXPECT_EQ(region.boundingRect(), QRect(0, 0, 378, 460));
    for (QPoint outside : {QPoint(0, 0), QPoint(377, 0), QPoint(0, 459), QPoint(377, 459),
                           QPoint(2, 2), QPoint(375, 457), QPoint(3, 1)})
        EXPECT_FALSE(region.contains(outside)) << outside.x() << "," << outside.y();
    for (QPoint inside : {QPoint(15, 0), QPoint(0, 15), QPoint(362, 0), QPoint(377, 444),
                          QPoint(189, 230), QPoint(6, 6), QPoint(371, 453)})
        EXPECT_TRUE(region.contains(inside)) << inside.x() << "," << inside.y();
    EXPECT_TRUE(RoundedOutline(QSize(0, 460), 30).isEmpty());
    // An ellipse larger than the window still gives a shape inside the window.
    EXPECT_EQ(RoundedOutline(QSize(20, 10), 30).boundingRect(), QRect(0, 0, 20, 10));
}

TEST_F(StartTest, WindowIsFramelessWithTheRoundedOutlineOfItsLockedSize) {
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->size(), QSize(378, 460));
    EXPECT_EQ(window->Width(), 5670);
    EXPECT_EQ(window->Height(), 6900);
    EXPECT_EQ(window->mask(), RoundedOutline(QSize(378, 460), 30));
    EXPECT_EQ(window->ClientArea()->geometry(), QRect(kClientOrigin, QSize(370, 433)));
    // It starts centred on the screen.
    const QPoint offCentre =
        window->geometry().center() - window->screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);
}

TEST_F(SizeLockTest, ResizesFromCodeOrWindowSystemSnapBack) {
    const QRegion outline = window->mask();
    window->resize(500, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(378, 460));

    // A window system that ignores the size hints (tiling managers do) resizes the native
    // window directly; the resize handler puts it back.
    window->windowHandle()->resize(300, 500);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window->windowHandle()->size() != QSize(300, 500); }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->size() == QSize(378, 460); }, 2000));
    window->windowHandle()->resize(378, 600); // height only
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return window->size() == QSize(378, 460) &&
                   window->windowHandle()->size() == QSize(378, 460);
        },
        2000));

    window->SetWidth(6000);
    window->SetHeight(100);
    EXPECT_EQ(window->Width(), 5670);
    EXPECT_EQ(window->Height(), 6900);
    // The outline is made once and never replaced.
    EXPECT_EQ(window->mask(), outline);
}

TEST_F(SizeLockTest, MinimizeAndRestoreKeepSizeAndCorners) {
    const QRegion outline = window->mask();
    window->showMinimized();
    QCoreApplication::processEvents();
    window->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(378, 460));
    EXPECT_EQ(window->mask(), outline);
}

TEST_F(MouseRoutingTest, MovesOverBareSurfaceShapesAndLinesReachTheWindowOthersDoNot) {
    int moves = 0;
    QObject::connect(window.get(), &Form::MouseMoveRaised, [&](const MouseArgs&) { ++moves; });
    struct Probe {
        const char* what;
        QPoint client; // pixels in the client area
        bool reachesWindow;
    };
    const Probe probes[] = {
        {"bare navy panel (InfoWindow)", {300, 95}, true},
        {"light speCommandLight(0)", {27, 121}, true},
        {"volume step VolumeInd(3)", {356, 130}, true},
        {"line Line3(0)", {200, 152}, true},
        {"bare black surface", {10, 300}, true},
        {"label lblArtist", {30, 30}, false},
        {"label lblArtistA", {200, 30}, false},
        {"picture button imgControl(1)", {95, 125}, false},
        {"seek bar ProgressBar", {150, 166}, false},
        {"playlist lstFiles", {150, 300}, false},
        {"line Line2", {100, 183}, true},
    };
    QTest::mouseMove(window.get(), QPoint(200, 300));
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.what);
        const int before = moves;
        QTest::mouseMove(window.get(), probe.client + kClientOrigin);
        QCoreApplication::processEvents();
        EXPECT_EQ(moves > before, probe.reachesWindow);
    }
    // The caption bar is not part of the window's surface.
    const int before = moves;
    QTest::mouseMove(window.get(), QPoint(150, 15));
    QCoreApplication::processEvents();
    EXPECT_EQ(moves, before);
}

TEST_F(CaptionBarTest, ShowsTheCaptionAndItsButtonsMinimizeAndClose) {
    CaptionBar& bar = window->captionBar();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("ZR - Mp3 Player"));
    EXPECT_EQ(bar.title(), QStringLiteral("ZR - Mp3 Player"));
    EXPECT_EQ(bar.geometry(), QRect(4, 4, 370, 23));
    EXPECT_TRUE(bar.rect().contains(bar.closeButton().geometry()));
    EXPECT_LT(bar.minimizeButton().geometry().right(), bar.closeButton().geometry().left());
    EXPECT_FALSE(window->windowIcon().isNull());

    QTest::mouseClick(&bar.minimizeButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->isMinimized(); }, 2000));
    window->showNormal();
    QCoreApplication::processEvents();

    QTest::mouseClick(&bar.closeButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 2000));
}

} // namespace
