// One-shot folder watchers, alone and in the tree: a change is reported
// once on the window thread, a stopped watcher never reports, and the tree
// re-reads the selected folder or moves up when it goes.
#include "controls/foldertree/FileChange.h"
#include "controls/foldertree/SystemTreeView.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/foldertree/TreeTestHelpers.h"

#include <QPointer>

#include <cstdio>

using namespace QvlTest;

namespace {

// A watch of the same folder asking for the same kinds as `watcher`. The
// kernel queues a change's events before the call that made it returns, so
// Wait(0) on it judges every change made so far, at once: what it ignores,
// the watcher's own watch ignores too.
bool OpenTwin(TDirectoryWatch &twin, const TFileChangeThread &watcher)
{
    return twin.Open(watcher.Path(), watcher.FilterToAPIVal(), watcher.WatchSubTree()) == 0;
}

} // namespace

class FileChangeTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QTRY_COMPARE(TFileChangeThread::LiveCount(), 0); }

    void filterBits()
    {
        QvlTest::TempTree temp;
        auto *all = new TFileChangeThread(temp.root(), fsfFilename | fsfDirname | fsfAttributes | fsfSize |
                                                          fsfLastWrite | fsfSecurity, false);
        QCOMPARE(all->FilterToAPIVal(), 0x11Fu);
        all->Terminate();
        auto *names = new TFileChangeThread(temp.root(), fsfDirname, false);
        QCOMPARE(names->FilterToAPIVal(), 0x2u);
        names->Terminate();
    }

    void reportsOnceOnTheWindowThread()
    {
        QvlTest::TempTree temp;
        int reports = 0;
        bool onWindowThread = false;
        auto *watcher = new TFileChangeThread(temp.root(), fsfDirname, false);
        watcher->OnTerminate = [&](TFileChangeThread *sender) {
            ++reports;
            onWindowThread = QThread::currentThread() == qApp->thread();
            QVERIFY(!sender->Aborted());
        };
        QVERIFY(temp.createDir("new"));
        QTRY_COMPARE(reports, 1);
        QVERIFY(onWindowThread);
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 0); // gone by itself
        QVERIFY(temp.createDir("another"));
        // Its thread is over: whatever it could still have posted is
        // delivered here.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(reports, 1);
    }

    void stoppedWatcherNeverReports()
    {
        QvlTest::TempTree temp;
        int reports = 0;
        auto *watcher = CountingWatcher(temp.root(), fsfDirname, reports);
        watcher->Terminate();
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 0);
        QVERIFY(temp.createDir("late"));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(reports, 0);
    }

    void reportAlreadyOnItsWayIsDropped()
    {
        QvlTest::TempTree temp;
        int reports = 0;
        auto *watcher = CountingWatcher(temp.root(), fsfDirname, reports);
        QVERIFY(temp.createDir("x"));
        QVERIFY(watcher->wait(5000)); // ended with a report, not yet delivered
        QVERIFY(!watcher->Aborted());
        watcher->OnTerminate = nullptr; // the creator forgets it
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 0);
        QCOMPARE(reports, 0);
    }

    void folderNamesOnlyIgnoresFiles()
    {
        QvlTest::TempTree temp;
        int reports = 0;
        TDirectoryWatch twin;
        QVERIFY(OpenTwin(twin, *CountingWatcher(temp.root(), fsfDirname, reports)));
        QVERIFY(temp.createFile("file.txt", "contents"));
        QVERIFY(temp.createFile("file.txt", "changed"));
        QVERIFY(QFile::rename(Q(temp.path("file.txt")), Q(temp.path("renamed.txt"))));
        QCOMPARE(twin.Wait(0), wrTimeout);
        QVERIFY(temp.createDir("folder"));
        QCOMPARE(twin.Wait(0), wrChanged);
        QTRY_COMPARE(reports, 1);
    }

    void fileNamesAndWritesWhenAsked()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createFile("f.txt"));
        int reports = 0;
        CountingWatcher(temp.root(), fsfSize | fsfLastWrite, reports);
        QVERIFY(temp.createFile("f.txt", "more"));
        QTRY_COMPARE(reports, 1);
    }

    void subTreeOnlyWhenAsked()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        int flat = 0, deep = 0;
        auto *flatWatcher = CountingWatcher(temp.root(), fsfDirname, flat);
        CountingWatcher(temp.root(), fsfDirname, deep, true); // watching once made
        TDirectoryWatch flatTwin;
        QVERIFY(OpenTwin(flatTwin, *flatWatcher));
        QVERIFY(temp.createDir("a/b/c"));
        QTRY_COMPARE(deep, 1);
        QCOMPARE(flatTwin.Wait(0), wrTimeout);
        flatWatcher->Terminate();
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(flat, 0);
    }

    void missingFolderEndsSilently()
    {
        QvlTest::TempTree temp;
        int reports = 0;
        CountingWatcher(temp.path("missing"), fsfDirname, reports);
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 0);
        QCOMPARE(reports, 0);
    }

    // ------------------------------------------------------------ in the tree

    void folderCreatedInTheSelectedFolderAppears()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/old"));
        TSystemTreeView tree;
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        QTreeWidgetItem *a = tree.Selected();
        QTRY_VERIFY_WITH_TIMEOUT(tree.WatchThread() && tree.WatchedNode() == a, 3000); // after ReadDelay
        QVERIFY(tree.ParentWatchThread());
        QVERIFY(!a->isExpanded());
        QVERIFY(temp.createDir("a/new"));
        QTRY_VERIFY(ChildNamed(a, "new"));
        QVERIFY(ChildNamed(a, "old"));
        QTRY_VERIFY(tree.WatchThread() && tree.WatchedNode() == a); // watched again
        tree.expandItem(a);
        QVERIFY(temp.createDir("a/newer"));
        QTRY_VERIFY(ChildNamed(a, "newer"));
        QVERIFY(a->isExpanded());
    }

    void deletingTheSelectedFolderSelectsItsParent()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        QVERIFY(temp.createDir("a/keep"));
        TSystemTreeView tree;
        tree.SetReadDelay(0);
        tree.show();
        QVL_SELECT(tree, temp.path("a/b"));
        QVERIFY(tree.WatchThread());
        QVERIFY(QDir(Q(temp.path("a/b"))).removeRecursively());
        QTRY_COMPARE(tree.GetSelection(), temp.path("a"));
        QVERIFY(!ChildNamed(tree.Selected(), "b"));
        QVERIFY(ChildNamed(tree.Selected(), "keep"));
    }

    void renamingTheSelectedFolderSelectsItsParent()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        TSystemTreeView tree;
        tree.SetReadDelay(0);
        tree.show();
        QVL_SELECT(tree, temp.path("a/b"));
        QVERIFY(tree.WatchThread());
        QVERIFY(tree.ParentWatchThread());
        QCOMPARE(std::rename(temp.path("a/b").c_str(), temp.path("a/c").c_str()), 0);
        QTRY_COMPARE(tree.GetSelection(), temp.path("a"));
        QTRY_VERIFY(ChildNamed(tree.Selected(), "c"));
        QVERIFY(!ChildNamed(tree.Selected(), "b"));
        QTRY_VERIFY(tree.WatchThread() && tree.WatchedNode() == tree.Selected());
    }

    void parentWatcherRebuildsTheTreeWhenTheFolderWent()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/b"));
        TSystemTreeView tree;
        tree.SetReadDelay(0);
        tree.show();
        QVL_SELECT(tree, temp.path("a/b"));
        // Only the parent watcher sees the change: the folder's own one is
        // stopped first, as if its report had not come yet.
        tree.WatchThread()->OnTerminate = nullptr;
        QCOMPARE(std::rename(temp.path("a/b").c_str(), temp.path("a/c").c_str()), 0);
        QTreeWidgetItem *oldRoot = tree.FirstNode();
        QTRY_VERIFY(tree.FirstNode() != oldRoot); // rebuilt
        QCOMPARE(tree.GetSelection(), temp.path("a"));
    }

    void contentChangesDoNotReReadOnTheMainWindow()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a/sub"));
        TSystemTreeView tree;
        tree.SetReadDelay(0);
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        int reads = 0;
        tree.OnExpanding = [&](TSystemTreeView *, QTreeWidgetItem *, bool &) { ++reads; };
        QVERIFY(tree.WatchThread() && tree.ParentWatchThread());
        TDirectoryWatch twin, parentTwin;
        QVERIFY(OpenTwin(twin, *tree.WatchThread()));
        QVERIFY(OpenTwin(parentTwin, *tree.ParentWatchThread()));
        QVERIFY(temp.createFile("a/file.txt", "x"));
        QVERIFY(temp.createFile("a/file.txt", "xy"));
        // Neither of the tree's watchers has anything to report.
        QCOMPARE(twin.Wait(0), wrTimeout);
        QCOMPARE(parentTwin.Wait(0), wrTimeout);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(reads, 0);
        QVERIFY(tree.WatchThread());
    }

    void virtualItemAndResetStopWatching()
    {
        QvlTest::TempTree temp;
        QVERIFY(temp.createDir("a"));
        TSystemTreeView tree;
        tree.SetReadDelay(0);
        tree.show();
        QVL_SELECT(tree, temp.path("a"));
        QVERIFY(tree.WatchThread());
        QTreeWidgetItem *watched = tree.WatchedNode();
        QPointer<TFileChangeThread> oldWatcher = tree.WatchThread();
        tree.Reset();
        QVERIFY(tree.WatchedNode() != watched); // the old node's watcher went with it
        QVERIFY(tree.WatchThread() != oldWatcher || !oldWatcher);
        QVERIFY(!oldWatcher || !oldWatcher->OnTerminate); // its report, if any, is dropped
        QVERIFY(temp.createDir("a/x"));
        QCOMPARE(ChildTexts(tree.FirstNode()), (QStringList{"Home", "Computer"}));
        tree.SetSelected(tree.FirstNode()->child(1)); // Computer
        QVERIFY(!tree.WatchThread());
        QVERIFY(!tree.ParentWatchThread());
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 0);
    }

    void quickSelectionsWatchOnlyTheLast()
    {
        QvlTest::TempTree temp;
        for (int i = 0; i < 4; ++i)
            QVERIFY(temp.createDir("p/" + std::to_string(i)));
        TSystemTreeView tree;
        tree.SetReadDelay(100);
        tree.show();
        QVL_SELECT(tree, temp.path("p"));
        QTreeWidgetItem *p = tree.Selected();
        tree.expandItem(p);
        QTRY_VERIFY(tree.WatchedNode() == p);
        for (int i = 0; i < 4; ++i)
            tree.SetSelected(p->child(i));
        QTRY_VERIFY(tree.WatchedNode() == p->child(3));
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 2); // the stopped ones are gone
    }
};

QVL_TEST_MAIN(FileChangeTest)
#include "FileChangeTest.moc"
