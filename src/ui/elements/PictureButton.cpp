#include "PictureButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace zr::ui {

PictureButton::PictureButton(QWidget* parent) : Element(parent) {
    // Moves with no button held must stay here, not fall through to the window.
    setMouseTracking(true);
}

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

void PictureButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    NoteLeftPress(*event);
    emit MouseDown(ArgsFor(*event));
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = ReleaseEndsClick(*event);
    emit MouseUp(ArgsFor(*event));
    if (click)
        emit Click();
}

void PictureButton::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit MouseMove(ArgsFor(*event));
}

} // namespace zr::ui
