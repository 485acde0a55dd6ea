#include "frmExplore.h"

#include "Line.h"
#include "ListBox.h"
#include "ListView.h"
#include "Menu.h"
#include "Playlist.h"
#include "Runtime.h"
#include "TextHelpers.h"
#include "TreeView.h"
#include "mExplorerTree.h"
#include "mFileList.h"
#include "mVariables.h"
#include "mWinAPI.h"

#include <QPointer>
#include <QTreeView>
#include <QTreeWidget>

#include <memory>
#include <string>
#include <vector>

namespace zr::ui {
namespace {

// Client area 9615 x 6120 twips.
constexpr int kClientWidth = 9615;
constexpr int kClientHeight = 6120;

const char* const kImageKeys[] = {"cldfolder", "opnfolder",  "drvcd",      "drvremove", "drvfixed",
                                  "drvremote", "mycomputer", "drvunknown", "drvmemory"};

} // namespace

void frmExplore::Open(QWidget* owner, ListView& playlist) {
    QPointer<Form> ownerForm = qobject_cast<Form*>(owner);
    if (ownerForm) {
        ownerForm->SetMousePointer(vbHourglass);
    }
    {
        // The owner may go away while the browser is open (it then takes its child along).
        auto browser = std::make_unique<frmExplore>(playlist, owner);
        QPointer<frmExplore> alive = browser.get();
        browser->ShowModal();
        if (!alive) {
            (void)browser.release();
        }
    }
    if (ownerForm) {
        ownerForm->SetMousePointer(vbDefault);
    }
}

frmExplore::frmExplore(ListView& playlist, QWidget* owner, cDrives::DriveSource drives)
    : Form(owner), playlist_(playlist), driveSource_(std::move(drives)) {
    // A dialog of fixed size with only a close box, where the window system puts new windows.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    SetCaption(QStringLiteral("Select you Mp3 Files"));
    BuildMenus();
    BuildLayout();
    SetClientSize(kClientWidth, kClientHeight);
    setFixedSize(size());
}

frmExplore::~frmExplore() = default;

void frmExplore::BuildMenus() {
    Menu& file = AddMenu(QStringLiteral("mnuFile"), QStringLiteral("&File"));
    file.AddItem(QStringLiteral("h2"), QStringLiteral("-"));
    mnuFileCOpenFiles_ = &file.AddItem(QStringLiteral("mnuFileCOpenFiles"),
                                       QStringLiteral("Open Files"), QKeySequence("Ctrl+O"));
    file.AddItem(QStringLiteral("h1"), QStringLiteral("-"));
    mnuFileExit_ = &file.AddItem(QStringLiteral("mnuFileExit"), QStringLiteral("E&xit"),
                                 QKeySequence("Ctrl+X"));

    Menu& mp3 = AddMenu(QStringLiteral("mnuMp3"), QStringLiteral("Mp3"));
    mp3.AddItem(QStringLiteral("h3"), QStringLiteral("-"));
    mnuMp3CSelectAll_ = &mp3.AddItem(QStringLiteral("mnuMp3CSelectAll"),
                                     QStringLiteral("Select All"), QKeySequence("Ctrl+T"));

    mnuFileCOpenFiles_->SetEnabled(false);
    mnuMp3CSelectAll_->SetEnabled(false);
    connect(mnuFileCOpenFiles_, &MenuItem::Click, this, &frmExplore::mnuFileCOpenFiles_Click);
    connect(mnuFileExit_, &MenuItem::Click, this, &frmExplore::mnuFileExit_Click);
    connect(mnuMp3CSelectAll_, &MenuItem::Click, this, &frmExplore::mnuMp3CSelectAll_Click);
}

void frmExplore::BuildLayout() {
    QWidget* client = ClientArea();
    const QFont tahoma = LayoutFont(QStringLiteral("Tahoma"), 8.25);

    imageList1_.SetMaskColor(Rgb(192, 192, 192));
    for (const char* key : kImageKeys) {
        imageList1_.Add(QLatin1String(key), QStringLiteral(":/tree/%1.png").arg(key));
    }

    // Elements are created in tab order: FileList, List1, Explorer.
    fileList_ = new ListView(client);
    fileList_->SetName(QStringLiteral("FileList"));
    fileList_->Move(4440, 110, 5175, 6015);
    fileList_->ColumnHeaders().Add(QStringLiteral("FileName."), 3640);
    fileList_->ColumnHeaders().Add(QStringLiteral("FileSize."), 1440);
    fileList_->SetMultiSelect(true);
    fileList_->setFont(tahoma);
    fileList_->SetForeColor(SystemColor(8));
    fileList_->SetBackColor(SystemColor(5));

    list1_ = new ListBox(client);
    list1_->SetName(QStringLiteral("List1"));
    list1_->Move(840, 5640, 3255, 255);
    list1_->SetVisible(false);

    explorer_ = new TreeView(client);
    explorer_->SetName(QStringLiteral("Explorer"));
    explorer_->Move(0, 120, 4335, 5985);
    explorer_->setFont(tahoma);
    explorer_->SetImageList(&imageList1_);
    explorer_->SetPathSeparator(QStringLiteral("\\"));

    const ColorRef lineColours[] = {Rgb(128, 128, 128), Rgb(224, 224, 224)};
    for (int i = 0; i < 2; ++i) {
        lneMenu_[i] = new Line(client);
        lneMenu_[i]->SetName(QStringLiteral("lneMenu"));
        lneMenu_[i]->SetIndex(static_cast<std::int16_t>(i));
        lneMenu_[i]->SetPoints(0, i * 10, 10440, i * 10);
        lneMenu_[i]->SetBorderColor(lineColours[i]);
    }

    setTabOrder(&fileList_->View(), &explorer_->View());

    // What screen readers call the two lists; the window shows no caption for them.
    for (QWidget* list :
         {static_cast<QWidget*>(explorer_), static_cast<QWidget*>(&explorer_->View())})
        list->setAccessibleName(QStringLiteral("Drives and folders"));
    for (QWidget* list :
         {static_cast<QWidget*>(fileList_), static_cast<QWidget*>(&fileList_->View())})
        list->setAccessibleName(QStringLiteral("Mp3 files"));

    connect(explorer_, &TreeView::NodeClick, this, &frmExplore::Explorer_NodeClick);
    connect(explorer_, &TreeView::Expand, this, &frmExplore::Explorer_Expand);
    // A selection moved by the keyboard lists the new node's files, as a click does, so the
    // rows always belong to the selected node.
    connect(explorer_, &TreeView::SelectionChangedByKeyboard, this,
            &frmExplore::Explorer_NodeClick);
}

void frmExplore::Form_Load() {
    cDrives drives(driveSource_);

    char buffer[255] = {};
    std::uint32_t size = sizeof buffer;
    mWinAPI::GetComputerNameA(buffer, &size);
    mVariables::SetComputerName(MachineNameOrFallback(zr::TrimAtNull(buffer, sizeof buffer)));

    drives.subLoadTreeView(Explorer());
    if (Node* root = Explorer().Nodes().Item(1)) {
        root->SetExpanded(true);
    }
    FileList().SetFocus();
}

void frmExplore::Form_Unload(int& cancel) {
    (void)cancel;
    // Nothing to keep: the instance is dropped by whoever opened it, and the next Open builds
    // a new one.
}

void frmExplore::Explorer_NodeClick(Node* node) {
    if (node == nullptr) {
        return;
    }
    const QString folderPath = mExplorerTree::NodeToFolderPath(node->FullPath());
    if (node->Children() < 1) {
        mExplorerTree::subAddFolderNodes(List1(), Explorer(), folderPath, node->Index());
    }
    if (node->Selected()) {
        mFileList::subFillFileList(FileList(), *this, folderPath);
        listedFolder_ = folderPath;
        const bool hasRows = FileList().ListItems().Count() > 0;
        mnuFileCOpenFiles().SetEnabled(hasRows);
        mnuMp3CSelectAll().SetEnabled(hasRows);
    }
}

void frmExplore::Explorer_Expand(Node* node) {
    if (node == nullptr) {
        return;
    }
    DoEvents();
    SetMousePointer(vbHourglass);
    {
        // The children's folders are read one after another on one worker thread, ahead of
        // the clicks below, rather than handed over to a worker one by one.
        std::vector<std::string> searches;
        for (Node* child = node->Child(); child != nullptr; child = child->Next()) {
            if (child->Children() < 1) {
                searches.push_back(mExplorerTree::SubfolderSearch(
                                       mExplorerTree::NodeToFolderPath(child->FullPath()))
                                       .toStdString());
            }
        }
        const mWinAPI::ScopedReadAhead readAhead(searches);
        // Every child learns now whether it has subfolders, so it shows an expand button
        // exactly when it has some; children that already have children are not read again.
        for (Node* child = node->Child(); child != nullptr; child = child->Next()) {
            Explorer_NodeClick(child);
        }
    }
    SetMousePointer(vbDefault);
}

void frmExplore::mnuFileCOpenFiles_Click() {
    // The folder the rows were listed from, which is the selected node's.
    const QString folderPath = listedFolder_;
    const int count = FileList().ListItems().Count();
    for (int i = 1; i <= count; ++i) {
        const ListItem row = FileList().ListItems().Item(i);
        if (row.Selected()) {
            AppendEntry(playlist_, folderPath, row.Text());
        }
    }
}

void frmExplore::mnuMp3CSelectAll_Click() {
    const int count = FileList().ListItems().Count();
    for (int i = 1; i <= count; ++i) {
        FileList().ListItems().Item(i).SetSelected(true);
    }
}

void frmExplore::mnuFileExit_Click() {
    Unload();
}

} // namespace zr::ui
