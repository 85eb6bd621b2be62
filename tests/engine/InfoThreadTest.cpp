#include "tests/engine/EngineTestUtil.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace EngineTest;
using QvlTest::TempTree;
using Strings = std::vector<std::string>;

namespace {

void MakePairTree(const TempTree &t, int files)
{
    for (int i = 0; i < files; ++i) {
        const std::string rel = "d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt";
        const QByteArray data = Pattern(100 + i);
        QVERIFY(t.createFile("src/" + rel, data));
        QVERIFY(t.createFile("dst/" + rel, data));
    }
}

Strings Summary(int checked, int same, int missing, int different)
{
    return {"Total number of files checked = " + std::to_string(checked),
            "Total number of matching files = " + std::to_string(same),
            "Total number of missing files = " + std::to_string(missing),
            "Total number of different files = " + std::to_string(different)};
}

} // namespace

class InfoThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void folderRunLogsInOrder()
    {
        TempTree t;
        MakePairTree(t, 4);
        QVERIFY(t.createFile("src/extra.txt", "e"));
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread w(&win);
        w.Execute();

        Strings expected {"Begin verify - Source: \"" + t.path("src") + "\" - Target: \"" + t.path("dst") + "\"",
                          "Gathering file information.", "Begin folder and file comparison."};
        for (const auto &s : Summary(5, 4, 1, 0))
            expected.push_back(s);
        QCOMPARE(Strings(win.logLines.begin(), win.logLines.end() - 1), expected);
        QVERIFY(QRegularExpression("^End file operations\\. Total elapsed time = \\d\\d:\\d\\d:\\d\\d:\\d\\d\\d \\.$")
                    .match(QString::fromStdString(win.logLines.back()))
                    .hasMatch());
        for (const auto &line : win.stampedLines)
            QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d \\S").match(QString::fromStdString(line)).hasMatch());
        // Result lines come between the comparison's start and the summary.
        const auto begin = std::find(win.verifyLog.begin(), win.verifyLog.end(), win.stampedLines[2]);
        QCOMPARE(std::size_t(win.verifyLog.end() - begin - 1 - 5), win.resultLines.size());

        QCOMPARE(win.calls.front(), std::string("CaptureRequest"));
        QVERIFY(win.timerStopped);
        QCOMPARE(win.currentPair, (std::pair<std::string, std::string>()));
        // After the comparison the file total reads the gathered count alone.
        const auto lastTotals = std::find(win.calls.rbegin(), win.calls.rend(), std::string("ShowTotals"));
        const auto lastCounts = std::find(win.calls.rbegin(), win.calls.rend(), std::string("ShowCounts"));
        QVERIFY(lastTotals < lastCounts);
        QCOMPARE(win.countsText, std::string("5/5"));
        QCOMPARE(win.count("ConfirmDelete"), std::size_t(0));
    }

    void singleFileRun()
    {
        TempTree t;
        QVERIFY(t.createFile("one.bin", "12345"));
        QVERIFY(t.createFile("copy.bin", "12345"));
        RecordingWindow win;
        win.request = Request(t.path("one.bin"), t.path("copy.bin"), DeleteMode::None, "");
        QVERIFY(win.request.singleFile);
        TInfoThread w(&win);
        w.Execute();
        QCOMPARE(win.logLines[2], std::string("Begin file comparison."));
        QCOMPARE(w.state.counters.files, 1);
        QCOMPARE(w.state.counters.totalBytes, 5.0);
        // The totals are shown before anything is compared.
        QVERIFY(std::find(win.calls.begin(), win.calls.end(), "ShowTotals") <
                std::find(win.calls.begin(), win.calls.end(), "StartOverallBar"));
        QCOMPARE(win.resultLines, Strings {"Files Match - " + t.path("copy.bin")});
    }

    void unlistableSourceEndsTheRunWithItsMessage()
    {
        TempTree t;
        RecordingWindow win;
        win.request = Request(t.path("no-such-folder"), t.path("dst"));
        TInfoThread w(&win);
        w.Execute();
        QCOMPARE(win.messages, Strings {"Thread Status: EnumDir failed"});
        QCOMPARE(win.logLines.size(), std::size_t(2));
        QCOMPARE(w.state.counters.filesChecked, 0);
        QVERIFY(!win.timerStopped);
    }

    void emptyFilterComparesNothing()
    {
        TempTree t;
        MakePairTree(t, 2);
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"), DeleteMode::Source, "");
        TInfoThread w(&win);
        w.Execute();
        QVERIFY(win.resultLines.empty());
        QCOMPARE(Strings(win.logLines.end() - 5, win.logLines.end() - 1), Summary(0, 0, 0, 0));
        QCOMPARE(win.count("ConfirmDelete"), std::size_t(0));
    }

    void stopDuringTheWalkEndsWithoutSummary()
    {
        TempTree t;
        MakePairTree(t, 6);
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread w(&win);
        win.onCall = [&](const std::string &c) {
            if (c == "ShowTotals")
                w.Terminate();
        };
        w.Execute();
        QCOMPARE(win.logLines.size(), std::size_t(2));
        QVERIFY(win.messages.empty());
        QVERIFY(win.resultLines.empty());
    }

    void stopDuringTheComparison_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("deleteOnCancel");
        QTest::addColumn<bool>("confirmAsked");
        QTest::newRow("verify only") << int(DeleteMode::None) << false << false;
        QTest::newRow("delete mode, cancel") << int(DeleteMode::Source) << false << false;
        QTest::newRow("delete mode, delete matches so far") << int(DeleteMode::Source) << true << true;
    }
    void stopDuringTheComparison()
    {
        QFETCH(int, mode);
        QFETCH(bool, deleteOnCancel);
        QFETCH(bool, confirmAsked);
        TempTree t;
        MakePairTree(t, 6);
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"), DeleteMode(mode));
        win.deleteOnCancel = deleteOnCancel;
        win.confirmDelete = false;
        TInfoThread w(&win);
        win.onCall = [&](const std::string &c) {
            if (c == "AppendResultLine" && win.resultLines.size() == 3)
                w.Terminate();
        };
        w.Execute();
        QCOMPARE(w.state.counters.filesChecked, 3);
        QCOMPARE(Strings(win.logLines.end() - 5, win.logLines.end() - 1), Summary(3, 3, 0, 0));
        QCOMPARE(win.count("ConfirmDelete") == 1, confirmAsked);
        if (confirmAsked) {
            QCOMPARE(win.confirmCounts, std::vector<std::size_t> {3});
            QVERIFY(EngineTest::Contains(win.logLines, "Cancel without deleting matching files selected."));
        }
    }

    // Many pairs are read at once and their reads end in any order; the
    // log still names them in the order they were gathered. Here the reads
    // of the first ten pairs are held until the last pair's has ended.
    void logsKeepGatheringOrderWhenReadsEndOutOfOrder()
    {
        TempTree t;
        constexpr int kPairs = 40;
        for (int i = 0; i < kPairs; ++i) {
            // The name says what the pair is: a match, contents that differ,
            // lengths that differ, a Target missing.
            const char kind = "mdlx"[i % 4];
            const std::string rel = "d" + std::to_string(i % 3) + "/" + kind + std::to_string(i) + ".txt";
            const QByteArray data = Pattern(100 + i);
            QVERIFY(t.createFile("src/" + rel, data));
            if (kind == 'm')
                QVERIFY(t.createFile("dst/" + rel, data));
            else if (kind == 'd')
                QVERIFY(t.createFile("dst/" + rel, Pattern(100 + i, 'b')));
            else if (kind == 'l')
                QVERIFY(t.createFile("dst/" + rel, Pattern(99 + i)));
        }
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread w(&win);
        std::mutex mutex;
        std::condition_variable lastRead;
        bool lastDone = false;
        std::vector<std::size_t> ended; // pairs in the order their reads ended
        w.Context().afterPairRead = [&](std::size_t index, const std::atomic<bool> &) {
            std::unique_lock lock(mutex);
            if (index < 10)
                lastRead.wait(lock, [&] { return lastDone; });
            ended.push_back(index);
            if (index == kPairs - 1) {
                lastDone = true;
                lastRead.notify_all();
            }
        };
        w.Execute();

        QCOMPARE(ended.size(), std::size_t(kPairs));
        QVERIFY(std::find(ended.begin(), ended.end(), kPairs - 1) < std::find(ended.begin(), ended.end(), 0));
        Strings expected;
        for (const std::string &source : w.state.fileList.Paths()) {
            const std::string target = t.path("dst") + source.substr(t.path("src").size());
            switch (source[source.rfind('/') + 1]) {
            case 'm':
                expected.push_back("Files Match - " + target);
                break;
            case 'd':
                expected.push_back("Files Differ - " + source);
                break;
            case 'l':
                expected.push_back("Lengths Differ - " + source);
                break;
            default:
                expected.push_back("Target Missing - " + target);
            }
        }
        QCOMPARE(win.resultLines, expected);
        QCOMPARE(Strings(win.logLines.end() - 5, win.logLines.end() - 1), Summary(kPairs, 10, 10, 20));
    }

    // A cancel while many reads are in flight ends the comparison without
    // waiting for them: here the read of pair 5 is held until the run no
    // longer waits for it, and the cancel comes as the run begins to wait
    // for that pair.
    void cancelDoesNotWaitForReadsInFlight()
    {
        TempTree t;
        MakePairTree(t, 40);
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread w(&win);
        std::atomic<bool> releasedByQuit {false};
        w.Context().afterPairRead = [&](std::size_t index, const std::atomic<bool> &quitting) {
            if (index != 5)
                return;
            // Bounded, so that a run that does wait fails here instead of
            // hanging.
            for (int i = 0; i < 1000 && !quitting.load(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            releasedByQuit = quitting.load();
        };
        std::size_t waitedFor = 0;
        w.Context().waitingForPair = [&](std::size_t index) {
            waitedFor = index;
            if (index == 5)
                w.Terminate();
        };
        w.Execute();
        QVERIFY(releasedByQuit);
        QCOMPARE(waitedFor, std::size_t(5));
        QCOMPARE(w.state.counters.filesChecked, 5);
        QCOMPARE(Strings(win.logLines.end() - 5, win.logLines.end() - 1), Summary(5, 5, 0, 0));
        QCOMPARE(win.resultLines.size(), std::size_t(5));
    }

    void confirmationOnlyWithSomethingToDelete()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a", "1"));
        QVERIFY(t.createFile("dst/a", "2"));
        for (DeleteMode mode : {DeleteMode::None, DeleteMode::Source, DeleteMode::Target}) {
            RecordingWindow win;
            win.request = Request(t.path("src"), t.path("dst"), mode);
            RunOnce(win);
            QCOMPARE(win.count("ConfirmDelete"), std::size_t(0));
        }
        QVERIFY(t.createFile("dst/a", "1"));
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"), DeleteMode::None);
        RunOnce(win);
        QCOMPARE(win.count("ConfirmDelete"), std::size_t(0));
    }

    void pauseHoldsTheWorkerAtItsPollingPoints_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("continue") << false;
        QTest::newRow("cancel while held") << true;
    }
    void pauseHoldsTheWorkerAtItsPollingPoints()
    {
        QFETCH(bool, cancel);
        TempTree t;
        MakePairTree(t, 12);
        RecordingWindow win;
        win.request = Request(t.path("src"), t.path("dst"));
        TInfoThread w(&win);
        std::atomic<bool> paused {false}, held {false};
        std::size_t callsWhenHeld = 0;
        win.onCall = [&](const std::string &c) {
            if (c == "AppendResultLine" && !paused.exchange(true))
                w.Pause();
        };
        w.Context().onHeld = [&] {
            {
                auto l = win.lock();
                callsWhenHeld = win.calls.size();
            }
            held.store(true);
        };
        w.start();
        QTRY_VERIFY_WITH_TIMEOUT(held.load(), 10000);
        // Held at the polling point after the first pair: the calls made
        // before it waited stay all there is.
        {
            auto l = win.lock();
            QCOMPARE(win.calls.size(), callsWhenHeld);
            QCOMPARE(win.calls.back(), std::string("ShowCounts"));
            QCOMPARE(win.resultLines.size(), std::size_t(1));
        }
        QVERIFY(!w.isFinished());
        if (cancel)
            w.Terminate();
        w.Continue();
        QVERIFY(w.wait(20000));
        QCOMPARE(w.state.counters.same, cancel ? 1 : 12);
        if (!cancel)
            return;
        QCOMPARE(w.state.counters.filesChecked, 1);
        QCOMPARE(Strings(win.logLines.end() - 5, win.logLines.end() - 1), Summary(1, 1, 0, 0));
    }
};

QVL_TEST_CORE_MAIN(InfoThreadTest)
#include "InfoThreadTest.moc"
