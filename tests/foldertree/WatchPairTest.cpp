// A node and its folder's watcher: a report reaches its pair only while the
// pair still watches for that node.
#include "controls/foldertree/detail/WatchPair.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QTreeWidgetItem>

class WatchPairTest : public QObject
{
    Q_OBJECT
private slots:
    void reportsAChangeOnce()
    {
        QvlTest::TempTree tree;
        QTreeWidgetItem node;
        TWatchPair pair;
        TFileChangeThread *reported = nullptr;
        pair.Start(&node, tree.path(""), fsfDirname, [&](TFileChangeThread *sender) {
            reported = sender;
            QVERIFY(pair.TakeReport(sender));
        });
        QVERIFY(pair.Thread());
        QCOMPARE(pair.Node(), &node);
        QVERIFY(tree.createDir("made"));
        QTRY_VERIFY(reported);
        QVERIFY(!pair.Thread()); // done and forgotten
        QCOMPARE(pair.Node(), &node);
        QVERIFY(!pair.TakeReport(reported));
    }

    void aNodeThatGoesTakesItsWatcherAlong()
    {
        QvlTest::TempTree tree;
        QTreeWidgetItem node, other;
        TWatchPair pair;
        bool reported = false;
        pair.Start(&node, tree.path(""), fsfDirname, [&](TFileChangeThread *) { reported = true; });
        pair.StopFor(&other);
        pair.StopFor(nullptr);
        QVERIFY(pair.Thread());
        QCOMPARE(pair.Node(), &node);

        pair.StopFor(&node);
        QVERIFY(!pair.Thread());
        QVERIFY(!pair.Node());
        // A change now must not reach anyone: the watcher ends on its own.
        QVERIFY(tree.createDir("made"));
        QTRY_COMPARE(TFileChangeThread::LiveCount(), 0);
        QCoreApplication::processEvents();
        QVERIFY(!reported);
    }

    void noPathRemembersTheNodeOnly()
    {
        QTreeWidgetItem node;
        TWatchPair pair;
        pair.Start(&node, std::string(), fsfDirname, [](TFileChangeThread *) {});
        QCOMPARE(pair.Node(), &node);
        QVERIFY(!pair.Thread());
    }
};

QVL_TEST_MAIN(WatchPairTest)
#include "WatchPairTest.moc"
