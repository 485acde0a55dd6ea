#include "ImageList.h"

#include <QImage>

namespace zr::ui {

bool ImageList::Add(const QString& key, const QImage& source) {
    if (key.isEmpty() || Contains(key) || source.isNull())
        return false;
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    if (image.size() != m_size)
        image = image.scaled(m_size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (m_useMask) {
        const QRgb mask = ToQColor(m_maskColor).rgb() & 0x00FFFFFFu;
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] & 0x00FFFFFFu) == mask)
                    row[x] = 0;
        }
    }
    m_images.push_back({key, QPixmap::fromImage(image)});
    return true;
}

bool ImageList::Add(const QString& key, const QString& path) {
    return Add(key, QImage(path));
}

QPixmap ImageList::Image(const QString& key) const {
    for (const Entry& entry : m_images)
        if (entry.key == key)
            return entry.pixmap;
    return {};
}

bool ImageList::Contains(const QString& key) const {
    return !Image(key).isNull();
}

} // namespace zr::ui
