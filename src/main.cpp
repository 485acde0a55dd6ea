// ZR - Mp3 Player: shows the player window and runs until it is closed.

#include "frmMain.h"

#include "ResourcePaths.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZR - Mp3 Player"));
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(zr::resources::kWindowIcon)));

    frmMain window;
    window.show();
    return QApplication::exec();
}
