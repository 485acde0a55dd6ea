// ZR - Mp3 Player: shows the player window and runs until it is closed.

#include "Mpris.h"
#include "frmMain.h"

#include "MediaService.h"
#include "ResourcePaths.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZR - Mp3 Player"));
    QApplication::setWindowIcon(QIcon(QString::fromLatin1(zr::resources::kWindowIcon)));

    int result = 0;
    {
        frmMain window;
        // On the desktop's media bus when there is one; silently without.
        const zr::ui::Mpris mpris(window);
        window.show();
        result = QApplication::exec();
    }
    // Close every device while Qt and SDL are still alive rather than in static destruction.
    zr::media::shutdownProcessMediaService();
    return result;
}
