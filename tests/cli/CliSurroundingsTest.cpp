// quorvel-verify in surroundings that work against it: closed standard
// streams, a report on a FIFO or on a full disk, a stop signal before the
// run has begun, names that would read alike, Source entries that are no
// files, files whose size says nothing of their bytes. Each case is a real
// process; a hang fails the test by the timeout of its wait.
#include "tests/cli/CliOutput.h"
#include "tests/common/CsvByPython.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include <QDirIterator>
#include <QProcess>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::LinesWith;
using QvlTest::TempTree;
using QvlTest::TmpfsMount;

namespace {

struct Result {
    bool finished = false;
    int exitCode = -1; // -1 when the program died by a signal
    QByteArray out;
    QByteArray err;
};

// Runs the program in a session of its own (no terminal to ask on); the
// child's own setup, if any, runs right before the program starts.
Result Run(const QStringList &args, const std::function<void()> &inChild = {})
{
    QProcess p;
    p.setProgram(QStringLiteral(QVL_BINARY_DIR "/cli/quorvel-verify"));
    p.setArguments(QStringList {"--no-progress"} + args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setChildProcessModifier([inChild] {
        ::setsid();
        if (inChild)
            inChild();
    });
    p.start();
    Result r;
    r.finished = p.waitForFinished(30000);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

int FilesUnder(const std::string &folder)
{
    int files = 0;
    QDirIterator it(Q(folder), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++files;
    }
    return files;
}

QList<QByteArray> Unstamped(const QByteArray &text)
{
    QList<QByteArray> lines;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        const bool stamped = line.size() > 9 && line[2] == ':' && line[5] == ':' && line[8] == ' ';
        lines << (stamped ? line.mid(9) : line);
    }
    return lines;
}

// A file of one byte whose name is taken as bytes, whatever they are.
bool CreateRaw(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, "x", 1) == 1;
    return ::close(fd) == 0 && written;
}

// Source and Target with `count` equal files "f000", "f001", ... of one byte.
bool MakePairs(const TempTree &t, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::string name = QString::asprintf("f%03d", i).toStdString();
        if (!t.createFile("src/" + name, "x") || !t.createFile("dst/" + name, "x"))
            return false;
    }
    return true;
}

} // namespace

class CliSurroundingsTest : public QObject
{
    Q_OBJECT
private slots:
    // Started with `>&-`: the report must not be opened on the closed
    // descriptor, where the log (or the messages) would be written into it.
    // The run is as usual, and the report holds its rows only.
    void closedStandardStreamsNeverTakeTheReport_data()
    {
        QTest::addColumn<QList<int>>("closed");
        QTest::newRow("stdout") << QList<int> {1};
        QTest::newRow("stderr") << QList<int> {2};
        QTest::newRow("all three") << QList<int> {0, 1, 2};
    }
    void closedStandardStreamsNeverTakeTheReport()
    {
        QFETCH(QList<int>, closed);
        TempTree t;
        QVERIFY(MakePairs(t, 3));
        QVERIFY(t.createFile("src/only", "o"));
        const std::string report = t.path("report.csv");
        // The mask "x" has its note on standard error.
        const Result r = Run({"--mask", "*;x", "--report", Q(report), Q(t.path("src")), Q(t.path("dst"))}, [closed] {
            for (int fd : closed)
                ::close(fd);
        });
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 1); // the file missing in the Target
        QList<QStringList> rows = QvlTest::CsvByPython(report);
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.takeFirst(), QStringList({"result", "source", "target", "size", "note"}));
        std::sort(rows.begin(), rows.end());
        QCOMPARE(rows.last(), QStringList({"target-missing", Q(t.path("src/only")), Q(t.path("dst/only")), "1", ""}));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rows.at(i).first(), QStringLiteral("match"));
    }

    // A report path that is a FIFO: opened without waiting. With no process
    // reading it the run is refused at once, saying why; with a reader the
    // report goes to it.
    void reportOnAFifo()
    {
        TempTree t;
        QVERIFY(MakePairs(t, 2));
        const std::string fifo = t.path("report.fifo");
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);

        const Result unread = Run({"--report", Q(fifo), Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY2(unread.finished, "the program waited for a reader");
        QCOMPARE(unread.exitCode, 2);
        QCOMPARE(unread.err, ("quorvel-verify: cannot write the report " + fifo +
                              ": no process reads from this FIFO (No such device or address)\n")
                                 .c_str());
        QVERIFY(!unread.out.contains("Files Match"));

        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(reader >= 0);
        const Result read = Run({"--report", Q(fifo), Q(t.path("src")), Q(t.path("dst"))});
        QByteArray csv;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(reader, buf, sizeof buf)) > 0)
            csv.append(buf, n);
        ::close(reader);
        QVERIFY(read.finished);
        QCOMPARE(read.exitCode, 0);
        QCOMPARE(csv.count("\r\n"), 3);
        QVERIFY(csv.startsWith("result,source,target,size,note\r\nmatch,"));
    }

    // A report on a disk that fills up during the deletion: the run stops
    // before the next file is deleted, as when standard output fails, says
    // why, and exits with 2. The tmpfs holds one page: the header and the
    // match rows fill it to a few bytes, so the first deletion's row is the
    // first write that fails.
    void fullDiskReportStopsTheDeletion()
    {
        TempTree t;
        QVERIFY(t.createDir("full"));
        TmpfsMount mount(t.path("full"), "mode=0755,size=4k");
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        const std::string src = t.path("src/"), dst = t.path("dst/");
        const auto rowLength = [&](const std::string &name) {
            return std::size_t(6 + src.size() + name.size() + 1 + dst.size() + name.size() + 5); // match,S,T,1,\r\n
        };
        // Files until a page is nearly full, then one whose name takes it
        // to 8 to 9 bytes short of full (names grow a row by two bytes).
        constexpr std::size_t kPage = 4096;
        std::size_t length = std::string("result,source,target,size,note\r\n").size();
        int files = 0;
        for (;; ++files) {
            const std::string name = QString::asprintf("f%03d", files).toStdString();
            if (length + rowLength(name) + rowLength("p") > kPage - 8)
                break;
            QVERIFY(t.createFile("src/" + name, "x") && t.createFile("dst/" + name, "x"));
            length += rowLength(name);
        }
        const std::string pad = "p" + std::string((kPage - 8 - length - rowLength("p")) / 2, 'p');
        QVERIFY(pad.size() < 256);
        QVERIFY(t.createFile("src/" + pad, "x") && t.createFile("dst/" + pad, "x"));
        ++files;
        length += rowLength(pad);
        QVERIFY(length <= kPage - 8 && length >= kPage - 9);

        const std::string report = t.path("full/report.csv");
        const Result r = Run({"--delete=source", "--yes", "--report", Q(report), Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(("quorvel-verify: cannot write the report " + report +
                                 ": No space left on device; the run stops\n")
                                    .c_str()),
                 r.err.constData());
        // One file went, and its row is what could not be written; every
        // other file is still in place.
        QCOMPARE(FilesUnder(t.path("src")), files - 1);
        QCOMPARE(LinesWith(r.out, "Deleting stopped, 1 matching source files deleted.").size(), 1);
        QFile written(Q(report));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray csv = written.readAll();
        // The header and every match row are whole; of the first deletion's
        // row no more than the bytes that fitted.
        QCOMPARE(csv.count("\r\nmatch,"), files);
        QCOMPARE(csv.count("\r\n"), files + 1);
    }

    // A stop signal that comes before the program has done anything (held
    // back by the mask it was started with, pending since): a cancel, exit
    // 2, never death by the signal.
    void stopSignalAtTheStartIsACancel_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void stopSignalAtTheStartIsACancel()
    {
        QFETCH(int, signalNumber);
        TempTree t;
        QVERIFY(MakePairs(t, 3));
        const Result r = Run({"--delete=source", "--yes", Q(t.path("src")), Q(t.path("dst"))}, [signalNumber] {
            sigset_t set;
            sigemptyset(&set);
            sigaddset(&set, signalNumber);
            ::sigprocmask(SIG_BLOCK, &set, nullptr);
            ::raise(signalNumber);
        });
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(!r.out.contains("Files Match"));
        QCOMPARE(FilesUnder(t.path("src")), 3);
    }

    // A name with a newline and one with a backslash and an "n", a byte 0xFF
    // and the text "\xFF": four files, four different texts in the log and
    // in the report.
    void namesThatWouldReadAlikeAreToldApart()
    {
        TempTree t;
        const std::vector<std::string> names {"a\nb", "a\\nb", "c\xff", "c\\xFF"};
        QVERIFY(t.createDir("src") && t.createDir("dst"));
        for (const std::string &name : names)
            QVERIFY(CreateRaw(t.path("src/" + name)) && CreateRaw(t.path("dst/" + name)));
        const std::string report = t.path("report.csv");
        const Result r = Run({"--report", Q(report), Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY(r.finished);
        QCOMPARE(r.exitCode, 0);
        const QByteArray dst = QByteArray::fromStdString(t.path("dst/"));
        QList<QByteArray> matches = LinesWith(r.out, "Files Match - ");
        std::sort(matches.begin(), matches.end());
        QCOMPARE(matches, (QList<QByteArray> {"Files Match - " + dst + "a\\\\nb", "Files Match - " + dst + "a\\nb",
                                              "Files Match - " + dst + "c\\\\xFF", "Files Match - " + dst + "c\xff"}));

        QList<QStringList> rows = QvlTest::CsvByPython(report);
        QCOMPARE(rows.size(), 5);
        rows.removeFirst();
        QStringList targets;
        for (const QStringList &row : rows)
            targets << row.at(2).mid(int(dst.size()));
        targets.sort();
        QCOMPARE(targets, (QStringList {"a\\\\nb", "a\\nb", "c\\\\xFF", "c\\xFF"}));

        // A message about such a name (the File Error box, on standard
        // error) escapes it once, as the log does: not twice.
        QCOMPARE(::symlink("/proc/self/mem", t.path("src/mem\\n").c_str()), 0);
        QVERIFY(t.createFile("dst/mem\\n")); // empty, as /proc/self/mem says it is
        const Result unreadable = Run({Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(unreadable.exitCode, 2);
        const QByteArray shown = QByteArray::fromStdString(t.path("src/mem\\\\n"));
        QCOMPARE(LinesWith(unreadable.err, "File Error: ").size(), 1);
        QVERIFY2(LinesWith(unreadable.err, "File Error: ").first().endsWith(shown + " (Input/output error)"),
                 unreadable.err.constData());
        QVERIFY(Unstamped(unreadable.out).contains("File could not be read - " + shown + " (Input/output error)"));
    }

    // A FIFO and links leading nowhere in the Source are never opened (the
    // FIFO would wait for a writer) but named, counted in a summary line of
    // their own (which --quiet prints too) and given a report row; the exit
    // status is what the files give.
    void entriesThatAreNoFilesAreNamed()
    {
        TempTree t;
        QVERIFY(MakePairs(t, 1));
        QCOMPARE(::mkfifo(t.path("src/pipe").c_str(), 0600), 0);
        QCOMPARE(::symlink("nowhere", t.path("src/dangling").c_str()), 0);
        QCOMPARE(::symlink("loop", t.path("src/loop").c_str()), 0);
        const std::string report = t.path("report.csv");
        const Result r = Run({"--report", Q(report), Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY2(r.finished, "the program opened the FIFO");
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = Unstamped(r.out);
        const auto named = [&](const char *name, const char *what) {
            return QByteArray::fromStdString("Skipped, not a regular file - " + t.path(std::string("src/") + name) +
                                             " (" + what + ")");
        };
        QCOMPARE(lines.count(named("pipe", "FIFO")), 1);
        QCOMPARE(lines.count(named("dangling", "link leading nowhere")), 1);
        QCOMPARE(lines.count(named("loop", "link loop")), 1);
        QCOMPARE(lines.mid(lines.size() - 3, 2),
                 (QList<QByteArray> {"Total number of different files = 0",
                                     "Total number of entries skipped, not regular files = 3"}));

        QList<QStringList> rows = QvlTest::CsvByPython(report);
        rows.removeFirst();
        std::sort(rows.begin(), rows.end());
        const auto s = [&](const char *n) { return Q(t.path(std::string("src/") + n)); };
        const auto d = [&](const char *n) { return Q(t.path(std::string("dst/") + n)); };
        QCOMPARE(rows, (QList<QStringList> {
                           {"match", s("f000"), d("f000"), "1", ""},
                           {"skipped", s("dangling"), d("dangling"), "", "link leading nowhere"},
                           {"skipped", s("loop"), d("loop"), "", "link loop"},
                           {"skipped", s("pipe"), d("pipe"), "", "FIFO"},
                       }));

        const Result quiet = Run({"--quiet", Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(LinesWith(quiet.out, "Total number of entries skipped, not regular files = 3").size(), 1);
        QVERIFY(LinesWith(quiet.out, "Skipped, not a regular file").isEmpty());
    }

    // A file of /proc against itself: its size is 0, its bytes are many and
    // change. The run ends, and the pair is no match. So does the whole of
    // /proc/self against itself, pagemap (hundreds of gigabytes read on)
    // and the links to pipes and sockets included.
    void procFileAgainstItselfEnds()
    {
        const Result r = Run({"/proc/self/status", "/proc/self/status"});
        QVERIFY2(r.finished, "the comparison did not end");
        QCOMPARE(r.exitCode, 2);
        const QList<QByteArray> lines = Unstamped(r.out);
        QVERIFY(lines.contains("Files Differ - /proc/self/status"));
        QVERIFY(lines.contains("File changed while it was compared - /proc/self/status"));

        const Result folder = Run({"/proc/self", "/proc/self"});
        QVERIFY2(folder.finished, "the comparison did not end");
        QCOMPARE(folder.exitCode, 2);
        QVERIFY(Unstamped(folder.out).contains("Files Differ - /proc/self/pagemap"));
    }
};

QVL_TEST_CORE_MAIN(CliSurroundingsTest)
#include "CliSurroundingsTest.moc"
