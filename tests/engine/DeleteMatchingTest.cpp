#include "EngineTestUtil.h"
#include "QvlTestMain.h"
#include "TempTree.h"
#include "Trash.h"

#include <QDirIterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace EngineTest;
using QvlTest::TempTree;
using Strings = std::vector<std::string>;

namespace {

// Names of what landed in the trash's files folder.
Strings TrashedNames()
{
    Strings names;
    QDir files(QFile::decodeName(QByteArray::fromStdString(HomeTrashDir() + "/files")));
    for (const QString &n : files.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        names.push_back(n.toStdString());
    return Sorted(names);
}

void EmptyTrash()
{
    QDir(QFile::decodeName(QByteArray::fromStdString(HomeTrashDir()))).removeRecursively();
}

struct Outcome {
    RecordingWindow win;
    std::unique_ptr<TInfoThread> worker;
};

void Run(Outcome &o, const VerifyRequest &r)
{
    o.win.request = r;
    o.worker = std::make_unique<TInfoThread>(&o.win);
    o.worker->Execute();
}

// The lines of files that a protection kept.
Strings NotDeletedLines(const Strings &lines)
{
    Strings kept;
    for (const auto &l : lines)
        if (l.rfind("Not deleted, ", 0) == 0)
            kept.push_back(l);
    return kept;
}

std::string LineAfter(const Strings &lines, const std::string &prefix)
{
    for (const auto &l : lines)
        if (l.rfind(prefix, 0) == 0)
            return l.substr(prefix.size());
    return "<none>";
}

} // namespace

class DeleteMatchingTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { EmptyTrash(); }

    void sourceModeTrashesMatchesAndEmptiedFoldersRootIncluded()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a.txt", "a"));
        QVERIFY(t.createFile("src/x/b.txt", "b"));
        QVERIFY(t.createFile("src/x/y/c.txt", "c"));
        QVERIFY(t.createDir("src/empty-before"));
        QVERIFY(t.createFile("dst/a.txt", "a"));
        QVERIFY(t.createFile("dst/x/b.txt", "b"));
        QVERIFY(t.createFile("dst/x/y/c.txt", "c"));

        Outcome o;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode::Source));
        QCOMPARE(o.win.confirmCounts, std::vector<std::size_t> {3});
        QVERIFY(EngineTest::Contains(o.win.logLines, "Begin deleting files."));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::string("3"));
        // x/y, then x, the folder that was empty before, and the root itself.
        QCOMPARE(LineAfter(o.win.logLines, "Total number of empty source folders deleted = "), std::string("4"));
        QVERIFY(!Exists(t.path("src")));
        QVERIFY(Exists(t.path("dst/x/y/c.txt")));
        // Files go to the trash; empty folders are simply removed.
        QCOMPARE(TrashedNames(), Sorted(Strings {"a.txt", "b.txt", "c.txt"}));
        QCOMPARE(o.worker->Troubles(), 0);
        // Nothing but the ordinary lines.
        QCOMPARE(NotDeletedLines(o.win.logLines), Strings {});
    }

    void targetModeLeavesFoldersOnlyInTheTarget()
    {
        TempTree t;
        QVERIFY(t.createFile("src/x/b.txt", "b"));
        QVERIFY(t.createFile("src/keep.txt", "k"));
        QVERIFY(t.createFile("dst/x/b.txt", "b"));
        QVERIFY(t.createFile("dst/keep.txt", "DIFFERENT"));
        QVERIFY(t.createDir("dst/only-in-target"));

        Outcome o;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode::Target));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching target files deleted = "), std::string("1"));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of empty target folders deleted = "), std::string("1"));
        QVERIFY(!Exists(t.path("dst/x")));
        QVERIFY(Exists(t.path("dst/only-in-target")));
        QVERIFY(Exists(t.path("dst/keep.txt")));
        QVERIFY(Exists(t.path("src/x/b.txt")));
    }

    void withoutSubfoldersOnlyTheRootIsConsidered()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a", "1"));
        QVERIFY(t.createDir("src/sub"));
        QVERIFY(t.createFile("dst/a", "1"));
        VerifyRequest r = Request(t.path("src"), t.path("dst"), DeleteMode::Source);
        r.includeSubfolders = false;
        Outcome o;
        Run(o, r);
        QCOMPARE(LineAfter(o.win.logLines, "Total number of empty source folders deleted = "), std::string("0"));
        QVERIFY(Exists(t.path("src/sub")));
        QVERIFY(!Exists(t.path("src/a")));
    }

    void singleFileRunRemovesNoFolder()
    {
        TempTree t;
        QVERIFY(t.createFile("only/one.txt", "1"));
        QVERIFY(t.createFile("copy.txt", "1"));
        Outcome o;
        Run(o, Request(t.path("only/one.txt"), t.path("copy.txt"), DeleteMode::Source));
        QVERIFY(!Exists(t.path("only/one.txt")));
        QVERIFY(Exists(t.path("only")));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of empty source folders deleted = "), std::string("0"));
    }

    void refusedConfirmationDeletesNothing()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a", "1"));
        QVERIFY(t.createFile("dst/a", "1"));
        Outcome o;
        o.win.confirmDelete = false;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode::Source));
        QVERIFY(EngineTest::Contains(o.win.logLines, "Cancel without deleting matching files selected."));
        QVERIFY(Exists(t.path("src/a")));
        QVERIFY(TrashedNames().empty());
    }

    void sameFileOnBothSidesIsNeverDeleted_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("identical paths") << "same";
        QTest::newRow("target root is a link to the source root") << "link";
        QTest::newRow("target file is a hard link") << "hardlink";
        QTest::newRow("source given with a trailing slash") << "slash";
    }
    void sameFileOnBothSidesIsNeverDeleted()
    {
        QFETCH(QString, how);
        TempTree t;
        QVERIFY(t.createFile("src/photo.jpg", Pattern(5000)));
        QVERIFY(t.createFile("src/sub/photo2.jpg", Pattern(7000)));
        std::string source = t.path("src"), target = t.path("src");
        if (how == "link") {
            QCOMPARE(::symlink(t.path("src").c_str(), t.path("dst").c_str()), 0);
            target = t.path("dst");
        } else if (how == "hardlink") {
            QVERIFY(t.createDir("dst/sub"));
            QCOMPARE(::link(t.path("src/photo.jpg").c_str(), t.path("dst/photo.jpg").c_str()), 0);
            QCOMPARE(::link(t.path("src/sub/photo2.jpg").c_str(), t.path("dst/sub/photo2.jpg").c_str()), 0);
            target = t.path("dst");
        } else if (how == "slash") {
            source += "/";
        }
        for (DeleteMode mode : {DeleteMode::Source, DeleteMode::Target}) {
            Outcome o;
            Run(o, Request(source, target, mode));
            QCOMPARE(o.worker->counters.same, 2);
            QCOMPARE(o.win.count("ConfirmDelete"), std::size_t(0));
            int notDeleted = 0;
            for (const auto &l : o.win.logLines)
                notDeleted += l.rfind("Not deleted, Source and Target are the same file - ", 0) == 0;
            QCOMPARE(notDeleted, 2);
            QVERIFY(Exists(t.path("src/photo.jpg")));
            QVERIFY(Exists(t.path("src/sub/photo2.jpg")));
        }
        QVERIFY(TrashedNames().empty());
    }

    void fileChangedSinceComparedIsNotDeleted()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a", "same"));
        QVERIFY(t.createFile("src/b", "same"));
        QVERIFY(t.createFile("dst/a", "same"));
        QVERIFY(t.createFile("dst/b", "same"));
        Outcome o;
        o.win.onCall = [&](const std::string &c) {
            if (c == "ConfirmDelete") {
                // Written to after its comparison (new contents, same size),
                // and the other replaced by a new file of the same contents.
                QVERIFY(t.createFile("src/a", "SAME"));
                struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
                ::utimensat(AT_FDCWD, t.path("src/a").c_str(), times, 0);
                ::unlink(t.path("src/b").c_str());
                QVERIFY(t.createFile("src/b", "same"));
            }
        };
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode::Source));
        QVERIFY(EngineTest::Contains(o.win.logLines, "Not deleted, the file changed after it was compared - " + t.path("src/a")));
        QVERIFY(EngineTest::Contains(o.win.logLines, "Not deleted, the file changed after it was compared - " + t.path("src/b")));
        // The count is of the files handed to the deletion, as ever.
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::string("2"));
        QVERIFY(Exists(t.path("src/a")));
        QVERIFY(Exists(t.path("src/b")));
        QVERIFY(TrashedNames().empty());
    }

    void stopDuringTheDeletion_data()
    {
        QTest::addColumn<bool>("deleteOnCancel");
        QTest::newRow("plain cancel abandons it") << false;
        QTest::newRow("delete matching files so far") << true;
    }
    void stopDuringTheDeletion()
    {
        QFETCH(bool, deleteOnCancel);
        TempTree t;
        QVERIFY(t.createFile("src/d/a", "1"));
        QVERIFY(t.createFile("dst/d/a", "1"));
        Outcome o;
        o.win.deleteOnCancel = deleteOnCancel;
        TInfoThread *worker = nullptr;
        o.win.onCall = [&](const std::string &c) {
            if (c == "AppendRunLog" && o.win.logLines.back() == "Begin deleting files.")
                worker->Terminate();
        };
        o.win.request = Request(t.path("src"), t.path("dst"), DeleteMode::Source);
        o.worker = std::make_unique<TInfoThread>(&o.win);
        worker = o.worker.get();
        worker->Execute();
        const bool deleted = !Exists(t.path("src/d/a"));
        QCOMPARE(deleted, deleteOnCancel);
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = ") == "1", deleteOnCancel);
        QCOMPARE(!Exists(t.path("src")), deleteOnCancel);
        // The summary follows either way.
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching files = "), std::string("1"));
    }
};

QVL_TEST_CORE_MAIN(DeleteMatchingTest)
#include "DeleteMatchingTest.moc"
