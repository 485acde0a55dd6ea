// The player window's keys: which key runs which command, and real key presses on the real
// window running the same handlers as the buttons. Commands go to a recording service.

#include "PlayerKeys.h"
#include "PlayerWindowFixture.h"
#include "PlaylistEntry.h"
#include "RecordingMediaService.h"
#include "frmExplore.h"

#include <QApplication>
#include <QTimer>
#include <QTreeView>

using namespace zr::ui;

namespace {

// Which chords count: the presses below reach the window's handlers in the tests further on.
TEST(PlayerKeysTable, ShiftAndKeypadAreIgnoredCtrlAltAndMetaMakeAnotherKey) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        KeyCommand expected;
    };
    const Case cases[] = {
        {Qt::Key_Plus, Qt::ShiftModifier, KeyCommand::VolumeUp}, // "+" over "=" on many layouts
        {Qt::Key_Plus, Qt::KeypadModifier, KeyCommand::VolumeUp},
        {Qt::Key_M, Qt::ShiftModifier, KeyCommand::Mute},
        {Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier, KeyCommand::Open},
        {Qt::Key_O, Qt::NoModifier, KeyCommand::None},
        {Qt::Key_O, Qt::ControlModifier | Qt::AltModifier, KeyCommand::None},
        {Qt::Key_M, Qt::ControlModifier, KeyCommand::None},
        {Qt::Key_Space, Qt::AltModifier, KeyCommand::None},
        {Qt::Key_Return, Qt::ControlModifier, KeyCommand::None},
        {Qt::Key_MediaNext, Qt::MetaModifier, KeyCommand::None},
        // The keyboard's Play/Pause key is XF86AudioPlay, which Qt names MediaPlay: it
        // toggles; keys of their own for Pause and Stop keep their meaning.
        {Qt::Key_MediaPlay, Qt::NoModifier, KeyCommand::PlayOrPause},
        {Qt::Key_MediaTogglePlayPause, Qt::NoModifier, KeyCommand::PlayOrPause},
        {Qt::Key_MediaPause, Qt::NoModifier, KeyCommand::Pause},
        {Qt::Key_MediaStop, Qt::NoModifier, KeyCommand::Stop},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CommandForKey(c.key, c.modifiers), c.expected)
            << "key " << std::hex << c.key << " modifiers " << c.modifiers.toInt();
    }
}

class KeysTest : public PlayerWindowTest {
protected:
    void SetUp() override {
        PlayerWindowTest::SetUp();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
            ListItem row = window->lstFiles.ListItems().Add(QStringLiteral("C:\\Music\\"));
            row.SetSubItems(1, zr::TrackNumberText(window->lstFiles.ListItems().Count()));
            row.SetSubItems(2, QString::fromLatin1(name));
            row.SetSubItems(3, QStringLiteral("U"));
        }
        window->lstFiles.SetFocus();
        QCoreApplication::processEvents();
        ASSERT_TRUE(View().hasFocus());
    }

    void TearDown() override {
        window->imgControl_Click(3);
        PlayerWindowTest::TearDown();
    }

    QTreeView& View() { return window->lstFiles.View(); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        if (key >= Qt::Key_Back) // the media keys have no text; keyClick cannot spell them
            QTest::sendKeyEvent(QTest::Click, focus, static_cast<Qt::Key>(key), QString(),
                                modifiers);
        else
            QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
    }
    [[nodiscard]] int Count(const std::string& command) { return media->count(command); }
    [[nodiscard]] int Selected() { return zr::SelectedRow(window->lstFiles); }
    [[nodiscard]] bool Playing() const { return mVariables::IsPlaying() == mVariables::kTrue; }

    zr::test::RecordingMediaService::Installed media;
};

TEST_F(KeysTest, SpaceAndTheMediaKeysRunPlayPauseStopNextAndPrevious) {
    Key(Qt::Key_Space); // nothing plays: Play, on row 1 as nothing is selected
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Count("play mp3"), 1);
    EXPECT_EQ(window->lblArtistA.Caption(), "(01) one.mp3");
    Key(Qt::Key_Space); // playing: Pause
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Count("pause mp3"), 1);
    EXPECT_EQ(window->lblArtistA.Caption(), "(01) one.mp3");

    Key(Qt::Key_MediaTogglePlayPause);
    EXPECT_TRUE(Playing());
    Key(Qt::Key_MediaNext);
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");
    Key(Qt::Key_MediaNext);
    Key(Qt::Key_MediaNext); // at the last row: nothing, as the button
    EXPECT_EQ(window->lblArtistA.Caption(), "(03) three.mp3");
    Key(Qt::Key_MediaPrevious);
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");
    Key(Qt::Key_MediaPause);
    EXPECT_FALSE(Playing());
    Key(Qt::Key_MediaPause); // a second Pause key press pauses again, as the button
    EXPECT_FALSE(Playing());
    Key(Qt::Key_MediaPlay); // the Play/Pause key: plays, then pauses
    EXPECT_TRUE(Playing());
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");
    Key(Qt::Key_MediaPlay);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");
    Key(Qt::Key_MediaPlay);
    EXPECT_TRUE(Playing());
    Key(Qt::Key_MediaStop);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(window->lblArtistA.Caption(), "No Track loaded.");
    EXPECT_EQ(Count("pause mp3"), 4);

    // A held Space neither plays nor pauses again; the list does not take it either.
    media->clear();
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Space);
    const int afterFirst = static_cast<int>(media->commands().size());
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_GT(afterFirst, 0);
    EXPECT_EQ(static_cast<int>(media->commands().size()), afterFirst);
    EXPECT_TRUE(Playing());
}

TEST_F(KeysTest, ReturnPlaysTheSelectedRowAndArrowsStillMoveTheSelection) {
    Key(Qt::Key_Down); // the list's own keys: the first row becomes current
    Key(Qt::Key_Down);
    EXPECT_EQ(Selected(), 2);
    EXPECT_TRUE(media->commands().empty()) << "an arrow key sent a command";
    Key(Qt::Key_Return);
    EXPECT_EQ(Count("stop mp3"), 1);
    EXPECT_EQ(Count("play mp3"), 1);
    EXPECT_EQ(window->lblArtistA.Caption(), "(02) two.mp3");
    EXPECT_EQ(window->lstFiles.ListItems().Item(2).SubItems(zr::kPlayMarkSubItem), "P");
    Key(Qt::Key_Up);
    EXPECT_EQ(Selected(), 1);
    Key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(window->lblArtistA.Caption(), "(01) one.mp3");

    // Return away from the list (the seek bar has the focus) plays nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), &window->ProgressBar);
    media->clear();
    Key(Qt::Key_Return);
    EXPECT_EQ(Count("play mp3"), 0);
}

TEST_F(KeysTest, PlusMinusAndMAreTheVolumeAndMuteButtons) {
    Key(Qt::Key_Plus, Qt::ShiftModifier);
    EXPECT_EQ(mVariables::VolumeLevel(), 664);
    EXPECT_EQ(Count("setaudio mp3 volume to 664"), 1);
    EXPECT_EQ(window->VolumeInd(3).FillColor(), Rgb(250, 0, 0));
    Key(Qt::Key_Minus);
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(mVariables::VolumeLevel(), 332);
    EXPECT_EQ(window->VolumeInd(2).FillColor(), Rgb(128, 0, 0));

    Key(Qt::Key_M); // nothing plays: Mute does nothing, as the button
    EXPECT_EQ(mVariables::IsMuted(), mVariables::kFalse);
    Key(Qt::Key_Space);
    Key(Qt::Key_M);
    EXPECT_EQ(mVariables::IsMuted(), mVariables::kTrue);
    EXPECT_EQ(Count("set mp3 audio all off"), 1);
    EXPECT_EQ(window->speCommandLight(6).FillColor(), Rgb(255, 0, 0));
    Key(Qt::Key_M);
    EXPECT_EQ(mVariables::IsMuted(), mVariables::kFalse);
    // The letter went to the player, not to the list's type-ahead search.
    EXPECT_EQ(Selected(), 1);
}

TEST_F(KeysTest, CtrlOOpensTheBrowserModally) {
    bool shown = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* browser = qobject_cast<frmExplore*>(top); browser && browser->isVisible()) {
                shown = browser->isModal();
                browser->close();
            }
        }
    });
    poll.start();
    QTimer::singleShot(15000, [&] { // a bound, should the browser never show
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<frmExplore*>(top))
                top->close();
    });
    Key(Qt::Key_O, Qt::ControlModifier);
    poll.stop();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(media->commands().empty());
}

} // namespace
