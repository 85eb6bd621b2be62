// The inotify watch: what each kind of change reports, what it ignores, the
// folder itself going, and a watch that cannot be set up. Also the probe and
// the bounded subfolder look the folder namespace builds on.
#include "platform/DirectoryWatch.h"
#include "platform/EntryProbe.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <cerrno>
#include <cstdio>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Waits up to a second for a report; false when only timeouts came.
bool Reported(TDirectoryWatch &watch)
{
    for (int i = 0; i < 100; ++i) {
        const TWatchResult r = watch.Wait(10);
        if (r != wrTimeout)
            return r == wrChanged;
    }
    return false;
}

// Whatever is queued is read and judged within this slice.
bool ReportedNow(TDirectoryWatch &watch)
{
    return watch.Wait(50) == wrChanged;
}

} // namespace

class DirectoryWatchTest : public QObject
{
    Q_OBJECT
private slots:
    void maskCoversTheKinds()
    {
        QVERIFY(InotifyMaskFor(dcDirName) & IN_CREATE);
        QVERIFY(InotifyMaskFor(dcDirName) & IN_MOVED_TO);
        QVERIFY(!(InotifyMaskFor(dcDirName) & IN_MODIFY));
        QVERIFY(InotifyMaskFor(dcLastWrite) & IN_CLOSE_WRITE);
        QVERIFY(InotifyMaskFor(dcAttributes) & IN_ATTRIB);
        QVERIFY(InotifyMaskFor(0) & IN_DELETE_SELF);
    }

    void changes_data()
    {
        QTest::addColumn<uint>("kinds");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("reported");
        const uint dir = dcDirName, file = dcFileName, write = dcSize | dcLastWrite, attrs = dcAttributes;
        QTest::newRow("folder made, folders watched") << dir << "mkdir" << true;
        QTest::newRow("file made, folders watched") << dir << "touch" << false;
        QTest::newRow("file made, files watched") << file << "touch" << true;
        QTest::newRow("folder made, files watched") << file << "mkdir" << false;
        QTest::newRow("file written, folders watched") << dir << "write" << false;
        QTest::newRow("file written, writes watched") << write << "write" << true;
        QTest::newRow("folder renamed, folders watched") << dir << "rename" << true;
        QTest::newRow("mode changed, attributes watched") << attrs << "chmod" << true;
        QTest::newRow("mode changed, folders watched") << dir << "chmod" << false;
        QTest::newRow("watched folder removed") << dir << "rmself" << true;
    }
    void changes()
    {
        QFETCH(uint, kinds);
        QFETCH(QString, action);
        QFETCH(bool, reported);
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("w/old"));
        QVERIFY(temp.createFile("w/existing.txt"));
        TDirectoryWatch watch;
        QCOMPARE(watch.Open(temp.path("w"), kinds, false), 0);
        QCOMPARE(watch.Wait(10), wrTimeout);
        if (action == "mkdir")
            QVERIFY(temp.createDir("w/new"));
        else if (action == "touch")
            QVERIFY(temp.createFile("w/new.txt"));
        else if (action == "write")
            QVERIFY(temp.createFile("w/existing.txt", "changed"));
        else if (action == "rename")
            QCOMPARE(std::rename(temp.path("w/old").c_str(), temp.path("w/renamed").c_str()), 0);
        else if (action == "chmod")
            QCOMPARE(::chmod(temp.path("w/existing.txt").c_str(), 0600), 0);
        else if (action == "rmself")
            QVERIFY(QDir(QString::fromStdString(temp.path("w"))).removeRecursively());
        QCOMPARE(reported ? Reported(watch) : ReportedNow(watch), reported);
    }

    void watchNeedsAFolder()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createFile("f.txt"));
        TDirectoryWatch watch;
        QCOMPARE(watch.Open(temp.path("missing"), dcDirName, false), ENOENT);
        QVERIFY(!watch.IsOpen());
        QCOMPARE(watch.Open(temp.path("f.txt"), dcDirName, false), ENOTDIR);
        QCOMPARE(watch.Wait(10), wrFailed);
    }

    void subTreeWatchesTheFoldersBelow()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("w/a/b"));
        TDirectoryWatch deep, flat;
        QCOMPARE(deep.Open(temp.path("w"), dcDirName, true), 0);
        QCOMPARE(flat.Open(temp.path("w"), dcDirName, false), 0);
        QVERIFY(temp.createDir("w/a/b/c"));
        QVERIFY(Reported(deep));
        QVERIFY(!ReportedNow(flat));
    }

    void probe()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createFile("d/f"));
        QCOMPARE(::symlink(temp.path("d").c_str(), temp.path("ld").c_str()), 0);
        QCOMPARE(::symlink(temp.path("none").c_str(), temp.path("dangling").c_str()), 0);
        const TEntryProbe dir = ProbeEntry(temp.path("d"));
        QVERIFY(dir.exists && dir.isDir && !dir.isFile && !dir.isLink && dir.writable);
        const TEntryProbe file = ProbeEntry(temp.path("d/f"));
        QVERIFY(file.exists && file.isFile && !file.isDir);
        const TEntryProbe link = ProbeEntry(temp.path("ld"));
        QVERIFY(link.exists && link.isDir && link.isLink);
        const TEntryProbe dangling = ProbeEntry(temp.path("dangling"));
        QVERIFY(dangling.exists && dangling.isLink && !dangling.isDir && !dangling.isFile);
        QVERIFY(!ProbeEntry(temp.path("none")).exists);
        QVERIFY(!ProbeEntry("").exists);
    }

    void subfolderLook()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("none"));
        QVERIFY(temp.createFile("none/f"));
        QVERIFY(temp.createDir("hidden/.h"));
        QVERIFY(temp.createDir("some/x"));
        QCOMPARE(LookForSubfolder(temp.path("none"), 10), slNone);
        QCOMPARE(LookForSubfolder(temp.path("hidden"), 10), slSome);
        QCOMPARE(LookForSubfolder(temp.path("hidden"), 10, false), slNone);
        QCOMPARE(LookForSubfolder(temp.path("some"), 10), slSome);
        QCOMPARE(LookForSubfolder(temp.path("missing"), 10), slUnknown);
        for (int i = 0; i < 5; ++i)
            QVERIFY(temp.createFile("many/f" + std::to_string(i)));
        QCOMPARE(LookForSubfolder(temp.path("many"), 3), slUnknown); // gave up early
        QCOMPARE(LookForSubfolder(temp.path("many"), 100), slNone);
    }
};

QVL_TEST_CORE_MAIN(DirectoryWatchTest)
#include "DirectoryWatchTest.moc"
