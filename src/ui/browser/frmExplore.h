#pragma once
// The file browser window, captioned "Select you Mp3 Files": the machine's drives and folders
// in a tree on the left, the .mp3 files of the chosen folder on the right, and the menu
// commands that append chosen files to the player's playlist.
//
// Each opening is a fresh instance (Open): its tree, file list and folder nodes die with it.
// The window owns its elements (Qt parent-child); the playlist it appends to belongs to the
// player window and must outlive the browser.

#include "cDrives.h"

#include "elements/Form.h"
#include "elements/ImageList.h"

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
    [[nodiscard]] TreeView& Explorer() const { return *m_explorer; }
    [[nodiscard]] ListView& FileList() const { return *m_fileList; }
    [[nodiscard]] ListBox& List1() const { return *m_list1; }
    [[nodiscard]] const ImageList& ImageList1() const { return m_imageList1; }
    [[nodiscard]] Line& lneMenu(int index) const { return *m_lneMenu.at(index); }
    [[nodiscard]] MenuItem& mnuFileCOpenFiles() const { return *m_mnuFileCOpenFiles; }
    [[nodiscard]] MenuItem& mnuFileExit() const { return *m_mnuFileExit; }
    [[nodiscard]] MenuItem& mnuMp3CSelectAll() const { return *m_mnuMp3CSelectAll; }

    // The folder path ("D:\Music\") whose files FileList shows; empty before the first fill.
    [[nodiscard]] const QString& ListedFolder() const { return m_listedFolder; }

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

    ListView& m_playlist;
    cDrives::DriveSource m_driveSource;
    ImageList m_imageList1;
    TreeView* m_explorer = nullptr; // elements: children of the client area
    ListView* m_fileList = nullptr;
    ListBox* m_list1 = nullptr;
    std::array<Line*, 2> m_lneMenu{};
    MenuItem* m_mnuFileCOpenFiles = nullptr; // menu items: owned by the form's menus
    MenuItem* m_mnuFileExit = nullptr;
    MenuItem* m_mnuMp3CSelectAll = nullptr;
    QString m_listedFolder;
};

} // namespace zr::ui
