#include "tests/platform/OverlayMount.h"
#include "tests/platform/TmpfsMount.h"
#include "tests/platform/Untrashable.h"
#include "engine/ByteCompare.h"
#include "tests/engine/EngineTestUtil.h"
#include "platform/FolderHandle.h"
#include "platform/Paths.h"
#include "tests/common/QvlTestMain.h"
#include "platform/StopSignals.h"
#include "tests/common/TempTree.h"
#include "platform/Trash.h"

#include <QDirIterator>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include "platform/FileReader.h"
#include <sched.h>
#include <cstring>
#include <sys/wait.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace EngineTest;
using QvlTest::TempTree;
using QvlTest::TmpfsMount;
using QvlTest::Untrashable;
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

void Run(Outcome &o, const VerifyRequest &r, const std::function<void(TInfoThread &)> &prepare = {})
{
    o.win.request = r;
    o.worker = std::make_unique<TInfoThread>(&o.win);
    if (prepare)
        prepare(*o.worker);
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

// Why a protection kept a file, as the run log says it.
const std::string kFileChanged = "Not deleted, the file changed after it was compared - ";
const std::string kOtherChanged = "Not deleted, the other copy is gone or changed - ";
const std::string kOtherDeleted = "Not deleted, the other copy is one of the files being deleted - ";
const std::string kFolderReplaced = "Not deleted, a folder on its path is gone or was replaced - ";

bool Present(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

QByteArray Contents(const std::string &path)
{
    QFile f(QFile::decodeName(QByteArray::fromStdString(path)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Other bytes of the same length, written in place, and the modification
// time set back: only the change time tells.
bool RewriteKeepingTimes(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    const int fd = ::open(path.c_str(), O_RDWR);
    char c = 0;
    const bool ok = fd >= 0 && ::pread(fd, &c, 1, 0) == 1 && (c = char(~c), ::pwrite(fd, &c, 1, 0) == 1);
    if (fd >= 0)
        ::close(fd);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return ok && ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool Append(const std::string &path, const QByteArray &more)
{
    QFile f(QFile::decodeName(QByteArray::fromStdString(path)));
    return f.open(QIODevice::Append) && f.write(more) == more.size();
}

// A new file with the same bytes in the old one's place.
bool ReplaceWithCopy(const std::string &path)
{
    const QByteArray data = Contents(path);
    QFile f(QFile::decodeName(QByteArray::fromStdString(path)));
    return ::unlink(path.c_str()) == 0 && f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Every trash entry has its info and every info its entry; no info is
// left half-made.
void CheckTrashConsistent()
{
    const QString trash = QFile::decodeName(QByteArray::fromStdString(HomeTrashDir()));
    const auto all = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    QStringList files = QDir(trash + "/files").entryList(all);
    QStringList infos = QDir(trash + "/info").entryList(all);
    for (QString &i : infos) {
        QVERIFY2(i.endsWith(".trashinfo"), qPrintable(i));
        QVERIFY2(QFileInfo(trash + "/info/" + i).size() > 0, qPrintable(i));
        i.chop(10);
    }
    infos.sort();
    files.sort();
    QCOMPARE(infos, files);
}

TInfoThread *g_signalled = nullptr;

extern "C" void StopSignalled(int)
{
    if (g_signalled)
        g_signalled->Terminate();
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
            QCOMPARE(o.worker->state.counters.same, 2);
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
        // Nothing went, and the total says so.
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::string("0"));
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

    // The emptied folders go deepest first, a stop request checked before
    // each and before the side root.
    void stopWhileRemovingEmptiedFolders_data()
    {
        QTest::addColumn<QString>("stopAt");
        QTest::addColumn<bool>("deleteOnCancel");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("at the deepest folder") << "a/b/c" << false << QStringList {"", "a", "a/b"};
        QTest::newRow("at the last subfolder") << "a" << false << QStringList {""};
        QTest::newRow("delete matching files so far") << "a/b/c" << true << QStringList {};
    }
    void stopWhileRemovingEmptiedFolders()
    {
        QFETCH(QString, stopAt);
        QFETCH(bool, deleteOnCancel);
        QFETCH(QStringList, left);
        TempTree t;
        QVERIFY(t.createFile("src/a/b/c/f", "1"));
        QVERIFY(t.createFile("dst/a/b/c/f", "1"));
        Outcome o;
        o.win.deleteOnCancel = deleteOnCancel;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode::Source), [&](TInfoThread &w) {
            w.Context().beforeRemovingFolder = [&w, stopAt](const std::string &relative) {
                if (relative == stopAt.toStdString())
                    w.Terminate();
            };
        });
        QStringList present;
        for (const char *folder : {"", "a", "a/b", "a/b/c"})
            if (Present(t.path("src") + (*folder ? "/" : "") + folder))
                present << folder;
        QCOMPARE(present, left);
        QCOMPARE(LineAfter(o.win.logLines, "Total number of empty source folders deleted = "),
                 std::string(deleteOnCancel ? "4" : "<none>"));
    }

    // The pair of a.jpg is changed while "Confirm Delete" waits; the pair of
    // sub/b.pdf is not, and goes.
    void changeWhileTheConfirmationWaitsKeepsThePair_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        const QStringList changes = {"other copy deleted", "other copy overwritten",
                                     "other copy rewritten, times set back", "other copy replaced by an equal file",
                                     "file appended to", "file rewritten, times set back",
                                     "file replaced by a link to its copy"};
        for (DeleteMode mode : {DeleteMode::Source, DeleteMode::Target}) {
            for (const QString &change : changes) {
                const QString side = mode == DeleteMode::Source ? "source: " : "target: ";
                QTest::newRow(qPrintable(side + change))
                    << int(mode) << change
                    << QString::fromStdString(change.startsWith("other") ? kOtherChanged : kFileChanged);
            }
        }
    }
    void changeWhileTheConfirmationWaitsKeepsThePair()
    {
        QFETCH(int, mode);
        QFETCH(QString, change);
        QFETCH(QString, reason);
        TempTree t;
        for (const char *side : {"src", "dst"}) {
            QVERIFY(t.createFile(std::string(side) + "/a.jpg", Pattern(3000, 'a')));
            QVERIFY(t.createFile(std::string(side) + "/sub/b.pdf", Pattern(5000, 'b')));
        }
        const bool source = DeleteMode(mode) == DeleteMode::Source;
        const std::string gone = t.path(source ? "src" : "dst"), kept = t.path(source ? "dst" : "src");
        Outcome o;
        o.win.onCall = [&](const std::string &c) {
            if (c != "ConfirmDelete")
                return;
            if (change == "other copy deleted")
                QCOMPARE(::unlink((kept + "/a.jpg").c_str()), 0);
            else if (change == "other copy overwritten")
                QVERIFY(t.createFile(RelativeTo(kept, t.root()) + "/a.jpg", "new"));
            else if (change == "other copy rewritten, times set back")
                QVERIFY(RewriteKeepingTimes(kept + "/a.jpg"));
            else if (change == "other copy replaced by an equal file")
                QVERIFY(ReplaceWithCopy(kept + "/a.jpg"));
            else if (change == "file appended to")
                QVERIFY(Append(gone + "/a.jpg", "more"));
            else if (change == "file rewritten, times set back")
                QVERIFY(RewriteKeepingTimes(gone + "/a.jpg"));
            else if (change == "file replaced by a link to its copy")
                QVERIFY(::unlink((gone + "/a.jpg").c_str()) == 0
                        && ::symlink((kept + "/a.jpg").c_str(), (gone + "/a.jpg").c_str()) == 0);
        };
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode(mode)));
        QCOMPARE(NotDeletedLines(o.win.logLines), Strings {reason.toStdString() + gone + "/a.jpg"});
        QVERIFY(Present(gone + "/a.jpg"));
        QVERIFY(!Present(gone + "/sub/b.pdf"));
        QCOMPARE(Contents(kept + "/sub/b.pdf"), Pattern(5000, 'b'));
        QCOMPARE(TrashedNames(), Strings {"b.pdf"});
        QCOMPARE(o.worker->Troubles(), 1);
        // The total counts the file that went, not the two meant to go.
        const std::string side = source ? "source" : "target";
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching " + side + " files deleted = "), std::string("1"));
    }

    // A side written to after its first block was read, its modification
    // time set back: the blocks still read equal, but the pair proves
    // nothing.
    void changeDuringTheReadIsNeverAMatch_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("targetChanges");
        QTest::newRow("delete source, target changes") << int(DeleteMode::Source) << true;
        QTest::newRow("delete source, source changes") << int(DeleteMode::Source) << false;
        QTest::newRow("delete target, target changes") << int(DeleteMode::Target) << true;
        QTest::newRow("delete target, source changes") << int(DeleteMode::Target) << false;
    }
    void changeDuringTheReadIsNeverAMatch()
    {
        QFETCH(int, mode);
        QFETCH(bool, targetChanges);
        TempTree t;
        QVERIFY(t.createFile("src/big.bin", Pattern(3 * kBlockSize)));
        QVERIFY(t.createFile("dst/big.bin", Pattern(3 * kBlockSize)));
        const std::string changed = t.path(targetChanges ? "dst/big.bin" : "src/big.bin");
        Outcome o;
        bool done = false;
        o.win.onCall = [&](const std::string &c) {
            if (c == "UpdateFileBar" && !done) {
                done = true;
                QVERIFY(RewriteKeepingTimes(changed));
            }
        };
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode(mode)));
        QCOMPARE(o.win.resultLines, Strings {"Files Differ - " + t.path("src/big.bin")});
        QVERIFY(EngineTest::Contains(o.win.logLines, "File changed while it was compared - " + changed));
        QCOMPARE(o.worker->state.counters.different, 1);
        QCOMPARE(o.worker->Troubles(), 1);
        QCOMPARE(o.win.count("ConfirmDelete"), std::size_t(0));
        QVERIFY(Present(t.path("src/big.bin")) && Present(t.path("dst/big.bin")));
    }

    // A volume without a usable trash: the question comes first, and
    // whatever changed while it waited is seen after it.
    void permanentDeletionChecksAgainAfterItsQuestion_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("source on the volume") << int(DeleteMode::Source);
        QTest::newRow("target on the volume") << int(DeleteMode::Target);
    }
    void permanentDeletionChecksAgainAfterItsQuestion()
    {
        QFETCH(int, mode);
        const bool source = DeleteMode(mode) == DeleteMode::Source;
        Untrashable m;
        const std::string gone = m.volume + "/side", kept = m.home.path("side");
        for (const char *name : {"a", "b", "c"}) {
            QVERIFY(m.other.createFile("volume/side/" + std::string(name), Pattern(100, name[0])));
            QVERIFY(m.home.createFile("side/" + std::string(name), Pattern(100, name[0])));
        }
        Outcome o;
        o.win.permanentDelete = true;
        o.win.onCall = [&](const std::string &c) {
            if (c == "AskPermanentDelete") {
                QVERIFY(RewriteKeepingTimes(gone + "/a"));
                QCOMPARE(::unlink((kept + "/b").c_str()), 0);
            }
        };
        Run(o, Request(source ? gone : kept, source ? kept : gone, DeleteMode(mode)));
        QCOMPARE(o.win.count("AskPermanentDelete"), std::size_t(1));
        QCOMPARE(NotDeletedLines(o.win.logLines), (Strings {kFileChanged + gone + "/a", kOtherChanged + gone + "/b"}));
        QVERIFY(Present(gone + "/a"));
        QVERIFY(Present(gone + "/b"));
        QVERIFY(!Present(gone + "/c"));
        QVERIFY(TrashedNames().empty());
    }

    // An overlay mounted at the Target with the Source as its lower layer
    // shows the Source's own files: every pair "matches", and deleting
    // either side would delete the only copy (or hide it). Device and inode
    // cannot see it; the layers can.
    void overlayOfTheOtherSideDeletesNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("delete source") << int(DeleteMode::Source);
        QTest::newRow("delete target") << int(DeleteMode::Target);
    }
    void overlayOfTheOtherSideDeletesNothing()
    {
        QFETCH(int, mode);
        TempTree t;
        QVERIFY(t.createFile("src/a.jpg", Pattern(3000, 'a')));
        QVERIFY(t.createFile("src/sub/b.jpg", Pattern(4000, 'b')));
        for (const char *d : {"upper", "work", "dst"})
            QVERIFY(t.createDir(d));
        QvlTest::OverlayMount overlay(t.path("src"), t.path("upper"), t.path("work"), t.path("dst"));
        if (!overlay.Mounted())
            QSKIP(overlay.Reason());
        Outcome o;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode(mode)));
        QCOMPARE(o.worker->state.counters.same, 2);
        const std::string gone = DeleteMode(mode) == DeleteMode::Source ? t.path("src") : t.path("dst");
        const std::string why = "Not deleted, the other copy is the same file, seen through overlay at " + t.path("dst") + " - ";
        QCOMPARE(NotDeletedLines(o.win.logLines), (Strings {why + gone + "/a.jpg", why + gone + "/sub/b.jpg"}));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching " + std::string(DeleteMode(mode) == DeleteMode::Source ? "source" : "target")
                                               + " files deleted = "),
                 std::string("0"));
        QVERIFY(TrashedNames().empty());
        QCOMPARE(Contents(t.path("src/a.jpg")), Pattern(3000, 'a'));
        QCOMPARE(Contents(t.path("dst/sub/b.jpg")), Pattern(4000, 'b'));
        // No whiteout hides the Source's files in the overlay either.
        QVERIFY(QDir(QString::fromStdString(t.path("upper"))).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
    }

    // A file renamed onto the name between the last check and the move (an
    // editor saving by rename does it) is never what goes: it is moved back
    // from the trash, or never unlinked, and named in the log.
    void fileSwappedInAtTheLastMomentStays_data()
    {
        QTest::addColumn<bool>("permanent");
        QTest::newRow("to the trash") << false;
        QTest::newRow("deleted for good") << true;
    }
    void fileSwappedInAtTheLastMomentStays()
    {
        QFETCH(bool, permanent);
        Untrashable m;
        if (!permanent && !m.HomeTrashWorks())
            QSKIP("the test home has no working trash here");
        TempTree &tree = permanent ? m.other : m.home;
        const std::string base = permanent ? "volume/" : "";
        const std::string src = tree.path(base + "src");
        QVERIFY(tree.createFile(base + "src/a.txt", "compared"));
        QVERIFY(tree.createFile(base + "src/b.txt", "compared too"));
        QVERIFY(tree.createFile(base + "edited.txt", "never compared, newer"));
        QVERIFY(m.home.createFile("dst/a.txt", "compared"));
        QVERIFY(m.home.createFile("dst/b.txt", "compared too"));
        Outcome o;
        o.win.permanentDelete = true;
        bool swapped = false;
        int passes = 0;
        Run(o, Request(src, m.home.path("dst"), DeleteMode::Source), [&](TInfoThread &w) {
            w.Context().beforeDeleting = [&](const std::string &path) {
                if (swapped || path != src + "/a.txt" || ++passes < (permanent ? 2 : 1))
                    return;
                swapped = true;
                QCOMPARE(::rename(tree.path(base + "edited.txt").c_str(), (src + "/a.txt").c_str()), 0);
            };
        });
        QVERIFY(swapped);
        QCOMPARE(Contents(src + "/a.txt"), QByteArray("never compared, newer"));
        QVERIFY(!Present(src + "/b.txt"));
        QCOMPARE(NotDeletedLines(o.win.logLines), Strings {"Not deleted, it changed while it was being deleted - " + src + "/a.txt"});
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::string("1"));
        QCOMPARE(TrashedNames(), permanent ? Strings {} : Strings {"b.txt"});
        CheckTrashConsistent();
        // Nothing of ours is left beside it.
        QCOMPARE(QDir(QFile::decodeName(QByteArray::fromStdString(src))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList {"a.txt"});
    }

    // The same as a race: another process renames a file that was never
    // compared onto the next name as soon as the one before it is gone.
    // Whenever it wins, what it put there must not end up in the trash.
    void swapperProcessNeverGetsAnUncomparedFileIntoTheTrash()
    {
        constexpr int kFiles = 8;
        for (int round = 0; round < 25; ++round) {
            EmptyTrash();
            TempTree t;
            for (int i = 0; i < kFiles; ++i) {
                const std::string n = std::to_string(i);
                QVERIFY(t.createFile("src/x" + n, QByteArray::fromStdString("compared " + n)));
                QVERIFY(t.createFile("dst/x" + n, QByteArray::fromStdString("compared " + n)));
                QVERIFY(t.createFile("spare/x" + n, QByteArray::fromStdString("NEVER compared " + n)));
            }
            const pid_t swapper = ::fork();
            QVERIFY(swapper >= 0);
            if (swapper == 0) {
                // Child: only system calls from here on.
                for (int i = 1; i < kFiles; ++i) {
                    const std::string before = t.path("src/x" + std::to_string(i - 1));
                    struct stat st;
                    for (long spin = 0; spin < 200000000L && ::lstat(before.c_str(), &st) == 0; ++spin)
                        ::sched_yield();
                    ::rename(t.path("spare/x" + std::to_string(i)).c_str(), t.path("src/x" + std::to_string(i)).c_str());
                }
                ::_exit(0);
            }
            Outcome o;
            Run(o, Request(t.path("src"), t.path("dst"), DeleteMode::Source));
            int status = 0;
            ::kill(swapper, SIGKILL);
            QCOMPARE(::waitpid(swapper, &status, 0), swapper);
            const QString trash = QFile::decodeName(QByteArray::fromStdString(HomeTrashDir() + "/files/"));
            int deleted = 0;
            for (const std::string &name : TrashedNames()) {
                const QByteArray bytes = Contents((trash + QString::fromStdString(name)).toStdString());
                QVERIFY2(bytes.startsWith("compared "), qPrintable("round " + QString::number(round) + ": " + bytes));
                ++deleted;
            }
            CheckTrashConsistent();
            QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::to_string(deleted));
            // Every file that was never compared is still somewhere outside the trash.
            for (int i = 1; i < kFiles; ++i) {
                const std::string n = std::to_string(i);
                const std::string needle = "NEVER compared " + n;
                bool found = Contents(t.path("spare/x" + n)) == QByteArray::fromStdString(needle);
                found = found || Contents(t.path("src/x" + n)) == QByteArray::fromStdString(needle)
                    || Contents(t.path("src/x" + n + ".restored")) == QByteArray::fromStdString(needle);
                QVERIFY2(found, qPrintable("round " + QString::number(round) + ": lost " + QString::fromStdString(needle)));
            }
        }
    }

    // A single file given as a link: what was proven is the file it leads
    // to, which stays where it is; trashing the link would free nothing and
    // be counted as the file deleted.
    void singleFileGivenAsALinkIsNotDeleted()
    {
        TempTree t;
        QVERIFY(t.createFile("real/photo.jpg", Pattern(2000)));
        QVERIFY(t.createFile("copy/photo.jpg", Pattern(2000)));
        QCOMPARE(::symlink(t.path("real/photo.jpg").c_str(), t.path("link.jpg").c_str()), 0);
        Outcome o;
        Run(o, Request(t.path("link.jpg"), t.path("copy/photo.jpg"), DeleteMode::Source));
        QCOMPARE(o.worker->state.counters.same, 1);
        QCOMPARE(NotDeletedLines(o.win.logLines), Strings {"Not deleted, it is a link - " + t.path("link.jpg")});
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::string("0"));
        QVERIFY(Present(t.path("link.jpg")));
        QVERIFY(Present(t.path("real/photo.jpg")));
        QVERIFY(TrashedNames().empty());
    }

    // The total counts what is gone; every file kept is named with why, and
    // the closing message gives the reason, not a bare number.
    void declinedPermanentDeletionNamesEveryFileKept()
    {
        Untrashable m;
        for (const char *name : {"a", "b", "c"}) {
            QVERIFY(m.other.createFile("volume/side/" + std::string(name), Pattern(100, name[0])));
            QVERIFY(m.home.createFile("side/" + std::string(name), Pattern(100, name[0])));
        }
        Outcome o;
        o.win.permanentDelete = false;
        Run(o, Request(m.volume + "/side", m.home.path("side"), DeleteMode::Source));
        const std::string why = "Not deleted, it could not go to the trash and was not deleted permanently - ";
        QCOMPARE(NotDeletedLines(o.win.logLines), (Strings {why + m.volume + "/side/a", why + m.volume + "/side/b", why + m.volume + "/side/c"}));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::string("0"));
        QCOMPARE(o.win.messages, Strings {"File Delete Failed: " + std::to_string(ECANCELED) + " (" + ErrorText(ECANCELED) + ")"});
        for (const char *name : {"a", "b", "c"})
            QVERIFY(Present(m.volume + "/side/" + name));
    }

    void folderThatGainedAFileStays_data()
    {
        QTest::addColumn<bool>("permanent");
        QTest::newRow("file added while the confirmation waits") << false;
        QTest::newRow("file added while the permanent-delete question waits") << true;
    }
    void folderThatGainedAFileStays()
    {
        QFETCH(bool, permanent);
        Untrashable m;
        const std::string src = permanent ? m.volume + "/src" : m.home.path("src");
        const std::string relSrc = permanent ? "volume/src" : "src";
        TempTree &srcTree = permanent ? m.other : m.home;
        QVERIFY(srcTree.createFile(relSrc + "/sub/x.txt", "x"));
        QVERIFY(m.home.createFile("dst/sub/x.txt", "x"));
        Outcome o;
        o.win.permanentDelete = true;
        o.win.onCall = [&](const std::string &c) {
            if (c == (permanent ? "AskPermanentDelete" : "ConfirmDelete"))
                QVERIFY(srcTree.createFile(relSrc + "/sub/new.txt", "never compared"));
        };
        Run(o, Request(src, m.home.path("dst"), DeleteMode::Source));
        QVERIFY(!Present(src + "/sub/x.txt"));
        QCOMPARE(Contents(src + "/sub/new.txt"), QByteArray("never compared"));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of empty source folders deleted = "), std::string("0"));
        QCOMPARE(o.worker->Troubles(), 0);
    }

    // src/d2 is swapped for a link to a folder outside the Source that
    // holds a file of the same name and contents.
    void folderSwappedForALinkNeverLeadsOutside_data()
    {
        QTest::addColumn<bool>("permanent");
        QTest::addColumn<bool>("openat2");
        QTest::addColumn<bool>("atTheLastMoment");
        for (bool permanent : {false, true}) {
            for (bool openat2 : {true, false}) {
                const QString how = QString(permanent ? "deleted for good" : "to the trash")
                    + (openat2 ? ", one lookup" : ", name by name");
                QTest::newRow(qPrintable(how + ", between two files")) << permanent << openat2 << false;
                QTest::newRow(qPrintable(how + ", between check and move")) << permanent << openat2 << true;
            }
        }
    }
    void folderSwappedForALinkNeverLeadsOutside()
    {
        QFETCH(bool, permanent);
        QFETCH(bool, openat2);
        QFETCH(bool, atTheLastMoment);
        SetBelowLookupWithOpenat2(openat2);
        Untrashable m;
        TempTree &tree = permanent ? m.other : m.home;
        const std::string base = permanent ? "volume/" : "";
        QVERIFY(tree.createFile(base + "src/d1/a", "a"));
        QVERIFY(tree.createFile(base + "src/d2/b", "b"));
        QVERIFY(m.home.createFile("dst/d1/a", "a"));
        QVERIFY(m.home.createFile("dst/d2/b", "b"));
        QVERIFY(m.home.createFile("outside/b", "b"));
        const std::string src = tree.path(base + "src");
        Outcome o;
        o.win.permanentDelete = true;
        bool swapped = false;
        // On a volume without a trash each file passes here twice: before the
        // attempt to trash it, and before it is unlinked after the question.
        int passes = 0;
        Run(o, Request(src, m.home.path("dst"), DeleteMode::Source), [&](TInfoThread &w) {
            w.Context().beforeDeleting = [&](const std::string &path) {
                if (swapped || path != src + (atTheLastMoment ? "/d2/b" : "/d1/a")
                    || ++passes < (permanent || !m.HomeTrashWorks() ? 2 : 1))
                    return;
                swapped = true;
                QCOMPARE(::rename((src + "/d2").c_str(), tree.path(base + "moved-d2").c_str()), 0);
                QCOMPARE(::symlink(m.home.path("outside").c_str(), (src + "/d2").c_str()), 0);
            };
        });
        SetBelowLookupWithOpenat2(true);
        QCOMPARE(Contents(m.home.path("outside/b")), QByteArray("b"));
        QVERIFY(!Present(src + "/d1/a"));
        if (atTheLastMoment) {
            // Checked and then moved through its folder's descriptor: the
            // file that went is the proven one, wherever its folder is now.
            QVERIFY(!Present(tree.path(base + "moved-d2/b")));
            QCOMPARE(NotDeletedLines(o.win.logLines), Strings {});
        } else {
            QVERIFY(Present(tree.path(base + "moved-d2/b")));
            QCOMPARE(NotDeletedLines(o.win.logLines), Strings {kFolderReplaced + src + "/d2/b"});
        }
        // The link is no folder to remove.
        QVERIFY(Present(src + "/d2"));
    }

    // The Target's folders are links across: each Source copy of the photo
    // is "proved" by the other one.
    void crosswiseLinksNeverProveEachOther_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("delete source") << int(DeleteMode::Source);
        QTest::newRow("delete target") << int(DeleteMode::Target);
    }
    void crosswiseLinksNeverProveEachOther()
    {
        QFETCH(int, mode);
        TempTree t;
        QVERIFY(t.createFile("src/a/photo.jpg", Pattern(4000)));
        QVERIFY(t.createFile("src/b/photo.jpg", Pattern(4000)));
        QVERIFY(t.createDir("dst"));
        QCOMPARE(::symlink(t.path("src/b").c_str(), t.path("dst/a").c_str()), 0);
        QCOMPARE(::symlink(t.path("src/a").c_str(), t.path("dst/b").c_str()), 0);
        Outcome o;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode(mode)));
        QCOMPARE(o.worker->state.counters.same, 2);
        if (DeleteMode(mode) == DeleteMode::Source) {
            QCOMPARE(NotDeletedLines(o.win.logLines),
                     (Strings {kOtherDeleted + t.path("src/a/photo.jpg"), kOtherDeleted + t.path("src/b/photo.jpg")}));
        } else {
            QCOMPARE(NotDeletedLines(o.win.logLines),
                     (Strings {kFolderReplaced + t.path("dst/a/photo.jpg"), kFolderReplaced + t.path("dst/b/photo.jpg")}));
        }
        QCOMPARE(Contents(t.path("src/a/photo.jpg")), Pattern(4000));
        QCOMPARE(Contents(t.path("src/b/photo.jpg")), Pattern(4000));
        QVERIFY(TrashedNames().empty());
    }

    // One photo under two names on one side, through a link or a hard link.
    // Whatever goes, the other side still holds every pair's proof.
    void samePhotoReachedTwice_data()
    {
        QTest::addColumn<QString>("twice");  // "src" or "dst": the side with two names
        QTest::addColumn<bool>("hardLink");
        QTest::addColumn<int>("mode");
        for (const char *side : {"src", "dst"})
            for (bool hard : {false, true})
                for (DeleteMode mode : {DeleteMode::Source, DeleteMode::Target})
                    QTest::newRow(qPrintable(QString("%1 %2, delete %3").arg(side, hard ? "hard link" : "link",
                                                                             mode == DeleteMode::Source ? "source" : "target")))
                        << QString(side) << hard << int(mode);
    }
    void samePhotoReachedTwice()
    {
        QFETCH(QString, twice);
        QFETCH(bool, hardLink);
        QFETCH(int, mode);
        TempTree t;
        const std::string doubled = twice.toStdString(), single = doubled == "src" ? "dst" : "src";
        QVERIFY(t.createFile(single + "/p.jpg", Pattern(2000)));
        QVERIFY(t.createFile(single + "/q.jpg", Pattern(2000)));
        QVERIFY(t.createFile(doubled + "/p.jpg", Pattern(2000)));
        const std::string p = t.path(doubled + "/p.jpg"), q = t.path(doubled + "/q.jpg");
        QCOMPARE(hardLink ? ::link(p.c_str(), q.c_str()) : ::symlink(p.c_str(), q.c_str()), 0);
        Outcome o;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode(mode)));
        QCOMPARE(o.worker->state.counters.same, 2);
        const bool source = DeleteMode(mode) == DeleteMode::Source;
        const std::string gone = source ? "src" : "dst", kept = source ? "dst" : "src";
        for (const char *name : {"/p.jpg", "/q.jpg"}) {
            if (!Present(t.path(gone + name)))
                QCOMPARE(Contents(t.path(kept + name)), Pattern(2000));
        }
        // Both names go when the other side holds two copies, but a hard
        // link's change time moved with the first: this deletion did that
        // itself, so the second name is still the file compared.
        if (gone == doubled && hardLink)
            QCOMPARE(NotDeletedLines(o.win.logLines), Strings {});
        // A link that led to the first name leads nowhere now: it stays.
        if (gone == doubled && !hardLink)
            QCOMPARE(NotDeletedLines(o.win.logLines), Strings {kFileChanged + q});
        if (gone != doubled)
            QCOMPARE(NotDeletedLines(o.win.logLines), Strings {});
    }

    void keptVolumeUnmountedWhileTheConfirmationWaits_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("delete source, target volume unmounted") << int(DeleteMode::Source);
        QTest::newRow("delete target, its own volume unmounted") << int(DeleteMode::Target);
    }
    void keptVolumeUnmountedWhileTheConfirmationWaits()
    {
        QFETCH(int, mode);
        TempTree t;
        QVERIFY(t.createDir("dst"));
        TmpfsMount volume(t.path("dst"));
        if (!volume.Mounted())
            QSKIP(volume.Reason());
        for (const char *side : {"src", "dst"}) {
            QVERIFY(t.createFile(std::string(side) + "/a.jpg", Pattern(3000, 'a')));
            QVERIFY(t.createFile(std::string(side) + "/sub/b.pdf", Pattern(5000, 'b')));
        }
        Outcome o;
        o.win.onCall = [&](const std::string &c) {
            if (c == "ConfirmDelete")
                QVERIFY(volume.Unmount());
        };
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode(mode)));
        QCOMPARE(Contents(t.path("src/a.jpg")), Pattern(3000, 'a'));
        QCOMPARE(Contents(t.path("src/sub/b.pdf")), Pattern(5000, 'b'));
        if (DeleteMode(mode) == DeleteMode::Source)
            QCOMPARE(NotDeletedLines(o.win.logLines),
                     (Strings {kOtherChanged + t.path("src/a.jpg"), kOtherChanged + t.path("src/sub/b.pdf")}));
        else
            QCOMPARE(NotDeletedLines(o.win.logLines),
                     (Strings {kFileChanged + t.path("dst/a.jpg"), kFolderReplaced + t.path("dst/sub/b.pdf")}));
        QVERIFY(TrashedNames().empty());
    }

    // SIGTERM in the middle of a batch: the file being moved is moved in
    // full, then the deletion stops; the summary follows.
    void stopSignalDuringTheBatch()
    {
        TempTree t;
        for (int i = 0; i < 10; ++i) {
            QVERIFY(t.createFile("src/f" + std::to_string(i), Pattern(100)));
            QVERIFY(t.createFile("dst/f" + std::to_string(i), Pattern(100)));
        }
        CatchStopSignals(StopSignalled);
        Outcome o;
        Run(o, Request(t.path("src"), t.path("dst"), DeleteMode::Source), [&](TInfoThread &w) {
            g_signalled = &w;
            w.Context().beforeDeleting = [&](const std::string &path) {
                if (path == t.path("src/f4"))
                    ::raise(SIGTERM);
            };
        });
        g_signalled = nullptr;
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        QVERIFY(o.worker->StopRequested());
        for (int i = 0; i < 10; ++i)
            QCOMPARE(Present(t.path("src/f" + std::to_string(i))), i > 4);
        QVERIFY(EngineTest::Contains(o.win.logLines, "Deleting stopped, 5 matching source files deleted."));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching source files deleted = "), std::string("<none>"));
        QCOMPARE(LineAfter(o.win.logLines, "Total number of matching files = "), std::string("10"));
        CheckTrashConsistent();
        QCOMPARE(TrashedNames().size(), std::size_t(5));
    }
};

QVL_TEST_CORE_MAIN(DeleteMatchingTest)
#include "DeleteMatchingTest.moc"
