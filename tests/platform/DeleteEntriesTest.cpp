// The deletion both the verify and the tree's Delete go through: what it
// does between its caller's check and the move, and where a stop ends it.
// (The whole way through it, questions and mounts included, is tested with
// each of its callers.)
#include "platform/DeleteEntries.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "platform/Trash.h"

#include <cerrno>
#include <functional>
#include <vector>

#include <unistd.h>

using QvlTest::TempTree;

namespace {

bool Exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

QByteArray Contents(const std::string &path)
{
    QFile f(QFile::decodeName(QByteArray::fromStdString(path)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Reaches each path by its folder and lets it go, after `afterCheck` ran;
// records what became of each.
class TRecorder : public TDeleteCaller
{
public:
    std::vector<std::string> paths;
    std::function<TEntryCheck(std::size_t)> afterCheck = [](std::size_t) { return TEntryCheck::Go; };
    std::vector<std::size_t> checked, gone;
    std::vector<std::pair<std::size_t, TEntryStay>> stayed;

    TEntryCheck Check(std::size_t index, bool, TDeleteEntry &entry) override
    {
        checked.push_back(index);
        std::string folder;
        entry.path = paths[index];
        if (!SplitLastName(entry.path, folder, entry.name) || entry.folder.OpenPath(folder) != 0
            || entry.folder.StatEntry(entry.name, entry.checked) != 0)
            return TEntryCheck::Keep;
        return afterCheck(index);
    }
    bool AskPermanent(std::size_t) override { return false; }
    void Gone(std::size_t index, const TDeleteEntry &, const struct stat &) override { gone.push_back(index); }
    void Stayed(std::size_t index, const TDeleteEntry &, const TEntryStay &why) override
    {
        stayed.emplace_back(index, why);
    }
};

} // namespace

class DeleteEntriesTest : public QObject
{
    Q_OBJECT
private slots:
    // An editor saving by rename puts another file under the name between
    // the check and the move: that file went to the trash, comes back under
    // its name, and the entry counts as staying.
    void anEntryThatTookTheNameOnTheWayIsPutBack()
    {
        TempTree t;
        QVERIFY(t.createFile("file", "checked"));
        QVERIFY(t.createFile("saved", "written since"));
        TRecorder r;
        r.paths = {t.path("file")};
        r.afterCheck = [&](std::size_t) {
            return ::rename(t.path("saved").c_str(), t.path("file").c_str()) == 0 ? TEntryCheck::Go
                                                                                  : TEntryCheck::Keep;
        };
        TTrashSession trash;
        QVERIFY(DeleteEntries(1, r, trash));
        QVERIFY(r.gone.empty());
        QCOMPARE(int(r.stayed.size()), 1);
        const TEntryStay &why = r.stayed[0].second;
        QCOMPARE(int(why.reason), int(TEntryStay::ChangedWhileDeleting));
        QCOMPARE(why.error, ESTALE);
        QCOMPARE(why.restoredAs, std::string("file"));
        QVERIFY(!why.trashedAs.empty());
        QVERIFY(!Exists(why.trashedAs));
        QCOMPARE(Contents(t.path("file")), QByteArray("written since"));
    }

    // A stop from the check ends the batch there: what went before stays
    // gone, nothing after it is looked at.
    void aStopEndsTheBatchAtThatEntry()
    {
        TempTree t;
        for (const char *name : {"a", "b", "c"})
            QVERIFY(t.createFile(name, name));
        TRecorder r;
        r.paths = {t.path("a"), t.path("b"), t.path("c")};
        r.afterCheck = [](std::size_t i) { return i == 1 ? TEntryCheck::Stop : TEntryCheck::Go; };
        TTrashSession trash;
        QVERIFY(!DeleteEntries(3, r, trash));
        QCOMPARE(r.checked, (std::vector<std::size_t> {0, 1}));
        QCOMPARE(r.gone, std::vector<std::size_t> {0});
        QVERIFY(!Exists(t.path("a")));
        QVERIFY(Exists(t.path("b")));
        QVERIFY(Exists(t.path("c")));
    }
};

QVL_TEST_CORE_MAIN(DeleteEntriesTest)
#include "DeleteEntriesTest.moc"
