#include "Drives.h"

#include "DriveTable.h"
#include "FolderRead.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace mWinAPI {
namespace {

std::optional<std::vector<MountEntry>>& MountOverride() {
    static std::optional<std::vector<MountEntry>> mounts;
    return mounts;
}

bool IsUnder(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool IsAnyOf(const QString& fsType, std::initializer_list<const char*> names) {
    // fstab may list alternatives ("udf,iso9660"); any of them counts.
    const QStringList parts = fsType.toLower().split(QLatin1Char(','), Qt::SkipEmptyParts);
    return std::any_of(parts.begin(), parts.end(), [&](const QString& part) {
        return std::any_of(names.begin(), names.end(),
                           [&](const char* name) { return part == QLatin1String(name); });
    });
}

// Kernel and service file systems: never something a user browses, wherever mounted.
bool IsPseudoFs(const QString& fsType) {
    return IsAnyOf(fsType,
                   {"proc",   "sysfs",           "cgroup",      "cgroup2",    "devtmpfs",
                    "devpts", "securityfs",      "debugfs",     "tracefs",    "pstore",
                    "bpf",    "configfs",        "fusectl",     "mqueue",     "hugetlbfs",
                    "autofs", "binfmt_misc",     "efivarfs",    "rpc_pipefs", "nfsd",
                    "nsfs",   "selinuxfs",       "swap",        "overlay",    "overlayfs",
                    "aufs",   "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "fuse.snapfuse",
                    "ignore"});
}

bool IsRamFs(const QString& fsType) {
    return IsAnyOf(fsType, {"tmpfs", "ramfs"});
}

bool IsNetworkFs(const MountEntry& mount) {
    if (IsAnyOf(mount.fsType,
                {"nfs",      "nfs4",       "cifs",           "smb3",        "smbfs",
                 "sshfs",    "fuse.sshfs", "davfs",          "fuse.davfs2", "afs",
                 "ceph",     "glusterfs",  "fuse.glusterfs", "9p",          "virtiofs",
                 "vboxsf",   "ncpfs",      "coda",           "lustre",      "fuse.rclone",
                 "fuse.s3fs"})) {
        return true;
    }
    // "//host/share" and "host:/export" name a remote source whatever the type says.
    return mount.device.startsWith(QLatin1String("//")) ||
           QRegularExpression(QStringLiteral("^[^/=:]+:/")).match(mount.device).hasMatch();
}

bool IsOpticalDevice(const QString& device) {
    static const QRegularExpression optical(
        QStringLiteral("^/dev/(sr\\d+|scd\\d+|cdrom\\d*|dvd\\d*|cdrw\\d*|dvdrw\\d*)$"));
    return optical.match(device).hasMatch();
}

bool IsDiskFs(const QString& fsType) {
    return IsAnyOf(fsType,
                   {"ext2",     "ext3",  "ext4",    "xfs",     "btrfs",    "vfat",   "fat",
                    "msdos",    "exfat", "ntfs",    "ntfs3",   "fuseblk",  "f2fs",   "jfs",
                    "reiserfs", "hfs",   "hfsplus", "apfs",    "zfs",      "nilfs2", "bcachefs",
                    "ufs",      "minix", "udf",     "iso9660", "squashfs", "erofs"});
}

bool IsRemovablePlace(const QString& rootPath) {
    return IsUnder(rootPath, QStringLiteral("/media")) ||
           IsUnder(rootPath, QStringLiteral("/run/media"));
}

QString DecodeFstabField(const QString& field) {
    // fstab writes blanks and other separators as three-digit octal escapes ("\040").
    QByteArray in = field.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && in[i + 1] >= '0' && in[i + 1] <= '3' &&
            in[i + 2] >= '0' && in[i + 2] <= '7' && in[i + 3] >= '0' && in[i + 3] <= '7') {
            out.append(
                char(((in[i + 1] - '0') << 6) | ((in[i + 2] - '0') << 3) | (in[i + 3] - '0')));
            i += 3;
        } else {
            out.append(in[i]);
        }
    }
    return QString::fromUtf8(out);
}

QString CleanRoot(const QString& path) {
    if (path.isEmpty()) {
        return path;
    }
    return QDir::cleanPath(path);
}

// The kernel's removable flag of a block device or of the disk a partition belongs to.
bool KernelSaysRemovable(const QString& device) {
    const QString node = QFileInfo(device).canonicalFilePath();
    if (!node.startsWith(QLatin1String("/dev/"))) {
        return false;
    }
    const QString sysPath =
        QFileInfo(QStringLiteral("/sys/class/block/") + QFileInfo(node).fileName())
            .canonicalFilePath();
    if (sysPath.isEmpty()) {
        return false;
    }
    for (const QString& dir : {sysPath, QFileInfo(sysPath).path()}) {
        QFile flag(dir + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly)) {
            return flag.readAll().trimmed() == "1";
        }
    }
    return false;
}

// The mounts QStorageInfo::mountedVolumes() considers: not under /dev, /proc, /sys, /var/run
// or /var/lock, and not the initial "rootfs".
bool QtListsMount(const MountLine& line) {
    const QString root = QFile::decodeName(QByteArray::fromStdString(line.mountPoint));
    for (const char* system : {"/dev", "/proc", "/sys", "/var/run", "/var/lock"}) {
        if (IsUnder(root, QLatin1String(system))) {
            return false;
        }
    }
    return line.fsType != "rootfs";
}

// The mount's device as Qt names it: the source, or, when that names a device node that does
// not exist (a "/dev/root"), the node the device number leads to. May touch the file system.
QString DeviceOf(const MountLine& line) {
    if (!line.source.empty() && line.source.front() == '/' &&
        access(line.source.c_str(), F_OK) != 0) {
        char node[64];
        std::snprintf(node, sizeof node, "/dev/block/%u:%u", line.major, line.minor);
        char real[PATH_MAX];
        if (realpath(node, real) != nullptr) {
            return QString::fromUtf8(real);
        }
    }
    return QString::fromStdString(line.source);
}

} // namespace

bool IsBrowsableMount(const MountEntry& mount) {
    const QString root = CleanRoot(mount.rootPath);
    if (root == QLatin1String("/")) {
        return true;
    }
    if (root.isEmpty()) {
        // Only an optical drive without a disc is listed without a folder.
        return !mount.ready && IsOpticalDevice(mount.device);
    }
    if (!root.startsWith(QLatin1Char('/')) || !mount.isFolder) {
        return false;
    }
    for (const char* system : {"/proc", "/sys", "/dev", "/boot", "/snap"}) {
        if (IsUnder(root, QLatin1String(system))) {
            return false;
        }
    }
    if (IsUnder(root, QStringLiteral("/run")) && !IsUnder(root, QStringLiteral("/run/media"))) {
        return false;
    }
    if (IsPseudoFs(mount.fsType)) {
        return false;
    }
    if (IsRamFs(mount.fsType)) {
        return IsUnder(root, QStringLiteral("/media")) || IsUnder(root, QStringLiteral("/mnt"));
    }
    if (IsAnyOf(mount.fsType, {"squashfs"}) &&
        mount.device.startsWith(QLatin1String("/var/lib/snapd/"))) {
        return false;
    }
    return true;
}

int DriveTypeOf(const MountEntry& mount) {
    if (IsNetworkFs(mount)) {
        return kDriveNetwork;
    }
    if (IsOpticalDevice(mount.device) || IsAnyOf(mount.fsType, {"iso9660"})) {
        return kDriveOptical;
    }
    if (IsRamFs(mount.fsType)) {
        return kDriveRamDisk;
    }
    if (mount.removable || IsRemovablePlace(CleanRoot(mount.rootPath))) {
        return kDriveRemovable;
    }
    if (IsDiskFs(mount.fsType) || mount.device.startsWith(QLatin1String("/dev/")) ||
        mount.device.startsWith(QLatin1String("UUID=")) ||
        mount.device.startsWith(QLatin1String("LABEL=")) ||
        mount.device.startsWith(QLatin1String("PARTUUID="))) {
        return kDriveFixed;
    }
    return kDriveUnknown;
}

std::vector<DriveInfo> LetterDrives(const std::vector<MountEntry>& mounts) {
    // Keep each folder's first place, with the details of its last line.
    std::vector<MountEntry> unique;
    for (const MountEntry& mount : mounts) {
        const QString root = CleanRoot(mount.rootPath);
        auto same = std::find_if(unique.begin(), unique.end(), [&](const MountEntry& m) {
            return !root.isEmpty() ? CleanRoot(m.rootPath) == root
                                   : m.rootPath.isEmpty() && m.device == mount.device;
        });
        if (same != unique.end()) {
            *same = mount;
        } else {
            unique.push_back(mount);
        }
    }

    std::vector<DriveInfo> drives;
    DriveInfo c;
    c.letter = 'C';
    c.type = kDriveFixed;
    c.rootPath = QStringLiteral("/");
    drives.push_back(c);

    char next = 'D';
    for (const MountEntry& mount : unique) {
        const QString root = CleanRoot(mount.rootPath);
        if (root == QLatin1String("/")) {
            drives.front().volumeName = mount.label;
            continue;
        }
        if (!IsBrowsableMount(mount) || next > 'Z') {
            continue;
        }
        DriveInfo drive;
        drive.letter = next++;
        drive.type = DriveTypeOf(mount);
        drive.ready = mount.ready;
        if (drive.ready) {
            drive.volumeName = mount.label;
            drive.rootPath = root;
        }
        drives.push_back(drive);
    }
    return drives;
}

std::vector<MountEntry> ParseFstab(const QString& fstabText) {
    std::vector<MountEntry> entries;
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    for (QString line : fstabText.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const QStringList fields = line.split(blanks, Qt::SkipEmptyParts);
        if (fields.size() < 3) {
            continue;
        }
        MountEntry entry;
        entry.device = DecodeFstabField(fields[0]);
        entry.rootPath = DecodeFstabField(fields[1]);
        entry.fsType = fields[2];
        entry.ready = false;
        if (!entry.rootPath.startsWith(QLatin1Char('/')) || IsAnyOf(entry.fsType, {"swap"})) {
            continue;
        }
        entries.push_back(entry);
    }
    return entries;
}

std::vector<MountEntry> WithNotReady(std::vector<MountEntry> mounted,
                                     const std::vector<MountEntry>& fstab,
                                     const std::vector<QString>& opticalDevices) {
    QSet<QString> roots;
    QSet<QString> devices;
    for (const MountEntry& m : mounted) {
        roots.insert(CleanRoot(m.rootPath));
        devices.insert(m.device);
    }
    for (const MountEntry& entry : fstab) {
        const QString root = CleanRoot(entry.rootPath);
        if (roots.contains(root)) {
            continue;
        }
        roots.insert(root);
        MountEntry notReady = entry;
        notReady.ready = false;
        mounted.push_back(notReady);
        devices.insert(entry.device);
    }
    for (const QString& device : opticalDevices) {
        if (devices.contains(device)) {
            continue;
        }
        MountEntry drive;
        drive.device = device;
        drive.ready = false;
        mounted.push_back(drive);
    }
    return mounted;
}

ScopedMountList::ScopedMountList(std::vector<MountEntry> mounts)
    : previous_(std::move(MountOverride())) {
    MountOverride() = std::move(mounts);
}

ScopedMountList::~ScopedMountList() {
    MountOverride() = std::move(previous_);
}

std::vector<MountLine> ParseMountInfo(std::string_view text) {
    // "36 35 98:0 / /mnt/a rw,noatime master:1 - ext4 /dev/sda1 rw": the optional fields end
    // at "-"; the kernel writes blanks, tabs, newlines and backslashes in paths as "\ooo".
    const auto decoded = [](std::string_view field) {
        std::string out;
        for (std::size_t i = 0; i < field.size(); ++i) {
            if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
                field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
                field[i + 3] >= '0' && field[i + 3] <= '7') {
                out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                            (field[i + 3] - '0'));
                i += 3;
            } else {
                out += field[i];
            }
        }
        return out;
    };
    std::vector<MountLine> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));

        std::vector<std::string_view> fields;
        while (!line.empty()) {
            const std::size_t cut = std::min(line.find(' '), line.size());
            if (cut > 0) {
                fields.push_back(line.substr(0, cut));
            }
            line.remove_prefix(std::min(cut + 1, line.size()));
        }
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash - fields.begin() < 6 || fields.end() - dash < 3) {
            continue;
        }
        MountLine mount;
        unsigned major = 0;
        unsigned minor = 0;
        if (std::sscanf(std::string(fields[2]).c_str(), "%u:%u", &major, &minor) != 2) {
            continue;
        }
        mount.major = major;
        mount.minor = minor;
        mount.mountPoint = decoded(fields[4]);
        mount.fsType = std::string(dash[1]);
        mount.source = decoded(dash[2]);
        lines.push_back(std::move(mount));
    }
    return lines;
}

std::vector<MountLine> MountTable() {
    std::ifstream table("/proc/self/mountinfo");
    const std::string text((std::istreambuf_iterator<char>(table)),
                           std::istreambuf_iterator<char>());
    return ParseMountInfo(text);
}

std::vector<MountEntry> ReadMounts() {
    if (MountOverride()) {
        return *MountOverride();
    }
    struct Look {
        std::shared_ptr<MountEntry> answered; // filled by the look, read once it has answered
        MountEntry unanswered;                // the mount as it stands when it does not answer
        FolderRead read;
    };
    std::vector<Look> looks;
    for (const MountLine& line : MountTable()) {
        if (!QtListsMount(line)) {
            continue;
        }
        MountEntry unanswered;
        unanswered.rootPath = QFile::decodeName(QByteArray::fromStdString(line.mountPoint));
        unanswered.device = QString::fromStdString(line.source);
        unanswered.fsType = QString::fromStdString(line.fsType);
        unanswered.ready = false;
        auto answered = std::make_shared<MountEntry>(unanswered);
        // The look runs on a worker that may be left behind: it writes only into its own entry.
        FolderRead read = FolderRead::Start(line.mountPoint, {}, [answered, line] {
            MountEntry& entry = *answered;
            entry.device = DeviceOf(line);
            const QStorageInfo volume(entry.rootPath);
            if (volume.bytesTotal() == 0 && !volume.isRoot()) {
                return false; // a pseudo file system, which Qt's list leaves out
            }
            entry.rootPath = volume.rootPath();
            entry.label = volume.name();
            entry.ready = volume.isReady();
            entry.isFolder = QFileInfo(entry.rootPath).isDir();
            entry.removable = KernelSaysRemovable(entry.device);
            return true;
        });
        looks.push_back({std::move(answered), std::move(unanswered), std::move(read)});
    }
    std::vector<MountEntry> mounted;
    for (Look& look : looks) {
        switch (look.read.Wait().outcome) {
        case FolderRead::Outcome::Listed:
            mounted.push_back(*look.answered);
            break;
        case FolderRead::Outcome::NoAnswer:
            mounted.push_back(look.unanswered);
            break;
        case FolderRead::Outcome::Unreadable:
            break;
        }
    }

    std::vector<MountEntry> fstab;
    QFile fstabFile(QStringLiteral("/etc/fstab"));
    if (fstabFile.open(QIODevice::ReadOnly)) {
        fstab = ParseFstab(QString::fromUtf8(fstabFile.readAll()));
    }
    // fstab names devices in several ways; compare real device nodes with the mounted ones.
    for (MountEntry& entry : fstab) {
        QString node;
        if (entry.device.startsWith(QLatin1String("UUID="))) {
            node = QStringLiteral("/dev/disk/by-uuid/") + entry.device.mid(5);
        } else if (entry.device.startsWith(QLatin1String("LABEL="))) {
            node = QStringLiteral("/dev/disk/by-label/") + entry.device.mid(6);
        } else if (entry.device.startsWith(QLatin1String("/dev/"))) {
            node = entry.device;
        }
        if (!node.isEmpty()) {
            const QString real = QFileInfo(node).canonicalFilePath();
            if (!real.isEmpty()) {
                entry.device = real;
            }
            entry.removable = KernelSaysRemovable(entry.device);
        }
    }

    std::vector<QString> optical;
    const QDir blocks(QStringLiteral("/sys/class/block"));
    for (const QString& name :
         blocks.entryList({QStringLiteral("sr*")}, QDir::AllEntries, QDir::Name)) {
        optical.push_back(QStringLiteral("/dev/") + name);
    }
    return WithNotReady(std::move(mounted), fstab, optical);
}

void InstallDriveTable(const std::vector<DriveInfo>& drives) {
    DriveFolders folders;
    for (const DriveInfo& drive : drives) {
        if (drive.ready && !drive.rootPath.isEmpty()) {
            folders[drive.letter] = drive.rootPath.toStdString();
        }
    }
    SetDriveFolders(folders);
}

std::vector<DriveInfo> AnsweringDrives(std::vector<DriveInfo> drives) {
    std::vector<std::optional<FolderRead>> listings;
    for (const DriveInfo& drive : drives) {
        if (drive.ready && !drive.rootPath.isEmpty()) {
            listings.push_back(FolderRead::Start(drive.rootPath.toStdString(), "*.*"));
        } else {
            listings.emplace_back();
        }
    }
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (listings[i] && listings[i]->Wait().outcome == FolderRead::Outcome::NoAnswer) {
            drives[i].ready = false;
            drives[i].volumeName.clear();
            drives[i].rootPath.clear();
        }
    }
    return drives;
}

std::vector<DriveInfo> LoadSystemDrives() {
    std::vector<DriveInfo> drives = AnsweringDrives(LetterDrives(ReadMounts()));
    InstallDriveTable(drives);
    return drives;
}

} // namespace mWinAPI
