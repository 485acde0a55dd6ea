#include "PictureButton.h"

#include <QPainter>

namespace zr::ui {

PictureButton::PictureButton(QWidget* parent) : MouseElement(parent) {}

bool PictureButton::SetPicture(const QString& path) {
    QPixmap picture;
    const bool ok = picture.load(path);
    SetPicture(ok ? picture : QPixmap());
    return ok;
}

void PictureButton::SetPicture(const QPixmap& picture) {
    m_picture = picture;
    update();
}

void PictureButton::SetStretch(bool stretch) {
    m_stretch = stretch;
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    if (m_stretch)
        painter.drawPixmap(rect(), m_picture);
    else
        painter.drawPixmap(0, 0, m_picture);
}

} // namespace zr::ui
