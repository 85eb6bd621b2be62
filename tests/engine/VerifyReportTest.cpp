// The report and the way names are written: one name is one line, a run's
// every outcome is one row, and what the CSV writer writes parses back, with
// an independent reader, to the fields it was given.
#include "tests/common/CsvByPython.h"
#include "tests/engine/EngineTestUtil.h"
#include "engine/EscapeControls.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "engine/VerifyReport.h"


#include <unistd.h>

using namespace EngineTest;
using QvlTest::TempTree;
using Strings = std::vector<std::string>;
using Rows = std::vector<Strings>;

namespace {

// The records of a CSV file as Python's csv module reads them.
Rows ParsedByPython(const std::string &file)
{
    Rows rows;
    for (const QStringList &record : QvlTest::CsvByPython(file)) {
        Strings fields;
        for (const QString &field : record)
            fields.push_back(field.toStdString());
        rows.push_back(fields);
    }
    return rows;
}

Strings Fields(const TReportRow &row)
{
    return {ReportResultName(row.result), EscapeControls(row.source, true), EscapeControls(row.target, true),
            row.size < 0 ? std::string() : std::to_string(row.size), EscapeControls(row.note, true)};
}

std::size_t LinesNaming(const Strings &lines, const std::string &text)
{
    return std::size_t(std::count_if(lines.begin(), lines.end(),
                                     [&](const std::string &l) { return l.find(text) != std::string::npos; }));
}

} // namespace

class VerifyReportTest : public QObject
{
    Q_OBJECT
private slots:
    void controlCharactersAreEscaped_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<bool>("report");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("plain") << QByteArray("/a/b c.jpg") << false << QByteArray("/a/b c.jpg");
        QTest::newRow("newline") << QByteArray("a\nFiles Match - b") << false << QByteArray("a\\nFiles Match - b");
        QTest::newRow("tab, return") << QByteArray("a\tb\rc") << false << QByteArray("a\\tb\\rc");
        QTest::newRow("escape, delete, nul-ish")
            << QByteArray("x\x1b[31my\x7f\x01") << false << QByteArray("x\\x1B[31my\\x7F\\x01");
        QTest::newRow("not UTF-8, shown as it is") << QByteArray("caf\xe9\n") << false << QByteArray("caf\xe9\\n");
        QTest::newRow("not UTF-8, in the report") << QByteArray("caf\xe9") << true << QByteArray("caf\\xE9");
        QTest::newRow("UTF-8 kept in the report")
            << QByteArray("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7") << true
            << QByteArray("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7");
        QTest::newRow("overlong and surrogate in the report")
            << QByteArray("\xc0\xaf\xed\xa0\x80") << true << QByteArray("\\xC0\\xAF\\xED\\xA0\\x80");
        QTest::newRow("cut sequence in the report") << QByteArray("a\xe2\x82") << true << QByteArray("a\\xE2\\x82");
        // The backslash is escaped itself, so that no two names give one
        // text: a newline and a backslash with "n", the byte 0xFF and the
        // text "\xFF".
        QTest::newRow("backslash") << QByteArray("a\\b") << false << QByteArray("a\\\\b");
        QTest::newRow("backslash and n") << QByteArray("a\\nb") << false << QByteArray("a\\\\nb");
        QTest::newRow("text of an escape, in the report")
            << QByteArray("c\\xFF") << true << QByteArray("c\\\\xFF");
        QTest::newRow("byte 0xFF, in the report") << QByteArray("c\xff") << true << QByteArray("c\\xFF");
        QTest::newRow("backslash before a newline")
            << QByteArray("\\\n\\") << false << QByteArray("\\\\\\n\\\\");
    }

    void controlCharactersAreEscaped()
    {
        QFETCH(QByteArray, raw);
        QFETCH(bool, report);
        QFETCH(QByteArray, shown);
        QCOMPARE(QByteArray::fromStdString(EscapeControls(raw.toStdString(), report)), shown);
    }

    void recordsQuoteWhatNeedsIt()
    {
        QCOMPARE(ReportHeader(), std::string("result,source,target,size,note\r\n"));
        QCOMPARE(ReportRecord({TReportResult::Match, "/s/a", "/t/a", 12, ""}), std::string("match,/s/a,/t/a,12,\r\n"));
        QCOMPARE(ReportRecord({TReportResult::NotDeleted, "/s/a,\"b\"", "/t/x", -1, "why, then"}),
                 std::string("not-deleted,\"/s/a,\"\"b\"\"\",/t/x,,\"why, then\"\r\n"));
    }

    // One tree with every outcome once, run with deletion of the Target's
    // matches: every pair is one row, every file the deletion took or kept
    // is one more, names with control characters are one escaped line each,
    // and the file written parses back to the same fields.
    void everyOutcomeIsOneRow()
    {
        TempTree t;
        const std::string nl = "new\nFiles Match - forged", esc = "esc\x1b[31mred";
        QVERIFY(t.createFile("src/match", "same"));
        QVERIFY(t.createFile("dst/match", "same"));
        QVERIFY(t.createFile("src/differ", "abcd"));
        QVERIFY(t.createFile("dst/differ", "abce"));
        QVERIFY(t.createFile("src/lengths", "abcd"));
        QVERIFY(t.createFile("dst/lengths", "abc"));
        QVERIFY(t.createFile("src/gone", "g"));
        QVERIFY(t.createFile("dst/gone", "g"));
        QVERIFY(t.createFile("src/only", "o"));
        // Its log line ("Not deleted, ...") names it: escaped too.
        const std::string same = "sa\tme";
        QVERIFY(t.createFile("src/" + same, "one file"));
        QCOMPARE(::link(t.path("src/" + same).c_str(), t.path("dst/" + same).c_str()), 0);
        // Opens, but the kernel refuses to read it: a read error of a file
        // system, whoever runs the test.
        QCOMPARE(::symlink("/proc/self/mem", t.path("src/unreadable").c_str()), 0);
        QVERIFY(t.createFile("dst/unreadable"));
        QVERIFY(t.createFile("src/" + nl, "n"));
        QVERIFY(t.createFile("dst/" + nl, "n"));
        QVERIFY(t.createFile("src/" + esc, "e"));
        QVERIFY(t.createFile("dst/" + esc, "X"));

        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"), DeleteMode::Target);
        // Gone between the walk and its comparison.
        win.onCall = [&](const std::string &call) {
            if (call == "AppendRunLog" && win.logLines.back() == "Begin folder and file comparison.")
                QCOMPARE(::unlink(t.path("src/gone").c_str()), 0);
        };
        TInfoThread w(&win);
        w.Execute();

        const auto s = [&](const std::string &n) { return t.path("src/" + n); };
        const auto d = [&](const std::string &n) { return t.path("dst/" + n); };
        using R = TReportResult;
        std::vector<TReportRow> expected {
            {R::Match, s("match"), d("match"), 4, ""},
            {R::Differ, s("differ"), d("differ"), 4, ""},
            {R::LengthsDiffer, s("lengths"), d("lengths"), 4, ""},
            {R::SourceMissing, s("gone"), d("gone"), -1, ""},
            {R::TargetMissing, s("only"), d("only"), 1, ""},
            {R::Match, s(same), d(same), 8, ""},
            {R::NotDeleted, s(same), d(same), 8, "Source and Target are the same file"},
            {R::Unreadable, s("unreadable"), d("unreadable"), 0, "Input/output error"},
            {R::Match, s(nl), d(nl), 1, ""},
            {R::Differ, s(esc), d(esc), 1, ""},
            {R::Deleted, s("match"), d("match"), 4, ""},
            {R::Deleted, s(nl), d(nl), 1, ""},
        };
        Rows expectedFields {{"result", "source", "target", "size", "note"}};
        for (const TReportRow &row : expected)
            expectedFields.push_back(Fields(row));
        // The walk's order is the directory's; the deletion's is sorted.
        Rows got;
        for (const TReportRow &row : win.reportRows)
            got.push_back(Fields(row));
        const auto pairRows = [](Rows rows) {
            std::sort(rows.begin(), rows.end());
            return rows;
        };
        QCOMPARE(pairRows(got), pairRows(Rows(expectedFields.begin() + 1, expectedFields.end())));

        // Each name with a control character is one line, escaped.
        QCOMPARE(LinesNaming(win.verifyLog, "forged"), std::size_t(1));
        QCOMPARE(LinesNaming(win.verifyLog, "[31mred"), std::size_t(1));
        QVERIFY(Contains(win.resultLines, "Files Match - " + t.path("dst/new\\nFiles Match - forged")));
        QVERIFY(Contains(win.resultLines, "Files Differ - " + t.path("src/esc\\x1B[31mred")));
        for (const std::string &line : win.verifyLog)
            QVERIFY2(line.find_first_of("\n\r\t\x1b") == std::string::npos, line.c_str());
        QVERIFY(Contains(win.logLines, "Not deleted, Source and Target are the same file - " + t.path("dst/sa\\tme")));

        // The file parses back, with Python's csv module, to the same fields.
        TReportWriter writer;
        const std::string file = t.path("report.csv");
        QVERIFY(writer.Open(file));
        for (const TReportRow &row : expected)
            writer.Write(row);
        QVERIFY(writer.Close());
        QCOMPARE(ParsedByPython(file), expectedFields);
    }

    void unreadableFilesAreCountedInTheSummary_data()
    {
        QTest::addColumn<bool>("withUnreadable");
        QTest::newRow("one unreadable") << true;
        QTest::newRow("none") << false;
    }

    void unreadableFilesAreCountedInTheSummary()
    {
        QFETCH(bool, withUnreadable);
        TempTree t;
        QVERIFY(t.createFile("src/a", "a"));
        QVERIFY(t.createFile("dst/a", "a"));
        if (withUnreadable) {
            QCOMPARE(::symlink("/proc/self/mem", t.path("src/m").c_str()), 0);
            QVERIFY(t.createFile("dst/m"));
        }
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread w(&win);
        w.Execute();
        const auto different = std::find(win.logLines.begin(), win.logLines.end(),
                                         "Total number of different files = 0");
        QVERIFY(different != win.logLines.end());
        const std::string summary = "Total number of files that could not be read = 1";
        if (withUnreadable) {
            QCOMPARE(*(different + 1), summary);
            QCOMPARE(win.messages, Strings {"File Error: Can't perform one of the following file operations: "
                                            "Open, Seek, Read, Close.\n\n" + t.path("src/m")
                                            + " (Input/output error)"});
        } else {
            QVERIFY(!Contains(win.logLines, summary));
            QVERIFY((different + 1)->rfind("End file operations.", 0) == 0);
        }
        QCOMPARE(w.state.counters.unreadable, withUnreadable ? 1 : 0);
    }

    void writeFailuresAreReported()
    {
        TempTree t;
        TReportWriter missingFolder;
        QVERIFY(!missingFolder.Open(t.path("no/such/folder.csv")));
        QCOMPARE(missingFolder.Error(), t.path("no/such/folder.csv") + ": No such file or directory");
        // Opens, and every write fails: the header is written at once, so
        // the failure is known before any row is made.
        TReportWriter full;
        QVERIFY(!full.Open("/dev/full"));
        QVERIFY(full.Failed());
        QCOMPARE(full.Error(), std::string("/dev/full: No space left on device"));
        full.Write({TReportResult::Match, "/a", "/b", 1, ""});
        QVERIFY(!full.Flush());
        QVERIFY(!full.Close());
    }
};

QVL_TEST_CORE_MAIN(VerifyReportTest)
#include "VerifyReportTest.moc"
