// The window's compact report rows: every row comes back exactly as it was
// given, in order, whatever its paths share with each other and with the
// rows before, over many blocks.
#include "tests/common/QvlTestMain.h"

#include "app/RunReportRows.h"

#include <string>
#include <vector>

namespace {

bool Same(const TReportRow &a, const TReportRow &b)
{
    return a.result == b.result && a.source == b.source && a.target == b.target && a.size == b.size
           && a.note == b.note;
}

} // namespace

class RunReportRowsTest : public QObject
{
    Q_OBJECT
private slots:
    void everyRowComesBackExactly()
    {
        std::vector<TReportRow> given = {
            {TReportResult::Match, "/src/a/f1", "/dst/a/f1", 10, ""},
            {TReportResult::Match, "/src/a/f2", "/dst/a/f2", 0, ""},
            // Paths that share nothing, or all; a Target path that is the
            // Source path's ending, or holds it.
            {TReportResult::Differ, "/src/x", "/elsewhere/y", -1, ""},
            {TReportResult::TargetMissing, "/same", "/same", 5, ""},
            {TReportResult::SourceMissing, "/a/b/c", "/b/c", -1, ""},
            {TReportResult::LengthsDiffer, "/b/c", "/a/b/c", 1ll << 40, ""},
            {TReportResult::Unreadable, "/src/u", "/dst/u", 3, "Input/output error"},
            {TReportResult::NotDeleted, "/src/u", "/dst/u", 3, "Input/output error"},
            {TReportResult::Deleted, "", "", -1, ""},
            {TReportResult::Skipped, "/src/caf\xc3\xa9\xff", "", -1, "FIFO"},
            {TReportResult::Match, "/src/a/f3", "/dst/a/f3", 7, ""},
        };
        for (int i = 0; i < 60000; ++i) {
            const std::string rel = "/d" + std::to_string(i % 300) + "/file " + std::to_string(i);
            given.push_back({i % 7 ? TReportResult::Match : TReportResult::Differ, "/source" + rel,
                             "/target tree" + rel, i, i % 1000 ? "" : "changed while it was read"});
        }
        TReportRows rows;
        for (const TReportRow &row : given)
            rows.Append(row);
        QCOMPARE(rows.Size(), given.size());
        const std::vector<TReportRow> back = rows.Rows();
        QCOMPARE(back.size(), given.size());
        for (std::size_t i = 0; i < given.size(); ++i)
            QVERIFY2(Same(back[i], given[i]), qPrintable(QString::number(i) + ": " + QString::fromStdString(back[i].target)));

        rows.Clear();
        QCOMPARE(rows.Size(), std::size_t(0));
        rows.Append(given[3]);
        QCOMPARE(rows.Rows().size(), std::size_t(1));
        QVERIFY(Same(rows.Rows().front(), given[3]));
    }
};

QVL_TEST_MAIN(RunReportRowsTest)
#include "RunReportRowsTest.moc"
