// The verify log's model on its own: it shows, filters and writes exactly
// the lines it was given, in order, and sorts them by their kind alone; a
// model tester watches every change it tells its views of.
#include "tests/common/QvlTestMain.h"

#include "app/RunLogModel.h"

#include <QAbstractItemModelTester>
#include <QBuffer>

#include <string>

namespace {

QStringList Shown(const TRunLogModel &model)
{
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.index(row).data().toString();
    return out;
}

} // namespace

class RunLogModelTest : public QObject
{
    Q_OBJECT
private slots:
    // A match is hidden by what the run said it is: a pair's result whose
    // path holds "Files Match - ", a note or an event that begins with it,
    // a problem whose text reads like a match, a match whose text does not.
    void problemsAreToldByTheirKind()
    {
        TRunLogModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        struct Line {
            TLogKind kind;
            bool matched;
            std::string text;
            bool problem;
        };
        const std::vector<Line> lines = {
            {TLogKind::Event, false, "12:00:00 Begin verify", true},
            {TLogKind::PairResult, true, "Files Match - /t/a", false},
            {TLogKind::PairResult, true, "Files Match - /t/x - Files Match - y", false},
            {TLogKind::Note, false, "Files Match - a note that reads like a match", true},
            {TLogKind::Event, false, "Files Match - an event", true},
            {TLogKind::PairResult, false, "Files Match - a pair that differs", true},
            {TLogKind::PairResult, true, "Target Missing - a match whatever it says", false},
            {TLogKind::Summary, false, "Total number of matching files = 4", true},
            {TLogKind::DeletionTotal, true, "Files deleted = 0", true}, // only a pair matches
        };
        QStringList all, problems;
        for (const Line &l : lines) {
            model.Append(l.kind, l.matched, l.text);
            all << QString::fromStdString(l.text);
            if (l.problem)
                problems << QString::fromStdString(l.text);
        }
        QCOMPARE(model.rowCount(), 0); // not told yet
        model.ShowAppended();
        QCOMPARE(Shown(model), all);
        for (int i = 0; i < model.LineCount(); ++i)
            QCOMPARE(model.IsProblem(i), lines[std::size_t(i)].problem);

        model.SetProblemsOnly(true);
        QCOMPARE(Shown(model), problems);
        // Lines that come while filtered are filtered as they come.
        model.Append(TLogKind::PairResult, true, "Files Match - /t/late");
        model.Append(TLogKind::PairResult, false, "Files Differ - /s/late");
        model.ShowAppended();
        QCOMPARE(Shown(model), problems + QStringList {"Files Differ - /s/late"});
        // Rows and lines map both ways; a hidden line maps to the next row.
        QCOMPARE(model.LineOfRow(1), 3);
        QCOMPARE(model.RowOfLine(3), 1);
        QCOMPARE(model.RowOfLine(1), 1);
        QCOMPARE(model.RowOfLine(9), model.rowCount() - 1);
        QCOMPARE(model.RowOfLine(6), 4);

        model.SetProblemsOnly(false);
        QCOMPARE(Shown(model), (all + QStringList {"Files Match - /t/late", "Files Differ - /s/late"}));
        QCOMPARE(model.Lines(), Shown(model));
        QCOMPARE(model.RowOfLine(6), 6);

        model.Clear();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.LineCount(), 0);
    }

    // Many lines over many blocks, one longer than a block, a line that is
    // not UTF-8 and an empty one: shown and written as they were given
    // (bytes that are no UTF-8 as U+FFFD, as a list shows them).
    void holdsAndWritesEveryLineExactly()
    {
        TRunLogModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QByteArray expected;
        QStringList all;
        const auto add = [&](const std::string &line, const QString &shown) {
            model.Append(TLogKind::PairResult, true, line);
            expected += shown.toUtf8() + '\n';
            all << shown;
        };
        for (int i = 0; i < 40000; ++i) {
            const std::string line = "Files Match - /target/folder " + std::to_string(i % 97) + "/file "
                                     + std::to_string(i) + std::string(std::size_t(i % 13), 'x');
            add(line, QString::fromStdString(line));
            if (i == 20000) {
                const std::string huge(3u << 20, 'h');
                add(huge, QString::fromStdString(huge));
                add("", QString());
                add("Files Match - caf\xc3\xa9 \xff\xfe end", QString::fromUtf8("Files Match - caf\u00e9 \ufffd\ufffd end"));
            }
            if (i % 5000 == 0)
                model.ShowAppended();
        }
        model.ShowAppended();
        QCOMPARE(model.LineCount(), int(all.size()));
        QCOMPARE(Shown(model), all);

        QBuffer out;
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(model.Write(out));
        QCOMPARE(out.data().size(), expected.size());
        QVERIFY(out.data() == expected);

        // A device that takes nothing more is told.
        QBuffer closed;
        QVERIFY(!model.Write(closed));
    }
};

QVL_TEST_MAIN(RunLogModelTest)
#include "RunLogModelTest.moc"
