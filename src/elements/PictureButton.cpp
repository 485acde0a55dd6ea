#include "PictureButton.h"

#include "ReadPicture.h"

#include <QPainter>

namespace zr::ui {

PictureButton::PictureButton(QWidget* parent) : MouseElement(parent) {}

bool PictureButton::SetPicture(const QString& path) {
    const QImage image = ReadPicture(path);
    const bool ok = !image.isNull();
    SetPicture(ok ? QPixmap::fromImage(image) : QPixmap());
    return ok;
}

void PictureButton::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void PictureButton::SetStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    if (stretch_)
        painter.drawPixmap(rect(), picture_);
    else
        painter.drawPixmap(0, 0, picture_);
}

} // namespace zr::ui
