#include "mExplorerTree.h"

#include "ListBox.h"
#include "TextHelpers.h"
#include "TreeView.h"
#include "mWinAPI.h"

#include <QRegularExpression>
#include <QStringList>

namespace zr::ui::mExplorerTree {
namespace {

constexpr ColorRef kGreyFolder = Rgb(120, 120, 120);
const QString kPlainMark = QStringLiteral("~~~");
const QString kOtherMark = QStringLiteral("~A~");

} // namespace

QString NodeToFolderPath(const QString& fullPath) {
    static const QRegularExpression driveLabelEnd(QStringLiteral("\\(([A-Za-z]:)\\)$"));
    const QStringList parts = fullPath.split(QLatin1Char('\\'));
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QRegularExpressionMatch drive = driveLabelEnd.match(parts[i]);
        if (!drive.hasMatch()) {
            continue;
        }
        QString path = drive.captured(1);
        for (qsizetype j = i + 1; j < parts.size(); ++j) {
            path += QLatin1Char('\\') + parts[j];
        }
        return path + QLatin1Char('\\');
    }
    return {};
}

QByteArray SubfolderSearch(const QString& folderPath) {
    return zr::ToOsText(folderPath + QStringLiteral("*.*"));
}

void subAddFolderNodes(ListBox& List1, TreeView& Explorer, const QString& folderPath,
                       int parentIndex) {
    const QByteArray pattern = SubfolderSearch(folderPath);
    mWinAPI::WIN32_FIND_DATA found;
    mWinAPI::ScopedFindHandle search(mWinAPI::FindFirstFileA(pattern.constData(), &found));
    if (search.valid()) {
        do {
            if ((found.dwFileAttributes & mWinAPI::FILE_ATTRIBUTE_DIRECTORY) == 0) {
                continue;
            }
            const QString name = zr::TrimAtNull(found.cFileName, sizeof found.cFileName);
            if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
                continue;
            }
            List1.AddItem(name + (found.dwFileAttributes == mWinAPI::FILE_ATTRIBUTE_DIRECTORY
                                      ? kPlainMark
                                      : kOtherMark));
        } while (mWinAPI::FindNextFileA(search.get(), &found));
    }
    search.reset();

    for (int i = 0; i < List1.ListCount(); ++i) {
        const QString entry = List1.List(i);
        const bool grey = entry.endsWith(kOtherMark);
        Node* folder =
            Explorer.Nodes().Add(parentIndex, tvwChild, QString(), entry.chopped(3),
                                 QStringLiteral("cldfolder"), QStringLiteral("opnfolder"));
        if (folder == nullptr) {
            break; // the tree is full (or the parent is gone): nothing more can be added
        }
        if (grey) {
            folder->SetForeColor(kGreyFolder);
        }
    }
    List1.Clear();
}

} // namespace zr::ui::mExplorerTree
