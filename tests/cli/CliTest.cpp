#include "cli/CliWindow.h"
#include "tests/cli/CliOutput.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "platform/Trash.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

struct Result {
    int exitCode = -1;
    QStringList out; // stdout lines, stamps removed from run-log lines
    QString err;
};

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

QString Program()
{
    return QvlTest::VerifierProgram();
}

QStringList Unstamped(const QByteArray &text)
{
    return QvlTest::UnstampedLines(text);
}

// The program in a session of its own: no terminal to ask on, whatever
// terminal the test runs on. With `terminal`, that pseudo-terminal becomes
// the session's terminal instead.
void NewSession(QProcess &p, const QByteArray &terminal = {})
{
    p.setChildProcessModifier([terminal] {
        ::setsid();
        if (!terminal.isEmpty())
            ::open(terminal.constData(), O_RDWR); // the first terminal a session opens is its own
    });
}

Result Finished(QProcess &p)
{
    Result r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = Unstamped(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Result Run(const QStringList &args)
{
    QProcess p;
    p.setProgram(Program());
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    NewSession(p);
    p.start();
    return Finished(p);
}

// A pseudo-terminal: the test holds the master side, the program is given
// the other side by name.
class TestTerminal
{
public:
    explicit TestTerminal(unsigned short columns = 200)
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_name = ::ptsname(m_master);
        // Held open, so that the master still reads what the program wrote
        // after the program is gone.
        m_slave = ::open(m_name.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
        struct winsize size {};
        size.ws_row = 40;
        size.ws_col = columns;
        ::ioctl(m_master, TIOCSWINSZ, &size);
    }
    ~TestTerminal()
    {
        ::close(m_slave);
        ::close(m_master);
    }
    bool isValid() const { return m_slave >= 0; }
    QString name() const { return QString::fromLocal8Bit(m_name); }
    const QByteArray &path() const { return m_name; }

    // Everything written on the terminal so far.
    QByteArray output()
    {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(m_master, buf, sizeof buf)) > 0)
            m_output.append(buf, n);
        return m_output;
    }
    void type(const QByteArray &keys) { QCOMPARE(::write(m_master, keys.constData(), keys.size()), keys.size()); }

private:
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_name;
    QByteArray m_output;
};

// The lines a terminal shows after `raw` was written on it: a carriage
// return goes back to the start of the line, ESC [ K erases the rest of it.
QStringList Screen(const QByteArray &raw)
{
    QStringList lines;
    QString line;
    int column = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines << line;
            line.clear();
            column = 0;
        } else if (raw.mid(i, 3) == "\033[K") {
            line.truncate(column);
            i += 2;
        } else {
            if (column < line.size())
                line[column] = QLatin1Char(c);
            else
                line += QLatin1Char(c);
            ++column;
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

// `count` identical pairs, in 30 folders: output of some 200 kB.
bool MakePairs(const TempTree &t, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::string rel = "/d" + std::to_string(i % 30) + "/f" + std::to_string(i);
        if (!t.createFile("src" + rel, "x") || !t.createFile("dst" + rel, "x"))
            return false;
    }
    return true;
}

int FilesUnder(const std::string &folder)
{
    int files = 0;
    QDirIterator it(Q(folder), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++files;
    }
    return files;
}

QStringList Summary(int checked, int same, int missing, int different)
{
    return {QString("Total number of files checked = %1").arg(checked),
            QString("Total number of matching files = %1").arg(same),
            QString("Total number of missing files = %1").arg(missing),
            QString("Total number of different files = %1").arg(different)};
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void exitStatusLikeDiff()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a.txt", "same"));
        QVERIFY(t.createFile("dst/a.txt", "same"));
        QVERIFY(t.createFile("dst/only-target.txt", "x"));

        Result ok = Run({Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(ok.exitCode, 0);
        QCOMPARE(ok.out.mid(0, 4), (QStringList {
            "Begin verify - Source: \"" + Q(t.path("src")) + "\" - Target: \"" + Q(t.path("dst")) + "\"",
            "Gathering file information.", "Begin folder and file comparison.",
            "Files Match - " + Q(t.path("dst/a.txt"))}));
        QCOMPARE(ok.out.mid(4, 4), Summary(1, 1, 0, 0));
        QVERIFY(ok.out.at(8).startsWith("End file operations. Total elapsed time = "));
        QCOMPARE(ok.out.size(), 9);
        QVERIFY(ok.err.isEmpty());

        QVERIFY(t.createFile("src/b.txt", "only source"));
        Result missing = Run({Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.out.contains("Target Missing - " + Q(t.path("dst/b.txt"))));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no paths") << QStringList {};
        QTest::newRow("one path") << QStringList {"/tmp"};
        QTest::newRow("three paths") << QStringList {"/a", "/b", "/c"};
        QTest::newRow("unknown option") << QStringList {"--frobnicate", "/a", "/b"};
        QTest::newRow("bad delete side") << QStringList {"--delete=both", "/a", "/b"};
        QTest::newRow("mask without value") << QStringList {"/a", "/b", "--mask"};
    }
    void badArguments()
    {
        QFETCH(QStringList, args);
        Result r = Run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains("Try 'quorvel-verify --help'"));
    }

    void helpDescribesEveryOption()
    {
        Result r = Run({"--help"});
        QCOMPARE(r.exitCode, 0);
        const QString help = r.out.join('\n');
        for (const char *opt : {"--mask", "--no-subfolders", "--no-hidden", "--delete=source", "--delete=target",
                                "--from-disk", "--yes", "--quiet", "--json", "--report", "--progress",
                                "--no-progress", "--version"})
            QVERIFY2(help.contains(opt), opt);
    }

    // Every heading of --help is a line of its own, and no line reaches the
    // width of the terminal it is shown on (80 columns through a pipe).
    void helpHeadingsOnTheirOwnLinesWithinTheWidth_data()
    {
        QTest::addColumn<int>("columns"); // 0: a pipe
        QTest::newRow("pipe") << 0;
        QTest::newRow("60 columns") << 60;
        QTest::newRow("132 columns") << 132;
    }

    void helpHeadingsOnTheirOwnLinesWithinTheWidth()
    {
        QFETCH(int, columns);
        QByteArray raw;
        if (columns == 0) {
            QProcess p;
            p.start(Program(), {"--help"});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 0);
            raw = p.readAllStandardOutput();
        } else {
            TestTerminal terminal(columns);
            QVERIFY(terminal.isValid());
            QProcess p;
            p.setStandardOutputFile(terminal.name());
            p.start(Program(), {"--help"});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 0);
            raw = terminal.output();
            raw.replace("\r\n", "\n");
        }
        const QStringList lines = QString::fromUtf8(raw).split('\n');
        const int width = columns == 0 ? 80 : columns;
        int longest = 0;
        for (const QString &line : lines) {
            QVERIFY2(line.size() < width, qPrintable(line));
            longest = std::max<int>(longest, line.size());
        }
        // The text is wrapped at the width, not at a fixed one below it.
        QVERIFY2(longest >= width - 12, qPrintable(QString::number(longest)));
        for (const char *heading : {"Output:", "JSON output:", "Deletion:", "Stopping:", "Exit status:"}) {
            QVERIFY2(lines.contains(heading), heading);
            for (const QString &line : lines)
                QVERIFY2(line == heading || !line.startsWith(heading), qPrintable(line));
        }
    }

    void optionsShapeTheRun()
    {
        TempTree t;
        for (const char *rel : {"a.txt", "b.jpg", ".hidden.txt", "sub/c.txt"}) {
            QVERIFY(t.createFile(std::string("src/") + rel, "1"));
            QVERIFY(t.createFile(std::string("dst/") + rel, "1"));
        }
        auto matched = [](const Result &r) {
            QStringList m = r.out.filter(QRegularExpression("^Files Match - "));
            for (QString &s : m)
                s = s.section('/', -1);
            m.sort();
            return m;
        };
        QCOMPARE(matched(Run({Q(t.path("src")), Q(t.path("dst"))})),
                 (QStringList {".hidden.txt", "a.txt", "b.jpg", "c.txt"}));
        QCOMPARE(matched(Run({"--mask", "*.TXT; *.png", Q(t.path("src")), Q(t.path("dst"))})),
                 (QStringList {".hidden.txt", "a.txt", "c.txt"}));
        QCOMPARE(matched(Run({"--no-hidden", "--no-subfolders", Q(t.path("src")), Q(t.path("dst"))})),
                 (QStringList {"a.txt", "b.jpg"}));

        Result quiet = Run({"--quiet", Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(quiet.out.mid(0, 4), Summary(4, 4, 0, 0));
        QCOMPARE(quiet.out.size(), 5);
    }

    void fromDiskReachesTheRequest()
    {
        const char *const with[] = {"--from-disk", "a", "b"};
        const char *const without[] = {"a", "b"};
        CliOptions o;
        std::string error;
        QVERIFY(ParseCliArguments(3, with, o, error));
        QVERIFY(o.request.fromDisk);
        QVERIFY(o.request.concurrentReads);
        CliOptions plain;
        QVERIFY(ParseCliArguments(2, without, plain, error));
        QVERIFY(!plain.request.fromDisk);
    }

    void relativePathsResolveAgainstTheCurrentFolder()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a", "1"));
        QVERIFY(t.createFile("dst/a", "1"));
        QProcess p;
        p.setWorkingDirectory(Q(t.root()));
        p.setStandardInputFile(QProcess::nullDevice());
        NewSession(p);
        p.start(Program(), {"src", "./dst/"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(Unstamped(p.readAllStandardOutput()).at(0) ==
                "Begin verify - Source: \"" + Q(t.path("src")) + "\" - Target: \"" + Q(t.path("dst")) + "/\"");
    }

    void deletionAskedOnTheTerminalOnly()
    {
        TempTree t;
        QVERIFY(t.createFile("src/sub/a", "1"));
        QVERIFY(t.createFile("dst/sub/a", "1"));

        // No terminal and no --yes: the answer is no.
        Result no = Run({"--delete=source", Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(no.exitCode, 0);
        QVERIFY(no.out.contains("Cancel without deleting matching files selected."));
        QVERIFY(no.err.contains("Confirm Delete: Are you sure you want to Delete 1 matching files from Source drive"));
        QVERIFY(QFile::exists(Q(t.path("src/sub/a"))));

        Result yes = Run({"--delete=source", "--yes", Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(yes.exitCode, 0);
        QVERIFY(yes.out.contains("Total number of matching source files deleted = 1"));
        QVERIFY(yes.out.contains("Total number of empty source folders deleted = 2"));
        QVERIFY(!QFile::exists(Q(t.path("src"))));
        // It went to the trash of the test's own home.
        QVERIFY(QFile::exists(Q(HomeTrashDir() + "/files/a")));
        QVERIFY(QFile::exists(Q(t.path("dst/sub/a"))));
    }

    void interruptActsAsCancel()
    {
        TempTree t;
        // A large sparse pair keeps the comparison busy long enough.
        QVERIFY(t.createSparse("src/big", std::uint64_t(64) << 30));
        QVERIFY(t.createSparse("dst/big", std::uint64_t(64) << 30));
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        NewSession(p);
        p.start(Program(), {Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY(p.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("Begin folder and file comparison."), 30000);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 2);
        const QStringList lines = Unstamped(out + p.readAllStandardOutput());
        QVERIFY(lines.filter("Files Match").isEmpty());
        QCOMPARE(lines.mid(lines.size() - 5, 4), Summary(0, 0, 0, 0));
    }

    // A stop signal while the matches go to the trash: the file being moved
    // is moved in full, the summary follows, exit 2. Wherever the signal
    // lands, every trashed file has its .trashinfo and every .trashinfo its
    // file, and every file is in one place: the Source or the trash.
    void stopSignalDuringTheDeletion_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void stopSignalDuringTheDeletion()
    {
        QFETCH(int, signalNumber);
        TempTree t;
        const int files = 3000;
        QVERIFY(MakePairs(t, files));
        const QString trash = Q(HomeTrashDir());
        QDir(trash).removeRecursively();
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        NewSession(p);
        p.start(Program(), {"--delete=source", "--yes", Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY(p.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("Begin deleting files."), 60000);
        ::kill(pid_t(p.processId()), signalNumber);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 2);
        const QStringList lines = Unstamped(out + p.readAllStandardOutput());
        QCOMPARE(lines.mid(lines.size() - 5, 4), Summary(files, files, 0, 0).replaceInStrings("3000", "3,000"));

        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QStringList trashed = QDir(trash + "/files").entryList(all);
        QStringList infos = QDir(trash + "/info").entryList(all);
        for (QString &i : infos) {
            QVERIFY2(i.endsWith(".trashinfo") && QFileInfo(trash + "/info/" + i).size() > 0, qPrintable(i));
            i.chop(10);
        }
        trashed.sort();
        infos.sort();
        QCOMPARE(infos, trashed);
        QCOMPARE(FilesUnder(t.path("src")) + int(trashed.size()), files);
    }

    // What the window's Start refuses is refused before anything runs.
    void pathsOfTheWrongKindAreRefused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("no SOURCE") << "nothing-here" << "dst" << "SOURCE '%1/nothing-here' does not exist";
        QTest::newRow("no TARGET") << "src" << "nothing-here" << "TARGET '%1/nothing-here' does not exist";
        QTest::newRow("file and folder") << "src/a.txt" << "dst"
                                         << "SOURCE '%1/src/a.txt' is a file but TARGET '%1/dst' is a folder; "
                                            "give two folders or two files";
        QTest::newRow("folder and file") << "src" << "dst/a.txt"
                                         << "SOURCE '%1/src' is a folder but TARGET '%1/dst/a.txt' is a file; "
                                            "give two folders or two files";
        QTest::newRow("a FIFO") << "fifo" << "dst/a.txt" << "SOURCE '%1/fifo' is neither a file nor a folder";
    }
    void pathsOfTheWrongKindAreRefused()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, message);
        TempTree t;
        QVERIFY(t.createFile("src/a.txt", "same"));
        QVERIFY(t.createFile("dst/a.txt", "same"));
        QCOMPARE(::mkfifo(t.path("fifo").c_str(), 0600), 0);
        Result r = Run({"--delete=source", "--yes", Q(t.path(source.toStdString())), Q(t.path(target.toStdString()))});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.out, QStringList());
        QCOMPARE(r.err, "quorvel-verify: " + message.arg(Q(t.root())) + "\n");
        QVERIFY(QFile::exists(Q(t.path("src/a.txt"))));
    }

    void versionFromTheVersionBlock()
    {
        Result r = Run({"--version"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.size(), 1);
        QVERIFY2(QRegularExpression("^quorvel-verify \\d+\\.\\d+\\.\\d+\\.\\d+$").match(r.out.at(0)).hasMatch(),
                 qPrintable(r.out.at(0)));
        QVERIFY(r.err.isEmpty());
    }

    // Masks are matched against the whole path, which begins with '/'.
    void masksThatCanMatchNothingAreNoted_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("noted");
        QTest::addColumn<int>("matched");
        QTest::newRow("a name") << "IMG_*.jpg" << QStringList {"IMG_*.jpg"} << 0;
        QTest::newRow("one of two") << "*.png;img_?.JPG" << QStringList {"img_?.JPG"} << 0;
        QTest::newRow("a name under any folder") << "*/IMG_*.jpg" << QStringList {} << 1;
        QTest::newRow("a path") << "/*IMG_*" << QStringList {} << 1;
    }
    void masksThatCanMatchNothingAreNoted()
    {
        QFETCH(QString, mask);
        QFETCH(QStringList, noted);
        QFETCH(int, matched);
        TempTree t;
        QVERIFY(t.createFile("src/IMG_1.jpg", "1"));
        QVERIFY(t.createFile("dst/IMG_1.jpg", "1"));
        Result r = Run({"--mask", mask, Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.filter("Files Match - ").size(), matched);
        QCOMPARE(r.out.mid(r.out.size() - 5, 4), Summary(matched, matched, 0, 0));
        QVERIFY(r.out.filter("note").isEmpty());
        for (const QString &m : noted)
            QVERIFY2(r.err.contains("quorvel-verify: note: the mask '" + m + "' matches no file"), qPrintable(r.err));
        QCOMPARE(r.err.contains("no file was gathered"), matched == 0);
        QCOMPARE(r.err.count("note:"), noted.size() + (matched == 0 ? 1 : 0));
    }

    // A reader that goes away stops the run in order: exit 2, no death by
    // SIGPIPE, nothing deleted after the failed write.
    void closedPipeStopsTheRun_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("verify") << QStringList {};
        QTest::newRow("delete") << QStringList {"--delete=source", "--yes"};
    }
    void closedPipeStopsTheRun()
    {
        QFETCH(QStringList, options);
        TempTree t;
        const int files = 3000;
        QVERIFY(MakePairs(t, files));
        QProcess verify, head;
        verify.setStandardOutputProcess(&head);
        verify.setStandardInputFile(QProcess::nullDevice());
        NewSession(verify);
        head.start("head", {"-1"});
        verify.start(Program(), options + QStringList {Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY(head.waitForFinished(60000));
        Result r = Finished(verify);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("quorvel-verify: cannot write to standard output (Broken pipe); the run stops"),
                 qPrintable(r.err));
        QCOMPARE(Unstamped(head.readAllStandardOutput()).at(0),
                 "Begin verify - Source: \"" + Q(t.path("src")) + "\" - Target: \"" + Q(t.path("dst")) + "\"");
        QCOMPARE(FilesUnder(t.path("src")), files);
    }

    void fullDiskStopsTheRunBeforeAnyDeletion()
    {
        TempTree t;
        QVERIFY(MakePairs(t, 50));
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.setStandardOutputFile("/dev/full");
        NewSession(p);
        p.start(Program(), {"--delete=source", "--yes", Q(t.path("src")), Q(t.path("dst"))});
        Result r = Finished(p);
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, QString("quorvel-verify: cannot write to standard output (No space left on device); "
                                "the run stops\n"));
        QCOMPARE(FilesUnder(t.path("src")), 50);
    }

    // The progress line is on standard error when that is a terminal (or
    // when asked), never in a pipe otherwise; on the terminal nothing of it
    // is left between the log lines.
    void progressLineOnTerminalsOnly_data()
    {
        QTest::addColumn<bool>("onTerminal");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("shown");
        QTest::newRow("terminal") << true << QStringList {} << true;
        QTest::newRow("terminal, --no-progress") << true << QStringList {"--no-progress"} << false;
        QTest::newRow("pipe") << false << QStringList {} << false;
        QTest::newRow("pipe, --progress") << false << QStringList {"--progress"} << true;
    }
    void progressLineOnTerminalsOnly()
    {
        QFETCH(bool, onTerminal);
        QFETCH(QStringList, options);
        QFETCH(bool, shown);
        TempTree t;
        QVERIFY(MakePairs(t, 30));
        TestTerminal terminal;
        QVERIFY(terminal.isValid());
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        if (onTerminal)
            p.setStandardErrorFile(terminal.name());
        NewSession(p);
        p.start(Program(), options + QStringList {Q(t.path("src")), Q(t.path("dst"))});
        Result r = Finished(p);
        QCOMPARE(r.exitCode, 0);
        const QByteArray err = onTerminal ? terminal.output() : r.err.toUtf8();
        QCOMPARE(err.contains("Gathering: "), shown);
        QCOMPARE(r.out.size(), 30 + 8);
        QVERIFY(r.out.filter("Gathering: ").isEmpty());
        if (shown)
            QCOMPARE(Screen(err), QStringList()); // erased at the end
    }

    void progressLineLeavesTheLogIntact()
    {
        TempTree t;
        QVERIFY(MakePairs(t, 300));
        TestTerminal terminal(20);
        QVERIFY(terminal.isValid());
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.setStandardOutputFile(terminal.name());
        p.setStandardErrorFile(terminal.name());
        NewSession(p);
        p.start(Program(), {"--progress", Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QByteArray raw;
        QTRY_VERIFY((raw = terminal.output()).contains("End file operations."));
        QVERIFY(raw.contains("Gathering: "));
        const QStringList screen = Screen(raw);
        QCOMPARE(screen.size(), 300 + 8);
        for (const QString &line : screen)
            QVERIFY2(QRegularExpression("^(\\d\\d:\\d\\d:\\d\\d |Files Match - )").match(line).hasMatch(),
                     qPrintable(line));
        // No drawing wraps the terminal's 20 columns.
        for (const QByteArray &draw : raw.split('\r'))
            QVERIFY2(!draw.startsWith("Gathering") || draw.indexOf("\033[K") < 20, draw.constData());
    }

    // The figures of the line are the window's: the rate of whole seconds,
    // taken on even seconds, and the estimate of the whole run.
    void progressLineFigures()
    {
        int pipeFds[2];
        QCOMPARE(::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK), 0);
        TCliProgress progress(pipeFds[1], true);
        const auto start = TCliProgress::TClock::time_point() + std::chrono::hours(1);
        progress.Start(start);
        progress.Totals(2, 20480000);
        progress.Update(start);
        QCOMPARE(progress.Text(), std::string("Gathering: 2 files, 19.5 MiB"));
        progress.Checked(1, 2);
        progress.RunBytes(10240000, 20480000);
        progress.Update(start + std::chrono::milliseconds(10500));
        QCOMPARE(progress.Text(), std::string("1/2 files  9.8 MiB/19.5 MiB  00:00:10 / 00:00:20  1,000 Kb/s"));
        progress.RunBytes(20480000, 20480000);
        progress.Update(start + std::chrono::seconds(11));
        QCOMPARE(progress.Text(), std::string("1/2 files  19.5 MiB/19.5 MiB  00:00:11 / 00:00:20  1,000 Kb/s"));
        progress.Update(start + std::chrono::seconds(12));
        QCOMPARE(progress.Text(), std::string("1/2 files  19.5 MiB/19.5 MiB  00:00:12 / 00:00:12  1,666 Kb/s"));
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
    }

    // With the standard streams redirected, the question is still asked on
    // the user's terminal and answered there.
    void questionOnTheTerminal_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("yes") << QByteArray("y\n") << true;
        QTest::newRow("no") << QByteArray("\n") << false;
    }
    void questionOnTheTerminal()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, deleted);
        TempTree t;
        QVERIFY(t.createFile("src/a", "1"));
        QVERIFY(t.createFile("dst/a", "1"));
        TestTerminal terminal;
        QVERIFY(terminal.isValid());
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        NewSession(p, terminal.path());
        p.start(Program(), {"--delete=source", Q(t.path("src")), Q(t.path("dst"))});
        QTRY_VERIFY_WITH_TIMEOUT(terminal.output().contains(" [y/N] "), 30000);
        QVERIFY(terminal.output().startsWith("Confirm Delete: Are you sure you want to Delete 1 matching files"));
        terminal.type(answer);
        Result r = Finished(p);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(!r.err.contains("Confirm Delete"));
        QCOMPARE(r.out.contains("Begin deleting files."), deleted);
        QCOMPARE(QFile::exists(Q(t.path("src/a"))), !deleted);
    }

    void exitStatusRules()
    {
        VerifyCounters c;
        c.files = c.filesChecked = c.same = 3;
        QCOMPARE(CliExitStatus(false, 0, c), 0);
        QCOMPARE(CliExitStatus(true, 0, c), 2);
        QCOMPARE(CliExitStatus(false, 1, c), 2);
        c.missing = 1;
        QCOMPARE(CliExitStatus(false, 0, c), 1);
        VerifyCounters none;
        QCOMPARE(CliExitStatus(false, 0, none), 0);
    }
};

QVL_TEST_CORE_MAIN(CliTest)
#include "CliTest.moc"
