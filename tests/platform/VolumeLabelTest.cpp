#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "platform/VolumeLabel.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using QvlTest::TempTree;

class VolumeLabelTest : public QObject
{
    Q_OBJECT

private slots:
    // The encoded label keeps blanks and slashes the plain one replaces.
    void fromUdevsDatabase()
    {
        TempTree t;
        QVERIFY(t.createFile("data/b8:17", "S:disk/by-uuid/1234\nE:ID_FS_LABEL=My_Photos_2024\n"
                                           "E:ID_FS_LABEL_ENC=My\\x20Photos\\x2f2024\nE:ID_FS_TYPE=vfat\n"));
        QVERIFY(t.createFile("data/b8:18", "E:ID_FS_LABEL=plain\n"));
        QVERIFY(t.createFile("data/b8:19", "E:ID_FS_TYPE=ext4\n"));
        QCOMPARE(VolumeLabelIn(t.path("data"), t.path("by-label"), 8, 17), std::string("My Photos/2024"));
        QCOMPARE(VolumeLabelIn(t.path("data"), t.path("by-label"), 8, 18), std::string("plain"));
        QCOMPARE(VolumeLabelIn(t.path("data"), t.path("by-label"), 8, 19), std::string());
        QCOMPARE(VolumeLabelIn(t.path("data"), t.path("by-label"), 8, 20), std::string());
        // No block device: nothing is looked up.
        QVERIFY(t.createFile("data/b0:17", "E:ID_FS_LABEL=never\n"));
        QCOMPARE(VolumeLabelIn(t.path("data"), t.path("by-label"), 0, 17), std::string());
    }

    // Without a database entry, the link whose device node is the device
    // names it.
    void fromTheLinksByLabel()
    {
        TempTree t;
        QVERIFY(t.createDir("dev"));
        QVERIFY(t.createDir("by-label"));
        if (::mknod(t.path("dev/sdc1").c_str(), S_IFBLK | 0600, makedev(8, 33)) != 0)
            QSKIP(qPrintable(QString("cannot make a device node: %1").arg(std::strerror(errno))));
        QCOMPARE(::mknod(t.path("dev/sdc2").c_str(), S_IFBLK | 0600, makedev(8, 34)), 0);
        QCOMPARE(::symlink("../dev/sdc2", t.path("by-label/OTHER").c_str()), 0);
        QCOMPARE(::symlink("../dev/sdc1", t.path("by-label/BACKUP\\x20ONE").c_str()), 0);
        QCOMPARE(::symlink("../dev/missing", t.path("by-label/DANGLING").c_str()), 0);
        QCOMPARE(VolumeLabelIn(t.path("udev"), t.path("by-label"), 8, 33), std::string("BACKUP ONE"));
        QCOMPARE(VolumeLabelIn(t.path("udev"), t.path("by-label"), 8, 34), std::string("OTHER"));
        QCOMPARE(VolumeLabelIn(t.path("udev"), t.path("by-label"), 8, 35), std::string());
    }
};

QVL_TEST_CORE_MAIN(VolumeLabelTest)
#include "VolumeLabelTest.moc"
