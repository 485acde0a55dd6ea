#pragma once
// Entries of a mount table as the drive code reads them, for tests that give it a list of their
// own (mWinAPI::ScopedMountList) or letter it directly.

#include "Drives.h"

#include <QString>

namespace zr::test {

inline mWinAPI::MountEntry Mount(const QString& root, const QString& device, const QString& fs,
                                 const QString& label = {}) {
    mWinAPI::MountEntry m;
    m.rootPath = root;
    m.device = device;
    m.fsType = fs;
    m.label = label;
    return m;
}

// A mount of `folder` as a fixed ext4 disk labelled DATA: the browser's first drive after C:.
inline mWinAPI::MountEntry DataDisk(const QString& folder) {
    return Mount(folder, QStringLiteral("/dev/sdz1"), QStringLiteral("ext4"),
                 QStringLiteral("DATA"));
}

} // namespace zr::test
