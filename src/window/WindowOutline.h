#pragma once
// The player window's rounded outline and the pixel arithmetic behind it. Plain functions so
// the rounding and the corner shape can be checked without a window.

#include <QRegion>
#include <QSize>
#include <QString>

namespace zr::ui {

// Twips to whole pixels for the outline: floating-point division, halves to the even integer
// (5670 twips at 12 twips per pixel give 472). A non-positive factor gives 0.
[[nodiscard]] int OutlinePixels(double twips, double twipsPerPixel);

// A rectangle (0, 0)-(size) with rounded corners whose ellipses are ellipse x ellipse pixels,
// in the window's own coordinates (frame and caption bar included). An empty size gives an
// empty region.
[[nodiscard]] QRegion RoundedOutline(QSize size, int ellipse);

// Whether the window system of a Qt platform plugin cuts a top-level window to its mask.
// Wayland compositors take the mask as the input region only, so there the outline has to be
// painted on a translucent window instead.
[[nodiscard]] bool PlatformShapesWindows(const QString& platformName);

} // namespace zr::ui
