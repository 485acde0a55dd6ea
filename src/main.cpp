// ZR - Mp3 Player: shows the player window and runs until it is closed.

#include "Mpris.h"
#include "frmMain.h"

#include "AudioSystem.h"
#include "MediaService.h"
#include "WindowIdentity.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    zr::media::AudioSystem::prepareProcess(); // before Qt starts any thread
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZR - Mp3 Player"));
    zr::ui::SetApplicationIdentity();

    int result = 0;
    {
        zr::ui::frmMain window;
        // On the desktop's media bus when there is one; silently without.
        const zr::ui::Mpris mpris(window);
        window.show();
        result = QApplication::exec();
    }
    // Close every device while Qt and SDL are still alive rather than in static destruction.
    zr::media::shutdownProcessMediaService();
    return result;
}
