#pragma once
// The drive source: which mounts of this machine the program shows as lettered drives, with
// which type, readiness and volume name. It stands in for the drive list a desktop system
// would offer. The decisions (filter, type, letters) are plain functions of a list of mounts,
// so tests hand in their own list; only ReadMounts, AnsweringDrives and LoadSystemDrives look
// at the machine. Whatever touches a mounted file system does so off the calling thread and
// gives up on one that does not answer (FolderRead.h): a hung network share shows as a drive
// that is not ready instead of freezing its caller.
//
// Letters: C: is always "/". D: to Z: go, in mount-table order, to the further mounts a user
// would browse; mounts beyond Z: get no letter. Not-ready drives (an /etc/fstab entry that is
// not mounted, an optical drive without a disc) follow the mounted ones.

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mWinAPI {

// Drive types, numbered as the program's tree expects them.
enum DriveType : int {
    kDriveUnknown = 0,
    kDriveRemovable = 1,
    kDriveFixed = 2,
    kDriveNetwork = 3,
    kDriveOptical = 4,
    kDriveRamDisk = 5,
};

// One line of the mount table (or of /etc/fstab, or an optical drive with no disc).
struct MountEntry {
    QString rootPath;       // mount folder; empty for an optical drive without a disc
    QString device;         // "/dev/sda1", "server:/export", "//host/share", "UUID=..."
    QString fsType;         // "ext4", "nfs4", "fuse.sshfs", "udf,iso9660" (fstab lists)
    QString label;          // file system label, empty when there is none
    bool ready = true;      // false: listed but not mounted, or a drive without a medium
    bool removable = false; // the kernel flags the block device as removable
    bool isFolder = true;   // false for bind mounts of single files (/etc/hosts in containers)
};

// One drive as the browser shows it.
struct DriveInfo {
    char letter = 'C'; // 'C'..'Z'
    int type = kDriveFixed;
    bool ready = true;
    QString volumeName; // the label; empty when none or not ready
    QString rootPath;   // mount folder; empty when not ready
};

// Whether a mount is one a user would browse (the root "/" always is).
[[nodiscard]] bool IsBrowsableMount(const MountEntry& mount);

// The drive type of a mount that passed IsBrowsableMount.
[[nodiscard]] int DriveTypeOf(const MountEntry& mount);

// Filters, types and letters a mount list. The result always starts with C: ("/", fixed; its
// label is that of the "/" entry when the list has one), so an empty or failed enumeration
// still gives C:. A mount folder listed twice keeps its first place and takes the later
// line's details (the later mount hides the earlier one).
[[nodiscard]] std::vector<DriveInfo> LetterDrives(const std::vector<MountEntry>& mounts);

// The entries of an /etc/fstab text, each marked not ready. Comments, blank lines, swap and
// entries without an absolute mount folder are skipped; octal escapes (\040) are decoded.
[[nodiscard]] std::vector<MountEntry> ParseFstab(const QString& fstabText);

// The mounted entries followed by the not-ready ones: fstab entries whose folder is not a
// mounted root, then optical devices (e.g. "/dev/sr0") that are not mounted anywhere.
[[nodiscard]] std::vector<MountEntry> WithNotReady(std::vector<MountEntry> mounted,
                                                   const std::vector<MountEntry>& fstab,
                                                   const std::vector<QString>& opticalDevices);

// One line of the kernel's mount table (/proc/self/mountinfo).
struct MountLine {
    std::string mountPoint; // "/mnt/nas"; escapes ("\040" for a blank) decoded
    std::string fsType;     // "ext4", "fuse.sshfs"
    std::string source;     // "/dev/sda1", "server:/export"
    unsigned major = 0;     // the device number of the files on it
    unsigned minor = 0;
};

// The lines of a mountinfo text, in table order; malformed lines are skipped.
[[nodiscard]] std::vector<MountLine> ParseMountInfo(std::string_view text);

// This process's mount table. Reading it touches no mounted file system, so it never blocks.
[[nodiscard]] std::vector<MountLine> MountTable();

// The machine's mounts, as QStorageInfo::mountedVolumes() lists them (the same mounts, folders,
// labels and readiness), then /etc/fstab and /sys/class/block (WithNotReady). Every mount is
// looked at on a worker thread, all at once: one that does not answer within the stall limit
// is listed as not ready. With a live ScopedMountList, its list.
[[nodiscard]] std::vector<MountEntry> ReadMounts();

// While it lives, ReadMounts gives this list instead of the machine's, so tests can run the
// whole program on drives mapped to temporary folders. Not for concurrent use.
class ScopedMountList {
public:
    explicit ScopedMountList(std::vector<MountEntry> mounts);
    ScopedMountList(const ScopedMountList&) = delete;
    ScopedMountList& operator=(const ScopedMountList&) = delete;
    ~ScopedMountList();

private:
    std::optional<std::vector<MountEntry>> previous_;
};

// The drives with every ready drive's first listing (its root folder, as the browser reads it)
// read on worker threads, all at once; a drive whose listing does not answer within the stall
// limit becomes not ready (no folder, no volume name). The listings themselves are dropped.
[[nodiscard]] std::vector<DriveInfo> AnsweringDrives(std::vector<DriveInfo> drives);

// The machine's drives (AnsweringDrives of LetterDrives of ReadMounts), and the drive table
// filled with the folders of the ready ones, so every path built from these letters resolves.
// Mounts that hang cost it about the stall limit, however many hang and for however long.
[[nodiscard]] std::vector<DriveInfo> LoadSystemDrives();

// Fills the drive table with the ready drives of a list (not-ready drives get no folder, so a
// search on them finds nothing).
void InstallDriveTable(const std::vector<DriveInfo>& drives);

} // namespace mWinAPI
