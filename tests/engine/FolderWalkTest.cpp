#include "tests/engine/EngineTestUtil.h"
#include "engine/FolderWalk.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>

using namespace EngineTest;
using QvlTest::TempTree;

namespace {

// Walks `root` with the given options; the worker keeps what was gathered.
struct Walk {
    RecordingWindow win;
    TRunState state;
    TRunContext worker {state, win};
    bool ok = false;

    // A walk that went round a loop of folder links would not end (two
    // links back up double the tree at every level): it is stopped after
    // far more entries than any tree here has, and so fails at once.
    static constexpr int kEntryLimit = 100000;
    int entries = 0;

    Walk(const std::string &root, const std::string &masks = "*.*", bool hidden = true, bool subfolders = true)
    {
        win.onCall = [this](const std::string &call) {
            if (call == "ShowTotals" && ++entries > kEntryLimit)
                worker.Terminate();
        };
        worker.state.request = Request(root, root, DeleteMode::None, masks);
        worker.state.request.includeHidden = hidden;
        worker.state.request.includeSubfolders = subfolders;
        worker.state.maskList = ParseMasks(masks);
        ok = WalkFolder(worker, root);
    }
    std::vector<std::string> files(const TempTree &t) const
    {
        std::vector<std::string> rel;
        for (const auto &f : worker.state.fileList.Paths())
            rel.push_back(f.substr(t.root().size() + 1));
        return Sorted(rel);
    }
};

using Strings = std::vector<std::string>;

} // namespace

Q_DECLARE_METATYPE(Strings)

class FolderWalkTest : public QObject
{
    Q_OBJECT

private slots:
    void parseMasks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Strings>("masks");
        QTest::newRow("empty text, no masks") << "" << Strings {};
        QTest::newRow("one mask") << "*.txt" << Strings {"*.txt"};
        QTest::newRow("star-dot-star anywhere") << "*.txt;*.*" << Strings {"*"};
        QTest::newRow("star-dot-star inside a mask") << "a*.*b" << Strings {"*"};
        QTest::newRow("trailing semicolon dropped") << "*.txt;" << Strings {"*.txt"};
        QTest::newRow("leading empty piece kept") << ";*.txt" << Strings {"", "*.txt"};
        QTest::newRow("inner empty piece kept") << "*.a;;*.b" << Strings {"*.a", "", "*.b"};
        QTest::newRow("lone semicolon") << ";" << Strings {""};
        QTest::newRow("blanks are not trimmed") << " *.a" << Strings {" *.a"};
    }
    void parseMasks()
    {
        QFETCH(QString, text);
        QFETCH(Strings, masks);
        QCOMPARE(ParseMasks(text.toStdString()), masks);
    }

    void matchMask_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<bool>("match");
        QTest::newRow("star matches all") << "*" << "/a/b.txt" << true << true;
        QTest::newRow("extension in a subfolder") << "*.txt" << "/src/deep/notes.txt" << true << true;
        QTest::newRow("whole path, not name") << "notes.txt" << "/src/notes.txt" << true << false;
        QTest::newRow("literal start never matches a path") << "r*.txt" << "/src/report.txt" << true << false;
        QTest::newRow("case ignored") << "*.TXT" << "/src/notes.txt" << true << true;
        QTest::newRow("case kept when asked") << "*.TXT" << "/src/notes.txt" << false << false;
        QTest::newRow("star crosses slashes") << "*a/b*" << "/src/data/beta.bin" << true << true;
        QTest::newRow("star crosses slashes, no") << "*a/b*" << "/src/dat/beta.bin" << true << false;
        QTest::newRow("question mark matches a slash") << "/src?x" << "/src/x" << true << true;
        QTest::newRow("question mark needs a character") << "/a?" << "/a" << true << false;
        QTest::newRow("empty mask matches nothing") << "" << "/a" << true << false;
        QTest::newRow("trailing stars") << "/a**" << "/a" << true << true;
        QTest::newRow("retry after partial match") << "*ab" << "/aab" << true << true;
        QTest::newRow("mask longer than text") << "*.txt2" << "/a.txt" << true << false;
        QTest::newRow("only ASCII letters fold") << "*\xc3\x89" << "/\xc3\xa9" << true << false;
    }
    void matchMask()
    {
        QFETCH(QString, mask);
        QFETCH(QString, text);
        QFETCH(bool, ignoreCase);
        QFETCH(bool, match);
        QCOMPARE(MatchMask(mask.toStdString(), text.toStdString(), ignoreCase), match);
    }

    void masksFilterByWholePath()
    {
        TempTree t;
        QVERIFY(t.createFile("notes.txt", "1"));
        QVERIFY(t.createFile("sub/deep.TXT", "22"));
        QVERIFY(t.createFile("sub/image.png", "333"));
        QVERIFY(t.createFile("data/beta.bin", "4444"));
        QCOMPARE(Walk(t.root(), "*.txt").files(t), (Strings {"notes.txt", "sub/deep.TXT"}));
        QCOMPARE(Walk(t.root(), "notes.txt").files(t), Strings {});
        QCOMPARE(Walk(t.root(), "*a/b*").files(t), Strings {"data/beta.bin"});
        QCOMPARE(Walk(t.root(), "").files(t), Strings {});
        // A file that two masks match is gathered, counted and sized once.
        Walk both(t.root(), "*.txt;*.t*");
        QCOMPARE(both.files(t), (Strings {"notes.txt", "sub/deep.TXT"}));
        QCOMPARE(both.worker.state.counters.files, 2);
        QCOMPARE(both.worker.state.counters.totalBytes, 3.0);
        // The walk keeps the spelling of the folder as typed.
        Walk slash(t.root() + "/", "*.png");
        QCOMPARE(slash.worker.state.fileList.Paths(), Strings {t.root() + "/sub/image.png"});
    }

    void countsFoldersFilesAndBytes()
    {
        TempTree t;
        QVERIFY(t.createFile("a", "12345"));
        QVERIFY(t.createFile("x/b", "123"));
        QVERIFY(t.createFile("x/y/c", ""));
        QVERIFY(t.createDir("empty"));
        Walk w(t.root());
        QVERIFY(w.ok);
        QCOMPARE(w.worker.state.counters.folders, 3);
        QCOMPARE(w.worker.state.counters.files, 3);
        QCOMPARE(w.worker.state.counters.totalBytes, 8.0);
        QCOMPARE(Sorted(w.worker.state.folderList), (Strings {t.path("empty"), t.path("x"), t.path("x/y")}));
        // One window update per listed entry, "." and ".." included: five in
        // the root, four in x, three in x/y, two in empty.
        QCOMPARE(w.win.count("ShowTotals"), std::size_t(5 + 4 + 3 + 2));
        QCOMPARE(w.win.totalsFiles, 3);

        Walk flat(t.root(), "*.*", true, false);
        QCOMPARE(flat.files(t), Strings {"a"});
        QCOMPARE(flat.worker.state.counters.folders, 0);
        QVERIFY(flat.worker.state.folderList.empty());
    }

    void depthFirstInListingOrder()
    {
        TempTree t;
        QVERIFY(t.createFile("a/1", "x"));
        QVERIFY(t.createFile("a/b/2", "x"));
        QVERIFY(t.createFile("c/3", "x"));
        Walk w(t.root());
        // Whatever the listing order, every file of a folder's subtree comes
        // between that folder's entry and the next sibling's.
        const auto &fl = w.worker.state.folderList;
        const auto posA = std::find(fl.begin(), fl.end(), t.path("a"));
        const auto posB = std::find(fl.begin(), fl.end(), t.path("a/b"));
        QVERIFY(posB == posA + 1);
        const auto files = w.worker.state.fileList.Paths();
        const auto f2 = std::find(files.begin(), files.end(), t.path("a/b/2")) - files.begin();
        const auto f3 = std::find(files.begin(), files.end(), t.path("c/3")) - files.begin();
        const auto fc = std::find(fl.begin(), fl.end(), t.path("c"));
        QVERIFY((fc < posA) == (f3 < f2));
    }

    void hiddenEntries()
    {
        TempTree t;
        QVERIFY(t.createFile("seen", "x"));
        QVERIFY(t.createFile(".hidden", "x"));
        QVERIFY(t.createFile(".dir/inside", "x"));
        QVERIFY(t.createFile(".dir/.both", "x"));
        QCOMPARE(Walk(t.root(), "*.*", false).files(t), Strings {"seen"});
        QCOMPARE(Walk(t.root(), "*.*", true).files(t), (Strings {".dir/.both", ".dir/inside", ".hidden", "seen"}));
        QCOMPARE(Walk(t.root(), "*.*", false).worker.state.counters.folders, 0);
    }

    void systemEntriesAndLinks()
    {
        TempTree t;
        QVERIFY(t.createFile("real.txt", "abc"));
        QVERIFY(t.createFile("dir/in.txt", "x"));
        QCOMPARE(::mkfifo(t.path("fifo").c_str(), 0600), 0);
        QCOMPARE(::symlink("real.txt", t.path("file-link").c_str()), 0);
        QCOMPARE(::symlink("dir", t.path("dir-link").c_str()), 0);
        QCOMPARE(::symlink("..", t.path("dir/loop").c_str()), 0);
        QCOMPARE(::symlink(".", t.path("dir/here").c_str()), 0);
        QCOMPARE(::symlink("nowhere", t.path("dangling").c_str()), 0);
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        const std::string sockPath = t.path("sock");
        if (sockPath.size() < sizeof addr.sun_path) {
            std::strcpy(addr.sun_path, sockPath.c_str());
            QCOMPARE(::bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        }

        QCOMPARE(::symlink("/dev/null", t.path("device").c_str()), 0);
        QCOMPARE(::symlink("loop-b", t.path("loop-a").c_str()), 0);
        QCOMPARE(::symlink("loop-a", t.path("loop-b").c_str()), 0);
        QCOMPARE(::mkfifo(t.path(".hidden-fifo").c_str(), 0600), 0);

        Walk w(t.root());
        QVERIFY(w.ok);
        // The link to a file counts as a file (with its target's size); the
        // FIFO, the socket, the device, the dangling link, the link loop and
        // the folder links are not gathered, not entered, not opened.
        QCOMPARE(w.files(t), (Strings {"dir/in.txt", "file-link", "real.txt"}));
        QCOMPARE(w.worker.state.counters.totalBytes, 7.0);
        QCOMPARE(w.worker.state.folderList, Strings {t.path("dir")});
        // But each entry that is no file and no folder is named, with what
        // it is, in the log and in the report, and counted; the links to
        // folders are not (the walk never follows them, by design).
        Strings named {
            "Skipped, not a regular file - " + t.path(".hidden-fifo") + " (FIFO)",
            "Skipped, not a regular file - " + t.path("dangling") + " (link leading nowhere)",
            "Skipped, not a regular file - " + t.path("device") + " (device)",
            "Skipped, not a regular file - " + t.path("fifo") + " (FIFO)",
            "Skipped, not a regular file - " + t.path("loop-a") + " (link loop)",
            "Skipped, not a regular file - " + t.path("loop-b") + " (link loop)",
        };
        if (sockPath.size() < sizeof addr.sun_path)
            named.push_back("Skipped, not a regular file - " + t.path("sock") + " (socket)");
        QCOMPARE(Sorted(w.win.logLines), Sorted(named));
        QCOMPARE(w.worker.state.counters.skipped, int(named.size()));
        QCOMPARE(w.worker.state.counters.files, 3);
        QCOMPARE(w.win.reportRows.size(), named.size());
        for (const TReportRow &row : w.win.reportRows) {
            QCOMPARE(row.result, TReportResult::Skipped);
            // The root is walked against itself here: the Target is the
            // same path.
            QCOMPARE(row.target, row.source);
            QCOMPARE(row.size, std::int64_t(-1));
            QVERIFY(Contains(named, "Skipped, not a regular file - " + row.source + " (" + row.note + ")"));
        }

        // What the hidden rule or the masks leave out is left out in
        // silence, as the files they leave out are.
        Walk quiet(t.root(), "*/real.txt;*/dir/*", false);
        QCOMPARE(quiet.files(t), (Strings {"dir/in.txt", "real.txt"}));
        QVERIFY(quiet.win.logLines.empty());
        QCOMPARE(quiet.worker.state.counters.skipped, 0);
        Walk fifos(t.root(), "*fifo", false);
        QCOMPARE(fifos.win.logLines, Strings {"Skipped, not a regular file - " + t.path("fifo") + " (FIFO)"});
        ::close(sock);
    }

    void namesThatAreNotUtf8()
    {
        TempTree t;
        const std::string name = "caf\xe9-\xff.txt"; // Latin-1 bytes
        const std::string full = t.path(name);
        const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "abc", 3), 3);
        ::close(fd);
        Walk w(t.root(), "*.TXT");
        QCOMPARE(w.worker.state.fileList.Paths(), Strings {full});
        QCOMPARE(w.worker.state.counters.totalBytes, 3.0);
    }

    void treeDeeperThanThePathLimit()
    {
        // Folders nested past PATH_MAX: the walk reaches as deep as paths can
        // name, reports the folder it cannot list, and goes on.
        TempTree t;
        QVERIFY(t.createFile("top.txt", "x"));
        const std::string seg(200, 'd');
        int dfd = ::open(t.root().c_str(), O_RDONLY | O_DIRECTORY);
        QVERIFY(dfd >= 0);
        const int depth = PATH_MAX / int(seg.size() + 1) + 5;
        for (int i = 0; i < depth; ++i) {
            QCOMPARE(::mkdirat(dfd, seg.c_str(), 0700), 0);
            const int next = ::openat(dfd, seg.c_str(), O_RDONLY | O_DIRECTORY);
            QVERIFY(next >= 0);
            ::close(dfd);
            dfd = next;
        }
        const int f = ::openat(dfd, "deep.txt", O_WRONLY | O_CREAT, 0600);
        QVERIFY(f >= 0);
        ::close(f);
        ::close(dfd);

        Walk w(t.root());
        QVERIFY(w.ok);
        QVERIFY(EngineTest::Contains(w.worker.state.fileList.Paths(), t.path("top.txt")));
        QCOMPARE(w.worker.state.troubles, 1);
        QCOMPARE(w.win.logLines.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(w.win.logLines[0]).startsWith("Folder skipped, it cannot be listed - " +
                                                                      QString::fromStdString(t.root())));
        QVERIFY(QString::fromStdString(w.win.logLines[0]).endsWith("(File name too long)"));

        // Clean up from the bottom: the fixture's own removal cannot name
        // paths this long.
        std::vector<int> fds;
        int cur = ::open(t.root().c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < depth && cur >= 0; ++i) {
            fds.push_back(cur);
            cur = ::openat(cur, seg.c_str(), O_RDONLY | O_DIRECTORY);
        }
        if (cur >= 0) {
            ::unlinkat(cur, "deep.txt", 0);
            ::close(cur);
        }
        for (auto it = fds.rbegin(); it != fds.rend(); ++it) {
            ::unlinkat(*it, seg.c_str(), AT_REMOVEDIR);
            ::close(*it);
        }
    }

    void unlistableSubfolderIsReportedAndSkipped()
    {
        if (::geteuid() == 0)
            QSKIP("running as root: every folder can be listed");
        TempTree t;
        QVERIFY(t.createFile("a.txt", "x"));
        QVERIFY(t.createFile("locked/b.txt", "x"));
        QVERIFY(t.createFile("z/c.txt", "x"));
        QCOMPARE(::chmod(t.path("locked").c_str(), 0), 0);
        Walk w(t.root());
        ::chmod(t.path("locked").c_str(), 0700);
        QVERIFY(w.ok);
        QCOMPARE(w.files(t), (Strings {"a.txt", "z/c.txt"}));
        QCOMPARE(w.win.logLines,
                 Strings {"Folder skipped, it cannot be listed - " + t.path("locked") + " (Permission denied)"});
    }

    void unlistableSourceFails()
    {
        TempTree t;
        QVERIFY(!Walk(t.path("missing")).ok);
        QVERIFY(t.createFile("file", "x"));
        QVERIFY(!Walk(t.path("file")).ok);
    }

    void stopEndsTheWalk()
    {
        TempTree t;
        for (int i = 0; i < 20; ++i)
            QVERIFY(t.createFile("d" + std::to_string(i % 4) + "/f" + std::to_string(i), "x"));
        RecordingWindow win;
        TRunState state;
        TRunContext worker(state, win);
        worker.state.request = Request(t.root(), t.root());
        worker.state.maskList = {"*"};
        int totals = 0;
        win.onCall = [&](const std::string &c) {
            if (c == "ShowTotals" && ++totals == 5)
                worker.Terminate();
        };
        QVERIFY(!WalkFolder(worker, t.root()));
        // The stop is seen right after the entry whose totals were shown.
        QCOMPARE(win.count("ShowTotals"), std::size_t(5));
        QVERIFY(win.messages.empty());
    }
};

QVL_TEST_CORE_MAIN(FolderWalkTest)
#include "FolderWalkTest.moc"
