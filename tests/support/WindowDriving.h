#pragma once
// Real input on the two windows, shared by the window tests: a shown player window with fresh
// player state, clicks on the browser's tree nodes, and steps run inside the browser's modal
// loop. Header-only: tests that include it link the window libraries themselves (the
// zr_test_windows target).

#include "Drives.h"
#include "MountEntries.h"
#include "TreeView.h"
#include "frmExplore.h"
#include "frmMain.h"
#include "mVariables.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace zr::test {

// A shown player window on the offscreen platform, created after the player state is reset.
class ShownPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        mVariables::ResetToStartValues();
        window = std::make_unique<ui::frmMain>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override { window.reset(); }

    std::unique_ptr<ui::frmMain> window;
};

// Shows the opened browser and makes it the active window, where its shortcuts go.
inline ::testing::AssertionResult BrowserInFront(ui::frmExplore& browser) {
    if (!QTest::qWaitForWindowExposed(&browser))
        return ::testing::AssertionFailure() << "the browser was not shown";
    browser.activateWindow();
    if (!QTest::qWaitForWindowActive(&browser))
        return ::testing::AssertionFailure() << "the browser did not become active";
    return ::testing::AssertionSuccess();
}

// The view item that shows a node (found by the texts from the top down), or nullptr.
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
    ASSERT_NE(item, nullptr) << (node ? node->Text().toStdString() : "no node");
    tree.View().scrollToItem(item);
    const QRect rect = tree.View().visualItemRect(item);
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(tree.View().viewport(), Qt::LeftButton, {}, rect.center());
}

// The child of a node called `text`, if any.
inline ui::Node* ChildNamed(const ui::Node* node, const QString& text) {
    for (ui::Node* child = node ? node->Child() : nullptr; child; child = child->Next()) {
        if (child->Text() == text)
            return child;
    }
    return nullptr;
}

// A left click on the text of the child of `parent` called `text`.
inline void ClickChild(ui::TreeView& tree, const ui::Node* parent, const QString& text) {
    const ui::Node* child = ChildNamed(parent, text);
    ASSERT_NE(child, nullptr) << text.toStdString();
    ClickNode(tree, child);
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
// still open after `guardMs` is closed, so a failing step cannot hang the test.
class WhileOpen {
public:
    explicit WhileOpen(std::function<void(ui::frmExplore&)> step, int guardMs = 10000)
        : step_(std::move(step)) {
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
        guard_.start(guardMs);
    }
    [[nodiscard]] bool Ran() const { return ran_; }

private:
    std::function<void(ui::frmExplore&)> step_;
    QTimer poll_;
    QTimer guard_;
    bool ran_ = false;
};

// A left click on a picture button of the player, as a user makes it: the pointer goes there first.
inline void ClickButton(ui::frmMain& player, int index) {
    QWidget& button = player.imgControl(static_cast<std::int16_t>(index));
    QTest::mouseMove(&button, button.rect().center());
    QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
}

// Presses Open on the player and runs `step` inside the browser's modal loop, returning once the
// browser has closed. The browser is closed after 20 s whatever happens, so a failing step
// cannot hang the test.
inline void WithBrowser(ui::frmMain& player, const std::function<void(ui::frmExplore&)>& step) {
    const WhileOpen browse(step, 20000);
    ClickButton(player, 5);
    EXPECT_TRUE(browse.Ran()) << "the browser did not open";
    EXPECT_EQ(OpenBrowser(), nullptr) << "the browser did not close";
}

} // namespace zr::test
