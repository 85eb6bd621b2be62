// The verify log as the user works with it, through the real main window,
// offscreen: only the problems shown while a run goes on, copying and saving
// lines, the run's report, and the "File Error" box that a check box
// silences for the rest of one run.
#include "tests/app/HoldingWindow.h"
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include "app/QvlMainRun.h"

#include "engine/InfoThread.h"
#include "engine/VerifyReport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QClipboard>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using QvlTest::MainFormFixture;

namespace {

TRunControl &Run(MainFormFixture &f)
{
    return *f.form->RunControl;
}

bool Start(MainFormFixture &f, const std::string &source, const std::string &target)
{
    return f.StartRun(source, target);
}

bool WaitForEnd(MainFormFixture &f)
{
    return f.WaitForRunEnd(60000);
}

QStringList Lines(const QAbstractItemView *list)
{
    return QvlTest::ShownLines(list);
}

QModelIndex Row(const QListView *list, int row)
{
    return list->model()->index(row, 0);
}

QStringList Problems(const QStringList &lines)
{
    QStringList out;
    for (const QString &line : lines)
        if (!line.startsWith(QLatin1String("Files Match - ")))
            out << line;
    return out;
}

QAction *MenuItem(MainFormFixture &f, const QString &text)
{
    for (QAction *a : Run(f).LogMenu()->actions())
        if (a->text().remove(QLatin1Char('&')) == text)
            return a;
    return nullptr;
}

// Answers every "File Error" box as a user would, from a timer while the
// box is up: ticks "Do not show this again" when told to, then clicks OK.
class TFileErrorAnswerer : public QObject
{
public:
    explicit TFileErrorAnswerer(int checkAt) : m_checkAt(checkAt)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Answer(); });
        m_timer.start(10);
    }
    int shown = 0;
    QStringList texts;

private:
    void Answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box->objectName() != QLatin1String("FileErrorBox") || !box->isVisible())
            return;
        ++shown;
        texts << box->windowTitle() + QLatin1String(": ") + box->text();
        QCheckBox *check = box->checkBox();
        QVERIFY(check);
        QCOMPARE(check->text(), QStringLiteral("Do not show this again during this run"));
        if (shown == m_checkAt)
            QTest::mouseClick(check, Qt::LeftButton);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    }
    int m_checkAt;
    QTimer m_timer;
};

// The worker's calls, handed on to the window unchanged; the log lines the
// run made are kept, in order, as the window shows their text.
class TLineRecorder : public TForwardingWindow
{
public:
    using TForwardingWindow::TForwardingWindow;

    QStringList Lines()
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

    void AppendRunLog(TLogKind kind, const std::string &line) override
    {
        Keep(line);
        TForwardingWindow::AppendRunLog(kind, line);
    }
    void AppendResultLine(TReportResult result, const std::string &line) override
    {
        Keep(line);
        TForwardingWindow::AppendResultLine(result, line);
    }

private:
    void Keep(const std::string &line)
    {
        std::lock_guard lock(m_mutex);
        m_lines << QString::fromStdString(line); // as a list decodes it
    }
    std::mutex m_mutex;
    QStringList m_lines;
};

} // namespace

class VerifyLogTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // Turned on while 10,000 pairs are being compared, the filter hides
    // every match line so far and every one that comes after, keeps the
    // problem lines and the run-log lines in order, and the log still
    // follows the run; off again, the full log is back.
    void problemsOnlyKeepsUpDuringARun()
    {
        QvlTest::TempTree tree;
        const int files = 10000;
        for (int i = 0; i < files; ++i) {
            const std::string name = "f" + std::to_string(i);
            QVERIFY(tree.createFile("src/" + name, "x"));
            if (i % 1000 != 7)
                QVERIFY(tree.createFile("dst/" + name, i % 50 == 3 ? "y" : "x"));
        }
        MainFormFixture f;
        // Held after 2,000 pairs, so that most of the run comes after the
        // filter went on.
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 2000;
        Run(f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QListView *log = f.ui()->ListBoxV;
        QVERIFY(QTest::qWaitFor([&] { return holder.held && log->model()->rowCount() > 2000; }, 60000));
        QVERIFY(Run(f).Running());
        MenuItem(f, "Show Problems Only")->trigger();
        QVERIFY(Run(f).ProblemsOnlyAction()->isChecked());
        QCOMPARE(Lines(log), Problems(Run(f).VerifyLog()));
        const qsizetype atFilter = Run(f).VerifyLog().size();
        Run(f).Worker()->Continue();
        QVERIFY(WaitForEnd(f));
        QVERIFY(Run(f).VerifyLog().size() > atFilter + 5000);

        const QStringList all = Run(f).VerifyLog();
        QCOMPARE(all.filter(QStringLiteral("Files Match - ")).size(), files - files / 1000 - files / 50);
        const QStringList shown = Lines(log);
        QCOMPARE(shown, Problems(all));
        QCOMPARE(shown.filter(QStringLiteral("Target Missing - ")).size(), files / 1000);
        QCOMPARE(shown.filter(QStringLiteral("Files Differ - ")).size(), files / 50);
        // Following the run: the last line is in view.
        QScrollBar *bar = log->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(log->visualRect(Row(log, log->model()->rowCount() - 1)).intersects(log->viewport()->rect()));

        // Scrolled away to a problem line, then back to the full log: the
        // same line stays at the top.
        const QModelIndex problem = log->model()
                                        ->match(Row(log, 0), Qt::DisplayRole, QStringLiteral("Target Missing - "), -1,
                                                Qt::MatchStartsWith)
                                        .at(3);
        const QString problemLine = problem.data().toString();
        QTest::keyClick(log, Qt::Key_Home);
        log->scrollTo(problem, QAbstractItemView::PositionAtTop);
        Run(f).ListBoxVScroll(0);
        const auto topLine = [&] { return log->indexAt(QPoint(0, 0)).data().toString(); };
        QCOMPARE(topLine(), problemLine);
        MenuItem(f, "Show Problems Only")->trigger();
        QCOMPARE(Lines(log), all);
        QCOMPARE(topLine(), problemLine);
        // And filtered again from a match line at the top: the next problem
        // takes its place.
        const int matchRow = int(all.indexOf(problemLine)) + 1;
        QVERIFY(all[matchRow].startsWith(QLatin1String("Files Match - ")));
        log->scrollTo(Row(log, matchRow), QAbstractItemView::PositionAtTop);
        QCOMPARE(topLine(), all[matchRow]);
        MenuItem(f, "Show Problems Only")->trigger();
        const QStringList after = all.mid(matchRow);
        QCOMPARE(topLine(), Problems(after).first());
    }

    // A run with every sort of line: matches, contents and lengths that
    // differ, a Target file missing, a file that cannot be read, an entry
    // that is no file, the run's steps and totals. The log shows every line
    // the run made, in order, and saves exactly those; "Show Problems"
    // shows what the text filter of earlier versions showed (no name here
    // reads like a result line), and Select All and Copy take just those.
    void logShowsSavesAndFiltersTheLinesOfARun()
    {
        QvlTest::TempTree tree;
        for (const char *name : {"a", "b", "sub/c", "sub/deep/d"}) {
            QVERIFY(tree.createFile(std::string("src/") + name, name));
            QVERIFY(tree.createFile(std::string("dst/") + name, name));
        }
        QVERIFY(tree.createFile("src/differ", "1234"));
        QVERIFY(tree.createFile("dst/differ", "1235"));
        QVERIFY(tree.createFile("src/length", "1234"));
        QVERIFY(tree.createFile("dst/length", "12345"));
        QVERIFY(tree.createFile("src/only in source", "o"));
        QVERIFY(tree.createFile("src/cafÃ©", "u"));
        QVERIFY(tree.createFile("dst/cafÃ©", "u"));
        QCOMPARE(::symlink("/proc/self/mem", tree.path("src/unreadable").c_str()), 0);
        QVERIFY(tree.createFile("dst/unreadable"));
        QCOMPARE(::mkfifo(tree.path("src/fifo").c_str(), 0644), 0);

        MainFormFixture f;
        TLineRecorder recorder(Run(f).Bridge());
        Run(f).Environment().WorkerWindow = &recorder;
        TFileErrorAnswerer answerer(0);
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        QCOMPARE(answerer.shown, 1);
        const QStringList made = recorder.Lines();
        for (const char *begins : {"Files Match - ", "Files Differ - ", "Lengths Differ - ", "Target Missing - "})
            QVERIFY2(!made.filter(QRegularExpression(QStringLiteral("^") + begins)).isEmpty(), begins);
        for (const char *event : {" Begin verify - ", " File could not be read - ", " Skipped, not a regular file - ",
                                  " Total number of files checked = 9", " End file operations."})
            QVERIFY2(!made.filter(QLatin1String(event)).isEmpty(), event);

        QListView *log = f.ui()->ListBoxV;
        QCOMPARE(Lines(log), made);
        QCOMPARE(Run(f).VerifyLog(), made);

        const QString saved = MainFormFixture::Q(tree.path("log.txt"));
        Run(f).Environment().AskSaveFileName = [&](QWidget *, const QString &, const QString &, const QString &) {
            return saved;
        };
        const auto savedBytes = [&] {
            QFile file(saved);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(not saved)");
        };
        MenuItem(f, "Save Log As...")->trigger();
        QCOMPARE(savedBytes(), (made.join('\n') + "\n").toUtf8());

        auto *showProblems = Run(f).VerdictStrip()->findChild<QPushButton *>(QStringLiteral("ShowProblemsBtn"));
        QVERIFY(showProblems && showProblems->isVisible());
        showProblems->click();
        QVERIFY(Run(f).ProblemsOnlyAction()->isChecked());
        QCOMPARE(Lines(log), Problems(made));
        QCOMPARE(Lines(log).size(), made.size() - 5);
        log->setFocus();
        QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
        QApplication::clipboard()->clear();
        QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), Problems(made).join('\n') + "\n");
        // Saved while filtered: still every line.
        QVERIFY(QFile::remove(saved));
        MenuItem(f, "Save Log As...")->trigger();
        QCOMPARE(savedBytes(), (made.join('\n') + "\n").toUtf8());

        MenuItem(f, "Show Problems Only")->trigger();
        QCOMPARE(Lines(log), made);
    }

    // What the run says a line is decides whether it is a problem, not its
    // text: a match whose name holds "Files Match - ", a note or a pair
    // that differs whose text begins with it, each told through the
    // worker's own calls, before the filter is on and after.
    void problemsOnlyGoesByTheKindOfEachLine()
    {
        MainFormFixture f;
        TRunControl &rc = Run(f);
        f.form->ShowVerifyView(true);
        IVerifyWindow &worker = rc.Bridge();
        const auto tell = [&](int round) {
            const std::string n = std::to_string(round);
            worker.AppendResultLine(TReportResult::Match, "Files Match - /t/x - Files Match - " + n);
            worker.AppendRunLog(TLogKind::Note, "Files Match - a note " + n);
            worker.AppendResultLine(TReportResult::Differ, "Files Match - differs " + n);
            worker.AppendResultLine(TReportResult::TargetMissing, "Target Missing - /t/Files Match - " + n);
            worker.AppendRunLog(TLogKind::Summary, "Files Match - a total " + n);
            rc.FlushDisplay();
        };
        const auto problems = [](int round) {
            const QString n = QString::number(round);
            return QStringList {"Files Match - a note " + n, "Files Match - differs " + n,
                                "Target Missing - /t/Files Match - " + n, "Files Match - a total " + n};
        };
        tell(1);
        QCOMPARE(Lines(f.ui()->ListBoxV).size(), 5);
        rc.ProblemsOnlyAction()->setChecked(true);
        QCOMPARE(Lines(f.ui()->ListBoxV), problems(1));
        tell(2);
        QCOMPARE(Lines(f.ui()->ListBoxV), problems(1) + problems(2));
        rc.ProblemsOnlyAction()->setChecked(false);
        QCOMPARE(Lines(f.ui()->ListBoxV).size(), 10);
    }

    // The labels over the bars name the pair being compared: a name with a
    // newline or an escape character is shown on one line, escaped, as in
    // the log. Read while the "File Error" box about that pair is up.
    void pathLabelsShowANameOnOneLine()
    {
        QvlTest::TempTree tree;
        const std::string name = "new\nline\x1b[2J";
        QCOMPARE(::mkdir(tree.path("src").c_str(), 0755), 0);
        QCOMPARE(::symlink("/proc/self/mem", tree.path("src/" + name).c_str()), 0);
        QVERIFY(tree.createFile("dst/" + name));
        MainFormFixture f;
        f.form->resize(1400, f.form->height());
        QStringList labels;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            labels = {f.ui()->SourcePath->text(), f.ui()->TargetPath->text()};
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        answer.start(10);
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        const QStringList expected = {MainFormFixture::Q(tree.path("src/new\\nline\\x1B[2J")),
                                      MainFormFixture::Q(tree.path("dst/new\\nline\\x1B[2J"))};
        QCOMPARE(labels, expected);
    }

    // Copy takes the selected lines that are shown, in order; Save Log As
    // writes every line of the log, the run-log lines with them, exactly.
    void copyAndSaveTheLog()
    {
        QvlTest::TempTree tree;
        for (const char *name : {"a", "b", "c", "d"}) {
            QVERIFY(tree.createFile(std::string("src/") + name, name));
            QVERIFY(tree.createFile(std::string("dst/") + name, name));
        }
        QVERIFY(tree.createFile("src/new\nFiles Match - forged", "n"));
        QVERIFY(tree.createFile("src/e\x1b[2Jscape", "e"));
        MainFormFixture f;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        QListView *log = f.ui()->ListBoxV;
        const QStringList all = Run(f).VerifyLog();
        QCOMPARE(Lines(log), all);
        const QString src = MainFormFixture::Q(tree.path("src"));
        const QString dst = MainFormFixture::Q(tree.path("dst"));
        // A name with a control character is one line, escaped.
        QVERIFY(all.contains("Target Missing - " + dst + "/new\\nFiles Match - forged"));
        QVERIFY(all.contains("Target Missing - " + dst + "/e\\x1B[2Jscape"));
        QCOMPARE(all.filter(QStringLiteral("forged")).size(), 1);
        for (const QString &line : all)
            QVERIFY2(!line.contains(QLatin1Char('\n')) && !line.contains(QChar(0x1b)), qPrintable(line));

        // Two lines picked with the mouse, copied with the keyboard.
        log->setFocus();
        const int match = int(all.indexOf(QRegularExpression(QStringLiteral("Files Match - .*"))));
        const int problem = int(all.indexOf(QRegularExpression(QStringLiteral("Target Missing - .*"))));
        QVERIFY(match >= 0 && problem >= 0);
        const int first = std::min(match, problem), second = std::max(match, problem);
        QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, log->visualRect(Row(log, first)).center());
        QTest::mouseClick(log->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          log->visualRect(Row(log, second)).center());
        QApplication::clipboard()->clear();
        QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), all[first] + "\n" + all[second] + "\n");

        // Only the problems shown: everything selected is every problem.
        Run(f).ProblemsOnlyAction()->setChecked(true);
        QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(log->selectionModel()->selectedRows().size(), Problems(all).size());
        MenuItem(f, "Copy")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), Problems(all).join('\n') + "\n");

        // Saved while filtered: the whole log, as it is, with the run-log
        // lines that the log pane shows too.
        const QString saved = MainFormFixture::Q(tree.path("log.txt"));
        QStringList asked;
        QStringList proposed;
        Run(f).Environment().AskSaveFileName = [&](QWidget *, const QString &caption, const QString &,
                                                   const QString &name) {
            asked << caption;
            proposed << name;
            return saved;
        };
        MenuItem(f, "Save Log As...")->trigger();
        QCOMPARE(asked, QStringList {"Save Log As"});
        // The proposed name says what it is, of which Target and when.
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(proposed, QStringList {"quorvel-log-dst-" + today + ".txt"});
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes, (all.join('\n') + "\n").toUtf8());
        for (const QString &runLine : Lines(f.ui()->ListLog).mid(Lines(f.ui()->ListLog).size() - 5))
            QVERIFY(all.contains(runLine));

        // Ctrl+S asks again; a file that cannot be written is told, not
        // taken for saved.
        Run(f).Environment().AskSaveFileName = [&](QWidget *, const QString &, const QString &, const QString &) {
            return MainFormFixture::Q(tree.path("no/such/folder/log.txt"));
        };
        f.boxes.clear();
        QTest::keyClick(log, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.boxes.size(), std::size_t(1));
        QCOMPARE(f.boxes.back().caption, QStringLiteral("Save Log As"));
        QVERIFY(f.boxes.back().text.contains(MainFormFixture::Q(tree.path("no/such/folder/log.txt"))));
        // A cancelled dialog writes nothing.
        Run(f).Environment().AskSaveFileName = [&](QWidget *, const QString &, const QString &, const QString &) { return QString(); };
        MenuItem(f, "Save Log As...")->trigger();
        QCOMPARE(f.boxes.size(), std::size_t(1));

        // The report of the run: one row per pair, the same writer as the
        // command line's.
        QVERIFY(MenuItem(f, "Save Report As...")->isEnabled());
        const QString report = MainFormFixture::Q(tree.path("report.csv"));
        Run(f).Environment().AskSaveFileName = [&](QWidget *, const QString &, const QString &, const QString &name) {
            proposed << name;
            return report;
        };
        MenuItem(f, "Save Report As...")->trigger();
        QFile csv(report);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        std::string expected = ReportHeader();
        for (const TReportRow &row : Run(f).ReportRows())
            expected += ReportRecord(row);
        QCOMPARE(csv.readAll().toStdString(), expected);
        QCOMPARE(proposed.last(), "quorvel-report-dst-" + today + ".csv");
        QCOMPARE(Run(f).ReportRows().size(), std::size_t(6));
        QVERIFY(expected.find("target-missing," + tree.path("src/new\\nFiles Match - forged")) != std::string::npos);

        // A new run has no report until it ends.
        f.ui()->ReturnBitBtn->click();
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(!MenuItem(f, "Save Report As...")->isEnabled());
        QVERIFY(WaitForEnd(f));
        QVERIFY(MenuItem(f, "Save Report As...")->isEnabled());
    }

    // Three files that cannot be read: the box names each file; checked
    // once, it shows no more in that run, and the log still names them all
    // and counts them. The next run shows the box again.
    void fileErrorBoxCanBeSilencedForOneRun()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("src/a", "a"));
        QVERIFY(tree.createFile("dst/a", "a"));
        for (const char *name : {"m1", "m2", "m3"}) {
            // The kernel opens it, but refuses to read it.
            QCOMPARE(::symlink("/proc/self/mem", tree.path(std::string("src/") + name).c_str()), 0);
            QVERIFY(tree.createFile(std::string("dst/") + name));
        }
        MainFormFixture f;
        {
            TFileErrorAnswerer answerer(1);
            QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
            QVERIFY(WaitForEnd(f));
            QCOMPARE(answerer.shown, 1);
            QVERIFY(answerer.texts.first().startsWith(
                "File Error: Can't perform one of the following file operations: Open, Seek, Read, Close.\n\n"
                + MainFormFixture::Q(tree.path("src/m"))));
            QVERIFY(answerer.texts.first().endsWith(" (Input/output error)"));
        }
        const QStringList log = Lines(f.ui()->ListBoxV);
        QCOMPARE(log.filter(QStringLiteral("File could not be read - ")).size(), 3);
        QCOMPARE(log.filter(QStringLiteral("Total number of files that could not be read = 3")).size(), 1);
        QCOMPARE(f.boxes.back().text, QStringLiteral("Operation Completed!   "));

        f.ui()->ReturnBitBtn->click();
        TFileErrorAnswerer again(0);
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        QCOMPARE(again.shown, 3);
    }
};

QVL_TEST_MAIN(VerifyLogTest)
#include "VerifyLogTest.moc"
