#include "WindowIdentity.h"

#include "ReadPicture.h"
#include "ResourcePaths.h"

#include <QGuiApplication>
#include <QPixmap>

namespace zr::ui {

QIcon WindowIcon() {
    QIcon icon;
    for (const char* path : zr::resources::kWindowIconSizes)
        icon.addPixmap(QPixmap::fromImage(ReadPicture(QString::fromLatin1(path))));
    return icon;
}

void SetApplicationIdentity() {
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QGuiApplication::setWindowIcon(WindowIcon());
}

} // namespace zr::ui
