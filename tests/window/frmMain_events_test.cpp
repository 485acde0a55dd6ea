// Real input on the player window reaches the handler each element's event belongs to: the
// buttons' click, press and hover, the bare window's mouse-move, the playlist's double-click,
// the timer's tick and the close box's close request. Commands go to a recording service.

#include "PlayerWindowFixture.h"
#include "RecordingMediaService.h"

#include <QAbstractItemModel>
#include <QTreeView>

#include <algorithm>

using namespace zr::ui;

namespace {

class EventsTest : public PlayerWindowTest {
protected:
    [[nodiscard]] int Count(const std::string& command) { return media->count(command); }

    zr::test::RecordingMediaService::Installed media;
};

TEST_F(EventsTest, ButtonClickPressAndHoverReachTheirHandlersAndBareMovesTheWindows) {
    PictureButton& increase = window->imgControl(10);
    QTest::mouseClick(&increase, Qt::LeftButton, {}, increase.rect().center());
    EXPECT_EQ(mVariables::VolumeLevel(), 498 + 166);
    EXPECT_EQ(window->VolumeInd(3).FillColor(), Rgb(250, 0, 0));

    PictureButton& open = window->imgControl(5);
    QTest::mouseMove(window.get(), open.mapTo(window.get(), open.rect().center()));
    EXPECT_EQ(window->speCommandLight(5).FillColor(), Rgb(255, 255, 0));
    // The bare command area between the rows.
    QTest::mouseMove(window.get(), QPoint(300, 152 + 27));
    EXPECT_EQ(window->speCommandLight(5).FillColor(), Rgb(0, 0, 0));

    PictureButton& play = window->imgControl(1);
    QTest::mousePress(&play, Qt::LeftButton, {}, play.rect().center());
    EXPECT_EQ(window->speCommandLight(1).FillColor(), Rgb(0, 255, 0));
    QTest::mouseRelease(&play, Qt::LeftButton, {}, play.rect().center());
}

TEST_F(EventsTest, DoubleClickOnAPlaylistRowStopsAndPlaysIt) {
    ListItem row = window->lstFiles.ListItems().Add(QStringLiteral("C:\\Music\\"));
    row.SetSubItems(1, QStringLiteral("01."));
    row.SetSubItems(2, QStringLiteral("song.mp3"));
    row.SetSubItems(3, QStringLiteral("U"));
    QCoreApplication::processEvents();
    QTreeView& view = window->lstFiles.View();
    const QRect cell = view.visualRect(view.model()->index(0, 1)); // the file name
    ASSERT_FALSE(cell.isEmpty());
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(Count("stop mp3"), 1);
    EXPECT_EQ(Count("play mp3"), 1);
    const auto commands = media->commands();
    const auto stop = std::find(commands.begin(), commands.end(), "stop mp3");
    const auto play = std::find(commands.begin(), commands.end(), "play mp3");
    EXPECT_LT(stop, play);
}

TEST_F(EventsTest, BlankClicksKeepTheSelectedRowAndABlankDoubleClickRestartsIt) {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        zr::ui::ListItem row = window->lstFiles.ListItems().Add(QStringLiteral("C:\\Music\\"));
        row.SetSubItems(1, QStringLiteral("0%1.").arg(window->lstFiles.ListItems().Count()));
        row.SetSubItems(2, QString::fromLatin1(name));
        row.SetSubItems(3, QStringLiteral("U"));
    }
    QCoreApplication::processEvents();
    QTreeView& view = window->lstFiles.View();
    QWidget* rows = view.viewport();
    const QPoint second = view.visualRect(view.model()->index(1, 1)).center();
    const QPoint blank(second.x(), rows->height() - 8);
    ASSERT_FALSE(view.indexAt(blank).isValid());

    QTest::mouseClick(rows, Qt::LeftButton, {}, second);
    QTest::mouseClick(rows, Qt::LeftButton, {}, blank);
    QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, second);
    QTest::mouseClick(&window->imgControl(1), Qt::LeftButton);
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) b.mp3") << "Play takes the row kept selected";

    window->lblELTimeD.SetCaption(QStringLiteral("5"));
    media->clear();
    QTest::mouseDClick(rows, Qt::LeftButton, {}, blank);
    auto commands = media->commands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0], "stop mp3");
    EXPECT_EQ(commands[1], "close all");
    EXPECT_EQ(Count("play mp3"), 1);
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) b.mp3");
    EXPECT_EQ(window->lblELTimeD.Caption(), "0") << "restarted from its beginning";

    // Emptied, the list's double click only stops.
    QTest::mouseClick(&window->imgControl(14), Qt::LeftButton);
    media->clear();
    QTest::mouseDClick(rows, Qt::LeftButton, {}, QPoint(40, 20));
    EXPECT_EQ(media->commands(), (std::vector<std::string>{"stop mp3", "close all"}));
    EXPECT_EQ(window->lblArtistA.Caption(), "No Track loaded.");
    EXPECT_EQ(window->lblLengthA.Caption(), "0");
    EXPECT_EQ(mVariables::IsPlaying(), mVariables::kFalse);
}

TEST_F(EventsTest, EnabledTimerTicksIntoTheClock) {
    window->Timer1.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Count("status mp3 position") > 0; }, 3000));
    window->Timer1.SetEnabled(false);
}

TEST_F(EventsTest, CloseBoxGoesThroughTheCloseRequestWhichStopsAPlayingTrack) {
    mVariables::SetIsPlaying(mVariables::kTrue);
    QTest::mouseClick(&window->captionBar().closeButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 2000));
    const auto commands = media->commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands.at(commands.size() - 2), "stop mp3");
    EXPECT_EQ(commands.back(), "close all");
}

} // namespace
