#pragma once
// Shared pieces of the browser tests: temporary folder trees mapped to drive letters, and real
// mouse input on tree nodes.

#include "DriveTable.h"
#include "Drives.h"
#include "WindowDriving.h"
#include "cDrives.h"
#include "elements/TreeView.h"
#include "frmExplore.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace zr::test {

// A folder tree that is deleted with the object.
class TempTree {
public:
    TempTree() { EXPECT_TRUE(dir_.isValid()); }
    [[nodiscard]] QString Path(const QString& relative = {}) const {
        return relative.isEmpty() ? dir_.path() : dir_.filePath(relative);
    }
    void Folder(const QString& relative) const { EXPECT_TRUE(QDir().mkpath(Path(relative))); }
    // A file of the given size (sparse, so big sizes cost nothing).
    void File(const QString& relative, qint64 size = 0) const {
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << relative.toStdString();
        ASSERT_TRUE(file.resize(size));
    }

private:
    QTemporaryDir dir_;
};

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

inline ui::Node* ChildNamed(const ui::Node* node, const QString& text) {
    for (ui::Node* child = node ? node->Child() : nullptr; child; child = child->Next()) {
        if (child->Text() == text) {
            return child;
        }
    }
    return nullptr;
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
