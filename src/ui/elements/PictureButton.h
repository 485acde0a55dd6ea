#pragma once
// An image element showing a fixed picture, with an optional tooltip. It takes its own mouse
// events (they do not reach the window's mouse-move handler).

#include "Element.h"

#include <QPixmap>

namespace zr::ui {

class PictureButton : public Element {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent);

    // A resource path (":/buttons/play.png") or a file. A picture that cannot be loaded
    // leaves the button blank; returns false then.
    bool SetPicture(const QString& path);
    void SetPicture(const QPixmap& picture);
    [[nodiscard]] const QPixmap& Picture() const { return m_picture; }

    // Stretch on: the picture fills the element. Off: drawn at its own size from the top left.
    void SetStretch(bool stretch);
    [[nodiscard]] bool Stretch() const { return m_stretch; }

signals:
    // Left button pressed and released over the button.
    void Click();
    // Coordinates in the button's own twips.
    void MouseDown(const zr::ui::MouseArgs& args);
    void MouseUp(const zr::ui::MouseArgs& args);
    // Raised on every move over the button, with or without a button held.
    void MouseMove(const zr::ui::MouseArgs& args);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPixmap m_picture;
    bool m_stretch = false;
};

} // namespace zr::ui
