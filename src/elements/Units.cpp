#include "Units.h"

#include <QApplication>
#include <QPalette>
#include <cmath>

namespace zr::ui {

int ToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QColor ToQColor(ColorRef colour) {
    if ((colour & 0x80000000u) != 0) {
        const QPalette palette = QApplication::palette();
        switch (colour & 0xFF) {
        case 5:
            return palette.color(QPalette::Base);
        case 13:
            return palette.color(QPalette::Highlight);
        case 14:
            return palette.color(QPalette::HighlightedText);
        case 15:
            return palette.color(QPalette::Button);
        case 17:
            return palette.color(QPalette::Disabled, QPalette::Text);
        case 18:
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(QPalette::Text);
        }
    }
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

ColorRef FromQColor(const QColor& colour) {
    return Rgb(colour.red(), colour.green(), colour.blue());
}

QFont LayoutFont(const QString& family, double points, bool bold) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont DefaultDialogFont() {
    return LayoutFont(QStringLiteral("Sans Serif"), 8.25);
}

} // namespace zr::ui
