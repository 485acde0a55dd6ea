#include "ListBox.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace zr::ui {

namespace {

bool Before(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    if (folded != 0)
        return folded < 0;
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

} // namespace

ListBox::ListBox(QWidget* parent) : Element(parent) {
    setMouseTracking(true);
}

void ListBox::AddItem(const QString& text) {
    // After any equal entries, so equal texts keep the order they came in.
    const auto at = std::upper_bound(items_.begin(), items_.end(), text, Before);
    items_.insert(at, text);
    update();
}

QString ListBox::List(int index) const {
    if (index < 0 || index >= ListCount())
        return {};
    return items_[static_cast<size_t>(index)];
}

void ListBox::Clear() {
    items_.clear();
    update();
}

void ListBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    const int lineHeight = QFontMetrics(font()).height();
    int y = 0;
    for (const QString& item : items_) {
        if (y > height())
            break;
        painter.drawText(QRect(2, y, width() - 4, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         item);
        y += lineHeight;
    }
}

} // namespace zr::ui

namespace zr::ui {

void ListBox::mouseMoveEvent(QMouseEvent* event) {
    event->accept(); // a list keeps the moves over it, like the other lists
}

} // namespace zr::ui
