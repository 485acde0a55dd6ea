#pragma once
// Shared pieces of the browser tests: temporary folder trees mapped to drive letters, and real
// mouse input on tree nodes.

#include "DriveTable.h"
#include "Drives.h"
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

// The view item that shows a node (found by the texts from the top down).
inline QTreeWidgetItem* ItemOf(const ui::TreeView& tree, const ui::Node* node) {
    std::vector<const ui::Node*> chain;
    for (const ui::Node* n = node; n; n = n->Parent()) {
        chain.insert(chain.begin(), n);
    }
    QTreeWidgetItem* item = nullptr;
    for (const ui::Node* n : chain) {
        QTreeWidgetItem* found = nullptr;
        const int count = item ? item->childCount() : tree.View().topLevelItemCount();
        for (int i = 0; i < count && !found; ++i) {
            QTreeWidgetItem* candidate = item ? item->child(i) : tree.View().topLevelItem(i);
            if (candidate->text(0) == n->Text()) {
                found = candidate;
            }
        }
        if (!found) {
            return nullptr;
        }
        item = found;
    }
    return item;
}

// A left click on the node's text, as a user makes it.
inline void ClickNode(ui::TreeView& tree, const ui::Node* node) {
    QTreeWidgetItem* item = ItemOf(tree, node);
    ASSERT_NE(item, nullptr);
    tree.View().scrollToItem(item);
    const QRect rect = tree.View().visualItemRect(item);
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(tree.View().viewport(), Qt::LeftButton, {}, rect.center());
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

// The browser window that is open now, if any.
inline ui::frmExplore* OpenBrowser() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* browser = qobject_cast<ui::frmExplore*>(w); browser && browser->isVisible()) {
            return browser;
        }
    }
    return nullptr;
}

// Runs `step` on the browser as soon as it is open, from inside its modal loop. Any browser
// still open after 10 s is closed, so a failing step cannot hang the test.
class WhileOpen {
public:
    explicit WhileOpen(std::function<void(ui::frmExplore&)> step) : step_(std::move(step)) {
        poll_.setInterval(10);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            if (ui::frmExplore* browser = OpenBrowser()) {
                poll_.stop();
                ran_ = true;
                step_(*browser);
            }
        });
        poll_.start();
        guard_.setSingleShot(true);
        QObject::connect(&guard_, &QTimer::timeout, [] {
            if (ui::frmExplore* browser = OpenBrowser()) {
                browser->close();
            }
        });
        guard_.start(10000);
    }
    [[nodiscard]] bool Ran() const { return ran_; }

private:
    std::function<void(ui::frmExplore&)> step_;
    QTimer poll_;
    QTimer guard_;
    bool ran_ = false;
};

} // namespace zr::test
