// Folders a user cannot or should not descend into, met in the browser's tree: symbolic link
// loops, links that lead nowhere, folders that cannot be read. Clicking them adds nothing it
// should not, says nothing, and never hangs; a loop grows one level per click at most.

#include "BadInputSupport.h"

#include "Drives.h"
#include "ListView.h"
#include "Menu.h"
#include "TreeView.h"
#include "mVariables.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace zr::badinput;
using zr::test::ChildNamed;
using zr::ui::Node;

int CountNodes(const Node* node) {
    int count = 1;
    for (Node* child = node->Child(); child; child = child->Next())
        count += CountNodes(child);
    return count;
}

QStringList Listed(zr::ui::frmExplore& b) {
    QStringList names;
    for (int i = 1; i <= b.FileList().ListItems().Count(); ++i)
        names << b.FileList().ListItems().Item(i).Text();
    return names;
}

TEST(BadFolders, LoopsDeadLinksAndUnreadableFoldersAddNothingAndNeverHang) {
    CurrentFolder d;
    d.Write(QStringLiteral("top.mp3"), Fixture("tone_1s_cbr_44100_stereo.mp3"));
    ASSERT_TRUE(QDir(d.Path()).mkdir(QStringLiteral("music")));
    d.Write(QStringLiteral("music/inside.mp3"), Fixture("tone_1s_cbr_44100_stereo.mp3"));
    ASSERT_TRUE(QDir(d.Path()).mkdir(QStringLiteral("locked")));
    d.Write(QStringLiteral("locked/hidden.mp3"), Fixture("tone_1s_cbr_44100_stereo.mp3"));
    const auto link = [&](const char* target, const char* name) {
        ASSERT_EQ(symlink(target, d.Path(QString::fromLatin1(name)).toLocal8Bit().constData()), 0);
    };
    link(".", "loop");        // leads back to the folder it is in, forever
    link("chain2", "chain1"); // two links leading to each other: unreadable even for root
    link("chain1", "chain2");
    link("nowhere", "dead"); // leads to nothing
    const QByteArray locked = d.Path(QStringLiteral("locked")).toLocal8Bit();
    ASSERT_EQ(chmod(locked.constData(), 0), 0);
    // Root reads a mode-000 folder all the same; only other users see it as unreadable.
    const bool canReadLocked = geteuid() == 0;

    const mWinAPI::ScopedMountList mounts({zr::test::DataDisk(d.Path())});

    zr::ui::frmMain window;
    window.show();
    bool ran = false;
    WithBrowser(window, [&](zr::ui::frmExplore& b) {
        ran = true;
        Node* root = b.Explorer().Nodes().Item(1);
        ASSERT_NE(root, nullptr);
        Node* drive = ChildNamed(root, QStringLiteral("DATA (D:)"));
        ASSERT_NE(drive, nullptr);
        ClickNode(b.Explorer(), drive);
        EXPECT_EQ(Listed(b), QStringList{QStringLiteral("top.mp3")});

        for (const char* name : {"chain1", "chain2", "dead"}) {
            Node* node = ChildNamed(drive, QString::fromLatin1(name));
            if (!node)
                continue; // leaving such a link out of the tree is as good
            ClickNode(b.Explorer(), node);
            EXPECT_EQ(node->Children(), 0) << name;
            EXPECT_TRUE(Listed(b).isEmpty()) << name;
            EXPECT_FALSE(b.mnuFileCOpenFiles().Enabled()) << name;
            EXPECT_FALSE(b.mnuMp3CSelectAll().Enabled()) << name;
        }

        Node* lockedNode = ChildNamed(drive, QStringLiteral("locked"));
        ASSERT_NE(lockedNode, nullptr);
        ClickNode(b.Explorer(), lockedNode);
        EXPECT_EQ(Listed(b).isEmpty(), !canReadLocked);

        // Down the loop, click by click: each level lists the same folder again and adds only
        // its own level of nodes (and the one level ahead the tree fills when expanded).
        Node* level = ChildNamed(drive, QStringLiteral("loop"));
        ASSERT_NE(level, nullptr);
        const int entries = drive->Children();
        int before = CountNodes(root);
        for (int depth = 1; depth <= 25; ++depth) {
            ClickNode(b.Explorer(), level);
            EXPECT_EQ(Listed(b), QStringList{QStringLiteral("top.mp3")}) << "depth " << depth;
            const int after = CountNodes(root);
            EXPECT_LE(after - before, entries + entries * entries) << "depth " << depth;
            before = after;
            level = ChildNamed(level, QStringLiteral("loop"));
            ASSERT_NE(level, nullptr) << "depth " << depth;
        }
        b.mnuFileExit().Action().trigger();
    });
    EXPECT_TRUE(ran);
    chmod(locked.constData(), 0755); // lets the temporary folder be removed
    mVariables::ResetToStartValues();
}

} // namespace
