// The elapsed-time clock as the window draws it, driven by the real clock ticks: from 100
// minutes on the tens-of-minutes digit holds two figures, and every figure must still show,
// with the digits used below 100 minutes where they always stand.

#include "PlayerWindowFixture.h"
#include "RecordingMediaService.h"

#include <QDir>
#include <QImage>
#include <QProcessEnvironment>

#include <array>

using namespace zr::ui;

namespace {

class ClockDisplayTest : public PlayerWindowTest {
protected:
    void SetUp() override {
        PlayerWindowTest::SetUp();
        media->setReply("status mp3 position", "1000");
        // A length the position never reaches, so the ticks only count.
        window->lblLengthA.SetCaption(QStringLiteral("2000000000"));
    }

    void Tick(int times) {
        for (int i = 0; i < times; ++i)
            window->Timer1_Timer();
        QCoreApplication::processEvents();
    }

    [[nodiscard]] QString Shown() const {
        return window->lblELTimeA.Caption() + window->lblELTimeB.Caption() + ":" +
               window->lblELTimeC.Caption() + window->lblELTimeD.Caption();
    }

    [[nodiscard]] std::array<Label*, 5> Digits() const {
        return {&window->lblELTimeA, &window->lblELTimeB, &window->Label1, &window->lblELTimeC,
                &window->lblELTimeD};
    }

    // Checks the drawn window: every digit label is drawn whole (nothing paints over it) and
    // no two overlap.
    void ExpectLegible(const QString& text) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_EQ(Shown(), text);
        const QImage screen = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto digits = Digits();
        for (size_t i = 0; i < digits.size(); ++i) {
            const QRect r = InWindow(*digits[i]);
            if (i + 1 < digits.size()) {
                EXPECT_LE(r.right(), InWindow(*digits[i + 1]).left() - 1)
                    << digits[i]->Name().toStdString() << " runs into the next figure";
            }
            const QImage own = digits[i]->grab().toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(screen.copy(r), own) << digits[i]->Name().toStdString() << " is covered";
        }
        if (const QString dir =
                QProcessEnvironment::systemEnvironment().value("ZR_TEST_SCREENSHOTS");
            !dir.isEmpty()) {
            QDir().mkpath(dir);
            screen.save(QDir(dir).filePath("clock-" + QString(text).remove(':') + ".png"));
        }
    }

    zr::test::RecordingMediaService::Installed media;
};

TEST_F(ClockDisplayTest, FromHundredMinutesTheClockGrowsLeftAndEveryFigureShows) {
    std::array<QRect, 5> home;
    for (size_t i = 0; i < home.size(); ++i)
        home[i] = InWindow(*Digits()[i]);

    Tick(599);
    ExpectLegible("09:59");
    Tick(1);
    ExpectLegible("10:00");
    EXPECT_EQ(InWindow(window->lblELTimeA).topLeft(), home[0].topLeft());
    Tick(5399);
    ExpectLegible("99:59");
    EXPECT_EQ(InWindow(window->lblELTimeA).topLeft(), home[0].topLeft())
        << "below 100 minutes nothing moves";

    Tick(1);
    ExpectLegible("100:00");
    Tick(53999);
    ExpectLegible("999:59");
    for (size_t i = 1; i < home.size(); ++i)
        EXPECT_EQ(InWindow(*Digits()[i]), home[i]) << Digits()[i]->Name().toStdString();
    EXPECT_EQ(InWindow(window->lblELTimeA).right(), home[0].right())
        << "the two-figure tens keep their right edge";
    EXPECT_GT(InWindow(window->lblELTimeA).left(), InWindow(window->lblElTime).right())
        << "and stay clear of the caption before them";

    // Stop brings the digit home.
    window->imgControl_Click(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(InWindow(window->lblELTimeA), home[0]);
}

} // namespace
