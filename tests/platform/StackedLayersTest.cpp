#include "platform/MountTable.h"
#include "platform/StackedLayers.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/OverlayMount.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using QvlTest::OverlayMount;
using QvlTest::TempTree;

namespace {

struct Folder {
    int fd = -1;
    std::uint64_t device = 0;
    explicit Folder(const std::string &path)
    {
        fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0)
            device = std::uint64_t(st.st_dev);
    }
    ~Folder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A table in which the file system of `device` is of `type` from `source`
// with the options `super`, mounted at `mountPoint`.
std::vector<MountEntry> TableWith(std::uint64_t device, const std::string &type, const std::string &source,
                                  const std::string &super, const std::string &mountPoint)
{
    const std::string line = "99 1 " + std::to_string(::major(dev_t(device))) + ':'
        + std::to_string(::minor(dev_t(device))) + " / " + mountPoint + " rw - " + type + ' ' + source + ' '
        + super + '\n';
    return ParseMountInfo(line);
}

} // namespace

class StackedLayersTest : public QObject
{
    Q_OBJECT

private slots:
    void superOptionsKeepEscapedCommasInsideAValue()
    {
        const auto table = ParseMountInfo(
            "40 1 0:50 / /mnt/o rw - overlay overlay rw,lowerdir=/a\\054b:/c,upperdir=/u\\040x,workdir=/w\n"
            "41 1 0:51 / /mnt/n rw - overlay overlay rw,lowerdir+=/l1,lowerdir+=/l2,datadir+=/d\n");
        QCOMPARE(table.size(), std::size_t(2));
        QCOMPARE(SuperOptionValues(table[0], "lowerdir"), std::vector<std::string>{"/a,b:/c"});
        QCOMPARE(SuperOptionValues(table[0], "upperdir"), std::vector<std::string>{"/u x"});
        QCOMPARE(SuperOptionValues(table[0], "workdir"), std::vector<std::string>{"/w"});
        QCOMPARE(SuperOptionValues(table[1], "lowerdir"), (std::vector<std::string>{"/l1", "/l2"}));
        QCOMPARE(SuperOptionValues(table[1], "datadir"), std::vector<std::string>{"/d"});
        QVERIFY(SuperOptionValues(table[1], "upperdir").empty());
    }

    void mountsBelowAFolderAreFoundAtAnyDepthOnly()
    {
        const auto table = ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                          "2 1 8:2 / /home rw - ext4 /dev/sda2 rw\n"
                                          "3 2 0:40 / /home/ann/photos/card rw - vfat /dev/sdb1 rw\n"
                                          "4 2 0:41 / /home/annex rw - tmpfs tmpfs rw\n");
        QCOMPARE(MountsBelow("/home/ann", table), std::vector<std::string>{"/home/ann/photos/card"});
        QCOMPARE(MountsBelow("/home/ann/", table), std::vector<std::string>{"/home/ann/photos/card"});
        QVERIFY(MountsBelow("/home/ann/photos/card", table).empty());
        QCOMPARE(MountsBelow("/home", table).size(), std::size_t(2));
        QCOMPARE(MountsBelow("/", table).size(), std::size_t(3));
    }

    void thisMachineIsToldByNameAndAddress()
    {
        QVERIFY(IsThisMachine("localhost"));
        QVERIFY(IsThisMachine("127.0.0.1"));
        QVERIFY(IsThisMachine("[::1]"));
        char name[256] = {};
        QCOMPARE(::gethostname(name, sizeof name - 1), 0);
        QVERIFY(IsThisMachine(name));
        QVERIFY(!IsThisMachine("nas.invalid"));
        QVERIFY(!IsThisMachine("192.0.2.7")); // documentation range, never an interface here
        QVERIFY(!IsThisMachine(""));
    }

    // What a stacked file system's table entry says decides: the layers it
    // names, a server that is this machine, or nothing to go by.
    void verdictsFromWhatTheTableSays_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("super");
        QTest::addColumn<int>("verdict");
        const int separate = int(TStackedVerdict::Separate), same = int(TStackedVerdict::SameFile),
                  undecided = int(TStackedVerdict::Undecided);
        // @SRC stands for the folder that holds the other file, @UP for
        // some other folder.
        QTest::newRow("overlay over it") << "overlay" << "overlay" << "rw,lowerdir=@UP:@SRC,upperdir=@UP,workdir=@UP" << same;
        QTest::newRow("overlay over its parent") << "overlay" << "overlay" << "rw,lowerdir=@PARENT" << same;
        QTest::newRow("overlay over another folder") << "overlay" << "overlay" << "rw,lowerdir=@UP,upperdir=@UP" << separate;
        QTest::newRow("overlay naming no layer") << "overlay" << "overlay" << "rw" << undecided;
        QTest::newRow("overlay over an unseen folder") << "overlay" << "overlay" << "rw,lowerdir=/nonexistent/layer" << undecided;
        QTest::newRow("fuse view of it") << "fuse.bindfs" << "@SRC" << "rw,user_id=0" << same;
        QTest::newRow("fuse union with it") << "fuse.mergerfs" << "@UP:@SRC" << "rw" << same;
        QTest::newRow("fuse union of others") << "fuse.mergerfs" << "@UP" << "rw" << separate;
        QTest::newRow("fuse naming nothing") << "fuse.someview" << "someview" << "rw" << undecided;
        QTest::newRow("nfs from here") << "nfs4" << "localhost:@SRC" << "rw" << same;
        QTest::newRow("nfs from here, other export") << "nfs" << "127.0.0.1:@UP" << "rw" << separate;
        QTest::newRow("nfs from elsewhere") << "nfs4" << "nas.invalid:@SRC" << "rw" << separate;
        QTest::newRow("smb from here") << "cifs" << "//localhost/photos" << "rw" << undecided;
        QTest::newRow("smb from elsewhere") << "cifs" << "//nas.invalid/photos" << "rw" << separate;
        QTest::newRow("sshfs from here") << "fuse.sshfs" << "me@localhost:@SRC" << "rw" << same;
        QTest::newRow("sshfs from elsewhere") << "fuse.sshfs" << "me@nas.invalid:@SRC" << "rw" << separate;
        QTest::newRow("a plain disk") << "ext4" << "/dev/sdz1" << "rw" << separate;
        QTest::newRow("a disk through fuse") << "fuseblk" << "/dev/sdz1" << "rw" << separate;
    }
    void verdictsFromWhatTheTableSays()
    {
        QFETCH(QString, type);
        QFETCH(QString, source);
        QFETCH(QString, super);
        QFETCH(int, verdict);
        TempTree t;
        QVERIFY(t.createDir("base/src/deep"));
        QVERIFY(t.createDir("up"));
        QVERIFY(t.createDir("view"));
        const auto fill = [&](QString text) {
            text.replace("@SRC", QString::fromStdString(t.path("base/src")));
            text.replace("@PARENT", QString::fromStdString(t.path("base")));
            text.replace("@UP", QString::fromStdString(t.path("up")));
            return text.toStdString();
        };
        Folder view(t.path("view")), kept(t.path("base/src/deep"));
        // The file system that stacks gets a device of its own, as it would.
        const std::uint64_t stackedDevice = ::makedev(0, 4000);
        TStackedLayers layers(TableWith(stackedDevice, type.toStdString(), fill(source), fill(super), "/mnt/view"));
        QVERIFY(layers.AnyStacked(stackedDevice, kept.device) == (type != "ext4" && type != "fuseblk"
                                                                   && !source.contains("nas.invalid")));
        const TStackedAnswer a = layers.Relation(stackedDevice, view.fd, kept.device, kept.fd);
        QCOMPARE(int(a.verdict), verdict);
        // Either way round: which side is stacked does not matter.
        QCOMPARE(int(layers.Relation(kept.device, kept.fd, stackedDevice, view.fd).verdict), verdict);
        if (verdict != int(TStackedVerdict::Separate))
            QCOMPARE(a.fileSystem, type.toStdString() + " at /mnt/view");
    }

    // The real thing: an overlay whose lower layer is the other side.
    void overlayOverTheOtherSideIsOneFile()
    {
        TempTree t;
        QVERIFY(t.createFile("src/photo.jpg", "pixels"));
        QVERIFY(t.createDir("upper"));
        QVERIFY(t.createDir("work"));
        QVERIFY(t.createDir("view"));
        OverlayMount overlay(t.path("src"), t.path("upper"), t.path("work"), t.path("view"));
        if (!overlay.Mounted())
            QSKIP(overlay.Reason());
        {
            TStackedLayers layers;
            Folder src(t.path("src")), view(t.path("view"));
            struct stat a {}, b {};
            QCOMPARE(::stat(t.path("src/photo.jpg").c_str(), &a), 0);
            QCOMPARE(::stat(t.path("view/photo.jpg").c_str(), &b), 0);
            QCOMPARE(int(layers.Relation(a.st_dev, src.fd, b.st_dev, view.fd).verdict), int(TStackedVerdict::SameFile));
            QCOMPARE(int(layers.Relation(b.st_dev, view.fd, a.st_dev, src.fd).verdict), int(TStackedVerdict::SameFile));
        }
        // A live table is read again once the overlay is gone.
        TStackedLayers layers;
        QVERIFY(t.createDir("other"));
        Folder other(t.path("other")), view(t.path("view"));
        QVERIFY(layers.AnyStacked(view.device, other.device));
        QVERIFY(overlay.Unmount());
        Folder after(t.path("view"));
        QVERIFY(!layers.AnyStacked(after.device, other.device));
    }
};

QVL_TEST_CORE_MAIN(StackedLayersTest)
#include "StackedLayersTest.moc"
