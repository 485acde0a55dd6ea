#include "ImageList.h"

#include "ReadPicture.h"

#include <QImage>

namespace zr::ui {

bool ImageList::Add(const QString& key, const QImage& source) {
    if (key.isEmpty() || Contains(key) || source.isNull())
        return false;
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    if (image.size() != size_)
        image = image.scaled(size_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (useMask_) {
        const QRgb mask = ToQColor(maskColor_).rgb() & 0x00FFFFFFu;
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] & 0x00FFFFFFu) == mask)
                    row[x] = 0;
        }
    }
    images_.push_back({key, QPixmap::fromImage(image)});
    return true;
}

bool ImageList::Add(const QString& key, const QString& path) {
    return Add(key, ReadPicture(path));
}

QPixmap ImageList::Image(const QString& key) const {
    for (const Entry& entry : images_)
        if (entry.key == key)
            return entry.pixmap;
    return {};
}

bool ImageList::Contains(const QString& key) const {
    return !Image(key).isNull();
}

} // namespace zr::ui
