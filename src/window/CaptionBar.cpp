#include "CaptionBar.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace zr::ui {

namespace {
const QColor kFace(212, 208, 200);
const QColor kShadow(128, 128, 128);
const QColor kDarkShadow(64, 64, 64);
const QColor kCaptionLeft(0, 0, 128);
const QColor kCaptionRight(16, 132, 208);
} // namespace

CaptionButton::CaptionButton(Glyph glyph, QWidget* parent)
    : QAbstractButton(parent), glyph_(glyph) {
    setFocusPolicy(Qt::NoFocus);
    setToolTip(glyph == Glyph::Minimize ? QStringLiteral("Minimize") : QStringLiteral("Close"));
    resize(sizeHint());
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const bool down = isDown();
    p.fillRect(r, kFace);
    // Classic two-step bevel, inverted while pressed.
    p.setPen(down ? kDarkShadow : Qt::white);
    p.drawLine(r.topLeft(), r.topRight() - QPoint(1, 0));
    p.drawLine(r.topLeft(), r.bottomLeft() - QPoint(0, 1));
    p.setPen(down ? Qt::white : kDarkShadow);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.setPen(kShadow);
    if (!down) {
        p.drawLine(r.bottomLeft() + QPoint(1, -1), r.bottomRight() - QPoint(1, 1));
        p.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() - QPoint(1, 1));
    }

    const QPoint shift = down ? QPoint(1, 1) : QPoint(0, 0);
    p.setPen(Qt::black);
    if (glyph_ == Glyph::Minimize) {
        p.fillRect(QRect(QPoint(4, 9) + shift, QSize(6, 2)), Qt::black);
    } else {
        for (int i = 0; i < 6; ++i) {
            // Two-pixel-wide diagonals, as the classic close cross.
            p.drawPoint(QPoint(4 + i, 3 + i) + shift);
            p.drawPoint(QPoint(5 + i, 3 + i) + shift);
            p.drawPoint(QPoint(9 - i, 3 + i) + shift);
            p.drawPoint(QPoint(10 - i, 3 + i) + shift);
        }
    }
}

CaptionBar::CaptionBar(QWidget* parent)
    : QWidget(parent), minimize_(CaptionButton::Glyph::Minimize, this),
      close_(CaptionButton::Glyph::Close, this) {
    setFocusPolicy(Qt::NoFocus);
    // The bar is the window's non-client part: moves over it are not the window's own
    // mouse-move events, so it tracks and swallows them.
    setMouseTracking(true);
    connect(&minimize_, &QAbstractButton::clicked, this, &CaptionBar::minimizeRequested);
    connect(&close_, &QAbstractButton::clicked, this, &CaptionBar::closeRequested);
}

QString CaptionBar::title() const {
    return window()->windowTitle();
}

void CaptionBar::resizeEvent(QResizeEvent*) {
    const int y = (height() - close_.height()) / 2;
    close_.move(width() - close_.width() - 4, y);
    minimize_.move(close_.x() - minimize_.width() - 2, y);
}

void CaptionBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0.0, kCaptionLeft);
    gradient.setColorAt(1.0, kCaptionRight);
    p.fillRect(rect(), gradient);

    int x = 4;
    const QIcon icon = window()->windowIcon();
    if (!icon.isNull()) {
        icon.paint(&p, QRect(x, (height() - 16) / 2, 16, 16));
        x += 16 + 4;
    }
    QFont font = p.font();
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    const QRect textRect(x, 0, minimize_.x() - x - 4, height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, title());
}

void CaptionBar::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void CaptionBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The window system moves the window (it may refuse, e.g. on platforms without a WM).
    if (QWindow* handle = window()->windowHandle())
        handle->startSystemMove();
    event->accept();
}

} // namespace zr::ui
