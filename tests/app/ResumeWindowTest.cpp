// Start in the window when an unfinished run of the same folders left its
// journal: the question, and what Yes and No do.
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/engine/RecordingWindow.h"
#include "app/QvlMainRun.h"
#include "engine/InfoThread.h"
#include "engine/RunJournal.h"

#include <QMessageBox>

using QvlTest::MainFormFixture;
using QvlTest::TempTree;

namespace {

void MakePairs(const TempTree &t, int files)
{
    for (int i = 0; i < files; ++i) {
        const QByteArray data(500 + i, char('a' + i));
        QVERIFY(t.createFile("src/f" + std::to_string(i) + ".bin", data));
        QVERIFY(t.createFile("dst/f" + std::to_string(i) + ".bin", data));
    }
}

// The request the window makes for these folders, as its Start would.
VerifyRequest WindowRequest(MainFormFixture &f, const TempTree &t)
{
    VerifyRequest request = f.form->RunControl->CaptureRequest();
    request.sourcePath = t.path("src");
    request.targetPath = t.path("dst");
    request.singleFile = false;
    return request;
}

// Leaves the journal of a run of `request` stopped after `pairs` pairs.
void LeaveUnfinished(const VerifyRequest &request, std::size_t pairs)
{
    RecordingWindow win;
    win.request = request;
    TInfoThread worker(&win);
    worker.Context().afterPair = [&worker, pairs](std::size_t done) {
        if (done == pairs)
            worker.Terminate();
    };
    worker.Execute();
    QCOMPARE(ReadJournal(request).records.size(), pairs);
}

} // namespace

class ResumeWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir(MainFormFixture::Q(JournalFolder())).removeRecursively(); }

    void startAsksToResume_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(QMessageBox::Yes);
        QTest::newRow("no") << int(QMessageBox::No);
    }

    // Yes takes the proven pairs over; No removes the journal and compares
    // all. Either way the run ends with every pair counted and no journal.
    void startAsksToResume()
    {
        QFETCH(int, answer);
        TempTree t;
        MakePairs(t, 10);
        MainFormFixture f;
        const VerifyRequest request = WindowRequest(f, t);
        LeaveUnfinished(request, 4);

        f.answer = answer;
        QVERIFY(f.StartRun(t.path("src"), t.path("dst")));
        QVERIFY(!f.boxes.empty());
        QCOMPARE(f.boxes.front().caption, f.form->windowTitle());
        QCOMPARE(f.boxes.front().text, QStringLiteral("Resume the unfinished run (4 of 10 files proven)?"));
        QCOMPARE(f.boxes.front().icon, int(QMessageBox::Question));
        QCOMPARE(f.boxes.front().buttons, int(QMessageBox::Yes | QMessageBox::No));
        QVERIFY(f.WaitForRunEnd());
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("10"));
        const QStringList log = QvlTest::ShownLines(f.ui()->ListBoxV);
        const QStringList resumed = log.filter(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d Resumed: 4 files, "));
        QCOMPARE(resumed.size(), answer == QMessageBox::Yes ? 1 : 0);
        QCOMPARE(log.filter(QRegularExpression("^Files Match - ")).size(), 10);
        QVERIFY(!ReadJournal(request).found);
        // The question came once, before the run.
        QCOMPARE(std::count_if(f.boxes.begin(), f.boxes.end(),
                               [](const QvlTest::RecordedBox &b) { return b.text.startsWith("Resume"); }),
                 1);
    }

    // Without an unfinished run there is nothing to ask.
    void noJournalNoQuestion()
    {
        TempTree t;
        MakePairs(t, 3);
        MainFormFixture f;
        QVERIFY(f.StartRun(t.path("src"), t.path("dst")));
        QVERIFY(f.WaitForRunEnd());
        for (const QvlTest::RecordedBox &box : f.boxes)
            QVERIFY(!box.text.startsWith("Resume"));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("3"));
    }
};

QVL_TEST_MAIN(ResumeWindowTest)
#include "ResumeWindowTest.moc"
