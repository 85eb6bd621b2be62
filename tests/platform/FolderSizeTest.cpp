#include "platform/FolderSize.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;

class FolderSizeTest : public QObject
{
    Q_OBJECT
private slots:
    void countsFilesFoldersAndBytesBelowTheFolder();
    void linksAreCountedNotFollowed();
    void aHardLinkedFileCountsOnce();
    void otherFileSystemsAreNotEntered();
    void anUnreadableFolderIsSkippedAndReported();
    void stopEndsTheWalkAtTheNextEntry();
    void aFolderThatCannotBeListedGivesFalse();
};

void FolderSizeTest::countsFilesFoldersAndBytesBelowTheFolder()
{
    TempTree tree;
    QVERIFY(tree.createFile("top/a", QByteArray(100, 'a')));
    QVERIFY(tree.createFile("top/sub/b", QByteArray(20, 'b')));
    QVERIFY(tree.createFile("top/sub/deeper/.hidden", QByteArray(3, 'c')));
    QVERIFY(tree.createDir("top/empty"));
    QCOMPARE(::mkfifo(tree.path("top/pipe").c_str(), 0600), 0);

    TFolderTotals t;
    std::atomic<bool> stop {false};
    int calls = 0;
    QVERIFY(CountFolderContents(tree.path("top"), t, stop, [&calls](const TFolderTotals &) { ++calls; }));
    QCOMPARE(t.files, std::uint64_t(3));
    QCOMPARE(t.folders, std::uint64_t(3)); // sub, sub/deeper, empty; not top itself
    QCOMPARE(t.others, std::uint64_t(1));  // the FIFO, never opened
    QCOMPARE(t.bytes, std::uint64_t(123));
    QCOMPARE(t.unreadable, std::uint64_t(0));
    QCOMPARE(calls, 7); // once per entry
}

void FolderSizeTest::linksAreCountedNotFollowed()
{
    TempTree tree;
    QVERIFY(tree.createFile("top/a", QByteArray(10, 'a')));
    QVERIFY(tree.createFile("elsewhere/big", QByteArray(5000, 'b')));
    QCOMPARE(::symlink(tree.path("elsewhere").c_str(), tree.path("top/folder-link").c_str()), 0);
    QCOMPARE(::symlink(tree.path("elsewhere/big").c_str(), tree.path("top/file-link").c_str()), 0);
    // A link back up would make a walk that follows links run forever.
    QCOMPARE(::symlink(tree.path("top").c_str(), tree.path("top/loop").c_str()), 0);

    TFolderTotals t;
    std::atomic<bool> stop {false};
    QVERIFY(CountFolderContents(tree.path("top"), t, stop));
    QCOMPARE(t.files, std::uint64_t(1));
    QCOMPARE(t.bytes, std::uint64_t(10));
    QCOMPARE(t.others, std::uint64_t(3));
    QCOMPARE(t.folders, std::uint64_t(0));
}

void FolderSizeTest::aHardLinkedFileCountsOnce()
{
    TempTree tree;
    QVERIFY(tree.createFile("top/one", QByteArray(700, 'x')));
    QVERIFY(tree.createDir("top/sub"));
    QCOMPARE(::link(tree.path("top/one").c_str(), tree.path("top/sub/two").c_str()), 0);

    TFolderTotals t;
    std::atomic<bool> stop {false};
    QVERIFY(CountFolderContents(tree.path("top"), t, stop));
    QCOMPARE(t.files, std::uint64_t(1));
    QCOMPARE(t.bytes, std::uint64_t(700));
}

void FolderSizeTest::otherFileSystemsAreNotEntered()
{
    TempTree tree;
    QVERIFY(tree.createFile("top/a", QByteArray(10, 'a')));
    QVERIFY(tree.createDir("top/mnt"));
    TmpfsMount mount(tree.path("top/mnt"));
    if (!mount.Mounted())
        QSKIP(mount.Reason());
    QVERIFY(tree.createFile("top/mnt/inside", QByteArray(999, 'i')));

    TFolderTotals t;
    std::atomic<bool> stop {false};
    QVERIFY(CountFolderContents(tree.path("top"), t, stop));
    QCOMPARE(t.folders, std::uint64_t(1)); // the mount point itself
    QCOMPARE(t.files, std::uint64_t(1));
    QCOMPARE(t.bytes, std::uint64_t(10));
}

void FolderSizeTest::anUnreadableFolderIsSkippedAndReported()
{
    if (::geteuid() == 0)
        QSKIP("root reads every folder");
    TempTree tree;
    QVERIFY(tree.createFile("top/a", QByteArray(10, 'a')));
    QVERIFY(tree.createFile("top/locked/b", QByteArray(10, 'b')));
    QCOMPARE(::chmod(tree.path("top/locked").c_str(), 0), 0);
    TFolderTotals t;
    std::atomic<bool> stop {false};
    const bool done = CountFolderContents(tree.path("top"), t, stop);
    ::chmod(tree.path("top/locked").c_str(), 0755);
    QVERIFY(done);
    QCOMPARE(t.unreadable, std::uint64_t(1));
    QCOMPARE(t.files, std::uint64_t(1));
}

void FolderSizeTest::stopEndsTheWalkAtTheNextEntry()
{
    TempTree tree;
    for (int i = 0; i < 50; ++i)
        QVERIFY(tree.createFile("top/f" + std::to_string(i), "x"));

    TFolderTotals t;
    std::atomic<bool> stop {false};
    int calls = 0;
    const bool complete = CountFolderContents(tree.path("top"), t, stop, [&](const TFolderTotals &) {
        if (++calls == 5)
            stop = true;
    });
    QVERIFY(!complete);
    QCOMPARE(calls, 5);
    QCOMPARE(t.files, std::uint64_t(5));
}

void FolderSizeTest::aFolderThatCannotBeListedGivesFalse()
{
    TempTree tree;
    QVERIFY(tree.createFile("file", "x"));
    TFolderTotals t;
    std::atomic<bool> stop {false};
    QVERIFY(!CountFolderContents(tree.path("missing"), t, stop));
    QCOMPARE(t.unreadable, std::uint64_t(1));
    QVERIFY(!CountFolderContents(tree.path("file"), t, stop));
}

QVL_TEST_CORE_MAIN(FolderSizeTest)
#include "FolderSizeTest.moc"
