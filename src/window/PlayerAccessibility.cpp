#include "PlayerAccessibility.h"

#include "frmMain.h"

#include <QTreeView>

namespace zr::ui {

void NameForScreenReaders(frmMain& window) {
    window.imgControl(12).setAccessibleName(QStringLiteral("Seek bar start"));
    window.imgControl(13).setAccessibleName(QStringLiteral("Seek bar end"));
    // The caption bar's buttons show only a glyph.
    window.captionBar().minimizeButton().setAccessibleName(QStringLiteral("Minimize"));
    window.captionBar().closeButton().setAccessibleName(QStringLiteral("Close"));
    window.ProgressBar.setAccessibleName(QStringLiteral("Seek bar"));
    window.lstFiles.setAccessibleName(QStringLiteral("Playlist"));
    window.lstFiles.View().setAccessibleName(QStringLiteral("Playlist"));

    window.lblArtistA.setAccessibleDescription(QStringLiteral("Artist"));
    window.lblLengthA.setAccessibleDescription(QStringLiteral("Length"));
    window.lblPositionA.setAccessibleDescription(QStringLiteral("Position"));
    window.lblPlayMode(1).setAccessibleDescription(QStringLiteral("Play Mode"));
    for (Label* digit :
         {&window.lblELTimeA, &window.lblELTimeB, &window.lblELTimeC, &window.lblELTimeD})
        digit->setAccessibleDescription(QStringLiteral("Elapsed Time"));
}

} // namespace zr::ui
