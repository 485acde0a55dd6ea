#pragma once
// Where every element of the player window must be, in pixels of the client area (origin at
// the client area's top-left corner, which sits 4 px right of and 27 px below the window's
// outer corner). Written from the layout description at 15 twips per pixel, fractions rounded
// to the nearest pixel; listed front-most first, as the window stacks them.

#include <QPoint>
#include <QRect>

#include <array>

namespace layout_table {

enum class Sizing { Fixed, ToCaption };

struct Box {
    const char* name; // "imgControl(3)" for array elements
    QRect rect;
    Sizing sizing = Sizing::Fixed;
};

struct Segment {
    const char* name;
    QPoint from;
    QPoint to;
};

inline constexpr QPoint kClientOrigin{4, 27};

// Boxes (everything but the lines and the timer/image list), front-most first.
inline const std::array kBoxes = {
    Box{"ProgressBar", {48, 164, 241, 5}},
    Box{"lstFiles", {17, 184, 352, 233}},
    Box{"Label4", {320, 160, 9, 17}},
    Box{"Label3", {320, 144, 9, 17}},
    Box{"Label2", {320, 128, 9, 17}},
    Box{"speCommandLight(8)", {120, 136, 7, 4}},
    Box{"imgControl(15)", {272, 136, 17, 12}},
    Box{"imgControl(14)", {128, 136, 34, 12}},
    Box{"lblPlayMode(1)", {120, 88, 55, 13}, Sizing::ToCaption},
    Box{"lblPlayMode(0)", {24, 88, 53, 13}, Sizing::ToCaption},
    Box{"imgControl(13)", {287, 161, 12, 10}},
    Box{"imgControl(12)", {38, 161, 12, 10}},
    Box{"VolumeInd(5)", {352, 160, 9, 6}},
    Box{"VolumeInd(4)", {352, 120, 9, 6}},
    Box{"VolumeInd(3)", {352, 128, 9, 6}},
    Box{"VolumeInd(2)", {352, 136, 9, 6}},
    Box{"VolumeInd(1)", {352, 144, 9, 6}},
    Box{"VolumeInd(0)", {352, 152, 9, 6}},
    Box{"imgControl(11)", {336, 147, 12, 25}},
    Box{"imgControl(10)", {336, 120, 12, 25}},
    Box{"speCommandLight(7)", {72, 136, 7, 4}},
    Box{"imgControl(9)", {80, 136, 34, 12}},
    Box{"speCommandLight(6)", {24, 136, 7, 4}},
    Box{"imgControl(8)", {32, 136, 34, 12}},
    Box{"lblArtistA", {120, 24, 224, 13}},
    Box{"lblPositionA", {120, 56, 6, 13}, Sizing::ToCaption},
    Box{"lblLengthA", {120, 40, 6, 13}, Sizing::ToCaption},
    Box{"Label1", {138, 72, 3, 13}, Sizing::ToCaption},
    Box{"lblELTimeD", {152, 72, 6, 13}, Sizing::ToCaption},
    Box{"lblELTimeC", {144, 72, 6, 13}, Sizing::ToCaption},
    Box{"lblELTimeB", {128, 72, 6, 13}, Sizing::ToCaption},
    Box{"lblELTimeA", {120, 72, 6, 13}, Sizing::ToCaption},
    Box{"lblElTime", {24, 72, 67, 13}, Sizing::ToCaption},
    Box{"lblPosition", {24, 56, 41, 17}},
    Box{"lblArtist", {24, 24, 321, 17}},
    Box{"lblLength", {24, 40, 37, 13}},
    Box{"imgControl(7)", {288, 136, 17, 12}},
    Box{"imgControl(6)", {256, 136, 17, 12}},
    Box{"speCommandLight(5)", {264, 120, 7, 4}},
    Box{"speCommandLight(4)", {216, 120, 7, 4}},
    Box{"speCommandLight(3)", {168, 120, 7, 4}},
    Box{"speCommandLight(2)", {120, 120, 7, 4}},
    Box{"speCommandLight(1)", {72, 120, 7, 4}},
    Box{"speCommandLight(0)", {24, 120, 7, 4}},
    Box{"speBorder(0)", {16, 112, 353, 65}},
    Box{"imgControl(0)", {32, 120, 34, 12}},
    Box{"imgControl(1)", {80, 120, 34, 12}},
    Box{"imgControl(2)", {128, 120, 34, 12}},
    Box{"imgControl(3)", {176, 120, 34, 12}},
    Box{"imgControl(4)", {224, 120, 34, 12}},
    Box{"imgControl(5)", {272, 120, 34, 12}},
    Box{"InfoWindow", {16, 16, 353, 89}},
    Box{"speBorder(1)", {16, 112, 352, 64}},
};

inline const std::array kSegments = {
    Segment{"Line5(1)", {313, 120}, {313, 172}}, Segment{"Line5(0)", {312, 120}, {312, 172}},
    Segment{"Line4(1)", {46, 169}, {289, 169}},  Segment{"Line4(0)", {46, 163}, {289, 163}},
    Segment{"Line3(1)", {32, 153}, {304, 153}},  Segment{"Line3(0)", {32, 152}, {304, 152}},
    Segment{"Line2", {16, 183}, {354, 183}},     Segment{"Line1", {16, 416}, {16, 183}},
};

// Every visible element, front-most first.
inline const std::array kStacking = {
    "ProgressBar",
    "lstFiles",
    "Label4",
    "Label3",
    "Label2",
    "speCommandLight(8)",
    "imgControl(15)",
    "imgControl(14)",
    "lblPlayMode(1)",
    "lblPlayMode(0)",
    "imgControl(13)",
    "imgControl(12)",
    "Line5(1)",
    "Line5(0)",
    "VolumeInd(5)",
    "VolumeInd(4)",
    "VolumeInd(3)",
    "VolumeInd(2)",
    "VolumeInd(1)",
    "VolumeInd(0)",
    "imgControl(11)",
    "imgControl(10)",
    "speCommandLight(7)",
    "imgControl(9)",
    "speCommandLight(6)",
    "imgControl(8)",
    "lblArtistA",
    "lblPositionA",
    "lblLengthA",
    "Label1",
    "lblELTimeD",
    "lblELTimeC",
    "lblELTimeB",
    "lblELTimeA",
    "lblElTime",
    "lblPosition",
    "lblArtist",
    "lblLength",
    "Line4(1)",
    "Line4(0)",
    "imgControl(7)",
    "imgControl(6)",
    "Line3(1)",
    "Line3(0)",
    "speCommandLight(5)",
    "speCommandLight(4)",
    "speCommandLight(3)",
    "speCommandLight(2)",
    "speCommandLight(1)",
    "speCommandLight(0)",
    "speBorder(0)",
    "imgControl(0)",
    "imgControl(1)",
    "imgControl(2)",
    "imgControl(3)",
    "imgControl(4)",
    "imgControl(5)",
    "Line2",
    "Line1",
    "InfoWindow",
    "speBorder(1)",
};

} // namespace layout_table
