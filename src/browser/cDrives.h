#pragma once
// Builds the first two levels of the browser tree: the machine (root) and one node per drive.
// Lives only for the browser's load step and keeps no state of its own beyond the drive list
// it was given.

#include "Drives.h"

#include <QString>

#include <functional>
#include <vector>

namespace zr::ui {

class TreeView;

// The root's name: the machine name, or "localhost" when it is empty, so the root always has
// a key and a text.
[[nodiscard]] QString MachineNameOrFallback(const QString& computerName);

// A drive's node text: "DATA (D:)" for a ready drive with a volume name, " (D:)" for one
// without a name or not ready.
[[nodiscard]] QString DriveLabel(const mWinAPI::DriveInfo& drive);

// The tree image key of a drive type 0..5; empty for any other value (no node).
[[nodiscard]] QString DriveImageKey(int driveType);

class cDrives {
public:
    // Gives the drive list when the tree is built.
    using DriveSource = std::function<std::vector<mWinAPI::DriveInfo>()>;

    // Without a source: the machine's drives (mWinAPI::LoadSystemDrives, which also fills the
    // drive table).
    explicit cDrives(DriveSource source = {});

    // Adds the root node (key and text: the machine name of the player state) and one child
    // per drive with a type 0..5, keyed "Parent" + the drive's 1-based place in the letters.
    // Expects an empty tree.
    void subLoadTreeView(TreeView& Explorer);

    // The drive letters in drive-list order, e.g. "CDE".
    [[nodiscard]] QString GetDriveLetters() const;

private:
    [[nodiscard]] std::vector<mWinAPI::DriveInfo> Drives() const;
    DriveSource source_;
};

} // namespace zr::ui
