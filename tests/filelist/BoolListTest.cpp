#include "controls/filelist/BoolList.h"
#include "controls/filelist/FileListErrors.h"
#include "tests/common/QvlTestMain.h"

namespace {

// The items OnChange reported, in order.
struct ChangeLog {
    QList<int> items;
    void Attach(TBoolList &list)
    {
        list.OnChange = [this, &list](TBoolList *sender, int item) {
            QCOMPARE(sender, &list);
            items << item;
        };
    }
};

QList<bool> Entries(const TBoolList &list)
{
    QList<bool> out;
    for (int i = 0; i < list.Count(); ++i)
        out << list.GetBoolean(i);
    return out;
}

} // namespace

class BoolListTest : public QObject
{
    Q_OBJECT

private slots:
    // Add reports the count after the addition; Insert and Clear report
    // nothing; Delete and SetBoolean report the index.
    void eachOperationReportsItsOwnItem()
    {
        TBoolList list;
        ChangeLog log;
        log.Attach(list);
        QCOMPARE(list.Add(true), 0);
        QCOMPARE(log.items, QList<int>{1});
        QCOMPARE(list.Add(false), 1);
        QCOMPARE(log.items, (QList<int>{1, 2}));
        list.Insert(1, true);
        list.Insert(3, false); // at the end
        QCOMPARE(log.items, (QList<int>{1, 2}));
        QCOMPARE(Entries(list), (QList<bool>{true, true, false, false}));
        list.SetBoolean(2, true);
        list.SetBoolean(2, true); // no change of value, reported all the same
        QCOMPARE(log.items, (QList<int>{1, 2, 2, 2}));
        list.Delete(0);
        QCOMPARE(log.items, (QList<int>{1, 2, 2, 2, 0}));
        QCOMPARE(Entries(list), (QList<bool>{true, true, false}));
        list.Clear();
        QCOMPARE(list.Count(), 0);
        QCOMPARE(log.items.size(), 5);
    }

    void indexOutsideTheListThrowsAndChangesNothing_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("index");
        QTest::newRow("read -1") << "get" << -1;
        QTest::newRow("read count") << "get" << 2;
        QTest::newRow("set count") << "set" << 2;
        QTest::newRow("delete -1") << "delete" << -1;
        QTest::newRow("delete count") << "delete" << 2;
        QTest::newRow("insert past the end") << "insert" << 3;
        QTest::newRow("insert -1") << "insert" << -1;
    }
    void indexOutsideTheListThrowsAndChangesNothing()
    {
        QFETCH(QString, operation);
        QFETCH(int, index);
        TBoolList list;
        list.Add(true);
        list.Add(false);
        ChangeLog log;
        log.Attach(list);
        try {
            if (operation == "get")
                list.GetBoolean(index);
            else if (operation == "set")
                list.SetBoolean(index, true);
            else if (operation == "delete")
                list.Delete(index);
            else
                list.Insert(index, true);
            QFAIL("no error");
        } catch (const EListError &e) {
            QCOMPARE(e.Index(), index);
            QCOMPARE(QString(e.what()), QString("List index out of bounds (%1)").arg(index));
        }
        QCOMPARE(Entries(list), (QList<bool>{true, false}));
        QVERIFY(log.items.isEmpty());
    }
};

QVL_TEST_CORE_MAIN(BoolListTest)
#include "BoolListTest.moc"
