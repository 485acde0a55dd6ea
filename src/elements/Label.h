#pragma once
// Static text. The caption is also where the program keeps the value a label shows: Caption()
// gives back exactly what SetCaption stored. A label takes its own mouse events, so moving
// over it raises no window mouse-move.

#include "Element.h"

namespace zr::ui {

class Label : public Element {
    Q_OBJECT
public:
    enum BackStyleKind { vbTransparent = 0, vbOpaque = 1 };

    explicit Label(QWidget* parent);

    // A label that sizes itself keeps only the given corner.
    void Move(int left, int top, int width, int height) override;

    [[nodiscard]] const QString& Caption() const { return caption_; }
    // With AutoSize on, the label keeps its top-left corner and takes the caption's size.
    void SetCaption(const QString& caption);

    void SetForeColor(ColorRef colour);
    [[nodiscard]] ColorRef ForeColor() const { return foreColor_; }
    void SetBackColor(ColorRef colour);
    [[nodiscard]] ColorRef BackColor() const { return backColor_; }
    void SetBackStyle(BackStyleKind style);
    [[nodiscard]] BackStyleKind BackStyle() const { return backStyle_; }

    // Sizes the label to its caption now and after every caption or font change.
    void SetAutoSize(bool autoSize);
    [[nodiscard]] bool AutoSize() const { return autoSize_; }

    // Left (default), right or centre, as Qt::Alignment horizontal flags.
    void SetAlignment(Qt::Alignment alignment);

    // The size in pixels the caption needs in the current font.
    [[nodiscard]] QSize CaptionSizePx() const;

signals:
    void Click();
    // SetCaption stored a caption different from the one before.
    void CaptionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void FitToCaption();

    QString caption_;
    ColorRef foreColor_ = SystemColor(18);
    ColorRef backColor_ = SystemColor(15);
    BackStyleKind backStyle_ = vbOpaque;
    bool autoSize_ = false;
    Qt::Alignment alignment_ = Qt::AlignLeft;
};

} // namespace zr::ui
