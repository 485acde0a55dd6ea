// Which mouse events reach the window's own handler and which the elements keep.

#include "ControlArray.h"
#include "DrawingSurface.h"
#include "Form.h"
#include "Input.h"
#include "Label.h"
#include "Line.h"
#include "ListView.h"
#include "PictureButton.h"
#include "QtPrinters.h"
#include "Shape.h"

#include <QTest>
#include <gtest/gtest.h>
#include <vector>

using namespace zr::ui;

namespace {

class RoutingForm : public Form {
public:
    RoutingForm() {
        SetBackColor(Rgb(0, 0, 0));
        resize(400, 300);
        shape = new Shape(ClientArea());
        shape->Move(300, 300, 1500, 900); // 20,20 .. 120,80 px
        shape->SetFillStyle(Shape::vbFSSolid);
        shape->SetFillColor(Rgb(0, 0, 64));
        line = new Line(ClientArea());
        line->SetPoints(3000, 300, 3000, 1500); // x = 200 px, y 20..100
        label = new Label(ClientArea());
        label->Move(450, 450, 600, 195); // on the shape: 30,30 .. 70,43
        label->SetCaption("Artist.");
        buttons.Create(0, ClientArea()).Move(2250, 1800, 510, 180); // 150,120 34x12
        buttons.Create(7, ClientArea()).Move(3000, 1800, 510, 180); // 200,120; gap 1..6
        surface = new DrawingSurface(ClientArea());
        surface->Move(300, 2400, 3615, 80); // 20,160 241x5
        list = new ListView(ClientArea());
        list->Move(300, 2700, 3000, 1200); // 20,180 200x80
        list->ColumnHeaders().Add("File", 2000);
        list->ListItems().Add("a.mp3");
    }

    void Form_MouseMove(const MouseArgs& args) override { moves.push_back(args); }

    Shape* shape;
    Line* line;
    Label* label;
    ControlArray<PictureButton> buttons{"imgControl"};
    DrawingSurface* surface;
    ListView* list;
    std::vector<MouseArgs> moves;
};

// Positions are client pixels.
void MoveTo(RoutingForm& form, QPoint clientPixel) {
    input::MoveTo(form.ClientArea(), clientPixel);
}

void ClickAt(RoutingForm& form, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
             QPoint clientPixel) {
    input::Click(form.ClientArea(), clientPixel, button, modifiers);
}

} // namespace

class MouseRouting : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        MoveTo(form, {390, 290}); // bare surface, away from everything
        form.moves.clear();
    }
    RoutingForm form;
};

TEST_F(MouseRouting, MovesOverBareSurfaceShapesAndLinesReachTheWindow) {
    MoveTo(form, {5, 5});
    ASSERT_EQ(form.moves.size(), 1u);
    EXPECT_FLOAT_EQ(form.moves.back().X, 75.0f);
    EXPECT_FLOAT_EQ(form.moves.back().Y, 75.0f);

    MoveTo(form, {100, 60}); // over the shape only
    ASSERT_EQ(form.moves.size(), 2u);
    EXPECT_FLOAT_EQ(form.moves.back().X, 1500.0f);
    EXPECT_FLOAT_EQ(form.moves.back().Y, 900.0f);

    MoveTo(form, {200, 50}); // on the line
    ASSERT_EQ(form.moves.size(), 3u);
    EXPECT_FLOAT_EQ(form.moves.back().X, 3000.0f);
}

TEST_F(MouseRouting, MovesOverLabelsButtonsListAndSurfaceStayWithTheElement) {
    std::vector<std::pair<std::int16_t, MouseArgs>> buttonMoves;
    form.buttons.On(&PictureButton::MouseMove, [&](std::int16_t index, const MouseArgs& args) {
        buttonMoves.emplace_back(index, args);
    });
    int surfaceMoves = 0;
    QObject::connect(form.surface, &DrawingSurface::MouseMove,
                     [&](const MouseArgs&) { ++surfaceMoves; });

    MoveTo(form, {40, 35});   // label lying on the shape
    MoveTo(form, {155, 125}); // button 0
    MoveTo(form, {210, 125}); // button 7
    MoveTo(form, {100, 162}); // drawing surface
    MoveTo(form, {60, 230});  // list rows
    EXPECT_TRUE(form.moves.empty())
        << "window saw a move at " << form.moves.front().X << "," << form.moves.front().Y;

    ASSERT_EQ(buttonMoves.size(), 2u);
    EXPECT_EQ(buttonMoves[0].first, 0);
    EXPECT_EQ(buttonMoves[1].first, 7);
    // Coordinates are the button's own twips.
    EXPECT_FLOAT_EQ(buttonMoves[0].second.X, 75.0f);
    EXPECT_FLOAT_EQ(buttonMoves[0].second.Y, 75.0f);
    EXPECT_EQ(surfaceMoves, 1);
}

TEST_F(MouseRouting, ButtonClicksDeliverTheIndexAndMouseDownTheButton) {
    std::vector<std::int16_t> clicks;
    std::vector<std::pair<std::int16_t, MouseArgs>> downs;
    form.buttons.On(&PictureButton::Click, [&](std::int16_t index) { clicks.push_back(index); });
    form.buttons.On(&PictureButton::MouseDown, [&](std::int16_t index, const MouseArgs& args) {
        downs.emplace_back(index, args);
    });

    ClickAt(form, Qt::LeftButton, Qt::ShiftModifier, {205, 122});
    ClickAt(form, Qt::LeftButton, {}, {152, 130});
    ClickAt(form, Qt::RightButton, {}, {152, 130});

    EXPECT_EQ(clicks, (std::vector<std::int16_t>{7, 0})) << "right button makes no click";
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ(downs[0].first, 7);
    EXPECT_EQ(downs[0].second.Button, vbLeftButton);
    EXPECT_EQ(downs[0].second.Shift, vbShiftMask);
    EXPECT_FLOAT_EQ(downs[0].second.X, 75.0f);
    EXPECT_FLOAT_EQ(downs[0].second.Y, 30.0f);
    EXPECT_EQ(downs[2].second.Button, vbRightButton);
}

TEST_F(MouseRouting, PressOnTheSurfaceGivesItsOwnTwips) {
    std::vector<MouseArgs> downs;
    int clicks = 0;
    QObject::connect(form.surface, &DrawingSurface::MouseDown,
                     [&](const MouseArgs& args) { downs.push_back(args); });
    QObject::connect(form.surface, &DrawingSurface::Click, [&] { ++clicks; });

    ClickAt(form, Qt::LeftButton, {}, {20 + 120, 162});
    ClickAt(form, Qt::MiddleButton, {}, {20, 161});

    ASSERT_EQ(downs.size(), 2u);
    EXPECT_FLOAT_EQ(downs[0].X, 1800.0f);
    EXPECT_FLOAT_EQ(downs[0].Y, 30.0f);
    EXPECT_EQ(downs[1].Button, vbMiddleButton);
    EXPECT_FLOAT_EQ(downs[1].X, 0.0f);
    EXPECT_EQ(clicks, 1);
}

TEST(ControlArrayTest, IndexesWithGapsAndHandlersForLaterElements) {
    QWidget parent;
    ControlArray<Shape> lights("speCommandLight");
    lights.Create(8, &parent);
    lights.Create(0, &parent);
    EXPECT_EQ(lights.Indexes(), (std::vector<std::int16_t>{0, 8}));
    EXPECT_EQ(lights(8).Index(), 8);
    EXPECT_EQ(lights(8).Name(), "speCommandLight");
    EXPECT_FALSE(lights.Contains(3));
    EXPECT_THROW((void)lights(3), std::out_of_range);

    ControlArray<PictureButton> buttons;
    std::vector<std::int16_t> clicks;
    buttons.Create(2, &parent);
    buttons.On(&PictureButton::Click, [&](std::int16_t i) { clicks.push_back(i); });
    buttons.Create(15, &parent); // created after the handler
    emit buttons(15).Click();
    emit buttons(2).Click();
    EXPECT_EQ(clicks, (std::vector<std::int16_t>{15, 2}));
}
