#pragma once
// The file browser window, captioned "Select you Mp3 Files": the machine's drives and folders
// in a tree on the left, the .mp3 files of the chosen folder on the right, and the menu
// commands that append chosen files to the player's playlist.
//
// Each opening is a fresh instance (Open): its tree, file list and folder nodes die with it.
// The window owns its elements (Qt parent-child); the playlist it appends to belongs to the
// player window and must outlive the browser.

#include "cDrives.h"

#include "Form.h"
#include "ImageList.h"

#include <QString>

#include <array>

namespace zr::ui {

class ListBox;
class ListView;
class Line;
class MenuItem;
class Node;
class TreeView;

class frmExplore : public Form {
    Q_OBJECT
public:
    // The player's Open command: shows a fresh browser modally over `owner` (whose pointer is
    // the hourglass meanwhile) and returns when it is closed. Events keep flowing while it is
    // open, so the player's timer and playback go on. "Open Files" appends to `playlist`.
    static void Open(QWidget* owner, ListView& playlist);

    // A browser that appends to `playlist`. `drives` gives the drive list at load time; by
    // default the machine's mounts (which also fills the drive table).
    explicit frmExplore(ListView& playlist, QWidget* owner = nullptr,
                        cDrives::DriveSource drives = {});
    ~frmExplore() override;

    // The elements, named as the layout names them.
    [[nodiscard]] TreeView& Explorer() const { return *explorer_; }
    [[nodiscard]] ListView& FileList() const { return *fileList_; }
    [[nodiscard]] ListBox& List1() const { return *list1_; }
    [[nodiscard]] const ImageList& ImageList1() const { return imageList1_; }
    [[nodiscard]] Line& lneMenu(int index) const { return *lneMenu_.at(index); }
    [[nodiscard]] MenuItem& mnuFileCOpenFiles() const { return *mnuFileCOpenFiles_; }
    [[nodiscard]] MenuItem& mnuFileExit() const { return *mnuFileExit_; }
    [[nodiscard]] MenuItem& mnuMp3CSelectAll() const { return *mnuMp3CSelectAll_; }

    // The folder path ("D:\Music\") whose files FileList shows; empty before the first fill.
    [[nodiscard]] const QString& ListedFolder() const { return listedFolder_; }

    // Tree handlers. NodeClick fills an empty node with its subfolders and, for the selected
    // node, lists its files; Expand fills every child of the node one level ahead.
    void Explorer_NodeClick(Node* node);
    void Explorer_Expand(Node* node);

    // Menu commands: "Open Files", "Select All", "E&xit".
    void mnuFileCOpenFiles_Click();
    void mnuMp3CSelectAll_Click();
    void mnuFileExit_Click();

protected:
    void Form_Load() override;
    void Form_Unload(int& cancel) override;

private:
    void BuildLayout();
    void BuildMenus();

    ListView& playlist_;
    cDrives::DriveSource driveSource_;
    ImageList imageList1_;
    TreeView* explorer_ = nullptr; // elements: children of the client area
    ListView* fileList_ = nullptr;
    ListBox* list1_ = nullptr;
    std::array<Line*, 2> lneMenu_{};
    MenuItem* mnuFileCOpenFiles_ = nullptr; // menu items: owned by the form's menus
    MenuItem* mnuFileExit_ = nullptr;
    MenuItem* mnuMp3CSelectAll_ = nullptr;
    QString listedFolder_;
};

} // namespace zr::ui
