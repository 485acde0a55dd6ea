#pragma once
// Shared pieces of the browser tests: temporary folder trees mapped to drive letters, real
// mouse input on tree nodes (WindowDriving.h), the fixtures and the media service's status.

#include "DriveTable.h"
#include "Drives.h"
#include "Fixtures.h"
#include "TempDir.h"
#include "TreeView.h"
#include "WindowDriving.h"
#include "cDrives.h"
#include "frmExplore.h"
#include "mWinAPI.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace zr::test {

// A file of the project's test fixtures.
inline QString Fixture(const char* name) {
    return QString::fromStdString(fixturePath(name));
}

// The real media service's answer to "status mp3 <what>", or "error" when it refuses.
inline std::string MediaStatus(const char* what) {
    char reply[64] = {};
    const std::string command = std::string("status mp3 ") + what;
    if (mWinAPI::mciSendStringA(command.c_str(), reply, sizeof reply, nullptr) != 0) {
        return "error";
    }
    return reply;
}

// A folder tree that is deleted with the object.
using TempTree = TempDir;

inline mWinAPI::DriveInfo Drive(char letter, const QString& folder, const QString& label = {},
                                int type = mWinAPI::kDriveFixed, bool ready = true) {
    mWinAPI::DriveInfo d;
    d.letter = letter;
    d.type = type;
    d.ready = ready;
    d.volumeName = ready ? label : QString();
    d.rootPath = ready ? folder : QString();
    return d;
}

// A drive source giving these drives and mapping their letters to their folders.
inline ui::cDrives::DriveSource MappedDrives(std::vector<mWinAPI::DriveInfo> drives) {
    return [drives] {
        mWinAPI::InstallDriveTable(drives);
        return drives;
    };
}

// The texts of a node's children, in display order.
inline QStringList ChildTexts(const ui::Node* node) {
    QStringList texts;
    for (ui::Node* child = node ? node->Child() : nullptr; child; child = child->Next()) {
        texts << child->Text();
    }
    return texts;
}

// A left click on the node's expand button.
inline void ClickExpandButton(ui::TreeView& tree, const ui::Node* node) {
    QTreeWidgetItem* item = ItemOf(tree, node);
    ASSERT_NE(item, nullptr);
    tree.View().scrollToItem(item);
    const QRect rect = tree.View().visualItemRect(item);
    ASSERT_TRUE(rect.isValid());
    const QPoint button(rect.left() - tree.View().indentation() / 2, rect.center().y());
    QTest::mouseClick(tree.View().viewport(), Qt::LeftButton, {}, button);
}

} // namespace zr::test
