// The player window as a desktop citizen: what a screen reader finds in it (walking Qt's
// accessibility tree over the real window) and files dropped on its playlist from a file
// manager (synthetic drag-and-drop events on the real playlist widget, real folders).

#include "PlayerWindowFixture.h"

#include "../browser/BrowserTestSupport.h"
#include "DroppedFiles.h"
#include "Menu.h"
#include "Playlist.h"
#include "PlaylistDropTarget.h"
#include "TextHelpers.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

#include <map>

using namespace zr::ui;
using zr::test::Drive;
using zr::test::TempTree;

namespace {

// Every interface reachable from the window through child(), keyed by the object it stands
// for (each object once; cells of the playlist have none and are left out).
std::map<QObject*, QAccessibleInterface*> WalkAccessibleTree(QWidget& window) {
    std::map<QObject*, QAccessibleInterface*> found;
    std::vector<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(&window)};
    while (!pending.empty()) {
        QAccessibleInterface* iface = pending.back();
        pending.pop_back();
        if (iface == nullptr || !iface->isValid())
            continue;
        if (iface->object() != nullptr && !found.emplace(iface->object(), iface).second)
            continue;
        for (int i = 0; i < iface->childCount(); ++i)
            pending.push_back(iface->child(i));
    }
    return found;
}

class AccessibilityTest : public PlayerWindowTest {};

TEST_F(AccessibilityTest, ButtonsArePressableAndNamedLabelsReadTheirValuesAndThePlaylistHasRows) {
    zr::AppendEntry(window->lstFiles, QStringLiteral("D:\\Music\\"), QStringLiteral("one.mp3"));
    zr::AppendEntry(window->lstFiles, QStringLiteral("D:\\Music\\"), QStringLiteral("two.mp3"));
    // The view lays its rows out from the event loop, as it does before a reader asks.
    QCoreApplication::processEvents();
    const auto tree = WalkAccessibleTree(*window);

    const std::map<int, QString> names = {{0, "Previous"},
                                          {1, "Play"},
                                          {2, "Pause"},
                                          {3, "Stop"},
                                          {4, "Next"},
                                          {5, "Open"},
                                          {6, "Slow Play"},
                                          {7, "Fast Play"},
                                          {8, "Mute"},
                                          {9, "Random Select"},
                                          {10, "Increase Volume"},
                                          {11, "Decrease Volume"},
                                          {12, "Seek bar start"},
                                          {13, "Seek bar end"},
                                          {14, "Clear Playlist"},
                                          {15, "Normal Play"}};
    for (const auto& [index, name] : names) {
        SCOPED_TRACE(index);
        const auto it = tree.find(&window->imgControl(static_cast<std::int16_t>(index)));
        ASSERT_NE(it, tree.end()) << "button not reachable from the window";
        QAccessibleInterface* button = it->second;
        EXPECT_EQ(button->role(), QAccessible::Button);
        EXPECT_EQ(button->text(QAccessible::Name), name);
        ASSERT_NE(button->actionInterface(), nullptr);
        EXPECT_TRUE(button->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()));
    }

    for (QAbstractButton* box :
         {static_cast<QAbstractButton*>(&window->captionBar().minimizeButton()),
          static_cast<QAbstractButton*>(&window->captionBar().closeButton())}) {
        const auto it = tree.find(box);
        ASSERT_NE(it, tree.end());
        EXPECT_EQ(it->second->role(), QAccessible::Button);
        EXPECT_FALSE(it->second->text(QAccessible::Name).isEmpty());
    }

    // Pressing through the accessibility interface runs the button's command.
    QAccessibleInterface* random = tree.at(&window->imgControl(9));
    random->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QTest::qWaitFor([] { return mVariables::IsRandomMode() == mVariables::kTrue; }));

    // Value labels read what they show, and follow their caption.
    QAccessibleInterface* title = tree.at(&window->lblArtistA);
    EXPECT_EQ(title->role(), QAccessible::StaticText);
    EXPECT_EQ(title->text(QAccessible::Name), QStringLiteral("No Track loaded."));
    EXPECT_EQ(title->text(QAccessible::Description), QStringLiteral("Artist"));
    window->lblLengthA.SetCaption(QStringLiteral("1234"));
    EXPECT_EQ(tree.at(&window->lblLengthA)->text(QAccessible::Name), QStringLiteral("1234"));
    EXPECT_EQ(tree.at(&window->lblElTime)->text(QAccessible::Name),
              QStringLiteral("Elapsed Time."));

    // No picture, label, line or shape is left as a nameless filler.
    for (const auto& [object, iface] : tree) {
        if (qobject_cast<PictureButton*>(object) || qobject_cast<Label*>(object) ||
            qobject_cast<Line*>(object) || qobject_cast<Shape*>(object)) {
            EXPECT_NE(iface->role(), QAccessible::Client) << object->objectName().toStdString();
        }
    }

    // The window is a frame named by its caption.
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window.get());
    EXPECT_EQ(frame->role(), QAccessible::Window);
    EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("ZR - Mp3 Player"));

    // The playlist is a named table whose rows a reader can step through: the two cells that
    // show, not the hidden path and play mark.
    const auto list = tree.find(&window->lstFiles.View());
    ASSERT_NE(list, tree.end());
    EXPECT_EQ(list->second->text(QAccessible::Name), QStringLiteral("Playlist"));
    QAccessibleTableInterface* table = list->second->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 2);
    QStringList rowTwo;
    for (int column = 0; column < table->columnCount(); ++column) {
        if (QAccessibleInterface* cell = table->cellAt(1, column))
            rowTwo << cell->text(QAccessible::Name);
    }
    EXPECT_EQ(rowTwo, QStringList({"02.", "two.mp3"}));
    // The keyboard focus of a row sits on its file name, also after a click on its number.
    QTreeView& view = window->lstFiles.View();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(view.model()->index(1, 0)).center());
    EXPECT_EQ(view.currentIndex().data().toString(), QStringLiteral("two.mp3"));

    // The seek bar is a slider whose value is the position shown, in seconds.
    QAccessibleInterface* bar = tree.at(&window->ProgressBar);
    EXPECT_EQ(bar->role(), QAccessible::Slider);
    ASSERT_NE(bar->valueInterface(), nullptr);
    window->lblPositionA.SetCaption(QStringLiteral("61500"));
    mVariables::SetTrackLength(200000);
    EXPECT_DOUBLE_EQ(bar->valueInterface()->currentValue().toDouble(), 61.5);
    EXPECT_DOUBLE_EQ(bar->valueInterface()->maximumValue().toDouble(), 200.0);

    // The clock is one text; its other digits and the colon are not found on their own.
    EXPECT_EQ(tree.at(&window->lblELTimeA)->text(QAccessible::Name), QStringLiteral("00:00"));
    for (Label* part :
         {&window->lblELTimeB, &window->Label1, &window->lblELTimeC, &window->lblELTimeD})
        EXPECT_EQ(tree.count(part), 0u) << part->objectName().toStdString();
    // A tick sets the digits one by one; the text follows once they are all set.
    window->lblELTimeD.SetCaption(QStringLiteral("3"));
    window->lblELTimeC.SetCaption(QStringLiteral("2"));
    window->lblELTimeB.SetCaption(QStringLiteral("1"));
    QCoreApplication::processEvents();
    EXPECT_EQ(tree.at(&window->lblELTimeA)->text(QAccessible::Name), QStringLiteral("01:23"));
}

// Folders for the drop tests: C: and D: are mapped to folders of a temporary tree, so a file
// beside them ("outside") is on no drive.
class DropTest : public PlayerWindowTest {
protected:
    void SetUp() override {
        PlayerWindowTest::SetUp();
        for (const char* folder : {"c", "d/Music/Sub", "d/Music/dir.mp3", "outside"})
            tree.Folder(QString::fromLatin1(folder));
        for (const char* file :
             {"d/Music/b.mp3", "d/Music/a.mp3", "d/Music/Loud.MP3", "d/Music/notes.txt",
              "d/Music/Sub/deep.mp3", "d/top.mp3", "outside/x.mp3"})
            tree.File(QString::fromLatin1(file));
        drives = {Drive('C', tree.Path("c")), Drive('D', tree.Path("d"))};
        target = window->findChild<PlaylistDropTarget*>();
        ASSERT_NE(target, nullptr);
        target->SetDriveSource(zr::test::MappedDrives(drives));
    }

    // Drags the paths over the playlist and drops them, as a file manager does: a move is
    // proposed, which the playlist must turn into a copy. Returns whether the drag was taken.
    bool Drop(const QStringList& relativePaths, Qt::DropAction proposed = Qt::MoveAction) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : relativePaths)
            urls << (path.contains(QLatin1String("://")) ? QUrl(path)
                                                         : QUrl::fromLocalFile(tree.Path(path)));
        data.setUrls(urls);
        QWidget* viewport = window->lstFiles.View().viewport();
        const QPointF at = viewport->rect().center();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(at.toPoint(), offered, &data, Qt::LeftButton, {});
        enter.setDropAction(proposed);
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted())
            return false;
        EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(at, offered, &data, Qt::LeftButton, {});
        drop.setDropAction(proposed);
        QApplication::sendEvent(viewport, &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
        return drop.isAccepted();
    }

    [[nodiscard]] QStringList Rows() const {
        QStringList rows;
        auto& items = window->lstFiles.ListItems();
        for (int i = 1; i <= items.Count(); ++i) {
            const ListItem row = items.Item(i);
            rows << row.Text() + "|" + row.SubItems(1) + "|" + row.SubItems(2) + "|" +
                        row.SubItems(3);
        }
        return rows;
    }

    const mWinAPI::ScopedDriveFolders keepTable{mWinAPI::GetDriveFolders()};
    TempTree tree;
    std::vector<mWinAPI::DriveInfo> drives;
    PlaylistDropTarget* target = nullptr;
};

TEST_F(DropTest, FilesAndFoldersAppendAsOpenFilesWithNumberingContinuedAndTheRestIgnored) {
    for (int i = 0; i < 8; ++i)
        zr::AppendEntry(window->lstFiles, QStringLiteral("C:\\"), QStringLiteral("old.mp3"));

    ASSERT_TRUE(Drop({"d/Music/a.mp3", "d/Music/notes.txt", "outside/x.mp3", "d/Music/Sub",
                      "d/Music/dir.mp3", "d/top.mp3", "d/Music/gone.mp3"}));
    const QStringList rows = Rows();
    ASSERT_EQ(rows.size(), 11) << rows.join('\n').toStdString();
    EXPECT_EQ(rows[8], QStringLiteral("D:\\Music\\|09.|a.mp3|U"));
    EXPECT_EQ(rows[9], QStringLiteral("D:\\Music\\Sub\\|10.|deep.mp3|U"));
    EXPECT_EQ(rows[10], QStringLiteral("D:\\|11.|top.mp3|U"));
    // Appending selects nothing.
    EXPECT_FALSE(window->lstFiles.SelectedItem().has_value());

    // Nothing usable: accepted as a copy, nothing added. A web address is refused at once.
    ASSERT_TRUE(Drop({"d/Music/notes.txt", "outside"}));
    EXPECT_EQ(window->lstFiles.ListItems().Count(), 11);
    EXPECT_FALSE(Drop({"https://example.org/song.mp3"}));
    EXPECT_EQ(window->lstFiles.ListItems().Count(), 11);
}

TEST_F(DropTest, AFileWhoseNameIsNotUtf8IsAddedByItsOwnBytes) {
    // Latin-1 "café.mp3", as a file manager names it in its drag: "caf%E9.mp3".
    const QByteArray name("caf\xE9.mp3");
    const int fd = ::open((QFile::encodeName(tree.Path("d/Music")) + "/" + name).constData(),
                          O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_TRUE(Drop({QStringLiteral("file://") + tree.Path("d/Music") + "/caf%E9.mp3"}));
    const QString fileName =
        zr::FromOsText(name.constData(), static_cast<std::size_t>(name.size()));
    EXPECT_EQ(Rows(), QStringList{QStringLiteral("D:\\Music\\|01.|") + fileName + "|U"});
    // The same name as the browser's list holds it, so the row opens the real file.
    EXPECT_EQ(zr::ToOsText(fileName), name);
}

TEST_F(DropTest, ADroppedFolderGivesTheRowsTheBrowsersOpenFilesGivesForIt) {
    ASSERT_TRUE(Drop({"d/Music"}));

    // The same folder through the browser: click it in the tree, Select All, Open Files.
    ListView reference(window->ClientArea());
    reference.SetVisible(false);
    frmExplore browser(reference, nullptr, zr::test::MappedDrives(drives));
    browser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
    Node* driveD =
        zr::test::ChildNamed(browser.Explorer().Nodes().Item(1), QStringLiteral(" (D:)"));
    Node* music = zr::test::ChildNamed(driveD, QStringLiteral("Music"));
    ASSERT_NE(music, nullptr);
    zr::test::ClickNode(browser.Explorer(), music);
    browser.mnuMp3CSelectAll_Click();
    browser.mnuFileCOpenFiles_Click();
    browser.close();

    ASSERT_EQ(reference.ListItems().Count(), 3); // a.mp3, b.mp3, Loud.MP3; not Sub's or dir.mp3
    const QStringList dropped = Rows();
    ASSERT_EQ(dropped.size(), 3);
    for (int i = 1; i <= 3; ++i) {
        const ListItem row = reference.ListItems().Item(i);
        EXPECT_EQ(dropped[i - 1], row.Text() + "|" + row.SubItems(1) + "|" + row.SubItems(2) + "|" +
                                      row.SubItems(3));
    }
}

TEST(DroppedFolderPath, IsTheInnermostDrivesLetterFormOrNothing) {
    const std::vector<mWinAPI::DriveInfo> drives = {
        Drive('C', "/"), Drive('D', "/mnt/data"), Drive('E', "/mnt/data/usb/"),
        Drive('F', "/media/cd", {}, mWinAPI::kDriveOptical, /*ready=*/false)};
    const struct {
        const char* local;
        std::optional<QString> program;
    } cases[] = {
        {"/", QStringLiteral("C:\\")},
        {"/home/me/Music", QStringLiteral("C:\\home\\me\\Music\\")},
        {"/mnt/data", QStringLiteral("D:\\")},
        {"/mnt/data/Music/", QStringLiteral("D:\\Music\\")},
        {"/mnt/data/usb/Rock", QStringLiteral("E:\\Rock\\")},
        {"/mnt/database/x", QStringLiteral("C:\\mnt\\database\\x\\")}, // not inside D:
        {"/mnt/data/../data/A", QStringLiteral("D:\\A\\")},
        {"/media/cd/Track", QStringLiteral("C:\\media\\cd\\Track\\")}, // F: is not ready
        {"/home/me/back\\slash", std::nullopt},
        {"Music/relative", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgramFolderPath(QString::fromUtf8(c.local), drives), c.program) << c.local;

    // Without a drive for "/", paths outside the other drives have no letter.
    EXPECT_EQ(ProgramFolderPath(QStringLiteral("/srv/x"), {Drive('D', "/mnt/data")}), std::nullopt);
    EXPECT_EQ(ProgramFolderPath(QStringLiteral("/mnt/data/x"), {Drive('D', "/mnt/data")}),
              QStringLiteral("D:\\x\\"));
}

} // namespace
