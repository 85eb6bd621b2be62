#include "CliWindow.h"
#include "QvlTestMain.h"
#include "TempTree.h"
#include "Trash.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

struct Result {
    int exitCode = -1;
    QStringList out; // stdout lines, stamps removed from run-log lines
    QString err;
};

QString Program()
{
    return QStringLiteral(QVL_BINARY_DIR "/cli/quorvel-verify");
}

QStringList Unstamped(const QByteArray &text)
{
    static const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d ");
    QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    for (QString &l : lines)
        l.remove(stamp);
    return lines;
}

Result Run(const QStringList &args)
{
    QProcess p;
    p.setProgram(Program());
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice()); // no terminal to ask on
    p.start();
    Result r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = Unstamped(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
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

        Result noSource = Run({Q(t.path("nothing-here")), Q(t.path("dst"))});
        QCOMPARE(noSource.exitCode, 2);
        QCOMPARE(noSource.err, QString("Thread Status: EnumDir failed\n"));
        QCOMPARE(noSource.out.size(), 2);
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
                                "--from-disk", "--yes", "--quiet", "Exit status"})
            QVERIFY2(help.contains(opt), opt);
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
        bool help = false;
        std::string error;
        QVERIFY(ParseCliArguments(3, with, o, help, error));
        QVERIFY(o.request.fromDisk);
        QVERIFY(o.request.concurrentReads);
        CliOptions plain;
        QVERIFY(ParseCliArguments(2, without, plain, help, error));
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
        for (int i = 0; i < files; ++i) {
            const std::string rel = "/d" + std::to_string(i % 30) + "/f" + std::to_string(i);
            QVERIFY(t.createFile("src" + rel, "x"));
            QVERIFY(t.createFile("dst" + rel, "x"));
        }
        const QString trash = Q(HomeTrashDir());
        QDir(trash).removeRecursively();
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
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
        int left = 0;
        QDirIterator it(Q(t.path("src")), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++left;
        }
        QCOMPARE(left + int(trashed.size()), files);
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
