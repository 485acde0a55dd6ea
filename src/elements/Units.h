#pragma once
// Units shared by every window element: twips for positions, 0x00BBGGRR colour values,
// the mouse event arguments, and the fonts the layouts name.

#include <QColor>
#include <QFont>
#include <QString>
#include <cstdint>

namespace zr::ui {

// Twips are 1/1440 inch; the layouts assume 96 dpi, so one Qt logical pixel is 15 twips and
// Qt takes care of high-DPI scaling below that.
inline constexpr int kTwipsPerPixel = 15;

// Nearest whole pixel (halves away from zero), as the layouts' twip values are meant.
[[nodiscard]] int ToPixels(double twips);
[[nodiscard]] constexpr double ToTwips(double pixels) {
    return pixels * kTwipsPerPixel;
}

// A colour as the layouts store it: 0x00BBGGRR. Values with the top bit set name an entry
// of the desktop colour scheme instead (SystemColor).
using ColorRef = std::uint32_t;

[[nodiscard]] constexpr ColorRef Rgb(int r, int g, int b) {
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// System colour n: 5 window background, 8 window text, 13 highlight, 14 highlight text,
// 15 button face, 17 grey text, 18 button text. Others map to the window text colour.
[[nodiscard]] constexpr ColorRef SystemColor(int n) {
    return 0x80000000u | static_cast<ColorRef>(n & 0xFF);
}

// Resolves system colours through the application palette.
[[nodiscard]] QColor ToQColor(ColorRef colour);
// The 0x00BBGGRR value of an opaque colour (alpha is dropped).
[[nodiscard]] ColorRef FromQColor(const QColor& colour);

// The font a layout names (e.g. "Tahoma", 8.25 pt). A family that is not installed falls back
// to the closest sans font.
[[nodiscard]] QFont LayoutFont(const QString& family, double points, bool bold = false);
// The windows' default font: the 8.25 pt dialog font, as a sans font.
[[nodiscard]] QFont DefaultDialogFont();

// Mouse button values of MouseArgs::Button.
inline constexpr int vbLeftButton = 1;
inline constexpr int vbRightButton = 2;
inline constexpr int vbMiddleButton = 4;
// Shift state bits of MouseArgs::Shift.
inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

// Arguments of mouse-down, mouse-up and mouse-move events. X and Y are twips in the
// coordinates of the element (or of the window's client area) that raised the event.
struct MouseArgs {
    int Button = 0; // the button pressed (down/up) or the buttons held (move)
    int Shift = 0;
    float X = 0;
    float Y = 0;
};

} // namespace zr::ui
