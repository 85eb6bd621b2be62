#include "platform/CurrentFolder.h"
#include "controls/filelist/DirectoryListBox.h"
#include "controls/filelist/DriveComboBoxEx.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "platform/VolumeLabel.h"
#include "tests/platform/TmpfsMount.h"

#include <QAbstractItemView>

#include <memory>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;

namespace {

QStringList Rows(const TDriveComboBoxEx &box)
{
    QStringList rows;
    for (int i = 0; i < box.Count(); ++i)
        rows << QString::fromStdString(box.Items(i));
    return rows;
}

// A box on a recorded mount table whose mount points are folders of a
// temporary tree; the disk 8:16 is removable, and labels come from a udev
// database in the tree.
class TRecordedDrives : public TDriveComboBoxEx
{
public:
    explicit TRecordedDrives(const TempTree &t) : m_tree(t)
    {
        for (const char *dir : {"stick", "data", "nas", "dvd", "proc", "udev"})
            QVERIFY(t.createDir(dir));
        QVERIFY(t.createFile("udev/b8:2", "S:disk/by-label/DATA\nE:ID_FS_LABEL=Data_Disk\nE:ID_FS_LABEL_ENC=Data\\x20Disk\n"));
        const std::string root = t.root();
        m_table = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                  "2 1 8:17 / " + root + "/stick rw - vfat /dev/sdb1 rw\n"
                  "3 1 0:20 / " + root + "/proc rw - proc proc rw\n"
                  "4 1 8:2 / " + root + "/data rw - ext4 /dev/sda2 rw\n"
                  "5 1 0:50 / " + root + "/nas rw - nfs4 nas:/export rw\n"
                  "6 1 11:0 / " + root + "/dvd ro - iso9660 /dev/sr0 ro\n"
                  "7 1 8:3 / " + root + "/gone rw - ext4 /dev/sda3 rw\n";
    }

protected:
    std::vector<MountEntry> ReadMounts() override { return ParseMountInfo(m_table); }
    TDriveType VolumeType(const MountEntry &volume, const std::vector<MountEntry> &mounts) override
    {
        return GetDriveType(volume.mountPoint, mounts,
                            [](unsigned major, unsigned minor, const std::string &) { return major == 8 && minor >= 16; });
    }
    std::string VolumeLabelOf(const MountEntry &volume) override
    {
        return VolumeLabelIn(m_tree.path("udev"), m_tree.path("by-label"), volume.major, volume.minor);
    }

private:
    const TempTree &m_tree;
    std::string m_table;
};

// The live volumes, and besides them every mount below one folder of the
// tests (which UserVolumes leaves out: a tmpfs is no user's disk).
class TLiveDrives : public TDriveComboBoxEx
{
public:
    explicit TLiveDrives(const std::string &below) : m_below(below) {}

protected:
    std::vector<MountEntry> Volumes(const std::vector<MountEntry> &mounts) override
    {
        std::vector<MountEntry> volumes = TDriveComboBoxEx::Volumes(mounts);
        for (const MountEntry &m : mounts)
            if (!RelativeTo(m.mountPoint, m_below).empty())
                volumes.push_back(m);
        return volumes;
    }

private:
    std::string m_below;
};

int RowOf(const TDriveComboBoxEx &box, const std::string &mountPoint)
{
    for (int i = 0; i < box.Count(); ++i)
        if (box.MountPoint(i) == mountPoint)
            return i;
    return -1;
}

} // namespace

class DriveComboBoxExTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(SetCurrentFolder(QDir::tempPath().toStdString()) == 0);
    }

    // Removable: nothing after the mount point; fixed and optical: the
    // label in brackets ("[]" without one); network: the mount source.
    // Unknown types and vanished mount points get no row; table order.
    void rowsByDriveType()
    {
        TempTree t;
        TRecordedDrives box(t);
        QCOMPARE(box.Count(), 0); // built when shown
        box.BuildList();
        const QString root = QString::fromStdString(t.root());
        QCOMPARE(Rows(box), (QStringList{"/ []", root + "/stick ", root + "/data [Data Disk]",
                                         root + "/nas nas:/export", root + "/dvd []"}));
        QCOMPARE(box.DriveTypeOf(0), dtFixed);
        QCOMPARE(box.DriveTypeOf(1), dtRemovable);
        QCOMPARE(box.DriveTypeOf(3), dtRemote);
        QCOMPARE(box.DriveTypeOf(4), dtCDROM);
        QCOMPARE(box.MountPoint(2), t.path("data"));
        // The folder the program stands in decides the first choice.
        QCOMPARE(box.Drive(), std::string("/"));
        QCOMPARE(box.currentIndex(), 0);
        QCOMPARE(box.Version(), std::string("1.2.0.0"));
        QCOMPARE(box.view()->itemDelegate()->sizeHint(QStyleOptionViewItem(), box.model()->index(0, 0)).height(),
                 16);
    }

    void choosingAVolumeMovesTheDirectoryList()
    {
        TempTree t;
        QVERIFY(t.createDir("data/inside"));
        TRecordedDrives box(t);
        auto dirs = std::make_unique<TDirectoryListBox>();
        box.SetDirList(dirs.get());
        int changes = 0;
        box.OnChange = [&changes](QObject *) { ++changes; };
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.Count(), 5);

        // The user steps to the next volume with the keyboard.
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(box.Drive(), t.path("stick"));
        QCOMPARE(dirs->Directory(), t.path("stick"));
        QCOMPARE(changes, 1);

        // A folder on a volume chooses that volume, and its mount point.
        box.SetDrive(t.path("data/inside"));
        QCOMPARE(box.Drive(), t.path("data"));
        QCOMPARE(box.currentIndex(), 2);
        QCOMPARE(dirs->Directory(), t.path("data"));
        QCOMPARE(changes, 2);
        box.SetDrive(t.path("data"));
        QCOMPARE(changes, 2);

        // A mount point that cannot be entered keeps the choice.
        QvlTest::RemoveTree(t.path("nas"));
        QVERIFY_THROWS_EXCEPTION(EInOutError, box.SetDrive(t.path("nas")));
        QCOMPARE(box.Drive(), t.path("data"));
        QCOMPARE(box.currentIndex(), 2);
        QCOMPARE(changes, 2);

        dirs.reset();
        QCOMPARE(box.DirList(), nullptr);
        box.SetDrive("/");
        QCOMPARE(box.Drive(), std::string("/"));
    }

    // The box follows the mount table: a tmpfs mounted appears as a RAM
    // disk, and goes when it is unmounted; the choice then falls back to
    // the volume that holds the mount point.
    void followsAMountAndAnUnmount()
    {
        TempTree t;
        QVERIFY(t.createDir("ram"));
        TLiveDrives box(t.root());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(RowOf(box, t.path("ram")), -1);
        const int before = box.Count();

        auto mount = std::make_unique<TmpfsMount>(t.path("ram"));
        if (!mount->Mounted())
            QSKIP(mount->Reason());
        QTRY_VERIFY_WITH_TIMEOUT(RowOf(box, t.path("ram")) >= 0, 5000);
        const int row = RowOf(box, t.path("ram"));
        QCOMPARE(box.Items(row), t.path("ram") + " []");
        QCOMPARE(box.DriveTypeOf(row), dtRamDisk);
        QCOMPARE(box.Count(), before + 1);
        box.SetDrive(t.path("ram"));
        QCOMPARE(box.Drive(), t.path("ram"));
        int changes = 0;
        box.OnChange = [&changes](QObject *) { ++changes; };

        QVERIFY(mount->Unmount());
        QTRY_VERIFY_WITH_TIMEOUT(RowOf(box, t.path("ram")) < 0, 5000);
        QCOMPARE(box.Count(), before);
        const int holder = box.currentIndex();
        QVERIFY(holder >= 0);
        QVERIFY(box.Drive() == "/" || !RelativeTo(t.path("ram"), box.Drive()).empty());
        QCOMPARE(box.MountPoint(holder), box.Drive());
        QCOMPARE(changes, 1);
    }
};

QVL_TEST_MAIN(DriveComboBoxExTest)
#include "DriveComboBoxExTest.moc"
