// Renders the player window as it should look in a given state, for the end-to-end test to
// compare regions of the real screen against. It builds the same frmMain the program shows,
// puts the expected texts into its labels and playlist, and saves the window's pixels.
//   zr-e2e-reference OUT.ppm [LABEL=TEXT | row=FILENAME | select=N]...
// LABEL is one of the information panel's display labels (lblArtistA, lblLengthA,
// lblPositionA, lblELTimeA..lblELTimeD, lblPlayMode1). Run it on the display under test, so
// fonts and scaling are the same.

#include "Playlist.h"
#include "frmMain.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <cstdio>
#include <map>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.ppm [LABEL=TEXT | row=NAME | select=N]...\n", argv[0]);
        return 2;
    }
    zr::ui::frmMain window;
    window.EnsureLoaded();
    const std::map<QString, zr::ui::Label*> labels{
        {QStringLiteral("lblArtistA"), &window.lblArtistA},
        {QStringLiteral("lblLengthA"), &window.lblLengthA},
        {QStringLiteral("lblPositionA"), &window.lblPositionA},
        {QStringLiteral("lblELTimeA"), &window.lblELTimeA},
        {QStringLiteral("lblELTimeB"), &window.lblELTimeB},
        {QStringLiteral("lblELTimeC"), &window.lblELTimeC},
        {QStringLiteral("lblELTimeD"), &window.lblELTimeD},
        {QStringLiteral("lblPlayMode1"), &window.lblPlayMode(1)},
    };
    for (int i = 2; i < argc; ++i) {
        const QString arg = QString::fromUtf8(argv[i]);
        const qsizetype eq = arg.indexOf(u'=');
        const QString key = arg.left(eq);
        const QString value = arg.mid(eq + 1);
        if (eq < 0) {
            std::fprintf(stderr, "not KEY=VALUE: %s\n", argv[i]);
            return 2;
        }
        if (key == QStringLiteral("row")) {
            zr::AppendEntry(window.lstFiles, QString(), value);
        } else if (key == QStringLiteral("select")) {
            window.lstFiles.ListItems().Item(value.toInt()).SetSelected(true);
        } else if (auto it = labels.find(key); it != labels.end()) {
            it->second->SetCaption(value);
        } else {
            std::fprintf(stderr, "unknown label: %s\n", argv[i]);
            return 2;
        }
    }
    window.show();
    QApplication::processEvents();
    const QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB888);
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PPM")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
