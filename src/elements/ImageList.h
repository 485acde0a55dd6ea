#pragma once
// Small images (16 x 16 by default) found by key, with a mask colour that becomes transparent.

#include "Units.h"

#include <QPixmap>
#include <QSize>
#include <QString>
#include <vector>

namespace zr::ui {

class ImageList {
public:
    explicit ImageList(QSize size = {16, 16}) : size_(size) {}

    // Pixels of exactly this colour are transparent in images added afterwards.
    void SetMaskColor(ColorRef colour) {
        maskColor_ = colour;
        useMask_ = true;
    }
    [[nodiscard]] ColorRef MaskColor() const { return maskColor_; }

    // Adds an image under a unique key, scaled to the list's size when it differs. Returns
    // false (adding nothing) for an empty or duplicate key or an image that cannot be loaded.
    bool Add(const QString& key, const QImage& image);
    bool Add(const QString& key, const QString& path);

    // Null pixmap when the key is unknown.
    [[nodiscard]] QPixmap Image(const QString& key) const;
    [[nodiscard]] bool Contains(const QString& key) const;
    [[nodiscard]] int Count() const { return static_cast<int>(images_.size()); }
    [[nodiscard]] QSize ImageSize() const { return size_; }

private:
    struct Entry {
        QString key;
        QPixmap pixmap;
    };
    QSize size_;
    ColorRef maskColor_ = 0;
    bool useMask_ = false;
    std::vector<Entry> images_;
};

} // namespace zr::ui
