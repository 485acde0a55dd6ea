#pragma once
// The caption bar the frameless player window draws for itself: icon, title, minimize and
// close buttons. Dragging the bar asks the window system to move the window; the bar never
// moves the window itself. Owned by the window it sits in.

#include <QAbstractButton>
#include <QWidget>

namespace zr::ui {

// One of the two small bevelled buttons at the right end of the caption bar.
class CaptionButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Glyph { Minimize, Close };
    CaptionButton(Glyph glyph, QWidget* parent);
    [[nodiscard]] QSize sizeHint() const override { return {16, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Glyph glyph_;
};

class CaptionBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 23;

    explicit CaptionBar(QWidget* parent);

    // The window's title, which the bar shows.
    [[nodiscard]] QString title() const;
    [[nodiscard]] CaptionButton& minimizeButton() { return minimize_; }
    [[nodiscard]] CaptionButton& closeButton() { return close_; }

signals:
    void minimizeRequested();
    void closeRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    CaptionButton minimize_;
    CaptionButton close_;
};

} // namespace zr::ui
