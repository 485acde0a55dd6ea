#pragma once
// An image element showing a fixed picture, with an optional tooltip. It takes its own mouse
// events (they do not reach the window's mouse-move handler).

#include "MouseElement.h"

#include <QPixmap>

namespace zr::ui {

class PictureButton : public MouseElement {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent);

    // A resource path (":/buttons/play.png") or a file. A picture that cannot be loaded
    // leaves the button blank; returns false then.
    bool SetPicture(const QString& path);
    void SetPicture(const QPixmap& picture);
    [[nodiscard]] const QPixmap& Picture() const { return picture_; }

    // Stretch on: the picture fills the element. Off: drawn at its own size from the top left.
    void SetStretch(bool stretch);
    [[nodiscard]] bool Stretch() const { return stretch_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    bool stretch_ = false;
};

} // namespace zr::ui
