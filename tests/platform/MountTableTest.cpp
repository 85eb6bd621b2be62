#include "platform/MountTable.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include <QFile>

#include <cctype>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;

namespace {

std::vector<MountEntry> DesktopTable()
{
    QFile f(QStringLiteral(QVL_SOURCE_DIR "/tests/fixtures/mountinfo-desktop.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return ParseMountInfo(f.readAll().toStdString());
}

// The disks sdb and sdc are removable, sda is not.
bool FakeRemovable(unsigned, unsigned, const std::string &source)
{
    return source.rfind("/dev/sdb", 0) == 0 || source.rfind("/dev/sdc", 0) == 0;
}

const MountEntry *Find(const std::vector<MountEntry> &mounts, const std::string &point)
{
    const MountEntry *found = nullptr;
    for (const auto &m : mounts)
        if (m.mountPoint == point)
            found = &m;
    return found;
}

} // namespace

class MountTableTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesEveryFieldOfTheDesktopTable()
    {
        const auto mounts = DesktopTable();
        QCOMPARE(mounts.size(), std::size_t(20));
        const MountEntry *disk = Find(mounts, "/media/user/BACKUP DISK");
        QVERIFY(disk);
        QCOMPARE(disk->fsType, std::string("vfat"));
        QCOMPARE(disk->source, std::string("/dev/sdb1"));
        QCOMPARE(disk->root, std::string("/"));
        QCOMPARE(disk->major, 8u);
        QCOMPARE(disk->minor, 17u);
        QVERIFY(!disk->readOnly);
        const MountEntry *nas = Find(mounts, "/mnt/nas");
        QVERIFY(nas);
        QCOMPARE(nas->source, std::string("nas.local:/export/photos"));
        QCOMPARE(nas->fsType, std::string("nfs4"));
        QVERIFY(Find(mounts, "/srv/archive")->readOnly);
        QVERIFY(Find(mounts, "/media/user/DVD_2024")->readOnly);
        // No optional fields before the separator.
        QCOMPARE(Find(mounts, "/var/lib/docker/overlay2/abc/merged")->fsType, std::string("overlay"));
        QCOMPARE(mounts.front().mountPoint, std::string("/"));
    }

    void parsesOddLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QByteArray>("mountPoint");
        QTest::addColumn<QByteArray>("fsType");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("several optional fields")
            << QByteArray("50 22 8:5 / /data rw shared:3 master:1 propagate_from:2 - ext4 /dev/sda5 rw")
            << true << QByteArray("/data") << QByteArray("ext4") << false;
        QTest::newRow("escaped tab, newline and backslash")
            << QByteArray("50 22 8:5 / /a\\011b\\012c\\134d rw - ext4 /dev/sda5 rw")
            << true << QByteArray("/a\tb\nc\\d") << QByteArray("ext4") << false;
        QTest::newRow("backslash not followed by octal digits stays")
            << QByteArray("50 22 8:5 / /a\\9x rw - ext4 /dev/sda5 rw")
            << true << QByteArray("/a\\9x") << QByteArray("ext4") << false;
        QTest::newRow("read-only superblock")
            << QByteArray("50 22 8:5 / /data rw,relatime - ext4 /dev/sda5 ro,errors=remount-ro")
            << true << QByteArray("/data") << QByteArray("ext4") << true;
        QTest::newRow("ro only inside another option")
            << QByteArray("50 22 8:5 / /data rw,errors=remount-ro - ext4 /dev/sda5 rw,errors=remount-ro")
            << true << QByteArray("/data") << QByteArray("ext4") << false;
        QTest::newRow("no separator") << QByteArray("50 22 8:5 / /data rw ext4 /dev/sda5 rw")
                                      << false << QByteArray() << QByteArray() << false;
        QTest::newRow("nothing after the separator") << QByteArray("50 22 8:5 / /data rw - ext4")
                                                     << false << QByteArray() << QByteArray() << false;
        QTest::newRow("bad device number") << QByteArray("50 22 8x5 / /data rw - ext4 /dev/sda5 rw")
                                           << false << QByteArray() << QByteArray() << false;
        QTest::newRow("relative mount point") << QByteArray("50 22 8:5 / data rw - ext4 /dev/sda5 rw")
                                              << false << QByteArray() << QByteArray() << false;
        QTest::newRow("too short") << QByteArray("50 22 8:5 /") << false << QByteArray() << QByteArray()
                                   << false;
        QTest::newRow("empty") << QByteArray("") << false << QByteArray() << QByteArray() << false;
    }

    void parsesOddLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, parsed);
        QFETCH(QByteArray, mountPoint);
        QFETCH(QByteArray, fsType);
        QFETCH(bool, readOnly);
        // The odd line sits between two good ones, which must both survive.
        const std::string text = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n" + line.toStdString()
            + "\n2 1 0:5 / /proc rw - proc proc rw";
        const auto mounts = ParseMountInfo(text);
        QCOMPARE(mounts.size(), std::size_t(parsed ? 3 : 2));
        QCOMPARE(mounts.front().mountPoint, std::string("/"));
        QCOMPARE(mounts.back().mountPoint, std::string("/proc"));
        if (parsed) {
            QCOMPARE(QByteArray::fromStdString(mounts[1].mountPoint), mountPoint);
            QCOMPARE(QByteArray::fromStdString(mounts[1].fsType), fsType);
            QCOMPARE(mounts[1].readOnly, readOnly);
        }
    }

    void classifiesTheDesktopMounts_data()
    {
        QTest::addColumn<QByteArray>("mountPoint");
        QTest::addColumn<int>("type");
        const std::pair<const char *, TDriveType> rows[] = {
            {"/", dtFixed},
            {"/home", dtFixed},
            {"/proc", dtUnknown},
            {"/sys", dtUnknown},
            {"/dev", dtUnknown},
            {"/dev/pts", dtUnknown},
            {"/sys/fs/cgroup", dtUnknown},
            {"/run", dtRamDisk},
            {"/tmp", dtRamDisk},
            {"/run/user/1000", dtRamDisk},
            {"/mnt/ram", dtRamDisk},
            {"/media/user/BACKUP DISK", dtRemovable},
            {"/media/user/DVD_2024", dtCDROM},
            {"/mnt/nas", dtRemote},
            {"/mnt/share", dtRemote},
            {"/home/user/remote", dtRemote},
            {"/srv/archive", dtCDROM},
            {"/var/lib/docker/overlay2/abc/merged", dtFixed},
            {"/mnt/stick", dtRemovable},
            {"/mnt/fuse-other", dtUnknown},
        };
        for (const auto &[point, type] : rows)
            QTest::newRow(point) << QByteArray(point) << int(type);
    }

    void classifiesTheDesktopMounts()
    {
        QFETCH(QByteArray, mountPoint);
        QFETCH(int, type);
        const auto mounts = DesktopTable();
        const MountEntry *m = Find(mounts, mountPoint.toStdString());
        QVERIFY(m);
        QCOMPARE(int(ClassifyMount(*m, &FakeRemovable)), type);
    }

    void classifiesOtherMounts_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("type");
        QTest::newRow("read-only tmpfs") << QByteArray("9 1 0:9 / /x ro - tmpfs tmpfs ro") << int(dtCDROM);
        QTest::newRow("udf") << QByteArray("9 1 11:1 / /x rw - udf /dev/sr1 rw") << int(dtCDROM);
        QTest::newRow("optical drive, other type") << QByteArray("9 1 11:0 / /x rw - vfat /dev/sr0 rw")
                                                    << int(dtCDROM);
        QTest::newRow("btrfs on an anonymous device") << QByteArray("9 1 0:40 /@home /x rw - btrfs /dev/sda2 rw")
                                                      << int(dtFixed);
        QTest::newRow("smb3") << QByteArray("9 1 0:60 / /x rw - smb3 //srv/s rw") << int(dtRemote);
        QTest::newRow("9p") << QByteArray("9 1 0:61 / /x rw - 9p share rw") << int(dtRemote);
        QTest::newRow("rclone") << QByteArray("9 1 0:62 / /x rw - fuse.rclone drive: rw") << int(dtRemote);
        QTest::newRow("fuse naming /dev/fuse") << QByteArray("9 1 0:63 / /x rw - fuse.portal /dev/fuse rw")
                                               << int(dtUnknown);
        QTest::newRow("zfs dataset") << QByteArray("9 1 0:64 / /x rw - zfs tank/home rw") << int(dtFixed);
    }

    void classifiesOtherMounts()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, type);
        const auto mounts = ParseMountInfo(line.toStdString());
        QCOMPARE(mounts.size(), std::size_t(1));
        QCOMPARE(int(ClassifyMount(mounts[0], &FakeRemovable)), type);
        // Without a probe nothing counts as removable.
        if (type != dtRemovable)
            QCOMPARE(int(ClassifyMount(mounts[0], {})), type);
    }

    void driveParts_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("drivePart");
        QTest::newRow("deep below a network mount") << QByteArray("/home/user/remote/x/y")
                                                    << QByteArray("/home/user/remote");
        QTest::newRow("below /home") << QByteArray("/home/user/Pictures") << QByteArray("/home");
        QTest::newRow("root file system") << QByteArray("/etc") << QByteArray("");
        QTest::newRow("the root itself") << QByteArray("/") << QByteArray("");
        QTest::newRow("a mount point itself") << QByteArray("/mnt/nas") << QByteArray("/mnt/nas");
        QTest::newRow("a mount point with its slash") << QByteArray("/mnt/nas/") << QByteArray("/mnt/nas");
        QTest::newRow("blank in the mount point") << QByteArray("/media/user/BACKUP DISK/photos/a.jpg")
                                                  << QByteArray("/media/user/BACKUP DISK");
        QTest::newRow("name that only starts like a mount point") << QByteArray("/homeX/file")
                                                                  << QByteArray("");
        QTest::newRow("sibling of a mount point") << QByteArray("/media/user/BACKUP") << QByteArray("");
        QTest::newRow("nested tmpfs") << QByteArray("/run/user/1000/bus") << QByteArray("/run/user/1000");
        QTest::newRow("relative path") << QByteArray("home/user") << QByteArray("");
    }

    void driveParts()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, drivePart);
        QCOMPARE(QByteArray::fromStdString(DrivePart(path.toStdString(), DesktopTable())), drivePart);
    }

    void lastMountOnAPointWins()
    {
        const auto mounts = ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                           "2 1 0:30 / /mnt rw - nfs4 a:/b rw\n"
                                           "3 1 0:31 / /mnt rw - tmpfs tmpfs rw\n"
                                           "4 1 0:32 / / rw - tmpfs tmpfs rw\n");
        QCOMPARE(GetDriveType("/", mounts, &FakeRemovable), dtRamDisk);
        QCOMPARE(GetDriveType("", mounts, &FakeRemovable), dtRamDisk);
        QCOMPARE(DrivePart("/mnt/x", mounts), std::string("/mnt"));
        const auto volumes = UserVolumes(mounts);
        QCOMPARE(volumes.size(), std::size_t(1));
        QCOMPARE(volumes[0].fsType, std::string("tmpfs"));
    }

    void driveTypeOfMissingRoots()
    {
        const auto mounts = DesktopTable();
        QCOMPARE(GetDriveType("/", mounts, &FakeRemovable), dtFixed);
        QCOMPARE(GetDriveType("/no/such/quorvel/folder/", mounts, &FakeRemovable), dtNoRootDir);
        QCOMPARE(GetDriveType("/no/such/quorvel/folder/", {}, &FakeRemovable), dtNoRootDir);
        QCOMPARE(GetDriveType("relative/", mounts, &FakeRemovable), dtNoRootDir);
        QCOMPARE(GetDriveType("/no/such/quorvel/folder"), dtNoRootDir);
        TempTree t;
        QVERIFY(t.createFile("file"));
        QCOMPARE(GetDriveType(t.path("file")), dtNoRootDir);
    }

    void userVolumesOfTheDesktop()
    {
        std::vector<std::string> points;
        for (const auto &m : UserVolumes(DesktopTable()))
            points.push_back(m.mountPoint);
        const std::vector<std::string> expected = {
            "/", "/home", "/media/user/BACKUP DISK", "/media/user/DVD_2024", "/mnt/nas",
            "/mnt/share", "/home/user/remote", "/srv/archive", "/mnt/stick",
        };
        QCOMPARE(points, expected);
    }

    void userVolumesLeaveOutPackages()
    {
        const auto mounts = ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                           "2 1 7:3 / /snap/core/1 ro - squashfs /dev/loop3 ro\n"
                                           "3 1 7:4 / /mnt/image rw - ext4 /dev/loop4 rw\n");
        const auto volumes = UserVolumes(mounts);
        QCOMPARE(volumes.size(), std::size_t(2));
        QCOMPARE(volumes[1].mountPoint, std::string("/mnt/image"));
    }

    // A plain chroot lists the mounts made inside it, but not its root.
    void tableWithoutTheRoot()
    {
        const auto mounts = ParseMountInfo("21 26 0:20 / /proc rw - proc proc rw\n"
                                           "22 26 0:21 / /sys rw - sysfs sysfs rw\n"
                                           "23 26 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
                                           "30 26 8:17 / /mnt/stick rw - vfat /dev/sdb1 rw\n");
        QCOMPARE(DrivePart("/src/build/x", mounts), std::string());
        QCOMPARE(DrivePart("/", mounts), std::string());
        QCOMPARE(DrivePart("/proc/self", mounts), std::string("/proc"));
        std::vector<std::string> points;
        for (const auto &m : UserVolumes(mounts))
            points.push_back(m.mountPoint);
        QCOMPARE(points, (std::vector<std::string>{"/", "/mnt/stick"}));
        QVERIFY(GetDriveType("/", mounts, &FakeRemovable) != dtNoRootDir);
        QCOMPARE(GetDriveType("/", mounts, &FakeRemovable), ClassifyFileSystem("/", &FakeRemovable));
        QCOMPARE(GetDriveType("/proc/", mounts, &FakeRemovable), dtUnknown);
    }

    // Where no mount lists a folder, its file system tells what it is.
    void driveTypeFromTheFileSystemItself_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("type");
        QTest::newRow("tmpfs") << QByteArray("tmpfs") << int(dtRamDisk);
        QTest::newRow("read-only tmpfs") << QByteArray("ro tmpfs") << int(dtCDROM);
        QTest::newRow("proc") << QByteArray("proc") << int(dtUnknown);
        QTest::newRow("missing folder") << QByteArray("missing") << int(dtNoRootDir);
        QTest::newRow("a file") << QByteArray("file") << int(dtNoRootDir);
        QTest::newRow("disk on a removable device") << QByteArray("removable") << int(dtRemovable);
    }

    void driveTypeFromTheFileSystemItself()
    {
        QFETCH(QByteArray, kind);
        QFETCH(int, type);
        TempTree t;
        QVERIFY(t.createDir("point"));
        QVERIFY(t.createFile("file"));
        std::string path = t.path("point");
        RemovableProbe probe = &FakeRemovable;
        std::unique_ptr<TmpfsMount> mount;
        if (kind.endsWith("tmpfs")) {
            mount = std::make_unique<TmpfsMount>(path);
            if (!mount->Mounted())
                QSKIP(mount->Reason());
            if (kind.startsWith("ro ")
                && ::mount("quorvel-test", path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0)
                QSKIP("cannot remount the tmpfs read-only");
        } else if (kind == "proc") {
            path = "/proc";
        } else if (kind == "missing") {
            path = t.path("missing");
        } else if (kind == "file") {
            path = t.path("file");
        } else if (kind == "removable") {
            // Only a disk file system asks whether its device is removable.
            if (ClassifyFileSystem(path, {}) != dtFixed)
                QSKIP("the temporary folder is not on a disk file system");
            struct stat st;
            QCOMPARE(::stat(path.c_str(), &st), 0);
            probe = [device = st.st_dev](unsigned major, unsigned minor, const std::string &) {
                return major == ::major(device) && minor == ::minor(device);
            };
        }
        QCOMPARE(int(ClassifyFileSystem(path, probe)), type);
        // With no table at all, the drive type is the file system's.
        QCOMPARE(int(GetDriveType(path, {}, probe)), type);
    }

    void removableFromTheDeviceTree_data()
    {
        QTest::addColumn<QByteArray>("device"); // below devices/, a partition when it has a digit at its end
        QTest::addColumn<QByteArray>("removable");
        QTest::addColumn<bool>("expected");
        QTest::newRow("partition of a removable disk") << QByteArray("pci0/ata1/block/sdb/sdb1")
                                                       << QByteArray("1\n") << true;
        QTest::newRow("partition of a fixed disk") << QByteArray("pci0/ata1/block/sda/sda2")
                                                   << QByteArray("0\n") << false;
        QTest::newRow("partition on a USB bus") << QByteArray("pci0/usb2/2-1/host6/block/sdc/sdc1")
                                                << QByteArray("0\n") << true;
        QTest::newRow("whole removable disk") << QByteArray("pci0/ata2/block/sdd") << QByteArray("1\n")
                                              << true;
        QTest::newRow("whole fixed disk") << QByteArray("pci0/nvme/block/nvme0n1") << QByteArray("0\n")
                                          << false;
        QTest::newRow("no removable attribute") << QByteArray("virtual/block/loop0") << QByteArray()
                                                << false;
    }

    void removableFromTheDeviceTree()
    {
        QFETCH(QByteArray, device);
        QFETCH(QByteArray, removable);
        QFETCH(bool, expected);
        TempTree sys;
        const std::string dev = device.toStdString();
        const bool partition = std::isdigit(static_cast<unsigned char>(dev.back()))
            && dev.find("nvme") == std::string::npos && dev.find("loop") == std::string::npos;
        const std::string disk = partition ? dev.substr(0, dev.rfind('/')) : dev;
        QVERIFY(sys.createDir("devices/" + dev));
        QVERIFY(sys.createDir("dev/block"));
        if (partition)
            QVERIFY(sys.createFile("devices/" + dev + "/partition", "1\n"));
        if (!removable.isEmpty())
            QVERIFY(sys.createFile("devices/" + disk + "/removable", removable));
        QCOMPARE(::symlink(("../../devices/" + dev).c_str(), sys.path("dev/block/8:17").c_str()), 0);
        QCOMPARE(IsRemovableDeviceIn(sys.root(), 8, 17, "/dev/whatever"), expected);
        QVERIFY(!IsRemovableDeviceIn(sys.root(), 8, 18, "/dev/whatever"));
    }

    void liveTableAnswersForRootAndTemp()
    {
        const auto mounts = ReadMountTable();
        QVERIFY(!mounts.empty());
        QCOMPARE(DrivePart("/"), std::string());
        QCOMPARE(DriveRoot("/"), std::string("/"));
        const TDriveType rootType = GetDriveType("/");
        QVERIFY2(rootType != dtNoRootDir, "the root must be found");

        TempTree t;
        const std::string root = DriveRoot(t.root());
        QCOMPARE(root.back(), '/');
        QCOMPARE(t.root().compare(0, root.size(), root), 0);
        QVERIFY(GetDriveType(root) != dtNoRootDir);
        QCOMPARE(GetDriveType(root), GetDriveType(root.substr(0, root.size() > 1 ? root.size() - 1 : 1)));
    }

    void liveTableSeesAFreshMount()
    {
        TempTree t;
        QVERIFY(t.createDir("with blank"));
        const std::string point = t.path("with blank");
        TmpfsMount mount(point);
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        QCOMPARE(DrivePart(point + "/a/b"), point);
        QCOMPARE(DriveRoot(point), point + '/');
        QCOMPARE(GetDriveType(point + '/'), dtRamDisk);
        QVERIFY(!IsRemovableDevice(0, 0, "quorvel-test"));
        QVERIFY(mount.Unmount());
        QVERIFY(DrivePart(point + "/a/b") != point);
    }
};

QVL_TEST_CORE_MAIN(MountTableTest)
#include "MountTableTest.moc"
