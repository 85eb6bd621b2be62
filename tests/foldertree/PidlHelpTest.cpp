// The item-ID list helpers walk counts and move bytes; these pin their sizes
// and edge cases on lists built by hand.
#include "controls/foldertree/PidlHelp.h"
#include "controls/foldertree/ShellNamespace.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

namespace {

// A list whose items have the given whole lengths (counts), each filled with
// a byte of its own.
TPidlHolder ListOf(std::initializer_list<int> counts)
{
    std::size_t size = 2;
    for (int c : counts)
        size += c;
    TPidlHolder holder = CreatePIDL(size);
    PItemIDList list = holder.get();
    std::size_t at = 0;
    std::uint8_t fill = 'a';
    for (int c : counts) {
        list[at] = std::uint8_t(c & 0xFF);
        list[at + 1] = std::uint8_t(c >> 8);
        for (int i = 2; i < c; ++i)
            list[at + i] = fill;
        ++fill;
        at += c;
    }
    return holder;
}

// The empty list followed by one item of each count.
TPidlHolder JoinedOf(const QList<int> &counts)
{
    TPidlHolder list = CreatePIDL(2);
    for (int c : counts)
        list = ConcatPIDLs(list.get(), ListOf({c}).get());
    return list;
}

} // namespace

class PidlHelpTest : public QObject
{
    Q_OBJECT
private slots:
    void sizeCountsItemsAndTerminator_data()
    {
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("items");
        QTest::newRow("empty list") << QList<int>{} << 2 << 0;
        QTest::newRow("20 and 14") << QList<int>{20, 14} << 36 << 2;
        QTest::newRow("count-only item") << QList<int>{2} << 4 << 1;
    }
    void sizeCountsItemsAndTerminator()
    {
        QFETCH(QList<int>, counts);
        QFETCH(int, size);
        QFETCH(int, items);
        const TPidlHolder list = JoinedOf(counts);
        QCOMPARE(int(GetPidlSize(list.get())), size);
        QCOMPARE(PIDLCount(list.get()), items);
    }

    void noListGivesNothing()
    {
        QCOMPARE(GetPidlSize(nullptr), std::size_t(0));
        QCOMPARE(PIDLCount(nullptr), 0);
        QVERIFY(!CopyPIDL(nullptr));
        QVERIFY(!CopyLastID(nullptr));
        QVERIFY(!CopyParentPIDL(nullptr));
        QVERIFY(!NextPIDL(static_cast<PCItemIDList>(nullptr)));
    }

    void concatWithNoneOrEmptyFirstCopiesSecond()
    {
        TPidlHolder x(ListOf({5, 7}));
        TPidlHolder empty(CreatePIDL(2));
        TPidlHolder a(ConcatPIDLs(nullptr, x.get()));
        TPidlHolder b(ConcatPIDLs(empty.get(), x.get()));
        QVERIFY(ComparePIDLs(a.get(), x.get()));
        QVERIFY(ComparePIDLs(b.get(), x.get()));
        QVERIFY(a.get() != x.get());

        TPidlHolder first(ListOf({4}));
        TPidlHolder joined(ConcatPIDLs(first.get(), x.get()));
        QCOMPARE(GetPidlSize(joined.get()), GetPidlSize(first.get()) - 2 + GetPidlSize(x.get()));
        QCOMPARE(PIDLCount(joined.get()), 3);
    }

    void compareIsByteEquality()
    {
        TPidlHolder a(ListOf({6, 9}));
        TPidlHolder b(ListOf({6, 9}));
        TPidlHolder longer(ListOf({6, 9, 4}));
        QVERIFY(ComparePIDLs(a.get(), b.get()));
        QVERIFY(!ComparePIDLs(a.get(), longer.get()));
        QVERIFY(ComparePIDLs(nullptr, nullptr));
        QVERIFY(!ComparePIDLs(a.get(), nullptr));
        QVERIFY(!ComparePIDLs(nullptr, a.get()));
        b.get()[5] = 'z';
        QVERIFY(!ComparePIDLs(a.get(), b.get()));
    }

    void nextOfLastItemIsTerminatorThenNothing()
    {
        TPidlHolder one(ListOf({8}));
        PCItemIDList next = NextPIDL(static_cast<PCItemIDList>(one.get()));
        QVERIFY(next);
        QCOMPARE(next, static_cast<PCItemIDList>(one.get()) + 8);
        QCOMPARE(int(next[0] | next[1]), 0);
        QVERIFY(!NextPIDL(next));
    }

    void firstAndLastItems()
    {
        TPidlHolder list(ListOf({5, 7, 9}));
        TPidlHolder first(CopyFirstID(list.get()));
        TPidlHolder last(CopyLastID(list.get()));
        TPidlHolder wantFirst(ListOf({5}));
        QVERIFY(ComparePIDLs(first.get(), wantFirst.get()));
        QCOMPARE(int(GetPidlSize(last.get())), 11);
        QCOMPARE(PIDLCount(last.get()), 1);
        QCOMPARE(last.get()[2], std::uint8_t('c'));

        TPidlHolder empty(CreatePIDL(2));
        TPidlHolder emptyFirst(CopyFirstID(empty.get()));
        TPidlHolder emptyLast(CopyLastID(empty.get()));
        QCOMPARE(int(GetPidlSize(emptyFirst.get())), 2);
        QCOMPARE(int(GetPidlSize(emptyLast.get())), 2);
    }

    void parentReachesEmptyListAfterCountSteps_data()
    {
        QTest::addColumn<QList<int>>("counts");
        QTest::newRow("one item") << QList<int>{12};
        QTest::newRow("three items") << QList<int>{3, 300, 4};
        QTest::newRow("empty") << QList<int>{};
    }
    void parentReachesEmptyListAfterCountSteps()
    {
        QFETCH(QList<int>, counts);
        TPidlHolder list = JoinedOf(counts);
        const int steps = PIDLCount(list.get());
        for (int i = 0; i < steps; ++i) {
            list = CopyParentPIDL(list.get());
            QCOMPARE(PIDLCount(list.get()), steps - i - 1);
        }
        QCOMPARE(int(GetPidlSize(list.get())), 2);
        const TPidlHolder again = CopyParentPIDL(list.get());
        QCOMPARE(int(GetPidlSize(again.get())), 2);
    }

    void itemDataRoundTrips()
    {
        const std::string name("odd \xff name", 10);
        TPidlHolder item(MakeItemID(name));
        QCOMPARE(ItemData(item.get()), name);
        QCOMPARE(int(GetPidlSize(item.get())), int(name.size()) + 4);
        QVERIFY(!MakeItemID(std::string(0xFFFE, 'x'))); // too long to frame
    }

    void bridgesNameAndParse()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("alpha/beta"));
        TShellFolderPtr desktop = GetDesktopFolder();
        TPidlHolder id;
        QVERIFY(GetPIDLFromPath(nullptr, desktop.get(), tree.path("alpha/beta"), id));
        QCOMPARE(GetDisplayName(desktop.get(), id.get(), dntNormal), std::string("beta"));
        QCOMPARE(GetDisplayName(desktop.get(), id.get(), dntForParsing), tree.path("alpha/beta"));

        // A failed parse leaves no list behind, not even the one held before.
        QVERIFY(!GetPIDLFromPath(nullptr, desktop.get(), tree.path("missing"), id));
        QVERIFY(!id);
        QCOMPARE(GetDisplayName(nullptr, nullptr, dntNormal), std::string());
    }
};

// The item-ID lists and the namespace need no widgets: this test runs on a
// core application and links the namespace library alone.
QVL_TEST_CORE_MAIN(PidlHelpTest)
#include "PidlHelpTest.moc"
