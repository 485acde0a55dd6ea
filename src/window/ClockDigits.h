#pragma once
// The tens-of-minutes digit of the elapsed-time clock. It sizes itself to its caption like the
// other clock digits, but from 100 minutes on its caption has two digits and, growing to the
// right, would run under the minutes digit beside it ("100:00" read as "10:00"). Once wider
// than it started, it grows to the left instead, into the free panel before it, so the clock
// reads right up to 999:59 and no label moves below 100 minutes.

#include <QObject>

namespace zr::ui {

class Label;

class LeftGrowingDigit : public QObject {
    Q_OBJECT
public:
    // Takes the label's place and width now as its home; the filter is a child of the label.
    static void Attach(Label& label);

    // Left edge, in pixels, of a label `widthPx` wide whose home is homeLeftPx with the home
    // width homeWidthPx: home while it fits, else as far left as keeps its right edge home.
    [[nodiscard]] static int LeftFor(int homeLeftPx, int homeWidthPx, int widthPx);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LeftGrowingDigit(Label& label, int homeLeftPx, int homeWidthPx);

    Label& label_;
    int homeLeftPx_;
    int homeWidthPx_;
};

} // namespace zr::ui
