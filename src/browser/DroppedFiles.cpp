#include "DroppedFiles.h"

#include "ListView.h"
#include "Playlist.h"
#include "TextHelpers.h"
#include "mFileList.h"

#include <QDir>
#include <QHash>
#include <QWidget>

#include <sys/stat.h>

namespace zr::ui {
namespace {

// The browser's file list of one folder, filled by the browser's own listing code into a list
// that is never shown (its host widget stays hidden).
class FolderListing {
public:
    explicit FolderListing(Form& window) : window_(window), list_(new ListView(&host_)) {}

    const QStringList& Names(const QString& folderPath) {
        auto it = names_.find(folderPath);
        if (it == names_.end()) {
            mFileList::subFillFileList(*list_, window_, folderPath);
            QStringList names;
            const int count = list_->ListItems().Count();
            for (int i = 1; i <= count; ++i)
                names << list_->ListItems().Item(i).Text();
            it = names_.insert(folderPath, names);
        }
        return *it;
    }

private:
    Form& window_;
    QWidget host_;
    ListView* list_; // child of host_
    QHash<QString, QStringList> names_;
};

enum class Kind { None, Folder, File };

// Asked with the name's own bytes: QFileInfo would spell a name that is not UTF-8 otherwise
// and find nothing.
Kind KindOf(const QString& path) {
    struct stat info {};
    if (::stat(zr::ToOsText(path).constData(), &info) != 0)
        return Kind::None;
    return S_ISDIR(info.st_mode) ? Kind::Folder : Kind::File;
}

} // namespace

std::optional<QString> ProgramFolderPath(const QString& localFolder,
                                         const std::vector<mWinAPI::DriveInfo>& drives) {
    if (!localFolder.startsWith(QLatin1Char('/')))
        return std::nullopt;
    const QString folder = QDir::cleanPath(localFolder);

    const mWinAPI::DriveInfo* best = nullptr;
    QString bestRoot;
    for (const mWinAPI::DriveInfo& drive : drives) {
        if (!drive.ready || !drive.rootPath.startsWith(QLatin1Char('/')))
            continue;
        const QString root = QDir::cleanPath(drive.rootPath);
        const bool covers = root == QLatin1String("/") || folder == root ||
                            folder.startsWith(root + QLatin1Char('/'));
        // The innermost mount is the drive the browser shows the folder on.
        if (covers && (best == nullptr || root.size() > bestRoot.size())) {
            best = &drive;
            bestRoot = root;
        }
    }
    if (best == nullptr)
        return std::nullopt;

    QString rest = folder.mid(bestRoot == QLatin1String("/") ? 1 : bestRoot.size() + 1);
    if (rest.contains(QLatin1Char('\\')))
        return std::nullopt;
    rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QString path = QString(QLatin1Char(best->letter)) + QStringLiteral(":\\") + rest;
    if (!rest.isEmpty())
        path += QLatin1Char('\\');
    return path;
}

int AppendDroppedPaths(ListView& playlist, Form& window, const QStringList& localPaths,
                       const std::vector<mWinAPI::DriveInfo>& drives) {
    FolderListing listing(window);
    int appended = 0;
    for (const QString& given : localPaths) {
        if (!given.startsWith(QLatin1Char('/')))
            continue;
        const QString path = QDir::cleanPath(given);
        const Kind kind = KindOf(path);
        if (kind == Kind::Folder) {
            const auto folderPath = ProgramFolderPath(path, drives);
            if (!folderPath)
                continue;
            for (const QString& name : listing.Names(*folderPath)) {
                AppendEntry(playlist, *folderPath, name);
                ++appended;
            }
            continue;
        }
        if (kind != Kind::File)
            continue;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString name = path.mid(slash + 1);
        const auto folderPath =
            ProgramFolderPath(slash == 0 ? QStringLiteral("/") : path.left(slash), drives);
        if (!folderPath || !listing.Names(*folderPath).contains(name))
            continue;
        AppendEntry(playlist, *folderPath, name);
        ++appended;
    }
    return appended;
}

} // namespace zr::ui
