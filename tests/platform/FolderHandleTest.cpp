#include "platform/FolderHandle.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

class FolderHandleTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetBelowLookupWithOpenat2(true); }

    // What OpenBelow() reaches, and what it refuses, the same both ways.
    void belowTheBaseWithoutLinks_data()
    {
        QTest::addColumn<bool>("openat2");
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("reached"); // the folder reached, or "" for a failure
        for (bool openat2 : {true, false}) {
            const QString way = openat2 ? "one lookup: " : "name by name: ";
            QTest::newRow(qPrintable(way + "the base itself")) << openat2 << "" << "";
            QTest::newRow(qPrintable(way + "the base, as .")) << openat2 << "." << "";
            QTest::newRow(qPrintable(way + "a folder")) << openat2 << "a" << "a";
            QTest::newRow(qPrintable(way + "deeper, doubled slash")) << openat2 << "a//b" << "a/b";
            QTest::newRow(qPrintable(way + "a link to a folder inside")) << openat2 << "inner-link" << "-";
            QTest::newRow(qPrintable(way + "a link on the way")) << openat2 << "inner-link/b" << "-";
            QTest::newRow(qPrintable(way + "a link to outside")) << openat2 << "out-link" << "-";
            QTest::newRow(qPrintable(way + "up and out")) << openat2 << "a/../../outside" << "-";
            QTest::newRow(qPrintable(way + "a file")) << openat2 << "a/file" << "-";
            QTest::newRow(qPrintable(way + "nothing there")) << openat2 << "a/missing" << "-";
        }
    }
    void belowTheBaseWithoutLinks()
    {
        QFETCH(bool, openat2);
        QFETCH(QString, relative);
        QFETCH(QString, reached);
        TempTree t;
        QVERIFY(t.createFile("base/a/b/mark", "b"));
        QVERIFY(t.createFile("base/a/file", "f"));
        QVERIFY(t.createDir("outside"));
        QCOMPARE(::symlink(t.path("base/a").c_str(), t.path("base/inner-link").c_str()), 0);
        QCOMPARE(::symlink(t.path("outside").c_str(), t.path("base/out-link").c_str()), 0);
        SetBelowLookupWithOpenat2(openat2);

        TFolderHandle base, below;
        QCOMPARE(base.OpenPath(t.path("base")), 0);
        const int error = below.OpenBelow(base, relative.toStdString());
        if (reached == "-") {
            QVERIFY(error != 0);
            QVERIFY(!below.IsOpen());
            return;
        }
        QCOMPARE(error, 0);
        QCOMPARE(below.CurrentPath(), reached.isEmpty() ? t.path("base") : t.path("base/" + reached.toStdString()));
    }

    // Which files OpenFileBelow() opens, both ways: never one outside the
    // base, though the file out there is what the path would reach. Links
    // that stay inside are followed by the one lookup only.
    void filesBelowTheBaseOnly_data()
    {
        QTest::addColumn<bool>("openat2");
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("contents"); // of the file opened, or "" for a failure
        for (bool openat2 : {true, false}) {
            const QString way = openat2 ? "one lookup: " : "name by name: ";
            QTest::newRow(qPrintable(way + "a file")) << openat2 << "a/file" << "inside";
            QTest::newRow(qPrintable(way + "./ and doubled slashes")) << openat2 << "./a//file" << "inside";
            QTest::newRow(qPrintable(way + "absolute")) << openat2 << QString::fromStdString("/etc/hostname") << "";
            QTest::newRow(qPrintable(way + "up and out")) << openat2 << "../outside" << "";
            QTest::newRow(qPrintable(way + "down, up and out")) << openat2 << "a/../../outside" << "";
            QTest::newRow(qPrintable(way + "a link to a file outside")) << openat2 << "out-file" << "";
            QTest::newRow(qPrintable(way + "a relative link out")) << openat2 << "up-file" << "";
            QTest::newRow(qPrintable(way + "a folder link out on the way")) << openat2 << "out-dir/outside" << "";
            QTest::newRow(qPrintable(way + "a link inside")) << openat2 << "in-file" << (openat2 ? "inside" : "");
            QTest::newRow(qPrintable(way + "nothing there")) << openat2 << "a/missing" << "";
        }
    }
    void filesBelowTheBaseOnly()
    {
        QFETCH(bool, openat2);
        QFETCH(QString, relative);
        QFETCH(QString, contents);
        TempTree t;
        QVERIFY(t.createFile("base/a/file", "inside"));
        QVERIFY(t.createFile("outside", "outside"));
        QCOMPARE(::symlink(t.path("outside").c_str(), t.path("base/out-file").c_str()), 0);
        QCOMPARE(::symlink("../outside", t.path("base/up-file").c_str()), 0);
        QCOMPARE(::symlink(t.root().c_str(), t.path("base/out-dir").c_str()), 0);
        QCOMPARE(::symlink("a/file", t.path("base/in-file").c_str()), 0);
        SetBelowLookupWithOpenat2(openat2);

        TFolderHandle base;
        QCOMPARE(base.OpenPath(t.path("base")), 0);
        int fd = -1;
        const int error = base.OpenFileBelow(relative.toStdString(), O_NONBLOCK, fd);
        if (contents.isEmpty()) {
            QVERIFY(error != 0);
            QCOMPARE(fd, -1);
            return;
        }
        QCOMPARE(error, 0);
        char buf[32] = {};
        const ssize_t n = ::read(fd, buf, sizeof buf);
        ::close(fd);
        QCOMPARE(QString::fromLatin1(buf, int(n)), contents);
    }

    // A handle keeps to its folder when the path is swapped for a link.
    void handleFollowsTheFolderNotThePath()
    {
        TempTree t;
        QVERIFY(t.createFile("base/d/victim", "v"));
        QVERIFY(t.createFile("elsewhere/victim", "e"));
        TFolderHandle base, d;
        QCOMPARE(base.OpenPath(t.path("base")), 0);
        QCOMPARE(d.OpenBelow(base, "d"), 0);
        QCOMPARE(::rename(t.path("base/d").c_str(), t.path("moved").c_str()), 0);
        QCOMPARE(::symlink(t.path("elsewhere").c_str(), t.path("base/d").c_str()), 0);
        QCOMPARE(d.CurrentPath(), t.path("moved"));
        QCOMPARE(d.RemoveFile("victim"), 0);
        QVERIFY(QFile::exists(QString::fromStdString(t.path("elsewhere/victim"))));
        QVERIFY(!QFile::exists(QString::fromStdString(t.path("moved/victim"))));
        TFolderHandle again;
        QVERIFY(again.OpenBelow(base, "d") != 0);
    }

    void removalsNeverReachFurther()
    {
        TempTree t;
        QVERIFY(t.createDir("base/empty"));
        QVERIFY(t.createFile("base/full/x", "x"));
        QVERIFY(t.createFile("base/file", "f"));
        QCOMPARE(::symlink(t.path("base/empty").c_str(), t.path("base/link").c_str()), 0);
        TFolderHandle base;
        QCOMPARE(base.OpenPath(t.path("base")), 0);
        QCOMPARE(base.RemoveEmptyFolder("full"), ENOTEMPTY);
        QCOMPARE(base.RemoveEmptyFolder("link"), ENOTDIR);
        QCOMPARE(base.RemoveEmptyFolder("file"), ENOTDIR);
        QCOMPARE(base.RemoveFile("empty"), EISDIR);
        QCOMPARE(base.RemoveEmptyFolder("empty"), 0);
        QVERIFY(QFile::exists(QString::fromStdString(t.path("base/full/x"))));

        // A file with another name lives on, and says so.
        QCOMPARE(::link(t.path("base/file").c_str(), t.path("second-name").c_str()), 0);
        struct stat after {};
        QCOMPARE(base.RemoveFile("file", &after), 0);
        QCOMPARE(int(after.st_nlink), 1);
        struct stat second;
        QCOMPARE(::stat(t.path("second-name").c_str(), &second), 0);
        QCOMPARE(after.st_ino, second.st_ino);
    }
};

QVL_TEST_CORE_MAIN(FolderHandleTest)
#include "FolderHandleTest.moc"
