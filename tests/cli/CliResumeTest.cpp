// quorvel-verify --resume, as real processes: a run killed half-way with
// SIGKILL is taken up again; it reads only what the killed run had not
// proven (its opens counted with strace), and ends as a full run does.
#include "tests/cli/CliOutput.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

QString Q(const std::string &s)
{
    return QFile::decodeName(QByteArray::fromStdString(s));
}

struct Result {
    int exitCode = -1;
    QStringList lines; // stdout, stamps removed
    QString err;
    QSet<QString> opened; // regular files opened for reading (under strace)
};

QString JournalFolder()
{
    return QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME")) + "/quorvel/runs";
}

QStringList Journals()
{
    return QDir(JournalFolder()).entryList({"*.journal"}, QDir::Files);
}

void Prepare(QProcess &p, const QString &program, const QStringList &args)
{
    p.setProgram(program);
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setChildProcessModifier([] { ::setsid(); });
}

// Whether strace can trace here (a sandbox may forbid it).
bool CanTrace()
{
    static const bool can = [] {
        QProcess p;
        Prepare(p, "strace", {"-qq", "-o", "/dev/null", "true"});
        p.start();
        return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }();
    return can;
}

// The files a traced run opened, other than folders, that lie below `root`.
QSet<QString> OpenedFiles(const QString &trace, const QString &root)
{
    QSet<QString> out;
    QFile f(trace);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    // With -y a folder descriptor shows its path: "openat(5</a/b>, "name", ...)".
    // A call that another thread's interrupts is split: its first part ends
    // in "<unfinished ...>".
    static const QRegularExpression open("(?:open|openat|openat2)\\((?:(?:\\d+<([^>]*)>|AT_FDCWD), )?\"([^\"]+)\", "
                                         "([^)<]*)(?:\\) = (\\d+)| <unfinished)");
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QRegularExpressionMatch m = open.match(QString::fromUtf8(line));
        if (!m.hasMatch() || m.captured(3).contains("O_DIRECTORY"))
            continue;
        const QString name = m.captured(2);
        const QString path = name.startsWith('/') || m.captured(1).isEmpty() ? name : m.captured(1) + '/' + name;
        if (path.startsWith(root))
            out.insert(path);
    }
    return out;
}

// A run to its end; traced when `traceRoot` is given.
Result Run(const QStringList &args, const QString &traceRoot = {})
{
    QProcess p;
    const QStringList verify = QStringList {"--no-progress"} + args;
    QTemporaryDir traceDir;
    const QString trace = traceDir.path() + "/trace";
    if (traceRoot.isEmpty())
        Prepare(p, QvlTest::VerifierProgram(), verify);
    else
        Prepare(p, "strace", QStringList {"-f", "-qq", "-y", "-s", "4096", "-e", "trace=open,openat,openat2", "-o", trace,
                                          QvlTest::VerifierProgram()} + verify);
    p.start();
    Result r;
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.lines = QvlTest::UnstampedLines(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    if (!traceRoot.isEmpty())
        r.opened = OpenedFiles(trace, traceRoot);
    return r;
}

// A run held by the program's test hook once `pairs` pairs are done (its
// journal written out), then killed with SIGKILL: as a crash or a pulled
// plug ends it. Returns its output up to then.
QStringList KilledRun(const QStringList &args, int pairs)
{
    QProcess p;
    Prepare(p, QvlTest::VerifierProgram(), QStringList {"--no-progress"} + args);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_TEST_HOLD_AFTER_PAIRS", QString::number(pairs));
    p.setProcessEnvironment(env);
    p.start();
    QByteArray err;
    while (!err.contains("quorvel-verify: test hold\n")) {
        if (!p.waitForReadyRead(60000))
            return {};
        p.setReadChannel(QProcess::StandardError);
        err += p.readAllStandardError();
    }
    p.kill();
    p.waitForFinished(20000);
    if (p.exitStatus() != QProcess::CrashExit)
        return {};
    return QvlTest::UnstampedLines(p.readAllStandardOutput());
}

// Thirty pairs that match, one that differs in its contents, one in its
// length, one without its Target copy: 33 files gathered.
void MakeTrees(const TempTree &t)
{
    for (int i = 0; i < 30; ++i) {
        const std::string rel = "d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".bin";
        QByteArray data(3000 + i * 17, char('a' + i % 20));
        data[i] = 'X';
        QVERIFY(t.createFile("src/" + rel, data));
        QVERIFY(t.createFile("dst/" + rel, data));
    }
    QVERIFY(t.createFile("src/differs.bin", "aaaa"));
    QVERIFY(t.createFile("dst/differs.bin", "aaab"));
    QVERIFY(t.createFile("src/length.bin", "aaaa"));
    QVERIFY(t.createFile("dst/length.bin", "aaaaa"));
    QVERIFY(t.createFile("src/only.bin", "x"));
}

// The lines a full run has too: without those telling of the resume and
// the elapsed time.
QStringList Comparable(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        if (!l.startsWith("End file operations") && !l.startsWith("Resum"))
            out << l;
    return out;
}

// The Target paths the killed run proved.
QStringList Proven(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        if (l.startsWith("Files Match - "))
            out << l.mid(14);
    return out;
}

// `path` rewritten in place with one byte changed, its size and its
// modification time as they were (touch -d puts the time back); only its
// change time tells.
void ChangeSecretly(const std::string &path)
{
    struct stat before {};
    QVERIFY(::stat(path.c_str(), &before) == 0);
    QFile f(Q(path));
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray data = f.readAll();
    data[0] = char(data[0] ^ 1);
    QVERIFY(f.seek(0) && f.write(data) == data.size());
    f.close();
    QProcess touch;
    touch.start("touch", {"-d", QString("@%1.%2").arg(before.st_mtim.tv_sec).arg(before.st_mtim.tv_nsec, 9, 10, QChar('0')),
                          Q(path)});
    QVERIFY(touch.waitForFinished(20000) && touch.exitCode() == 0);
    struct stat after {};
    QVERIFY(::stat(path.c_str(), &after) == 0);
    QCOMPARE(after.st_size, before.st_size);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

QString SourceOf(const TempTree &t, const QString &target)
{
    return Q(t.path("src")) + target.mid(int(t.path("dst").size()));
}

} // namespace

class CliResumeTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir(JournalFolder()).removeRecursively(); }

    // The resumed run prints what an uninterrupted one prints, with the same
    // exit status, notes the pairs it took over in its report, and opens
    // none of their files; every other pair is read.
    void killedRunIsResumed()
    {
        TempTree t;
        MakeTrees(t);
        const QStringList args {Q(t.path("src")), Q(t.path("dst"))};
        const Result full = Run(args);
        QCOMPARE(full.exitCode, 1);
        QVERIFY(Journals().isEmpty()); // a run that ended removes its journal

        const QStringList killed = KilledRun(args, 15);
        const QStringList proven = Proven(killed);
        QVERIFY(!proven.isEmpty() && proven.size() <= 15);
        QCOMPARE(Journals().size(), 1);

        const std::string report = t.path("report.csv");
        const QString root = Q(t.root());
        const Result resumed = Run(QStringList {"--resume", "--report", Q(report)} + args,
                                   CanTrace() ? root : QString());
        QCOMPARE(resumed.exitCode, full.exitCode);
        QCOMPARE(Comparable(resumed.lines), Comparable(full.lines));
        QCOMPARE(resumed.lines.filter(QRegularExpression("^Resumed: " + QString::number(proven.size()) +
                                                         " files, [0-9,.\\s]+ bytes not read again$"))
                     .size(),
                 1);
        QVERIFY(Journals().isEmpty());

        QFile csv(Q(report));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = csv.readAll().split('\n');
        int resumedRows = 0;
        for (const QByteArray &row : rows)
            resumedRows += row.startsWith("match,") && row.trimmed().endsWith(",resumed");
        QCOMPARE(resumedRows, proven.size());

        // The summary of --json says it too.
        QVERIFY(!KilledRun(args, 15).isEmpty());
        const Result json = Run(QStringList {"--resume", "--json", "--quiet"} + args);
        const QJsonObject summary = QJsonDocument::fromJson(json.lines.constLast().toUtf8()).object();
        QCOMPARE(summary.value("type").toString(), QStringLiteral("summary"));
        QCOMPARE(summary.value("resumed").toInt(), proven.size());
        QVERIFY(summary.value("resumed_bytes").toInteger() > 0);
        const Result fullJson = Run(QStringList {"--json", "--quiet"} + args);
        QVERIFY(!QJsonDocument::fromJson(fullJson.lines.constLast().toUtf8()).object().contains("resumed"));

        if (!CanTrace())
            QSKIP("strace cannot trace here: the opens were not counted");
        for (const QString &target : proven) {
            QVERIFY2(!resumed.opened.contains(target), qPrintable(target));
            QVERIFY2(!resumed.opened.contains(SourceOf(t, target)), qPrintable(target));
        }
        int read = 0;
        for (const QString &line : full.lines) {
            if (!line.startsWith("Files Match - ") || proven.contains(line.mid(14)))
                continue;
            ++read;
            QVERIFY2(resumed.opened.contains(line.mid(14)), qPrintable(line));
            QVERIFY2(resumed.opened.contains(SourceOf(t, line.mid(14))), qPrintable(line));
        }
        QCOMPARE(read, 30 - proven.size());
        QVERIFY(resumed.opened.contains(Q(t.path("src/differs.bin"))));
    }

    // Without --resume a note tells of the unfinished run; the run starts
    // afresh, and ends removing the journal.
    void unfinishedRunIsNoted()
    {
        TempTree t;
        MakeTrees(t);
        const QStringList args {Q(t.path("src")), Q(t.path("dst"))};
        const Result full = Run(args);
        QVERIFY(!KilledRun(args, 10).isEmpty());
        const Result afresh = Run(args);
        QVERIFY2(afresh.err.contains("quorvel-verify: note: an unfinished run of these folders exists (10 of 33 files "
                                     "proven); --resume takes it up, this run starts afresh\n"),
                 qPrintable(afresh.err));
        QCOMPARE(Comparable(afresh.lines), Comparable(full.lines));
        QVERIFY(afresh.lines.filter(QRegularExpression("^Resum")).isEmpty());
        QVERIFY(Journals().isEmpty());

        // One that cannot be used is named, with the reason.
        QVERIFY(!KilledRun(args, 10).isEmpty());
        QFile journal(JournalFolder() + "/" + Journals().front());
        QVERIFY(journal.open(QIODevice::WriteOnly | QIODevice::Truncate) && journal.write("not a journal") > 0);
        journal.close();
        const Result damaged = Run(args);
        QVERIFY2(damaged.err.contains("quorvel-verify: note: the journal of an unfinished run of these folders cannot "
                                      "be used (it is no journal of this program), this run starts afresh - " +
                                      journal.fileName() + "\n"),
                 qPrintable(damaged.err));
        QCOMPARE(Comparable(damaged.lines), Comparable(full.lines));
        QVERIFY(Journals().isEmpty());
    }

    // A pair the killed run proved whose file changed since (same size, the
    // modification time put back; the change time still moved) is compared
    // again and found different, on either side.
    void changedFileIsComparedAgain()
    {
        TempTree t;
        MakeTrees(t);
        const QStringList args {Q(t.path("src")), Q(t.path("dst"))};
        const QStringList proven = Proven(KilledRun(args, 15));
        QVERIFY(proven.size() >= 2);
        const std::string changedSource = SourceOf(t, proven[0]).toStdString();
        const std::string changedTarget = proven[1].toStdString();
        ChangeSecretly(changedSource);
        ChangeSecretly(changedTarget);

        const Result resumed = Run(QStringList {"--resume"} + args);
        QCOMPARE(resumed.exitCode, 1);
        QVERIFY(resumed.lines.contains("Files Differ - " + Q(changedSource)));
        QVERIFY(resumed.lines.contains("Files Differ - " + SourceOf(t, proven[1])));
        QVERIFY(!resumed.lines.contains("Files Match - " + proven[0]));
        QVERIFY(!resumed.lines.contains("Files Match - " + proven[1]));
        QVERIFY(resumed.lines.contains("Total number of matching files = 28"));
        QVERIFY(resumed.lines.contains("Total number of different files = 4"));
        QCOMPARE(resumed.lines.filter(QRegularExpression("^Resumed: " + QString::number(proven.size() - 2) + " files, "))
                     .size(),
                 1);
    }

    // A journal cut short loses its torn batch without a word; one cut into
    // its head is not used, with a note; either way every pair is then
    // compared and the run ends as a full one.
    void truncatedJournal()
    {
        TempTree t;
        MakeTrees(t);
        const QStringList args {Q(t.path("src")), Q(t.path("dst"))};
        const Result full = Run(args);
        for (int keep : {-7, 6}) {
            QVERIFY(!KilledRun(args, 15).isEmpty());
            QCOMPARE(Journals().size(), 1);
            QFile journal(JournalFolder() + "/" + Journals().front());
            const qint64 size = journal.size();
            QVERIFY(journal.resize(keep < 0 ? size + keep : keep));
            const Result resumed = Run(QStringList {"--resume"} + args);
            QCOMPARE(resumed.exitCode, full.exitCode);
            QStringList lines = resumed.lines;
            const QStringList notes = lines.filter("unfinished run");
            for (const QString &note : notes)
                lines.removeOne(note);
            QCOMPARE(Comparable(lines), Comparable(full.lines));
            QVERIFY(resumed.lines.filter(QRegularExpression("^Resum")).isEmpty());
            QCOMPARE(notes.size(), 1);
            if (keep < 0) {
                // Its only batch of pairs was torn: left out without a word
                // about damage.
                QCOMPARE(notes[0], QStringLiteral("The unfinished run of these folders had not proven a file yet: every file is "
                                                  "compared."));
            } else {
                QVERIFY(notes[0].startsWith("The journal of the unfinished run is not used, every file is compared (it "
                                            "is no journal of this program) - "));
            }
        }
    }

    // The journal of a run with other options is not the one --resume
    // takes; it stays for its own run.
    void journalOfOtherOptionsIsNotUsed()
    {
        TempTree t;
        MakeTrees(t);
        const QStringList args {Q(t.path("src")), Q(t.path("dst"))};
        QVERIFY(!KilledRun(args, 15).isEmpty());
        for (const QStringList &other : {QStringList {"--no-hidden"}, QStringList {"--mask", "*.bin"},
                                         QStringList {"--no-subfolders"}}) {
            const Result r = Run(QStringList {"--resume"} + other + args);
            QVERIFY(r.lines.contains("No unfinished run of these folders to resume: every file is compared."));
            QVERIFY(r.lines.filter(QRegularExpression("^Resumed: ")).isEmpty());
        }
        QCOMPARE(Journals().size(), 1);
        // What is to be deleted changes nothing that is compared.
        const Result r = Run(QStringList {"--resume"} + args);
        QCOMPARE(r.lines.filter(QRegularExpression("^Resumed: ")).size(), 1);
    }

    // A deletion after a resumed run deletes only what is still identical:
    // a proven pair changed since is compared again, and its file stays.
    void deletionAfterResumeDeletesOnlyWhatIsIdentical()
    {
        TempTree t;
        MakeTrees(t);
        const QStringList args {"--delete=source", "--yes", Q(t.path("src")), Q(t.path("dst"))};
        const QStringList proven = Proven(KilledRun(args, 15));
        QVERIFY(proven.size() >= 2);
        // The killed run deleted nothing: it never got that far.
        for (const QString &target : proven)
            QVERIFY(QFile::exists(SourceOf(t, target)));
        // With --delete=source the match lines name the Source files.
        const QString changedSource = proven[0];
        const std::string otherTarget = Q(t.path("dst")).toStdString() + proven[1].mid(int(t.path("src").size())).toStdString();
        ChangeSecretly(changedSource.toStdString());
        ChangeSecretly(otherTarget);

        const Result resumed = Run(QStringList {"--resume"} + args);
        QCOMPARE(resumed.exitCode, 1);
        QVERIFY(resumed.lines.contains("Files Differ - " + changedSource));
        QVERIFY(resumed.lines.contains("Files Differ - " + proven[1]));
        QVERIFY(resumed.lines.contains("Total number of matching files = 28"));
        for (const QString &line : resumed.lines)
            if (line.startsWith("Files Match - "))
                QVERIFY2(!QFile::exists(line.mid(14)), qPrintable(line));
        for (const QString &kept : {changedSource, proven[1], Q(t.path("src/differs.bin")),
                                    Q(t.path("src/length.bin")), Q(t.path("src/only.bin"))})
            QVERIFY2(QFile::exists(kept), qPrintable(kept));
    }

    // Checksums recorded by a resumed run are those of a full run: the
    // journal keeps the hash of every pair it proved.
    void resumedChecksumsAreWhole()
    {
        TempTree t;
        MakeTrees(t);
        const QStringList args {Q(t.path("src")), Q(t.path("dst"))};
        const std::string fullSums = t.path("full.sha256"), resumedSums = t.path("resumed.sha256");
        QCOMPARE(Run(QStringList {"--checksums", Q(fullSums)} + args).exitCode, 1);
        QVERIFY(!Proven(KilledRun(QStringList {"--checksums", Q(resumedSums)} + args, 15)).isEmpty());
        const Result resumed = Run(QStringList {"--resume", "--checksums", Q(resumedSums)} + args);
        QCOMPARE(resumed.exitCode, 1);
        QCOMPARE(resumed.lines.filter(QRegularExpression("^Resumed: ")).size(), 1);
        const auto hashLines = [](const std::string &path) {
            QFile f(Q(path));
            QStringList lines;
            if (f.open(QIODevice::ReadOnly))
                for (const QByteArray &l : f.readAll().split('\n'))
                    if (!l.isEmpty() && !l.startsWith('#'))
                        lines << QString::fromUtf8(l);
            return lines;
        };
        QCOMPARE(hashLines(resumedSums).size(), 30);
        QCOMPARE(hashLines(resumedSums), hashLines(fullSums));

        // A journal of a run that recorded none has no hashes: its pairs are
        // read again for theirs.
        const std::string laterSums = t.path("later.sha256");
        QVERIFY(!Proven(KilledRun(args, 15)).isEmpty());
        const Result later = Run(QStringList {"--resume", "--checksums", Q(laterSums)} + args);
        QCOMPARE(later.exitCode, 1);
        QVERIFY(later.lines.filter(QRegularExpression("^Resumed: ")).isEmpty());
        QCOMPARE(hashLines(laterSums), hashLines(fullSums));
    }
};

QVL_TEST_CORE_MAIN(CliResumeTest)
#include "CliResumeTest.moc"
