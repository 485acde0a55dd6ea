#pragma once
// The folder levels of the browser tree: filling a node with the subfolders of its folder, and
// the rule that turns a node's full path back into a folder path.

#include <QByteArray>
#include <QString>

namespace zr::ui {

class ListBox;
class TreeView;

namespace mExplorerTree {

// The folder path of a node's full path ("MYPC\DATA (D:)\Music\Rock" -> "D:\Music\Rock\",
// "MYPC\DATA (D:)" -> "D:\"). The drive is the first part after the root that ends in a
// drive's "(X:)", so parentheses anywhere in machine, volume or folder names do no harm.
// A path without a drive part (the root alone) gives the empty string.
[[nodiscard]] QString NodeToFolderPath(const QString& fullPath);

// The search text that lists the subfolders of folderPath: the folder path + "*.*".
[[nodiscard]] QByteArray SubfolderSearch(const QString& folderPath);

// Adds one child per subfolder of folderPath ("D:\Music\", ending in "\") to the node with
// index parentIndex, sorted case-insensitively through the working list List1 (left empty
// afterwards). Folders with any attribute besides the plain folder bit are grey. "." and ".."
// never become nodes; a folder that cannot be read adds nothing. Only this one level is read.
void subAddFolderNodes(ListBox& List1, TreeView& Explorer, const QString& folderPath,
                       int parentIndex);

} // namespace mExplorerTree
} // namespace zr::ui
