// The run journal: what survives a torn or damaged file, and what a resumed
// run takes from it, on real files with the real worker.
#include "engine/RunJournal.h"
#include "engine/RunLogText.h"

#include "tests/engine/EngineTestUtil.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>

using namespace EngineTest;
using QvlTest::TempTree;
using Strings = std::vector<std::string>;

namespace {

QString Q(const std::string &s)
{
    return QFile::decodeName(QByteArray::fromStdString(s));
}

// The relative paths MakePairs() gives its files.
std::vector<std::string> Relatives(int files)
{
    std::vector<std::string> out;
    for (int i = 0; i < files; ++i)
        out.push_back("d" + std::to_string(i % 2) + "/f" + std::to_string(i) + ".bin");
    return out;
}

void MakePairs(const TempTree &t, int files)
{
    for (int i = 0; i < files; ++i) {
        const std::string rel = Relatives(files)[std::size_t(i)];
        const QByteArray data = Pattern(1000 + i, char('a' + i % 5));
        QVERIFY(t.createFile("src/" + rel, data));
        QVERIFY(t.createFile("dst/" + rel, data));
    }
}

TJournalRecord Record(const std::string &relative, std::uint64_t n)
{
    TJournalRecord r;
    r.relative = relative;
    r.source = {1, n, 10 * n, 100, 1, 200, 2};
    r.target = {3, n + 1, 10 * n, 300, 3, 400, 4};
    return r;
}

QByteArray ReadAll(const std::string &path)
{
    QFile f(Q(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const std::string &path, const QByteArray &data)
{
    QFile f(Q(path));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// A run stopped by the test after `pairs` pairs, as a cancel stops it.
void RunStoppedAfter(RecordingWindow &win, std::size_t pairs)
{
    TInfoThread worker(&win);
    worker.Context().afterPair = [&worker, pairs](std::size_t done) {
        if (done == pairs)
            worker.Terminate();
    };
    worker.Execute();
}

// The lines of a run as a full run would have them too: without the lines
// that tell of the journal and the elapsed time.
Strings Comparable(const RecordingWindow &win)
{
    Strings out;
    for (const std::string &line : win.verifyLog) {
        const std::string text = line.size() > 9 && line[2] == ':' ? line.substr(9) : line;
        if (text.starts_with("End file operations") || text.starts_with("Resum"))
            continue;
        out.push_back(text);
    }
    return out;
}

std::size_t ResumedRows(const RecordingWindow &win)
{
    std::size_t n = 0;
    for (const TReportRow &row : win.reportRows)
        n += row.result == TReportResult::Match && row.note == "resumed";
    return n;
}

} // namespace

class RunJournalTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir(Q(JournalFolder())).removeRecursively(); }

    // Batches written one after the other read back whole; a last batch cut
    // short (the run died writing it) is left out, the others are kept.
    void tornLastBatchIsLeftOut()
    {
        TempTree t;
        QVERIFY(t.createDir("src") && t.createDir("dst"));
        const VerifyRequest request = Request(t.path("src"), t.path("dst"));
        const std::string path = JournalPathOf(request);
        {
            TJournalWriter writer;
            std::string error;
            QVERIFY(writer.Open(path, JournalKeyOf(request), 7, error));
            writer.Add(Record("a", 1));
            writer.Add(Record("b/c", 2));
            writer.Flush();
            // Until its first batch the journal has no name of its own.
            QVERIFY(Exists(path));
            writer.Add(Record("d", 3));
            writer.Flush();
            writer.Flush(); // nothing gathered: nothing written
        }
        TJournalContents whole = ReadJournal(request);
        QVERIFY(whole.found && whole.usable);
        QCOMPARE(whole.files, 7);
        QCOMPARE(whole.records.size(), std::size_t(3));
        const std::uint32_t bc = whole.records.Find("b/c");
        QVERIFY(bc != TJournalRecords::kNone);
        QVERIFY(whole.records.At(bc).source == Record("b/c", 2).source);
        QVERIFY(whole.records.At(bc).target == Record("b/c", 2).target);
        QCOMPARE(whole.records.Find("b"), TJournalRecords::kNone);

        const QByteArray bytes = ReadAll(path);
        for (int cut : {1, 30, 80}) {
            QVERIFY(WriteAll(path, bytes.left(bytes.size() - cut)));
            const TJournalContents torn = ReadJournal(request);
            QVERIFY2(torn.usable, torn.problem.c_str());
            QCOMPARE(torn.records.size(), std::size_t(2));
            QCOMPARE(torn.records.Find("d"), TJournalRecords::kNone);
        }
        // A last batch of the right length whose bytes never reached the
        // disk (zeros) is torn as well.
        QByteArray zeroed = bytes;
        zeroed.replace(bytes.size() - 20, 20, QByteArray(20, '\0'));
        QVERIFY(WriteAll(path, zeroed));
        QCOMPARE(ReadJournal(request).records.size(), std::size_t(2));
    }

    // Records are kept by their path's hash alone: every path of many is
    // found, with its own identities, and a path never written is not, also
    // when it is written twice or the records come in no order.
    void recordsAreFoundAmongMany()
    {
        TJournalRecords records;
        constexpr std::uint64_t kCount = 20000;
        for (std::uint64_t n = kCount; n > 0; --n)
            records.Add(Record("p/" + std::to_string(n), n));
        records.Add(Record("p/7", 7));
        records.Seal();
        QCOMPARE(records.size(), std::size_t(kCount));
        for (std::uint64_t n = 1; n <= kCount; ++n) {
            const std::uint32_t at = records.Find("p/" + std::to_string(n));
            QVERIFY2(at != TJournalRecords::kNone, std::to_string(n).c_str());
            QVERIFY(records.At(at).source == Record("", n).source);
            QCOMPARE(records.Find("q/" + std::to_string(n)), TJournalRecords::kNone);
        }
        QCOMPARE(records.Find(""), TJournalRecords::kNone);
        QCOMPARE(TJournalRecords().Find("p/1"), TJournalRecords::kNone);
    }

    // Anything else wrong makes the journal unusable as a whole, with the
    // reason; the run then compares every pair.
    void damagedJournalsAreNotUsed()
    {
        TempTree t;
        MakePairs(t, 6);
        VerifyRequest request = Request(t.path("src"), t.path("dst"));
        const std::string path = JournalPathOf(request);
        {
            TJournalWriter writer;
            std::string error;
            QVERIFY(writer.Open(path, JournalKeyOf(request), 6, error));
            writer.Add(Record("d0/f0.bin", 1));
            writer.Flush();
            writer.Add(Record("d1/f1.bin", 2));
            writer.Flush();
        }
        const QByteArray good = ReadAll(path);
        struct Case {
            const char *name;
            QByteArray bytes;
            std::string problem;
        };
        QByteArray middle = good;
        // A byte of the first record batch, which is not the last.
        const qsizetype firstRecords = good.indexOf("QVLB", 10);
        QVERIFY(firstRecords > 0);
        middle[firstRecords + 80] = char(middle[firstRecords + 80] ^ 0x20);
        QByteArray version = good;
        version[4] = 2;
        const std::vector<Case> cases = {
            {"middle batch damaged", middle, "it is damaged"},
            {"other version", version, "it was written by another version of this program"},
            {"no journal", QByteArray("hello, world\n"), "it is no journal of this program"},
            {"empty", QByteArray(), "it is no journal of this program"},
            {"head only", good.left(8), "it is incomplete"},
        };
        for (const Case &c : cases) {
            QVERIFY(WriteAll(path, c.bytes));
            const TJournalContents read = ReadJournal(request);
            QVERIFY2(read.found && !read.usable, c.name);
            QCOMPARE(read.problem, c.problem);
            QVERIFY(read.records.empty());
        }

        // A journal of other folders under this key's name: not this run's.
        TempTree other;
        QVERIFY(other.createDir("src") && other.createDir("dst"));
        const VerifyRequest otherRequest = Request(other.path("src"), other.path("dst"));
        QVERIFY(QFile::remove(Q(path)));
        {
            TJournalWriter writer;
            std::string error;
            QVERIFY(writer.Open(path, JournalKeyOf(otherRequest), 6, error));
            writer.Add(Record("d0/f0.bin", 1));
            writer.Flush();
        }
        QCOMPARE(ReadJournal(request).problem, std::string("it is the journal of another run"));

        // The run says why and compares all.
        RecordingWindow win;
        win.request = request;
        win.request.resume = true;
        RunOnce(win);
        QVERIFY(Contains(win.logLines, "The journal of the unfinished run is not used, every file is compared (it is "
                                       "the journal of another run) - " + path));
        QCOMPARE(win.logKinds[std::size_t(std::find(win.logLines.begin(), win.logLines.end(),
                                                     "The journal of the unfinished run is not used, every file is "
                                                     "compared (it is the journal of another run) - " + path) -
                                           win.logLines.begin())],
                 TLogKind::Note);
        QCOMPARE(win.resultLines.size(), std::size_t(6));
        QCOMPARE(ResumedRows(win), std::size_t(0));
        // The run went to its end: no journal is left.
        QVERIFY(!Exists(path));
    }

    // A stopped run leaves its journal; the resumed run takes every pair
    // still as it was, compares the others, and ends as a full run does.
    void stoppedRunIsResumed()
    {
        TempTree t;
        MakePairs(t, 10);
        VerifyRequest request = Request(t.path("src"), t.path("dst"));
        RecordingWindow full;
        full.request = request;
        RunOnce(full);
        const std::string path = JournalPathOf(request);
        QVERIFY(!Exists(path));

        RecordingWindow stopped;
        stopped.request = request;
        RunStoppedAfter(stopped, 6);
        QCOMPARE(stopped.resultLines.size(), std::size_t(6));
        const TJournalContents journal = ReadJournal(request);
        QVERIFY(journal.usable);
        QCOMPARE(journal.files, 10);
        QCOMPARE(journal.records.size(), std::size_t(6));

        // A journal can name anything: what the walk did not find is never
        // looked at.
        {
            TJournalContents kept = ReadJournal(request);
            TJournalWriter writer;
            std::string error;
            QVERIFY(writer.Open(path, JournalKeyOf(request), 10, error));
            TJournalRecord outside;
            for (const std::string &relative : Relatives(10)) {
                const std::uint32_t at = kept.records.Find(relative);
                if (at == TJournalRecords::kNone)
                    continue;
                outside = {relative, kept.records.At(at).source, kept.records.At(at).target, {}};
                writer.Add(outside);
            }
            for (const char *name : {"../outside.bin", "/etc/passwd", "d0/../../x"}) {
                outside.relative = name;
                writer.Add(outside);
            }
            writer.Flush();
        }

        RecordingWindow resumed;
        resumed.request = request;
        resumed.request.resume = true;
        RunOnce(resumed);
        QCOMPARE(Comparable(resumed), Comparable(full));
        QCOMPARE(resumed.countsText, full.countsText);
        QCOMPARE(ResumedRows(resumed), std::size_t(6));
        double proven = 0;
        for (std::uint32_t i = 0; i < journal.records.size(); ++i)
            proven += double(journal.records.At(i).source.size);
        const std::string resumedLine = "Resumed: 6 files, " + FormatCount(proven) + " bytes not read again";
        const auto at = std::find(resumed.logLines.begin(), resumed.logLines.end(), resumedLine);
        QVERIFY(at != resumed.logLines.end());
        QCOMPARE(resumed.logKinds[std::size_t(at - resumed.logLines.begin())], TLogKind::Summary);
        // The bytes taken over count as done from the comparison's start.
        QVERIFY(!resumed.overallBar.positions.empty());
        QCOMPARE(double(resumed.overallBar.positions.front()), proven);
        QVERIFY(!Exists(path));
    }

    // The walk of a resumed run takes the sizes of proven files from the
    // journal; a proven pair that has grown since (on both sides alike) is
    // compared again, and the run's totals are those of its files now.
    void grownPairIsComparedAndCountedAsItIs()
    {
        TempTree t;
        MakePairs(t, 10);
        VerifyRequest request = Request(t.path("src"), t.path("dst"));
        RecordingWindow stopped;
        stopped.request = request;
        RunStoppedAfter(stopped, 6);
        std::string grown;
        for (const std::string &relative : Relatives(10))
            if (ReadJournal(request).records.Find(relative) != TJournalRecords::kNone) {
                grown = relative;
                break;
            }
        QVERIFY(!grown.empty());
        for (const char *side : {"src/", "dst/"}) {
            const std::string path = t.path(side + grown);
            QVERIFY(WriteAll(path, ReadAll(path) + QByteArray(5000, 'z')));
        }

        RecordingWindow resumed;
        resumed.request = request;
        resumed.request.resume = true;
        RunOnce(resumed);
        QCOMPARE(ResumedRows(resumed), std::size_t(5));
        RecordingWindow full;
        full.request = request;
        RunOnce(full);
        QCOMPARE(Comparable(resumed), Comparable(full));
        QCOMPARE(resumed.totalsBytes, full.totalsBytes);
    }

    // A deletion after a resumed run checks every file when it goes against
    // the identities the journal proved it with: a file changed between the
    // resume and its deletion stays.
    void deletionAfterResumeChecksAtTheMoment()
    {
        TempTree t;
        MakePairs(t, 8);
        VerifyRequest request = Request(t.path("src"), t.path("dst"), DeleteMode::Source);
        RecordingWindow stopped;
        stopped.request = request;
        RunStoppedAfter(stopped, 5);
        QCOMPARE(ReadJournal(request).records.size(), std::size_t(5));
        // Stopped, without "delete so far": nothing went.
        QCOMPARE(stopped.count("ConfirmDelete"), std::size_t(0));

        RecordingWindow resumed;
        resumed.request = request;
        resumed.request.resume = true;
        std::string changed;
        resumed.onCall = [&](const std::string &call) {
            if (call != "ConfirmDelete")
                return;
            // While the question waits, a file the journal proved is
            // rewritten in place: same size, its modification time put back.
            {
                auto l = resumed.lock();
                for (const TReportRow &row : resumed.reportRows)
                    if (row.note == "resumed") {
                        changed = row.source;
                        break;
                    }
            }
            struct stat before {};
            QVERIFY(::stat(changed.c_str(), &before) == 0);
            QByteArray data = ReadAll(changed);
            data[0] = char(data[0] ^ 1);
            QVERIFY(WriteAll(changed, data));
            const timespec times[2] = {before.st_atim, before.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, changed.c_str(), times, 0) == 0);
        };
        TInfoThread worker(&resumed);
        worker.Execute();
        QCOMPARE(ResumedRows(resumed), std::size_t(5));
        QVERIFY(!changed.empty());
        QVERIFY(Contains(resumed.logLines, "Not deleted, the file changed after it was compared - " + changed));
        QVERIFY(Exists(changed));
        std::size_t left = 0;
        for (int i = 0; i < 8; ++i)
            left += Exists(t.path("src/d" + std::to_string(i % 2) + "/f" + std::to_string(i) + ".bin"));
        QCOMPARE(left, std::size_t(1));
    }

    // Journals not written to for 30 days go; younger ones stay.
    void oldJournalsArePruned()
    {
        const std::string folder = JournalFolder();
        QVERIFY(QDir().mkpath(Q(folder)));
        QVERIFY(WriteAll(folder + "/old.journal", "x"));
        QVERIFY(WriteAll(folder + "/young.journal", "x"));
        QVERIFY(WriteAll(folder + "/other.txt", "x"));
        const timespec old[2] = {{std::time(nullptr) - 31 * 86400, 0}, {std::time(nullptr) - 31 * 86400, 0}};
        QVERIFY(::utimensat(AT_FDCWD, (folder + "/old.journal").c_str(), old, 0) == 0);
        QVERIFY(::utimensat(AT_FDCWD, (folder + "/other.txt").c_str(), old, 0) == 0);
        PruneJournals();
        QVERIFY(!Exists(folder + "/old.journal"));
        QVERIFY(Exists(folder + "/young.journal"));
        QVERIFY(Exists(folder + "/other.txt"));
    }
};

QVL_TEST_CORE_MAIN(RunJournalTest)
#include "RunJournalTest.moc"
