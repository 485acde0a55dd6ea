#include "ReadPicture.h"

#include <QFileInfo>
#include <QImageReader>

namespace zr::ui {

QImage ReadPicture(const QString& path) {
    QImageReader reader(path, QFileInfo(path).suffix().toLower().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace zr::ui
