#include "engine/DeleteList.h"
#include "engine/RunState.h"
#include "tests/common/QvlTestMain.h"

#include <QtTest/QtTest>

#include <algorithm>
#include <limits>

namespace {

TFileIdentity Identity(std::uint64_t device, std::uint64_t inode, std::int64_t mtimeSec, std::int64_t mtimeNsec,
                       std::int64_t ctimeSec, std::int64_t ctimeNsec)
{
    TFileIdentity id;
    id.device = device;
    id.inode = inode;
    id.size = 1234;
    id.mtimeSec = mtimeSec;
    id.mtimeNsec = mtimeNsec;
    id.ctimeSec = ctimeSec;
    id.ctimeNsec = ctimeNsec;
    return id;
}

} // namespace

class DeleteListTest : public QObject
{
    Q_OBJECT

private slots:
    // What goes in comes out whole: the paths of the side to delete and of
    // the copy kept, and both identities to the nanosecond, also for times
    // before 1970 and beyond what nanoseconds can hold; the entries stand
    // in the byte order of their paths, where "a/b/x" comes before "a/b0"
    // and after "a/b-c".
    void entriesComeBackWholeInPathOrder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("source side") << int(DeleteMode::Source);
        QTest::newRow("target side") << int(DeleteMode::Target);
    }
    void entriesComeBackWholeInPathOrder()
    {
        QFETCH(int, mode);
        TRunState run;
        run.request.sourcePath = "/src";
        run.request.targetPath = "/dst/";
        run.request.deleteMode = DeleteMode(mode);
        TGatheredFiles &files = run.fileList;
        files.clear("/src");
        const std::uint32_t a = files.AddFolder(TGatheredFiles::kRoot, "a");
        const std::uint32_t b = files.AddFolder(a, "b");
        files.Add(a, "b0");
        files.Add(b, "x");
        files.Add(TGatheredFiles::kRoot, "z");
        files.Add(a, "b-c");
        files.Add(a, "\xe9t\xe9"); // bytes above 0x7f sort last

        constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max() / 2;
        std::vector<std::pair<TFileIdentity, TFileIdentity>> ids {
            {Identity(5, 1, 1700000000, 1, 1700000000, 999999999), Identity(7, 2, 1600000000, 0, 1600000001, 5)},
            {Identity(5, 3, -5, 250, -1, 999999999), Identity(7, 4, 0, 0, 0, 0)},
            {Identity(5, 5, kHuge, 7, 1, 1), Identity(8, 6, 1, 1, -kHuge, 3)},
            {Identity(9, 7, 2, 2, 2, 2), Identity(5, 8, 3, 3, 3, 3)},
            {Identity(5, 9, 4, 4, 4, 4), Identity(7, 10, 5, 5, 5, 5)},
        };
        // Sizes of 4 GiB and more, inodes beyond 48 bits.
        ids[2].first.size = ids[2].second.size = std::uint64_t(5) << 30;
        ids[3].first.inode = std::uint64_t(1) << 50;
        ids[4].second.inode = (std::uint64_t(1) << 48) + 10;
        TDeleteList list;
        for (std::uint32_t i = 0; i < ids.size(); ++i)
            list.Add(i, ids[i].first, ids[i].second);
        QCOMPARE(list.size(), ids.size());
        list.OrderForDeletion(run);

        const bool fromSource = DeleteMode(mode) == DeleteMode::Source;
        const std::vector<std::string> all = files.Paths();
        std::vector<std::string> paths;
        for (std::size_t at = 0; at < list.size(); ++at) {
            const TDeleteCandidate c = list.At(at, run);
            paths.push_back(c.path);
            const std::string relative = (fromSource ? c.path : c.keptPath).substr(std::string("/src/").size());
            QCOMPARE(fromSource ? c.keptPath : c.path, "/dst/" + relative);
            const std::size_t i = std::size_t(std::find(all.begin(), all.end(), "/src/" + relative) - all.begin());
            QVERIFY(i < ids.size());
            QVERIFY(c.compared == ids[i].first);
            QVERIFY(c.keptCompared == ids[i].second);
        }
        std::vector<std::string> sorted = paths;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(paths, sorted);
        const std::string side = fromSource ? "/src/" : "/dst/";
        QCOMPARE(paths.front(), side + "a/b-c");
        QCOMPARE(paths[1], side + "a/b/x");
    }

    // A copy that is itself one of the files to delete is marked, whether
    // either is kept packed or whole; the same inode on another device, or
    // a file that is only a copy, is not.
    void copiesOnTheListAreMarked()
    {
        TRunState run;
        run.request.sourcePath = "/src";
        run.request.targetPath = "/dst";
        run.request.deleteMode = DeleteMode::Source;
        run.fileList.clear("/src");
        const std::uint64_t far = std::uint64_t(1) << 50;
        struct TCase {
            const char *name;
            TFileIdentity gone, kept;
            bool marked;
        };
        const std::vector<TCase> cases {
            {"a", Identity(5, 1, 1, 1, 1, 1), Identity(5, 2, 1, 1, 1, 1), true},  // its copy is b
            {"b", Identity(5, 2, 1, 1, 1, 1), Identity(5, 1, 1, 1, 1, 1), true},  // its copy is a
            {"c", Identity(5, 3, 1, 1, 1, 1), Identity(6, 1, 1, 1, 1, 1), false}, // inode 1 elsewhere
            {"d", Identity(5, far, 1, 1, 1, 1), Identity(7, 9, 1, 1, 1, 1), true},   // its copy is f
            {"e", Identity(5, 4, 1, 1, 1, 1), Identity(5, far, 1, 1, 1, 1), true}, // its copy is d
            {"f", Identity(7, 9, 1, 1, 1, 1), Identity(7, 9, 1, 1, 1, 1), true},   // itself
            {"g", Identity(6, 8, 1, 1, 1, 1), Identity(5, 4, 1, 1, 1, 1), true},   // its copy is e
            {"h", Identity(6, 9, 1, 1, 1, 1), Identity(8, 8, 1, 1, 1, 1), false},
        };
        for (std::uint32_t i = 0; i < cases.size(); ++i) {
            run.fileList.Add(TGatheredFiles::kRoot, cases[7 - i].name);
            run.deleteList.Add(7 - i, cases[i].gone, cases[i].kept);
        }
        run.deleteList.OrderForDeletion(run);
        QCOMPARE(run.deleteList.size(), cases.size());
        for (std::size_t at = 0; at < cases.size(); ++at) {
            const TDeleteCandidate c = run.deleteList.At(at, run);
            const TCase &t = cases[at];
            QCOMPARE(c.path, std::string("/src/") + t.name);
            QVERIFY(c.compared == t.gone);
            QVERIFY(c.keptCompared == t.kept);
            QVERIFY2(c.copyOnList == t.marked, t.name);
        }
    }

    // A single-file run's one pair has the request's paths.
    void singlePairHasTheRequestsPaths()
    {
        TRunState run;
        run.request.sourcePath = "/here/one.bin";
        run.request.targetPath = "/there/copy.bin";
        run.request.singleFile = true;
        run.request.deleteMode = DeleteMode::Target;
        run.deleteList.Add(TDeleteList::kSinglePair, Identity(1, 2, 3, 4, 5, 6), Identity(1, 3, 3, 4, 5, 6));
        run.deleteList.OrderForDeletion(run);
        const TDeleteCandidate c = run.deleteList.At(0, run);
        QCOMPARE(c.path, std::string("/there/copy.bin"));
        QCOMPARE(c.keptPath, std::string("/here/one.bin"));
        QCOMPARE(c.compared.inode, std::uint64_t(2));
    }
};

QVL_TEST_CORE_MAIN(DeleteListTest)
#include "DeleteListTest.moc"
