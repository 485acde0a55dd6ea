// Presses on the seek bar and the pointer over the buttons, as real mouse events on the window.

#include "BehaviourFixture.h"
#include "HoverLights.h"
#include "RecordingMediaService.h"

#include <QApplication>

#include <string>
#include <vector>

namespace {

using Commands = std::vector<std::string>;

class SeekTest : public BehaviourTest {
protected:
    void SetUp() override {
        BehaviourTest::SetUp();
        media->setReply("status mp3 length", "245000");
        AddRow("a.mp3");
        Select(1);
    }
    // A press at pixel column px of the bar (15 twips each).
    void Press(int px, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(&window->ProgressBar, button, {}, QPoint(px, 2));
        QTest::mouseRelease(&window->ProgressBar, button, {}, QPoint(px, 2));
    }
    [[nodiscard]] Commands Taken() {
        Commands c = media->commands();
        media->clear();
        return c;
    }

    zr::test::RecordingMediaService::Installed media;
};

TEST_F(SeekTest, APressSeeksInProportionWithAnyButton) {
    Click(1);
    media->clear();
    Press(120); // x = 1800 twips: 245000 / 3615 * 1800 = 121991.7
    EXPECT_EQ(Taken(), Commands{"play mp3 from 121992"});
    Press(0, Qt::RightButton);
    EXPECT_EQ(Taken(), Commands{"play mp3 from 0"});
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Clock(), "00:00") << "the elapsed time is not touched";
}

TEST_F(SeekTest, DraggingSeeksOnceAndThePlaylistGetsTheFocus) {
    Click(1);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->ProgressBar.setFocus();
    media->clear();
    QTest::mousePress(&window->ProgressBar, Qt::LeftButton, {}, QPoint(10, 2));
    QTest::mouseMove(&window->ProgressBar, QPoint(100, 2));
    QTest::mouseMove(&window->ProgressBar, QPoint(200, 2));
    QTest::mouseRelease(&window->ProgressBar, Qt::LeftButton, {}, QPoint(200, 2));
    EXPECT_EQ(Taken(), Commands{"play mp3 from 10166"}); // 245000 / 3615 * 150 = 10165.97
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus == &window->lstFiles || window->lstFiles.isAncestorOf(focus));
}

TEST_F(SeekTest, ASeekWhilePausedPlaysOnAndRestartsTheClock) {
    Click(1);
    Click(2);
    media->clear();
    Press(120);
    EXPECT_EQ(Taken(), Commands{"play mp3 from 121992"});
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(window->Timer1.Enabled());
}

TEST_F(SeekTest, WithNothingLoadedOnlyTheCommandGoesOut) {
    Press(120);
    EXPECT_EQ(Taken(), Commands{"play mp3 from 0"});
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(window->Timer1.Enabled());
    Click(1);
    Click(3); // stopped after playing: closed again
    media->clear();
    Press(120);
    EXPECT_EQ(Taken(), Commands{"play mp3 from 0"});
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(window->Timer1.Enabled());
}

class LightsTest : public BehaviourTest {
protected:
    void Hover(int button) {
        auto& element = window->imgControl(static_cast<std::int16_t>(button));
        // Two spots, so at least one move differs from where the pointer already is.
        QTest::mouseMove(&element, QPoint(1, 1));
        QTest::mouseMove(&element, element.rect().center());
    }
    void Press(int button) {
        auto& element = window->imgControl(static_cast<std::int16_t>(button));
        QTest::mousePress(&element, Qt::LeftButton, {}, element.rect().center());
    }
    // A spot of the bare window: the margin left of the information panel.
    void HoverBareWindow() { QTest::mouseMove(window->ClientArea(), QPoint(5, 60)); }
    [[nodiscard]] zr::ui::ColorRef Light(int i) const {
        return window->speCommandLight(static_cast<std::int16_t>(i)).FillColor();
    }
    [[nodiscard]] std::vector<int> Lit() const {
        std::vector<int> lit;
        for (int i = 0; i < 9; ++i) {
            if (Light(i) != zr::kLightOff) {
                lit.push_back(i);
            }
        }
        return lit;
    }
};

TEST_F(LightsTest, HoverLightsFollowThePointerAndTheState) {
    Hover(1); // empty playlist: Play cannot act
    EXPECT_EQ(Lit(), std::vector<int>{});
    Hover(5);
    EXPECT_EQ(Lit(), std::vector<int>{5});
    EXPECT_EQ(Light(5), zr::kLightCanAct);
    Hover(14);
    EXPECT_EQ(Lit(), std::vector<int>{8});

    AddRow("a.mp3");
    Hover(1); // from Clear straight to Play: both lit
    EXPECT_EQ(Lit(), (std::vector<int>{1, 8}));
    HoverBareWindow(); // turns off only the light the last hover lit
    EXPECT_EQ(Lit(), std::vector<int>{8});
    EXPECT_EQ(mVariables::ActiveLight(), 1);

    Hover(8); // stopped: Mute stays dark but becomes the active light
    EXPECT_EQ(Lit(), std::vector<int>{8});
    EXPECT_EQ(mVariables::ActiveLight(), 6);

    Select(1);
    Click(1);
    Click(8); // muted: red
    Hover(8);
    EXPECT_EQ(Light(6), zr::kLightToggleOn);
    Click(8);
    Hover(8);
    EXPECT_EQ(Light(6), zr::kLightCanAct);
    HoverBareWindow();
    EXPECT_EQ(Light(6), zr::kLightOff);
    Click(9);
    Hover(9);
    EXPECT_EQ(Light(7), zr::kLightToggleOn);
}

TEST_F(LightsTest, APressFlashesGreenOnlyOnItsOwnButtons) {
    Press(1); // flashes even on an empty playlist
    EXPECT_EQ(Light(1), zr::kLightPressed);
    Hover(4);
    EXPECT_EQ(Light(1), zr::kLightOff);
    Press(14);
    EXPECT_EQ(Light(8), zr::kLightPressed);
    Hover(5);
    Hover(0);
    EXPECT_EQ(Light(8), zr::kLightPressed) << "only a bare-window move naming it turns it off";
    for (int button : {6, 7, 8, 9, 10, 11, 12, 13, 15}) {
        Press(button);
    }
    EXPECT_EQ(Lit(), (std::vector<int>{8}));
}

} // namespace
