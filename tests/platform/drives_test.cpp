#include "DriveTable.h"
#include "Drives.h"
#include "HungMount.h"

#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <sys/mount.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using mWinAPI::DriveInfo;
using mWinAPI::MountEntry;

MountEntry Mount(const char* root, const char* device, const char* fs, const char* label = "") {
    MountEntry m;
    m.rootPath = QString::fromUtf8(root);
    m.device = QString::fromUtf8(device);
    m.fsType = QString::fromUtf8(fs);
    m.label = QString::fromUtf8(label);
    return m;
}

// "C2/ D1 E3" style summary: letter, type, and '-' for not ready; easy to read in a failure.
std::string Summary(const std::vector<DriveInfo>& drives) {
    std::string out;
    for (const DriveInfo& d : drives) {
        if (!out.empty()) {
            out += ' ';
        }
        out += d.letter;
        out += char('0' + d.type);
        out += d.ready ? d.rootPath.toStdString() : std::string("-");
    }
    return out;
}

TEST(LetterDrives, EmptyOrFailedEnumerationStillGivesC) {
    const auto drives = mWinAPI::LetterDrives({});
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(Summary(drives), "C2/");
    EXPECT_TRUE(drives[0].volumeName.isEmpty());
}

TEST(LetterDrives, RootIsAlwaysCAndOthersFollowInTableOrder) {
    const auto drives = mWinAPI::LetterDrives({
        Mount("/home", "/dev/sda3", "ext4", "home"),
        Mount("/", "/dev/sda2", "ext4", "system"),
        Mount("/mnt/data", "/dev/sdb1", "xfs", "DATA"),
    });
    EXPECT_EQ(Summary(drives), "C2/ D2/home E2/mnt/data");
    EXPECT_EQ(drives[0].volumeName, "system");
    EXPECT_EQ(drives[2].volumeName, "DATA");
}

TEST(LetterDrives, TypesOfTheMountsAUserBrowses) {
    MountEntry usb = Mount("/mnt/stick", "/dev/sdc1", "vfat", "STICK");
    usb.removable = true;
    const auto drives = mWinAPI::LetterDrives({
        Mount("/", "overlay", "overlay"),
        Mount("/media/ann/CAMERA", "/dev/sdd1", "exfat", "CAMERA"),
        Mount("/run/media/ann/BACKUP", "/dev/sde1", "ext4"),
        usb,
        Mount("/mnt/nas", "nas.local:/export/music", "nfs4"),
        Mount("/mnt/share", "//server/music", "cifs"),
        Mount("/home/ann/remote", "ann@host:/srv", "fuse.sshfs"),
        Mount("/media/cdrom0", "/dev/sr0", "iso9660", "AUDIO_CD"),
        Mount("/mnt/ram", "tmpfs", "tmpfs"),
        Mount("/mnt/pool", "pool", "fuse.mergerfs"),
    });
    EXPECT_EQ(Summary(drives), "C2/ D1/media/ann/CAMERA E1/run/media/ann/BACKUP F1/mnt/stick "
                               "G3/mnt/nas H3/mnt/share I3/home/ann/remote J4/media/cdrom0 "
                               "K5/mnt/ram L0/mnt/pool");
}

TEST(LetterDrives, PseudoAndSystemMountsNeverGetALetter) {
    MountEntry fileBind = Mount("/etc/hosts", "/dev/vda", "ext4");
    fileBind.isFolder = false;
    const auto drives = mWinAPI::LetterDrives({
        Mount("/proc", "proc", "proc"),
        Mount("/sys", "sysfs", "sysfs"),
        Mount("/sys/fs/cgroup", "cgroup2", "cgroup2"),
        Mount("/dev", "devtmpfs", "devtmpfs"),
        Mount("/dev/shm", "tmpfs", "tmpfs"),
        Mount("/run", "tmpfs", "tmpfs"),
        Mount("/run/user/1000", "tmpfs", "tmpfs"),
        Mount("/run/user/1000/gvfs", "gvfsd-fuse", "fuse.gvfsd-fuse"),
        Mount("/tmp", "tmpfs", "tmpfs"),
        Mount("/boot", "/dev/sda1", "ext4"),
        Mount("/boot/efi", "/dev/sda1", "vfat"),
        Mount("/snap/core22/864", "/dev/loop3", "squashfs"),
        Mount("/var/lib/docker/overlay2/x/merged", "overlay", "overlay"),
        Mount("/mnt/binfmt", "binfmt_misc", "binfmt_misc"),
        fileBind,
        Mount("/", "/dev/vda", "ext4"),
        Mount("/srv/music", "/dev/vdb", "ext4"),
    });
    EXPECT_EQ(Summary(drives), "C2/ D2/srv/music");
}

TEST(LetterDrives, NotReadyDrivesHaveNoFolderAndNoVolumeName) {
    MountEntry cd;
    cd.device = "/dev/sr0";
    cd.ready = false;
    MountEntry backup = Mount("/mnt/backup", "UUID=1234", "ext4", "ignored");
    backup.ready = false;
    const auto drives = mWinAPI::LetterDrives({Mount("/", "/dev/sda1", "ext4"), backup, cd});
    EXPECT_EQ(Summary(drives), "C2/ D2- E4-");
    EXPECT_TRUE(drives[1].volumeName.isEmpty());
    EXPECT_TRUE(drives[2].rootPath.isEmpty());
}

TEST(LetterDrives, AFolderMountedTwiceKeepsItsPlaceAndTheLaterDetails) {
    const auto drives = mWinAPI::LetterDrives({
        Mount("/mnt/a", "/dev/sdb1", "ext4", "OLD"),
        Mount("/mnt/b", "/dev/sdc1", "ext4", "B"),
        Mount("/mnt/a/", "/dev/sdd1", "vfat", "NEW"),
    });
    EXPECT_EQ(Summary(drives), "C2/ D2/mnt/a E2/mnt/b");
    EXPECT_EQ(drives[1].volumeName, "NEW");
}

TEST(LetterDrives, LettersStopAtZ) {
    std::vector<MountEntry> many;
    for (int i = 0; i < 30; ++i) {
        many.push_back(Mount(("/mnt/d" + std::to_string(i)).c_str(), "/dev/x", "ext4"));
    }
    const auto drives = mWinAPI::LetterDrives(many);
    ASSERT_EQ(drives.size(), 24u); // C and D..Z
    EXPECT_EQ(drives.back().letter, 'Z');
    EXPECT_EQ(drives.back().rootPath, "/mnt/d22");
}

TEST(Fstab, EntriesAreNotReadyAndSwapCommentsAndPseudoPlacesAreSkipped) {
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

TEST(Fstab, UnmountedEntriesAndEmptyOpticalDrivesFollowTheMountedOnes) {
    const auto fstab = mWinAPI::ParseFstab("UUID=abc / ext4 defaults 0 1\n"
                                           "/dev/sr0 /media/cdrom0 udf,iso9660 noauto 0 0\n"
                                           "UUID=xyz /mnt/archive ext4 noauto 0 2\n");
    const auto all = mWinAPI::WithNotReady(
        {Mount("/", "/dev/sda1", "ext4", "sys"), Mount("/media/usb", "/dev/sdb1", "vfat", "USB")},
        fstab, {"/dev/sr0", "/dev/sr1"});
    const auto drives = mWinAPI::LetterDrives(all);
    // sr0 is named by fstab (not ready, optical); sr1 has neither mount nor fstab line.
    EXPECT_EQ(Summary(drives), "C2/ D1/media/usb E4- F2- G4-");
}

TEST(Fstab, AnOpticalDriveWithADiscIsNotListedTwice) {
    const auto all = mWinAPI::WithNotReady({Mount("/media/cdrom", "/dev/sr0", "iso9660", "CD")}, {},
                                           {"/dev/sr0"});
    EXPECT_EQ(Summary(mWinAPI::LetterDrives(all)), "C2/ D4/media/cdrom");
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
    const mWinAPI::ScopedMountList ours(
        {Mount(music.toUtf8().constData(), "/dev/sdb1", "ext4", "MUSIC"),
         Mount(share.toUtf8().constData(), "nas:/export/music", "nfs4", "NAS")});
    const auto drives = mWinAPI::LoadSystemDrives();
    EXPECT_EQ(Summary(drives), "C2/ D2" + music.toStdString() + " E3-");
    EXPECT_TRUE(drives[2].volumeName.isEmpty());
    EXPECT_EQ(mWinAPI::DriveFolder('D').value_or(""), music.toStdString());
    EXPECT_FALSE(mWinAPI::DriveFolder('E').has_value());
    EXPECT_FALSE(hung.ReleasedByWatchdog());
}

} // namespace
