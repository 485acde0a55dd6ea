#include "cDrives.h"

#include "TreeView.h"
#include "mVariables.h"

namespace zr::ui {

QString MachineNameOrFallback(const QString& computerName) {
    return computerName.isEmpty() ? QStringLiteral("localhost") : computerName;
}

QString DriveLabel(const mWinAPI::DriveInfo& drive) {
    const QString tail = QStringLiteral(" (") + QLatin1Char(drive.letter) + QStringLiteral(":)");
    return drive.ready ? drive.volumeName + tail : tail;
}

QString DriveImageKey(int driveType) {
    switch (driveType) {
    case 0:
        return QStringLiteral("drvunknown");
    case 1:
        return QStringLiteral("drvremove");
    case 2:
        return QStringLiteral("drvfixed");
    case 3:
        return QStringLiteral("drvremote");
    case 4:
        return QStringLiteral("drvcd");
    case 5:
        return QStringLiteral("drvmemory");
    default:
        return {};
    }
}

cDrives::cDrives(DriveSource source) : source_(std::move(source)) {}

std::vector<mWinAPI::DriveInfo> cDrives::Drives() const {
    return source_ ? source_() : mWinAPI::LoadSystemDrives();
}

QString cDrives::GetDriveLetters() const {
    QString letters;
    for (const mWinAPI::DriveInfo& drive : Drives()) {
        letters += QLatin1Char(drive.letter);
    }
    return letters;
}

void cDrives::subLoadTreeView(TreeView& Explorer) {
    const QString computerName = MachineNameOrFallback(mVariables::ComputerName());
    const std::vector<mWinAPI::DriveInfo> drives = Drives();

    Explorer.Nodes().Add({}, tvwLast, computerName, computerName, QStringLiteral("mycomputer"),
                         QStringLiteral("mycomputer"));
    // The key number is the drive's place in the letters, so a skipped drive leaves a gap.
    for (std::size_t n = 1; n <= drives.size(); ++n) {
        const mWinAPI::DriveInfo& drive = drives[n - 1];
        const QString image = DriveImageKey(drive.type);
        if (image.isEmpty()) {
            continue;
        }
        Explorer.Nodes().Add(computerName, tvwChild, QStringLiteral("Parent%1").arg(n),
                             DriveLabel(drive), image);
    }
}

} // namespace zr::ui
