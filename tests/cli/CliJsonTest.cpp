// quorvel-verify's printers, driven by a real run of the engine: --json read
// back line by line by Python's json module, with every result a pair or a
// deletion can have, and --quiet keeping lines by the kind the engine gave
// them, never by their text.
#include "cli/CliWindow.h"
#include "engine/InfoThread.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/engine/ForwardingWindow.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

// Forwards every call to the terminal window, notes each log line's
// kind, and takes a Source file away once the walk has gathered it, before
// any pair is opened: the run meets a Source that went missing.
class TRemovingWindow : public TForwardingWindow
{
public:
    TRemovingWindow(TCliWindow &to, std::string removeAtComparison)
        : TForwardingWindow(to), m_remove(std::move(removeAtComparison))
    {
    }

    std::vector<std::pair<TLogKind, std::string>> lines; // as the engine made them

    void AppendRunLog(TLogKind kind, const std::string &line) override
    {
        lines.emplace_back(kind, line);
        TForwardingWindow::AppendRunLog(kind, line);
        if (!m_remove.empty() && line.ends_with("Begin folder and file comparison."))
            QVERIFY(::unlink(m_remove.c_str()) == 0);
    }
    void AppendResultLine(TReportResult result, const std::string &line) override
    {
        lines.emplace_back(TLogKind::PairResult, line);
        TForwardingWindow::AppendResultLine(result, line);
    }

private:
    std::string m_remove;
};

struct TRun {
    int status = -1;
    QByteArray out;
    std::vector<std::pair<TLogKind, std::string>> lines;
};

// One run of quorvel-verify's window and engine in this process, standard
// output caught in a file.
TRun RunInProcess(const TempTree &t, QStringList args, const std::string &removeAtComparison = {})
{
    TRun run;
    std::vector<std::string> bytes;
    for (const QString &a : args)
        bytes.push_back(a.toStdString());
    std::vector<const char *> argv;
    for (const std::string &a : bytes)
        argv.push_back(a.c_str());
    CliOptions options;
    std::string error;
    if (!ParseCliArguments(int(argv.size()), argv.data(), options, error) || !CheckRunPaths(options.request, error)) {
        qWarning() << error.c_str();
        return run;
    }
    const std::string outFile = t.path("stdout"), errFile = t.path("stderr");
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    {
        TCliWindow window(options, out, err, -1);
        TRemovingWindow forwarding(window, removeAtComparison);
        TInfoThread worker(&forwarding);
        worker.Execute();
        run.status = window.FinishRun(worker.StopRequested(), worker.Troubles(), worker.state.counters);
        run.lines = forwarding.lines;
    }
    ::close(out);
    ::close(err);
    QFile file(Q(outFile));
    if (file.open(QIODevice::ReadOnly))
        run.out = file.readAll();
    return run;
}

// Every line of `file` read by Python's json module, strictly as UTF-8, and
// handed back as one array; a line that is not one JSON object fails it.
QList<QJsonObject> JsonLinesByPython(const std::string &file)
{
    QProcess python;
    python.start("python3", {"-c",
                             "import json, sys\n"
                             "out = []\n"
                             "with open(sys.argv[1], encoding='utf-8', errors='strict') as f:\n"
                             "    for line in f:\n"
                             "        o = json.loads(line)\n"
                             "        assert isinstance(o, dict), line\n"
                             "        out.append(o)\n"
                             "print(json.dumps(out))\n",
                             Q(file)});
    QList<QJsonObject> objects;
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return objects;
    }
    for (const QJsonValue &v : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        objects << v.toObject();
    return objects;
}

// A tree with one pair of every result and, deleting the Source's matches,
// a file deleted and one kept (its copy is the same file, a hard link).
void MakeEveryResult(const TempTree &t)
{
    QVERIFY(t.createFile("src/same", "same"));
    QVERIFY(t.createFile("dst/same", "same"));
    QVERIFY(t.createFile("src/differ", "abcd"));
    QVERIFY(t.createFile("dst/differ", "abce"));
    QVERIFY(t.createFile("src/short", "abc"));
    QVERIFY(t.createFile("dst/short", "ab"));
    QVERIFY(t.createFile("src/only-here", "o"));
    QVERIFY(t.createFile("src/gone", "g"));
    QVERIFY(t.createFile("dst/gone", "g"));
    QCOMPARE(::symlink("/proc/self/mem", t.path("src/mem").c_str()), 0);
    QVERIFY(t.createFile("dst/mem"));
    QVERIFY(t.createFile("dst/linked", "l"));
    QCOMPARE(::link(t.path("dst/linked").c_str(), t.path("src/linked").c_str()), 0);
    // Names: one not UTF-8 (with a backslash, so the escape must be told
    // apart from it), one UTF-8 with a newline.
    for (const char *side : {"src/sub/", "dst/sub/"}) {
        QVERIFY(t.createDir(side));
        // Through open(): a file name in a QString cannot hold such a byte.
        const int fd = ::open(t.path(side + std::string("caf\xe9\\x41")).c_str(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "n", 1), 1);
        ::close(fd);
    }
    QVERIFY(t.createFile("src/sub/two\nlines \xc3\xa9", "u"));
    QVERIFY(t.createFile("dst/sub/two\nlines \xc3\xa9", "u"));
}

// The figure of the text summary line that begins with `text`.
int TextTotal(const QByteArray &out, const QString &text)
{
    static const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d ");
    for (const QString &line : QString::fromUtf8(out).split('\n')) {
        QString unstamped = line;
        unstamped.remove(stamp);
        if (unstamped.startsWith(text + " = "))
            return unstamped.mid(text.size() + 3).remove(',').toInt();
    }
    return -1;
}

} // namespace

class CliJsonTest : public QObject
{
    Q_OBJECT
private slots:
    void jsonLinesHoldEveryResultAndTheTextRunsTotals()
    {
        TempTree t;
        MakeEveryResult(t);
        const QStringList args {"--json", "--delete=source", "--yes", "--no-progress", Q(t.path("src")),
                                Q(t.path("dst"))};
        const TRun json = RunInProcess(t, args, t.path("src/gone"));
        QCOMPARE(json.status, 2); // the unreadable file
        const QList<QJsonObject> objects = JsonLinesByPython(t.path("stdout"));
        QCOMPARE(objects.size(), json.out.count('\n'));

        QMap<QString, QString> pairs;     // path -> result
        QMap<QString, QString> deletions; // path -> result
        QStringList logKinds;
        for (const QJsonObject &o : objects) {
            const QString type = o["type"].toString();
            if (type == "pair")
                pairs.insert(o["path"].toString(), o["result"].toString());
            else if (type == "deletion")
                deletions.insert(o["path"].toString(), o["result"].toString());
            else if (type == "log")
                logKinds << o["kind"].toString();
            else
                QCOMPARE(type, QStringLiteral("summary"));
        }
        const QString oddName = "sub/caf\\xE9\\\\x41", utf8Name = "sub/two\nlines \u00e9";
        const QMap<QString, QString> expectedPairs {
            {"same", "match"},          {"differ", "differ"},         {"short", "lengths-differ"},
            {"only-here", "target-missing"}, {"gone", "source-missing"}, {"mem", "unreadable"},
            {"linked", "match"},        {oddName, "match"},           {utf8Name, "match"},
        };
        QCOMPARE(pairs, expectedPairs);
        const QMap<QString, QString> expectedDeletions {
            {"same", "deleted"}, {"linked", "not-deleted"}, {oddName, "deleted"}, {utf8Name, "deleted"}};
        QCOMPARE(deletions, expectedDeletions);
        QVERIFY(logKinds.contains("event"));
        QCOMPARE(logKinds.count("deletion-total"), 2);

        // The name that is not UTF-8 is flagged wherever it appears; the
        // UTF-8 one is given as it is, unflagged.
        for (const QJsonObject &o : objects) {
            const bool odd = o["path"].toString() == oddName;
            if (o["type"] == "pair" || o["type"] == "deletion") {
                QCOMPARE(o["path_escaped"].toBool(), odd);
                QCOMPARE(o["source_escaped"].toBool(), odd);
                QCOMPARE(o["target_escaped"].toBool(), odd);
                if (odd)
                    QCOMPARE(o["source"].toString(), Q(t.path("src/")) + oddName);
                if (o["path"] == "short")
                    QCOMPARE(o["size"].toInt(), 3);
                if (o["path"] == "mem")
                    QCOMPARE(o["note"].toString(), QStringLiteral("Input/output error"));
                if (o["path"] == "linked" && o["type"] == "deletion")
                    QVERIFY(!o["note"].toString().isEmpty());
            }
        }

        // The summary is the last line, with the text run's totals on the
        // same tree.
        const QJsonObject summary = objects.last();
        QCOMPARE(summary["type"].toString(), QStringLiteral("summary"));
        QCOMPARE(summary["exit_status"].toInt(), 2);
        QCOMPARE(summary["stopped"].toBool(), false);
        TempTree textTree;
        MakeEveryResult(textTree);
        const TRun text = RunInProcess(textTree,
                                       {"--delete=source", "--yes", "--no-progress", Q(textTree.path("src")),
                                        Q(textTree.path("dst"))},
                                       textTree.path("src/gone"));
        QCOMPARE(text.status, json.status);
        const QList<std::pair<const char *, QString>> totals {
            {"checked", "Total number of files checked"},
            {"matching", "Total number of matching files"},
            {"missing", "Total number of missing files"},
            {"different", "Total number of different files"},
            {"unreadable", "Total number of files that could not be read"},
            {"files_deleted", "Total number of matching source files deleted"},
            {"folders_deleted", "Total number of empty source folders deleted"},
        };
        for (const auto &[key, line] : totals) {
            QVERIFY2(TextTotal(text.out, line) >= 0, qPrintable(line));
            QCOMPARE(summary[key].toInt(-1), TextTotal(text.out, line));
        }
        QCOMPARE(summary["checked"].toInt(), 9);
        QCOMPARE(summary["files_deleted"].toInt(), 3);
    }

    // --quiet keeps the lines the engine called summary lines and deletion
    // totals, whatever they say, and nothing else; without --delete there
    // are no deletion totals to keep.
    void quietKeepsSummaryAndDeletionTotalsByKind_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::newRow("--delete=source --yes") << true;
        QTest::newRow("no deletion") << false;
    }

    void quietKeepsSummaryAndDeletionTotalsByKind()
    {
        QFETCH(bool, deleting);
        TempTree t;
        QVERIFY(t.createFile("src/a", "a"));
        QVERIFY(t.createFile("dst/a", "a"));
        QVERIFY(t.createFile("src/sub/b", "b"));
        QVERIFY(t.createFile("dst/sub/b", "B"));
        QStringList args {"--quiet", "--no-progress", Q(t.path("src")), Q(t.path("dst"))};
        if (deleting)
            args = QStringList {"--delete=source", "--yes"} + args;
        const TRun run = RunInProcess(t, args);
        QCOMPARE(run.status, 1);
        QList<QByteArray> expected;
        int deletionTotals = 0;
        for (const auto &[kind, line] : run.lines) {
            if (kind == TLogKind::Summary || kind == TLogKind::DeletionTotal)
                expected << QByteArray::fromStdString(line);
            deletionTotals += kind == TLogKind::DeletionTotal;
        }
        QCOMPARE(deletionTotals, deleting ? 2 : 0);
        QList<QByteArray> printed = run.out.split('\n');
        QCOMPARE(printed.takeLast(), QByteArray());
        QCOMPARE(printed, expected);
    }
};

QVL_TEST_CORE_MAIN(CliJsonTest)
#include "CliJsonTest.moc"
