// The player window run as the program runs it, on whatever platform Qt is given (the Wayland
// test starts it under a headless Weston): it must map, take a dropped track, play it to its
// end through the real media service, keep its corners see-through, and close through its
// close box, all without a single Qt warning. It is on the session bus (MPRIS) as the program.
//   zr-wayland-probe <track.mp3>
// Prints "READY" once the track has played, then takes commands on standard input, one a line,
// so the caller can take screenshots in between: "minimize" presses the caption bar's minimize
// box (answered "MINIMIZED"), "close" (or the end of input) closes through the close box. Exit 0
// when every check passed; each check is reported on one line.

#include "Drives.h"
#include "DroppedFiles.h"
#include "MediaService.h"
#include "Mpris.h"
#include "WindowIdentity.h"
#include "frmMain.h"
#include "mVariables.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace {

int qtWarnings = 0;

void CountWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        ++qtWarnings;
    std::fprintf(stderr, "qt[%d] %s: %s\n", int(type), context.category ? context.category : "",
                 qPrintable(message));
}

int failures = 0;

void Check(bool ok, const QString& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

bool Playing() {
    return mVariables::IsPlaying() != mVariables::kFalse;
}

} // namespace

int main(int argc, char* argv[]) {
    qInstallMessageHandler(CountWarnings);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZR - Mp3 Player"));
    zr::ui::SetApplicationIdentity();
    if (argc != 2) {
        std::fprintf(stderr, "usage: zr-wayland-probe <track.mp3>\n");
        return 2;
    }
    const QString track = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    {
        zr::ui::frmMain window;
        const zr::ui::Mpris mpris(window);
        std::printf("mpris %s\n", qPrintable(mpris.ServiceName()));
        window.show();
        Check(QTest::qWaitForWindowExposed(&window, 10000), QStringLiteral("the window maps"));

        const int added = zr::ui::AppendDroppedPaths(window.lstFiles, window, {track},
                                                     mWinAPI::LoadSystemDrives());
        Check(added == 1, QStringLiteral("the dropped track is on the playlist"));
        if (added == 1) {
            window.lstFiles.ListItems().Item(1).SetSelected(true);
            zr::ui::PictureButton& play = window.imgControl(1);
            QTest::mouseClick(&play, Qt::LeftButton, {}, play.rect().center());
            Check(QTest::qWaitFor(Playing, 5000), QStringLiteral("Play starts the track"));
            Check(window.lblArtistA.Caption().endsWith(QFileInfo(track).fileName()),
                  QStringLiteral("the title shows: ") + window.lblArtistA.Caption());
            Check(QTest::qWaitFor([] { return !Playing(); }, 30000),
                  QStringLiteral("the track plays to its end"));
            Check(window.lstFiles.ListItems().Item(1).SubItems(3) == QLatin1String("P"),
                  QStringLiteral("the row is marked played"));
        }

        // What the window hands to the compositor: outside the outline nothing is painted.
        const QImage image = window.grab().toImage();
        const int w = image.width() - 1;
        const int h = image.height() - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)}) {
            Check(qAlpha(image.pixel(corner)) == 0,
                  QStringLiteral("corner (%1,%2) is see-through").arg(corner.x()).arg(corner.y()));
        }
        Check(qAlpha(image.pixel(w / 2, h)) == 255 && qAlpha(image.pixel(0, h / 2)) == 255,
              QStringLiteral("the edges between the corners are opaque"));

        std::printf("READY\n");
        std::fflush(stdout);
        // Commands until "close"; the bus (Raise) is served meanwhile.
        QEventLoop wait;
        QSocketNotifier input(0, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &wait, [&] {
            char line[64] = {};
            const ssize_t got = ::read(0, line, sizeof line - 1);
            if (got > 0 && std::strncmp(line, "minimize", 8) == 0) {
                QAbstractButton& box = window.captionBar().minimizeButton();
                QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center());
                std::printf("MINIMIZED\n");
                std::fflush(stdout);
                return;
            }
            wait.quit();
        });
        QTimer::singleShot(60000, &wait, &QEventLoop::quit);
        wait.exec();

        QAbstractButton& closeBox = window.captionBar().closeButton();
        QTest::mouseClick(&closeBox, Qt::LeftButton, {}, closeBox.rect().center());
        Check(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000),
              QStringLiteral("the close box closes the window"));
    }
    zr::media::shutdownProcessMediaService();
    Check(qtWarnings == 0, QStringLiteral("no Qt warnings (%1)").arg(qtWarnings));
    return failures == 0 ? 0 : 1;
}
