#include "PlaylistDropTarget.h"

#include "DroppedFiles.h"
#include "TextHelpers.h"
#include "frmMain.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

namespace zr::ui {
namespace {

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        // The path's own bytes: toLocalFile() would turn a byte that is not UTF-8 (a file
        // manager sends "caf%E9.mp3" for such a name) into U+FFFD, a name no file has.
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        paths << zr::FromOsText(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return paths;
}

} // namespace

PlaylistDropTarget::PlaylistDropTarget(frmMain& window) : QObject(&window), window_(window) {
    QTreeView& view = window.lstFiles.View();
    view.setAcceptDrops(true);
    view.viewport()->setAcceptDrops(true);
    // The view's own drag handling would offer to move rows; this filter answers first.
    view.viewport()->installEventFilter(this);
}

bool PlaylistDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (LocalPaths(drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = LocalPaths(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        const std::vector<mWinAPI::DriveInfo> drives =
            driveSource_ ? driveSource_() : mWinAPI::LoadSystemDrives();
        emit Dropped(AppendDroppedPaths(window_.lstFiles, window_, paths, drives));
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace zr::ui
