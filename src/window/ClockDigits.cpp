#include "ClockDigits.h"

#include "Label.h"

#include <QEvent>

#include <algorithm>

namespace zr::ui {

void LeftGrowingDigit::Attach(Label& label) {
    label.installEventFilter(new LeftGrowingDigit(label, label.x(), label.width()));
}

int LeftGrowingDigit::LeftFor(int homeLeftPx, int homeWidthPx, int widthPx) {
    return std::min(homeLeftPx, homeLeftPx + homeWidthPx - widthPx);
}

LeftGrowingDigit::LeftGrowingDigit(Label& label, int homeLeftPx, int homeWidthPx)
    : QObject(&label), label_(label), homeLeftPx_(homeLeftPx), homeWidthPx_(homeWidthPx) {}

bool LeftGrowingDigit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &label_ && event->type() == QEvent::Resize) {
        const int left = LeftFor(homeLeftPx_, homeWidthPx_, label_.width());
        if (left != label_.x()) {
            // Through Move, so the label's twip position stays in step with its pixels.
            label_.Move(static_cast<int>(ToTwips(left)), label_.Top(), label_.Width(),
                        label_.Height());
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace zr::ui
