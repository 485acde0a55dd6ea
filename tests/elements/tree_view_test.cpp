// The browser's tree: keys, order of addition, full paths, siblings, expansion events.

#include "ImageList.h"
#include "Input.h"
#include "QtPrinters.h"
#include "TreeView.h"

#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <vector>

using namespace zr::ui;

class TreeViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 400);
        tree.Move(0, 120, 4335, 5985);
        // Machine, two drives, folders under the second drive.
        root = tree.Nodes().Add({}, tvwChild, "MYPC", "MYPC", "mycomputer", "mycomputer");
        c = tree.Nodes().Add(QString("MYPC"), tvwChild, "Parent1", " (C:)", "drvfixed");
        d = tree.Nodes().Add(QString("MYPC"), tvwChild, "Parent3", "DATA (D:)", "drvfixed");
        music = tree.Nodes().Add(d->Index(), tvwChild, "", "Music", "cldfolder", "opnfolder");
        video = tree.Nodes().Add(d->Index(), tvwChild, "", "Video", "cldfolder", "opnfolder");
        rock = tree.Nodes().Add(music->Index(), tvwChild, "", "Rock", "cldfolder", "opnfolder");
    }
    void Show() {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QWidget window;
    TreeView tree{&window};
    Node* root = nullptr;
    Node* c = nullptr;
    Node* d = nullptr;
    Node* music = nullptr;
    Node* video = nullptr;
    Node* rock = nullptr;
};

TEST_F(TreeViewTest, IndexesFollowOrderOfAdditionAndFullPathJoinsWithBackslash) {
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(root->Index(), 1);
    EXPECT_EQ(d->Index(), 3);
    EXPECT_EQ(rock->Index(), 6);
    EXPECT_EQ(tree.Nodes().Count(), 6);
    EXPECT_EQ(tree.Nodes()(6), rock);
    EXPECT_EQ(tree.Nodes()("Parent3"), d);
    EXPECT_EQ(tree.Nodes()(7), nullptr);
    EXPECT_EQ(rock->FullPath(), "MYPC\\DATA (D:)\\Music\\Rock");
    EXPECT_EQ(root->FullPath(), "MYPC");
    EXPECT_EQ(c->FullPath(), "MYPC\\ (C:)");
}

TEST_F(TreeViewTest, ChildrenAndSiblings) {
    EXPECT_EQ(root->Children(), 2);
    EXPECT_EQ(root->Child(), c);
    EXPECT_EQ(d->Children(), 2);
    EXPECT_EQ(video->Children(), 0);
    EXPECT_EQ(video->Child(), nullptr);
    EXPECT_EQ(d->Child()->FirstSibling()->Index(), 4);
    EXPECT_EQ(d->Child()->LastSibling()->Index(), 5);
    EXPECT_EQ(root->FirstSibling(), root);
    EXPECT_EQ(music->Next(), video);
    EXPECT_EQ(video->Next(), nullptr);
    EXPECT_EQ(rock->Parent(), music);
}

TEST_F(TreeViewTest, DuplicateKeysAndUnknownRelativesAddNothing) {
    EXPECT_EQ(tree.Nodes().Add(QString("MYPC"), tvwChild, "Parent1", "again"), nullptr);
    EXPECT_EQ(tree.Nodes().Add(QString("NOPE"), tvwChild, "", "orphan"), nullptr);
    EXPECT_EQ(tree.Nodes().Add(99, tvwChild, "", "orphan"), nullptr);
    EXPECT_EQ(tree.Nodes().Count(), 6);
    // Empty keys are no keys: any number of nodes may have none.
    EXPECT_NE(tree.Nodes().Add(1, tvwChild, "", "x"), nullptr);
    EXPECT_EQ(tree.Nodes()(""), nullptr);
}

TEST_F(TreeViewTest, SettingExpandedRaisesExpandSynchronouslyAndNested) {
    std::vector<QString> events;
    QObject::connect(&tree, &TreeView::Expand, [&](Node* node) {
        events.push_back("expand " + node->Text());
        // The handler fills the children of the expanded node, as the browser does, and may
        // expand further nodes, which nests another Expand inside this one.
        if (node == d)
            music->SetExpanded(true);
        if (node == music)
            tree.Nodes().Add(rock->Index(), tvwChild, "", "Punk");
        events.push_back("end " + node->Text());
    });
    d->SetExpanded(true);
    events.push_back("returned");
    EXPECT_EQ(events, (std::vector<QString>{"expand DATA (D:)", "expand Music", "end Music",
                                            "end DATA (D:)", "returned"}));
    EXPECT_TRUE(d->Expanded());
    EXPECT_EQ(rock->Children(), 1);

    d->SetExpanded(true); // already expanded: nothing
    EXPECT_EQ(events.size(), 5u);
    video->SetExpanded(true); // no children: still raised
    EXPECT_EQ(events.back(), "end Video");
}

TEST_F(TreeViewTest, UserExpandRaisesExpandOnceAndClickRaisesNodeClickAfterSelecting) {
    Show();
    QTreeWidget& view = tree.View();
    std::vector<int> expanded;
    std::vector<std::pair<int, bool>> clicked;
    QObject::connect(&tree, &TreeView::Expand,
                     [&](Node* node) { expanded.push_back(node->Index()); });
    QObject::connect(&tree, &TreeView::NodeClick, [&](Node* node) {
        clicked.emplace_back(node->Index(), tree.SelectedItem() == node);
    });

    root->SetExpanded(true);
    expanded.clear();
    const QRect dRect = view.visualItemRect(view.topLevelItem(0)->child(1));
    input::DoubleClick(view.viewport(), dRect.center());
    EXPECT_EQ(expanded, std::vector<int>{3});
    EXPECT_TRUE(d->Expanded());

    input::Click(view.viewport(), dRect.center());
    ASSERT_FALSE(clicked.empty());
    EXPECT_EQ(clicked.back(), std::make_pair(3, true));
    EXPECT_TRUE(d->Selected());
}

TEST_F(TreeViewTest, KeyboardSelectionChangeIsReportedButProgramSelectionIsNot) {
    Show();
    std::vector<int> byKeyboard;
    QObject::connect(&tree, &TreeView::SelectionChangedByKeyboard,
                     [&](Node* node) { byKeyboard.push_back(node->Index()); });
    root->SetExpanded(true);
    c->SetSelected(true);
    EXPECT_EQ(tree.SelectedItem(), c);
    EXPECT_TRUE(byKeyboard.empty());

    tree.SetFocus();
    QTest::keyClick(&tree.View(), Qt::Key_Down);
    EXPECT_EQ(tree.SelectedItem(), d);
    EXPECT_EQ(byKeyboard, std::vector<int>{3});
}

TEST_F(TreeViewTest, IconsComeFromTheBoundImageListAndColoursStick) {
    ImageList images;
    images.SetMaskColor(Rgb(192, 192, 192));
    QImage folder(16, 16, QImage::Format_RGB32);
    folder.fill(QColor(192, 192, 192));
    folder.setPixel(3, 3, qRgb(255, 255, 0));
    ASSERT_TRUE(images.Add("cldfolder", folder));
    tree.SetImageList(&images);
    Node* node = tree.Nodes().Add(1, tvwChild, "", "Folder", "cldfolder", "opnfolder");
    const QIcon icon = tree.View().topLevelItem(0)->child(2)->icon(0);
    ASSERT_FALSE(icon.isNull());
    const QImage shown = icon.pixmap(16, 16).toImage();
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0) << "mask colour is transparent";
    EXPECT_EQ(shown.pixel(3, 3), qRgb(255, 255, 0));

    node->SetForeColor(Rgb(120, 120, 120));
    EXPECT_EQ(node->ForeColor(), Rgb(120, 120, 120));
    EXPECT_EQ(tree.View().topLevelItem(0)->child(2)->foreground(0).color(), QColor(120, 120, 120));
}

TEST_F(TreeViewTest, ClearRemovesEverythingAndIndexesStartAgain) {
    tree.Nodes().Clear();
    EXPECT_EQ(tree.Nodes().Count(), 0);
    EXPECT_EQ(tree.SelectedItem(), nullptr);
    Node* again = tree.Nodes().Add({}, tvwChild, "MYPC", "MYPC");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Index(), 1);
}
