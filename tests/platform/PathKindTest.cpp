#include "platform/PathKind.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

class PathKindTest : public QObject
{
    Q_OBJECT

private slots:
    void kindsOfPaths()
    {
        TempTree t;
        QVERIFY(t.createFile("a.txt", "x"));
        QVERIFY(t.createDir("sub"));
        QVERIFY(t.createFile("bracket[1].txt", "x"));
        QCOMPARE(GetPathKind(""), pkNone);
        QCOMPARE(GetPathKind("/"), pkFolder);
        QCOMPARE(GetPathKind(t.root()), pkFolder);
        QCOMPARE(GetPathKind(t.root() + "/"), pkFolder);
        QCOMPARE(GetPathKind(t.path("sub")), pkFolder);
        QCOMPARE(GetPathKind(t.path("a.txt")), pkFile);
        QCOMPARE(GetPathKind(t.path("missing")), pkNone);
        QCOMPARE(GetPathKind(t.path("a.txt/under-a-file")), pkNone);
        // Brackets are ordinary characters in a name, not a pattern.
        QCOMPARE(GetPathKind(t.path("bracket[1].txt")), pkFile);
    }

    void wildcardTakesItsFirstMatch()
    {
        TempTree t;
        QVERIFY(t.createFile("b1.dat", "x"));
        QVERIFY(t.createFile("b2.dat", "x"));
        QVERIFY(t.createDir("a-folder"));
        QVERIFY(t.createFile("c[x].txt", "x"));
        QCOMPARE(GetPathKind(t.path("b?.dat")), pkFile);
        QCOMPARE(GetPathKind(t.path("*.dat")), pkFile);
        // The first match in name order is the folder.
        QCOMPARE(GetPathKind(t.path("*")), pkNone);
        QCOMPARE(GetPathKind(t.path("*.nothing")), pkNone);
        QCOMPARE(GetPathKind(t.path("c[x]*")), pkFile);
    }

    void specialFilesAndLinks()
    {
        TempTree t;
        QVERIFY(t.createFile("target.txt", "12345"));
        QVERIFY(t.createDir("dir"));
        QCOMPARE(::mkfifo(t.path("fifo").c_str(), 0600), 0);
        QCOMPARE(::symlink(t.path("target.txt").c_str(), t.path("file-link").c_str()), 0);
        QCOMPARE(::symlink(t.path("dir").c_str(), t.path("dir-link").c_str()), 0);
        QCOMPARE(::symlink(t.path("gone").c_str(), t.path("dangling").c_str()), 0);
        // A FIFO is never a file: a run on it would hang at the first read.
        QCOMPARE(GetPathKind(t.path("fifo")), pkNone);
        QCOMPARE(FileSizeOf(t.path("fifo")), 0u);
        QCOMPARE(GetPathKind(t.path("file-link")), pkFile);
        QCOMPARE(FileSizeOf(t.path("file-link")), 5u);
        QCOMPARE(GetPathKind(t.path("dir-link")), pkFolder);
        QCOMPARE(GetPathKind(t.path("dangling")), pkNone);
        QCOMPARE(GetPathKind("/dev/null"), pkNone);
    }

    void sizes()
    {
        TempTree t;
        QVERIFY(t.createFile("empty"));
        QVERIFY(t.createFile("three", "abc"));
        QCOMPARE(FileSizeOf(t.path("empty")), 0u);
        QCOMPARE(FileSizeOf(t.path("three")), 3u);
        QCOMPARE(FileSizeOf(t.path("missing")), 0u);
        QCOMPARE(FileSizeOf(t.root()), 0u);
        QCOMPARE(FileSizeOf(""), 0u);

        // A sparse file past 4 GiB keeps its whole 64-bit size.
        const std::uint64_t big = (std::uint64_t(5) << 30) + 7;
        const int fd = ::open(t.path("big").c_str(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::ftruncate(fd, off_t(big)), 0);
        ::close(fd);
        QCOMPARE(FileSizeOf(t.path("big")), big);
    }
};

QVL_TEST_CORE_MAIN(PathKindTest)
#include "PathKindTest.moc"
