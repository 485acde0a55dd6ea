#include "DriveTable.h"
#include "Drives.h"
#include "HungMount.h"
#include "MountEntries.h"

#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <sys/mount.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using mWinAPI::DriveInfo;
using mWinAPI::MountEntry;
using zr::test::Mount;

// "C2/[SYSTEM] D1/media/usb E4-" style summary: letter, type, '-' for not ready, folder, and
// the volume name in brackets; easy to read in a failure.
std::string Summary(const std::vector<DriveInfo>& drives) {
    std::string out;
    for (const DriveInfo& d : drives) {
        if (!out.empty()) {
            out += ' ';
        }
        out += d.letter;
        out += char('0' + d.type);
        out += d.ready ? "" : "-";
        out += d.rootPath.toStdString();
        if (!d.volumeName.isEmpty()) {
            out += '[';
            out += d.volumeName.toStdString();
            out += ']';
        }
    }
    return out;
}

// Which mounts get a letter, in which order, of which type, with which name: C is always the
// root; the others follow in table order up to Z, for what a user browses and nothing else.
TEST(LetterDrives, EachMountAUserBrowsesGetsTheNextLetterItsTypeAndItsName) {
    MountEntry usb = Mount("/mnt/stick", "/dev/sdc1", "vfat", "STICK");
    usb.removable = true;
    MountEntry fileBind = Mount("/etc/hosts", "/dev/vda", "ext4");
    fileBind.isFolder = false;
    MountEntry cd;
    cd.device = "/dev/sr0";
    cd.ready = false;
    MountEntry backup = Mount("/mnt/backup", "UUID=1234", "ext4", "ignored");
    backup.ready = false;
    std::vector<MountEntry> many;
    std::string manyLetters = "C2/";
    for (int i = 0; i < 30; ++i) {
        many.push_back(Mount(("/mnt/d" + std::to_string(i)).c_str(), "/dev/x", "ext4"));
        if (i < 23) {
            manyLetters += std::string(" ") + char('D' + i) + "2/mnt/d" + std::to_string(i);
        }
    }
    const struct {
        const char* what;
        std::vector<MountEntry> mounts;
        std::string drives;
    } table[] = {
        {"nothing listed", {}, "C2/"},
        {"the root is C wherever it is listed",
         {Mount("/home", "/dev/sda3", "ext4", "home"), Mount("/", "/dev/sda2", "ext4", "system"),
          Mount("/mnt/data", "/dev/sdb1", "xfs", "DATA")},
         "C2/[system] D2/home[home] E2/mnt/data[DATA]"},
        {"types",
         {Mount("/", "overlay", "overlay"),
          Mount("/media/ann/CAMERA", "/dev/sdd1", "exfat", "CAMERA"),
          Mount("/run/media/ann/BACKUP", "/dev/sde1", "ext4"), usb,
          Mount("/mnt/nas", "nas.local:/export/music", "nfs4"),
          Mount("/mnt/share", "//server/music", "cifs"),
          Mount("/home/ann/remote", "ann@host:/srv", "fuse.sshfs"),
          Mount("/media/cdrom0", "/dev/sr0", "iso9660", "AUDIO_CD"),
          Mount("/mnt/ram", "tmpfs", "tmpfs"), Mount("/mnt/pool", "pool", "fuse.mergerfs")},
         "C2/ D1/media/ann/CAMERA[CAMERA] E1/run/media/ann/BACKUP F1/mnt/stick[STICK] G3/mnt/nas "
         "H3/mnt/share I3/home/ann/remote J4/media/cdrom0[AUDIO_CD] K5/mnt/ram L0/mnt/pool"},
        {"pseudo and system mounts",
         {Mount("/proc", "proc", "proc"), Mount("/sys", "sysfs", "sysfs"),
          Mount("/sys/fs/cgroup", "cgroup2", "cgroup2"), Mount("/dev", "devtmpfs", "devtmpfs"),
          Mount("/dev/shm", "tmpfs", "tmpfs"), Mount("/run", "tmpfs", "tmpfs"),
          Mount("/run/user/1000", "tmpfs", "tmpfs"),
          Mount("/run/user/1000/gvfs", "gvfsd-fuse", "fuse.gvfsd-fuse"),
          Mount("/tmp", "tmpfs", "tmpfs"), Mount("/boot", "/dev/sda1", "ext4"),
          Mount("/boot/efi", "/dev/sda1", "vfat"),
          Mount("/snap/core22/864", "/dev/loop3", "squashfs"),
          Mount("/var/lib/docker/overlay2/x/merged", "overlay", "overlay"),
          Mount("/mnt/binfmt", "binfmt_misc", "binfmt_misc"), fileBind,
          Mount("/", "/dev/vda", "ext4"), Mount("/srv/music", "/dev/vdb", "ext4")},
         "C2/ D2/srv/music"},
        {"not ready: no folder, no name",
         {Mount("/", "/dev/sda1", "ext4"), backup, cd},
         "C2/ D2- E4-"},
        {"a folder mounted twice keeps its place and takes the later details",
         {Mount("/mnt/a", "/dev/sdb1", "ext4", "OLD"), Mount("/mnt/b", "/dev/sdc1", "ext4", "B"),
          Mount("/mnt/a/", "/dev/sdd1", "vfat", "NEW")},
         "C2/ D2/mnt/a[NEW] E2/mnt/b[B]"},
        {"letters stop at Z", many, manyLetters},
    };
    for (const auto& row : table) {
        EXPECT_EQ(Summary(mWinAPI::LetterDrives(row.mounts)), row.drives) << row.what;
    }
}

// fstab's fields, with its octal escapes; swap, comments and broken lines are skipped.
TEST(Fstab, FieldsAndEscapes) {
    const auto entries =
        mWinAPI::ParseFstab("# /etc/fstab\n"
                            "UUID=abc / ext4 errors=remount-ro 0 1\n"
                            "\n"
                            "UUID=def none swap sw 0 0\n"
                            "/dev/sr0  /media/cdrom0  udf,iso9660 user,noauto 0 0\n"
                            "LABEL=My\\040Music /mnt/my\\040music ext4 noauto 0 2\n"
                            "proc /proc proc defaults 0 0\n"
                            "broken-line\n");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].rootPath, "/");
    EXPECT_FALSE(entries[0].ready);
    EXPECT_EQ(entries[1].device, "/dev/sr0");
    EXPECT_EQ(entries[2].device, "LABEL=My Music");
    EXPECT_EQ(entries[2].rootPath, "/mnt/my music");
    EXPECT_EQ(entries[3].rootPath, "/proc");
    EXPECT_FALSE(mWinAPI::IsBrowsableMount(entries[3]));
}

// Drives named by fstab but not mounted, and optical drives without a disc, follow the mounted
// ones as not ready; a drive mounted is listed once.
TEST(Fstab, UnmountedEntriesAndEmptyOpticalDrivesAreNotReadyDrives) {
    const struct {
        const char* what;
        std::vector<MountEntry> mounted;
        const char* fstab;
        std::vector<QString> opticals;
        std::string drives;
    } table[] = {
        {"sr0 is named by fstab (optical); sr1 by nothing",
         {Mount("/", "/dev/sda1", "ext4", "sys"), Mount("/media/usb", "/dev/sdb1", "vfat", "USB")},
         "UUID=abc / ext4 defaults 0 1\n"
         "/dev/sr0 /media/cdrom0 udf,iso9660 noauto 0 0\n"
         "UUID=xyz /mnt/archive ext4 noauto 0 2\n",
         {"/dev/sr0", "/dev/sr1"},
         "C2/[sys] D1/media/usb[USB] E4- F2- G4-"},
        {"an optical drive with a disc",
         {Mount("/media/cdrom", "/dev/sr0", "iso9660", "CD")},
         "",
         {"/dev/sr0"},
         "C2/ D4/media/cdrom[CD]"},
    };
    for (const auto& row : table) {
        const auto all =
            mWinAPI::WithNotReady(row.mounted, mWinAPI::ParseFstab(row.fstab), row.opticals);
        EXPECT_EQ(Summary(mWinAPI::LetterDrives(all)), row.drives) << row.what;
    }
}

TEST(DriveTableFill, ReadyDrivesResolveAndNotReadyOnesDoNot) {
    const mWinAPI::ScopedDriveFolders keep({});
    const auto drives = mWinAPI::LetterDrives({Mount("/mnt/music", "/dev/sdb1", "ext4"), [] {
                                                   MountEntry cd;
                                                   cd.device = "/dev/sr0";
                                                   cd.ready = false;
                                                   return cd;
                                               }()});
    mWinAPI::InstallDriveTable(drives);
    EXPECT_EQ(mWinAPI::DriveFolder('C').value_or(""), "/");
    EXPECT_EQ(mWinAPI::DriveFolder('D').value_or(""), "/mnt/music");
    EXPECT_FALSE(mWinAPI::DriveFolder('E').has_value());
    EXPECT_EQ(mWinAPI::ToLocalPath("D:\\Rock\\").value_or(""), "/mnt/music/Rock/");
}

TEST(SystemDrives, ThisMachineHasCAsItsRoot) {
    const mWinAPI::ScopedDriveFolders keep({});
    const auto drives = mWinAPI::LoadSystemDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives[0].letter, 'C');
    EXPECT_EQ(mWinAPI::DriveFolder('C').value_or(""), "/");
    for (const DriveInfo& d : drives) {
        EXPECT_GE(d.type, 0);
        EXPECT_LE(d.type, 5);
        if (d.ready) {
            EXPECT_EQ(mWinAPI::DriveFolder(d.letter).value_or(""), d.rootPath.toStdString());
        }
    }
}

TEST(MountInfo, FieldsAndEscapes) {
    const auto lines = mWinAPI::ParseMountInfo(
        "22 1 8:2 / / rw shared:1 - ext4 /dev/sda2 rw\n"
        "40 22 0:35 / /mnt/my\\040music rw master:3 unbindable - fuse.sshfs ann@h:/srv rw\n"
        "41 22 0:36 / /mnt/x rw - tmpfs\n" // too short: skipped
        "42 22 259:1 /sub /srv/a\\134b rw - btrfs /dev/nvme0n1p1 rw");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].mountPoint + " " + lines[0].fsType + " " + lines[0].source,
              "/ ext4 /dev/sda2");
    EXPECT_EQ(lines[0].major * 1000 + lines[0].minor, 8002u);
    EXPECT_EQ(lines[1].mountPoint + " " + lines[1].fsType + " " + lines[1].source,
              "/mnt/my music fuse.sshfs ann@h:/srv");
    EXPECT_EQ(lines[2].mountPoint, "/srv/a\\b");
}

// Mounts in a temporary folder, unmounted before it goes.
class Mounts : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto it = mounted.rbegin(); it != mounted.rend(); ++it) {
            umount2(it->toLocal8Bit().constData(), MNT_DETACH);
        }
    }
    QString Folder(const QString& name) {
        EXPECT_TRUE(QDir().mkpath(dir.filePath(name)));
        return dir.filePath(name);
    }
    bool MountFs(const char* type, const QString& folder, const char* options = nullptr) {
        const bool mountedHere = zr::test::MountHere(type, folder, options).empty();
        if (mountedHere) {
            mounted.push_back(folder);
        }
        return mountedHere;
    }
    QTemporaryDir dir;
    std::vector<QString> mounted;
};

TEST_F(Mounts, TheMachinesMountsAreThoseQtListsWithTheirLabels) {
    // Shapes Qt leaves out (no size) or keeps (a blank in the folder's name), when we may mount.
    MountFs("tmpfs", Folder("ram disk"), "size=1m") && MountFs("proc", Folder("proc")) &&
        MountFs("tmpfs", Folder("ram disk/inner"));
    std::vector<std::string> qt;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        qt.push_back(v.rootPath().toStdString() + " " + v.device().toStdString() + " " +
                     v.fileSystemType().toStdString() + " [" + v.name().toStdString() + "] " +
                     (v.isReady() ? "ready" : "-"));
    }
    std::vector<std::string> ours;
    for (const MountEntry& m : mWinAPI::ReadMounts()) {
        ours.push_back(m.rootPath.toStdString() + " " + m.device.toStdString() + " " +
                       m.fsType.toStdString() + " [" + m.label.toStdString() + "] " +
                       (m.ready ? "ready" : "-"));
    }
    // The not-ready entries of fstab and empty optical drives follow the mounted ones.
    ours.resize(std::min(ours.size(), qt.size()));
    EXPECT_EQ(ours, qt);
}

TEST_F(Mounts, AMountThatDoesNotAnswerIsANotReadyDriveAndTheOthersAreRead) {
    const QString music = Folder("music");
    const QString share = Folder("share");
    zr::test::HungMount hung;
    if (const std::string why = hung.Mount(share); !why.empty()) {
        GTEST_SKIP() << why;
    }
    const mWinAPI::ScopedDriveFolders keep({});

    // The machine's own table: the hung mount is listed, as not ready, and maps to no letter.
    const auto mounts = mWinAPI::ReadMounts();
    EXPECT_TRUE(std::any_of(mounts.begin(), mounts.end(),
                            [&](const MountEntry& m) { return m.rootPath == share && !m.ready; }));
    EXPECT_TRUE(mWinAPI::LoadSystemDrives().at(0).ready);
    for (const auto& [letter, folder] : mWinAPI::GetDriveFolders()) {
        EXPECT_NE(folder, share.toStdString()) << letter;
    }

    // A list of our own: the share keeps its letter and its type, not ready; D: is read.
    const mWinAPI::ScopedMountList ours({Mount(music, "/dev/sdb1", "ext4", "MUSIC"),
                                         Mount(share, "nas:/export/music", "nfs4", "NAS")});
    const auto drives = mWinAPI::LoadSystemDrives();
    EXPECT_EQ(Summary(drives), "C2/ D2" + music.toStdString() + "[MUSIC] E3-");
    EXPECT_EQ(mWinAPI::DriveFolder('D').value_or(""), music.toStdString());
    EXPECT_FALSE(mWinAPI::DriveFolder('E').has_value());
    EXPECT_FALSE(hung.ReleasedByWatchdog());
}

} // namespace
