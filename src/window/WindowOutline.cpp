#include "WindowOutline.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace zr::ui {

int OutlinePixels(double twips, double twipsPerPixel) {
    if (!(twipsPerPixel > 0.0) || !std::isfinite(twips))
        return 0;
    // std::nearbyint follows the current rounding mode; pin it to ties-to-even.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double pixels = std::nearbyint(twips / twipsPerPixel);
    std::fesetround(saved);
    return static_cast<int>(std::clamp(pixels, -1.0e6, 1.0e6));
}

QRegion RoundedOutline(QSize size, int ellipse) {
    const int w = size.width();
    const int h = size.height();
    if (w <= 0 || h <= 0)
        return {};
    // A corner ellipse larger than the window would make the corners overlap.
    const int ew = std::clamp(ellipse, 0, w);
    const int eh = std::clamp(ellipse, 0, h);
    if (ew == 0 || eh == 0)
        return QRegion(0, 0, w, h);
    const int rx = ew / 2;
    const int ry = eh / 2;
    QRegion region(rx, 0, w - 2 * rx, h);
    region += QRegion(0, ry, w, h - 2 * ry);
    region += QRegion(0, 0, ew, eh, QRegion::Ellipse);
    region += QRegion(w - ew, 0, ew, eh, QRegion::Ellipse);
    region += QRegion(0, h - eh, ew, eh, QRegion::Ellipse);
    region += QRegion(w - ew, h - eh, ew, eh, QRegion::Ellipse);
    return region;
}

bool PlatformShapesWindows(const QString& platformName) {
    return !platformName.startsWith(QLatin1String("wayland"));
}

} // namespace zr::ui
