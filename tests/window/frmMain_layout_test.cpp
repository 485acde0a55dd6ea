// The player window's elements: where they sit, how they stack, what they show, how the
// keyboard focus moves, and the playlist's columns.

#include "LayoutTable.h"
#include "PlayerWindowFixture.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>
#include <numeric>
#include <set>

using namespace zr::ui;
using layout_table::kClientOrigin;

namespace {

using LayoutTest = PlayerWindowTest;

TEST_F(LayoutTest, EveryBoxSitsWhereTheLayoutPutsIt) {
    for (const auto& box : layout_table::kBoxes) {
        SCOPED_TRACE(box.name);
        Element* element = Find(QString::fromLatin1(box.name));
        ASSERT_NE(element, nullptr);
        EXPECT_TRUE(element->isVisible());
        const QRect actual = InWindow(*element).translated(-kClientOrigin);
        EXPECT_EQ(actual.topLeft(), box.rect.topLeft());
        if (box.sizing == layout_table::Sizing::Fixed) {
            EXPECT_EQ(actual.size(), box.rect.size());
        } else {
            // Labels that size themselves keep their corner and show their whole caption.
            auto* label = qobject_cast<Label*>(element);
            ASSERT_NE(label, nullptr);
            const QFontMetrics metrics(label->font());
            EXPECT_GE(actual.width(), metrics.horizontalAdvance(label->Caption()));
            EXPECT_GE(actual.height(), metrics.height());
        }
    }
}

TEST_F(LayoutTest, LinesRunBetweenTheirEndPoints) {
    for (const auto& segment : layout_table::kSegments) {
        SCOPED_TRACE(segment.name);
        Element* element = Find(QString::fromLatin1(segment.name));
        ASSERT_NE(element, nullptr);
        const QRect span(QPoint(std::min(segment.from.x(), segment.to.x()),
                                std::min(segment.from.y(), segment.to.y())),
                         QPoint(std::max(segment.from.x(), segment.to.x()),
                                std::max(segment.from.y(), segment.to.y())));
        EXPECT_EQ(InWindow(*element).translated(-kClientOrigin), span);
    }
}

TEST_F(LayoutTest, ElementsStackFrontToBackAsListedAndNothingElseIsOnTheWindow) {
    const QObjectList children = window->ClientArea()->children();
    int previous = static_cast<int>(children.size());
    std::set<const QObject*> listed;
    for (const char* name : layout_table::kStacking) {
        SCOPED_TRACE(name);
        Element* element = Find(QString::fromLatin1(name));
        ASSERT_NE(element, nullptr);
        listed.insert(element);
        // Later children paint over earlier ones.
        const int position = static_cast<int>(children.indexOf(element));
        EXPECT_LT(position, previous);
        previous = position;
    }
    const auto elements = window->ClientArea()->findChildren<Element*>(Qt::FindDirectChildrenOnly);
    EXPECT_EQ(elements.size(), static_cast<qsizetype>(listed.size()));
    EXPECT_EQ(listed.size(), 61u);
}

TEST_F(LayoutTest, ControlArraysHoldExactlyTheirIndexes) {
    std::vector<std::int16_t> sixteen(16);
    std::iota(sixteen.begin(), sixteen.end(), std::int16_t{0});
    EXPECT_EQ(window->imgControl.Indexes(), sixteen);
    EXPECT_EQ(window->speCommandLight.Count(), 9);
    EXPECT_EQ(window->VolumeInd.Count(), 6);
    EXPECT_EQ(window->lblPlayMode.Count(), 2);
    EXPECT_EQ(window->speBorder.Count(), 2);
    EXPECT_EQ(window->Line3.Count(), 2);
    EXPECT_EQ(window->Line4.Count(), 2);
    EXPECT_EQ(window->Line5.Count(), 2);
}

TEST_F(LayoutTest, PointerRestingOnAButtonShowsItsTooltipExceptOnTheSeekBarCaps) {
    const std::array<const char*, 16> tips = {"Previous",
                                              "Play",
                                              "Pause",
                                              "Stop",
                                              "Next",
                                              "Open",
                                              "Slow Play",
                                              "Fast Play",
                                              "Mute",
                                              "Random Select",
                                              "Increase Volume",
                                              "Decrease Volume",
                                              "",
                                              "",
                                              "Clear Playlist",
                                              "Normal Play"};
    for (std::int16_t index = 0; index < 16; ++index) {
        SCOPED_TRACE(index);
        PictureButton& button = window->imgControl(index);
        const QPoint centre = button.rect().center();
        QTest::mouseMove(window.get(), button.mapTo(window.get(), centre));
        QToolTip::hideText();
        ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        QHelpEvent help(QEvent::ToolTip, centre, button.mapToGlobal(centre));
        QApplication::sendEvent(&button, &help);
        const QString expected = QString::fromLatin1(tips.at(static_cast<size_t>(index)));
        if (expected.isEmpty()) {
            EXPECT_FALSE(QToolTip::isVisible());
        } else {
            EXPECT_TRUE(QToolTip::isVisible());
            EXPECT_EQ(QToolTip::text(), expected);
        }
    }
    QToolTip::hideText();
}

TEST_F(LayoutTest, PlaylistHasFiveColumnsOfWhichOnlyCountAndFileNameShow) {
    auto& columns = window->lstFiles.ColumnHeaders();
    ASSERT_EQ(columns.Count(), 5);
    const std::array<const char*, 5> headers = {"File Path.", "Count.", "File Name.", "Time",
                                                "Played"};
    const std::array<int, 5> widthsPx = {0, 33, 233, 0, 0};
    const QHeaderView& header = *window->lstFiles.View().header();
    int shown = 0; // the view has only the columns that show
    for (int column = 1; column <= 5; ++column) {
        SCOPED_TRACE(column);
        const auto at = static_cast<size_t>(column - 1);
        EXPECT_EQ(columns.Text(column), QString::fromLatin1(headers.at(at)));
        if (widthsPx.at(at) == 0)
            continue;
        EXPECT_EQ(header.model()->headerData(shown, Qt::Horizontal).toString(),
                  QString::fromLatin1(headers.at(at)));
        EXPECT_EQ(header.sectionSize(shown), widthsPx.at(at));
        ++shown;
    }
    EXPECT_EQ(header.count(), shown);
    // Hidden cells still hold what the playlist writes into them.
    ListItem row = window->lstFiles.ListItems().Add(QStringLiteral("C:\\Music\\"));
    row.SetSubItems(1, QStringLiteral("01."));
    row.SetSubItems(2, QStringLiteral("song.mp3"));
    row.SetSubItems(3, QStringLiteral("U"));
    EXPECT_EQ(row.Text(), QStringLiteral("C:\\Music\\"));
    EXPECT_EQ(row.SubItems(3), QStringLiteral("U"));
    EXPECT_EQ(header.sectionSize(0) + header.sectionSize(1), header.length());
}

TEST_F(LayoutTest, TabMovesBetweenPlaylistAndProgressBarOnly) {
    window->activateWindow();
    window->lstFiles.SetFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->lstFiles.View().hasFocus(); }, 2000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(window->ProgressBar.hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(window->lstFiles.View().hasFocus());
}

TEST_F(LayoutTest, InformationPanelTextIsCyanOnNavyAndTheVolumeLettersHaveNoBox) {
    const ColorRef cyan = Rgb(0, 255, 255);
    const ColorRef navy = Rgb(0, 0, 64);
    for (const char* name : {"lblArtist", "lblArtistA", "lblLength", "lblLengthA", "lblPosition",
                             "lblPositionA", "lblElTime", "lblELTimeA", "lblELTimeB", "Label1",
                             "lblELTimeC", "lblELTimeD", "lblPlayMode(0)", "lblPlayMode(1)"}) {
        SCOPED_TRACE(name);
        auto* label = qobject_cast<Label*>(Find(QString::fromLatin1(name)));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->ForeColor(), cyan);
        EXPECT_EQ(label->BackColor(), navy);
        EXPECT_EQ(label->BackStyle(), Label::vbOpaque);
    }
    EXPECT_EQ(window->InfoWindow.BackColor(), navy);
    EXPECT_EQ(window->InfoWindow.BackStyle(), Shape::vbOpaque);
    for (Label* letter : {&window->Label2, &window->Label3, &window->Label4})
        EXPECT_EQ(letter->BackStyle(), Label::vbTransparent);
    EXPECT_EQ(window->Label2.Caption() + window->Label3.Caption() + window->Label4.Caption(),
              QStringLiteral("VOL"));
    EXPECT_EQ(window->lstFiles.ForeColor(), Rgb(255, 255, 128));
    EXPECT_EQ(window->lstFiles.BackColor(), Rgb(0, 0, 0));
}

TEST_F(LayoutTest, ClockDigitsStandApartInTheirOwnColumns) {
    const std::array<Label*, 5> clock = {&window->lblELTimeA, &window->lblELTimeB, &window->Label1,
                                         &window->lblELTimeC, &window->lblELTimeD};
    for (size_t i = 0; i + 1 < clock.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(clock.at(i)->geometry().right(), clock.at(i + 1)->geometry().left());
    }
    // The caption column and its displays do not overrun one another either.
    EXPECT_LT(window->lblElTime.geometry().right(), window->lblELTimeA.geometry().left());
    EXPECT_LT(window->lblPlayMode(0).geometry().right(), window->lblPlayMode(1).geometry().left());
}

} // namespace
