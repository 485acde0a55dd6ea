#pragma once
// Lets files and folders be dropped on the player's playlist from a file manager
// (text/uri-list). Dropped items are appended as the browser's "Open Files" appends them
// (DroppedFiles.h); the drop is always a copy, so the file manager never removes the files.

#include "cDrives.h"

#include <QObject>

namespace zr::ui {

class frmMain;

class PlaylistDropTarget : public QObject {
    Q_OBJECT
public:
    // Watches the window's playlist; the window owns this object (Qt parent).
    explicit PlaylistDropTarget(frmMain& window);

    // The drives the dropped paths are lettered by, read at each drop; by default the
    // machine's, as the browser reads them when it opens (which also fills the drive table).
    void SetDriveSource(cDrives::DriveSource source) { driveSource_ = std::move(source); }

signals:
    // After a drop, with the number of rows it appended (0 when nothing was usable).
    void Dropped(int appended);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmMain& window_;
    cDrives::DriveSource driveSource_;
};

} // namespace zr::ui
