// quorvel-verify's account of what it could not do and of what it found:
// the count of unreadable files, names with control characters, and the
// --report CSV, read back with an independent CSV reader.
#include "tests/cli/CliOutput.h"
#include "tests/common/CsvByPython.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QProcess>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::LinesWith;
using QvlTest::TempTree;

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// The user the program runs as when the test runs as root, which no file
// permission would stop.
constexpr uid_t kNobody = 65534;

Result Run(const QStringList &args, bool asNobody = false)
{
    QProcess p;
    p.setProgram(QStringLiteral(QVL_BINARY_DIR "/cli/quorvel-verify"));
    p.setArguments(QStringList {"--no-progress"} + args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setChildProcessModifier([asNobody] {
        ::setsid(); // no terminal to ask on
        if (asNobody && ::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(99);
    });
    p.start();
    Result r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class CliReportTest : public QObject
{
    Q_OBJECT
private slots:
    // A file without read permission (run as another user when the test is
    // root): named on standard error with the reason, counted in its own
    // summary line, exit status 2. Without one, the line is not printed.
    void unreadableFilesHaveTheirSummaryLine_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("one locked file") << true;
        QTest::newRow("none") << false;
    }

    void unreadableFilesHaveTheirSummaryLine()
    {
        QFETCH(bool, locked);
        TempTree t;
        QVERIFY(t.createFile("src/a", "a"));
        QVERIFY(t.createFile("dst/a", "a"));
        QVERIFY(t.createFile("src/locked", "secret"));
        QVERIFY(t.createFile("dst/locked", "secret"));
        QCOMPARE(::chmod(t.root().c_str(), 0755), 0);
        if (locked)
            QCOMPARE(::chmod(t.path("src/locked").c_str(), 0), 0);
        const Result r = Run({Q(t.path("src")), Q(t.path("dst"))}, true);
        const QByteArray summary = "Total number of files that could not be read = ";
        if (locked) {
            QCOMPARE(r.exitCode, 2);
            QCOMPARE(LinesWith(r.out, summary).size(), 1);
            QVERIFY(LinesWith(r.out, summary).first().endsWith(summary + "1"));
            // Right after the four totals.
            const QList<QByteArray> lines = r.out.split('\n');
            const auto at = std::find_if(lines.begin(), lines.end(),
                                         [&](const QByteArray &l) { return l.contains(summary); });
            QVERIFY((at - 1)->contains("Total number of different files = 0"));
            QVERIFY2(r.err.contains(Q(t.path("src/locked")) + " (Permission denied)"), qPrintable(r.err));
            // The box's text, both paragraphs, on one line of its own.
            const QStringList errLines = r.err.split('\n', Qt::SkipEmptyParts);
            const QStringList boxLines = errLines.filter(QStringLiteral("File Error:"));
            QCOMPARE(boxLines.size(), 1);
            QVERIFY2(!boxLines.first().contains("\\n"), qPrintable(boxLines.first()));
            QVERIFY2(boxLines.first().endsWith(Q(t.path("src/locked")) + " (Permission denied)"),
                     qPrintable(boxLines.first()));
            QVERIFY(r.out.contains("File could not be read - " + QByteArray::fromStdString(t.path("src/locked"))));
            // A summary line: --quiet prints it too.
            const Result quiet = Run({"--quiet", Q(t.path("src")), Q(t.path("dst"))}, true);
            QCOMPARE(LinesWith(quiet.out, summary).size(), 1);
        } else {
            QCOMPARE(r.exitCode, 0);
            QVERIFY(LinesWith(r.out, summary).isEmpty());
            QVERIFY(r.out.contains("Total number of different files = 0"));
        }
    }

    // Names with a newline and with an escape character: one escaped line
    // each on standard output, and the report reads back, with Python's csv
    // module, to one row per pair with the same fields.
    void reportHoldsEveryPairAndParsesBack()
    {
        TempTree t;
        const std::string nl = "two\nFiles Match - forged", esc = "esc\x1b]0;title\x07";
        QVERIFY(t.createFile("src/" + nl, "n"));
        QVERIFY(t.createFile("dst/" + nl, "n"));
        QVERIFY(t.createFile("src/" + esc, "e,\"q\""));
        QVERIFY(t.createFile("dst/" + esc, "E,\"q\""));
        QVERIFY(t.createFile("src/short", "abc"));
        QVERIFY(t.createFile("dst/short", "ab"));
        QVERIFY(t.createFile("src/only", "o"));
        QCOMPARE(::symlink("/proc/self/mem", t.path("src/mem").c_str()), 0);
        QVERIFY(t.createFile("dst/mem"));
        const std::string report = t.path("report.csv");
        const Result r = Run({"--report", Q(report), Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 2); // the unreadable file

        const QString nlShown = "two\\nFiles Match - forged", escShown = "esc\\x1B]0;title\\x07";
        QCOMPARE(LinesWith(r.out, "forged"),
                 QList<QByteArray> {("Files Match - " + Q(t.path("dst/")) + nlShown).toUtf8()});
        QCOMPARE(LinesWith(r.out, "title"),
                 QList<QByteArray> {("Files Differ - " + Q(t.path("src/")) + escShown).toUtf8()});
        QVERIFY(!r.out.contains('\x1b') && !r.out.contains('\x07'));

        QList<QStringList> rows = QvlTest::CsvByPython(report);
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows.takeFirst(), QStringList({"result", "source", "target", "size", "note"}));
        std::sort(rows.begin(), rows.end());
        const auto s = [&](const QString &n) { return Q(t.path("src/")) + n; };
        const auto d = [&](const QString &n) { return Q(t.path("dst/")) + n; };
        QList<QStringList> expected {
            {"match", s(nlShown), d(nlShown), "1", ""},
            {"differ", s(escShown), d(escShown), "5", ""},
            {"lengths-differ", s("short"), d("short"), "3", ""},
            {"target-missing", s("only"), d("only"), "1", ""},
            {"unreadable", s("mem"), d("mem"), "0", "Input/output error"},
        };
        std::sort(expected.begin(), expected.end());
        QCOMPARE(rows, expected);
    }

    // A report that cannot be written: when it cannot even be created or
    // take its header, nothing is compared. Exit status 2 and a message
    // naming the file.
    void unwritableReportExitsWithTwo_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such folder") << QStringLiteral("%1/no/such/report.csv") << false
                                        << QStringLiteral("quorvel-verify: cannot write the report "
                                                          "%1/no/such/report.csv: No such file or directory\n");
        QTest::newRow("a backslash in the name, escaped once")
            << QStringLiteral("%1/no\\such/report.csv") << false
            << QStringLiteral("quorvel-verify: cannot write the report "
                              "%1/no\\\\such/report.csv: No such file or directory\n");
        QTest::newRow("a folder") << QStringLiteral("%1/src") << false
                                  << QStringLiteral("quorvel-verify: cannot write the report %1/src: "
                                                    "Is a directory\n");
        QTest::newRow("a full device") << QStringLiteral("/dev/full") << false
                                       << QStringLiteral("quorvel-verify: cannot write the report "
                                                         "/dev/full: No space left on device\n");
    }

    void unwritableReportExitsWithTwo()
    {
        QFETCH(QString, file);
        QFETCH(bool, runs);
        QFETCH(QString, message);
        TempTree t;
        QVERIFY(t.createFile("src/a", "a"));
        QVERIFY(t.createFile("dst/a", "a"));
        const Result r = Run({"--report", file.replace("%1", Q(t.root())), Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, message.replace("%1", Q(t.root())));
        QCOMPARE(r.out.contains("Files Match - "), runs);
    }

    // The program's own messages name what the user typed: a newline or an
    // escape character in it is written escaped, and each message stays one
    // line.
    void messagesNameArgumentsOnOneLine()
    {
        TempTree t;
        QVERIFY(t.createFile("dst/a", "a"));
        const Result missing = Run({Q(t.path("new\nline\x1b[31m")), Q(t.path("dst"))});
        QCOMPARE(missing.exitCode, 2);
        QCOMPARE(missing.err, "quorvel-verify: SOURCE '" + Q(t.path("new\\nline\\x1B[31m")) + "' does not exist\n");

        QVERIFY(t.createFile("src/a", "a"));
        const Result note = Run({"--mask", "a\nb", Q(t.path("src")), Q(t.path("dst"))});
        QVERIFY2(note.err.startsWith("quorvel-verify: note: the mask 'a\\nb' matches no file"), qPrintable(note.err));
        // Both notes (the mask, and that nothing was gathered), a line each.
        QCOMPARE(note.err.count('\n'), 2);
        QVERIFY2(note.err.endsWith("(--mask 'a\\nb')\n"), qPrintable(note.err));
    }

    void reportNeedsAFile()
    {
        const Result r = Run({"--report", "", "/a", "/b"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.startsWith("quorvel-verify: --report needs a file\n"));
    }
};

QVL_TEST_CORE_MAIN(CliReportTest)
#include "CliReportTest.moc"
