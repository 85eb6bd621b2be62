#include "tests/engine/EngineTestUtil.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QRegularExpression>

#include <atomic>

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
