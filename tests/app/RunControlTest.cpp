// A verify run through the real main window, offscreen: the checks at Start,
// the progress display, pause and cancel, the delete confirmation and the end
// of the run. Every dialog is answered by the test; the worker is held at
// chosen calls by a window put between it and the main window.
#include "tests/app/HoldingWindow.h"
#include "tests/app/MainFormFixture.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include "app/CancelMessageForm.h"
#include "app/DeleteMsgForm.h"
#include "app/QvlMainRun.h"
#include "ui_CancelMessageForm.h"
#include "ui_DeleteMsgForm.h"

#include "engine/InfoThread.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>

#include <sys/mount.h>

#include <QDeadlineTimer>

#include <atomic>
#include <functional>
#include <deque>
#include <fstream>
#include <sstream>

using QvlTest::MainFormFixture;

namespace {

// What a run dialog looked like when it came up.
struct SeenDialog {
    QString caption;
    int height = 0;
    int width = 0;
    bool checkBoxVisible = false;
    bool continueEnabledWhenChecked = true;
    QString label1, label2, continueText, cancelText;
    int label1X = 0, label1Width = 0, label2X = 0, label2Width = 0;
    // The buttons Enter presses and that has the focus, by their names.
    QString defaultButton, focusButton;
    // Every text has the room its size hint asks for, inside the dialog.
    bool textsFit = false;
};

// Reads what every run dialog shows: caption, size, the default and the
// focused button, and whether its texts have room.
void Look(QDialog *dialog, QPushButton *ok, QPushButton *cancel, const QList<QWidget *> &texts, SeenDialog &s)
{
    s.caption = dialog->windowTitle();
    s.height = dialog->height();
    s.width = dialog->width();
    for (QPushButton *b : {ok, cancel})
        if (b->isDefault())
            s.defaultButton = b->objectName();
    s.focusButton = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
    s.textsFit = true;
    for (QWidget *w : texts + QList<QWidget *>{ok, cancel})
        if (!w->isHidden())
            s.textsFit = s.textsFit && w->width() >= w->sizeHint().width()
                && w->height() >= w->fontMetrics().height() && dialog->rect().contains(w->geometry());
}

// Answers the run dialogs as they come up (polling for the active modal
// widget): the cancel dialog with Continue, Cancel, or "delete so far" and
// Cancel; the two-line confirmation with OK or Cancel. Answers queued in
// `next` come first, as a user gives them: a mouse click on a button (which
// takes the focus) or Enter.
class DialogAnswerer
{
public:
    enum TCancelAnswer { Continue, Cancel, DeleteSoFar };
    TCancelAnswer cancelAnswer = Cancel;
    bool confirm = false;
    enum TUserAnswer { ClickContinue, ClickCancel, PressEnter };
    std::deque<TUserAnswer> next;
    std::vector<SeenDialog> seen;

    DialogAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start(10);
    }

private:
    // Gives a queued answer; false when none is queued.
    bool AnswerAsUser(QDialog *dialog, QPushButton *ok, QPushButton *cancel)
    {
        if (next.empty())
            return false;
        const TUserAnswer answer = next.front();
        next.pop_front();
        if (answer == PressEnter)
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Return);
        else
            QTest::mouseClick(answer == ClickContinue ? ok : cancel, Qt::LeftButton);
        return true;
    }

    void Poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *cancel = qobject_cast<TCancelForm *>(modal)) {
            Ui::TCancelForm *ui = cancel->ui;
            SeenDialog s;
            Look(cancel, ui->ContinueBtn, ui->CancelBitBtn, {ui->Label1, ui->CheckBoxDeleteOnCancel}, s);
            s.checkBoxVisible = ui->CheckBoxDeleteOnCancel->isVisible();
            if (!next.empty()) {
                seen.push_back(s);
                AnswerAsUser(cancel, ui->ContinueBtn, ui->CancelBitBtn);
                return;
            }
            if (cancelAnswer == DeleteSoFar) {
                QTest::mouseClick(ui->CheckBoxDeleteOnCancel, Qt::LeftButton, {},
                                  QPoint(5, ui->CheckBoxDeleteOnCancel->height() / 2));
                s.continueEnabledWhenChecked = ui->ContinueBtn->isEnabled();
            }
            seen.push_back(s);
            (cancelAnswer == Continue ? ui->ContinueBtn : ui->CancelBitBtn)->click();
        } else if (auto *box = qobject_cast<TDeleteBox *>(modal)) {
            Ui::TDeleteBox *ui = box->ui;
            SeenDialog s;
            Look(box, ui->ContinueBtn, ui->CancelBitBtn, {}, s);
            s.label1 = ui->Label1->text();
            s.label2 = ui->Label2->text();
            s.continueText = ui->ContinueBtn->text();
            s.cancelText = ui->CancelBitBtn->text();
            s.label1X = ui->Label1->x();
            s.label1Width = ui->Label1->width();
            s.label2X = ui->Label2->x();
            s.label2Width = ui->Label2->width();
            s.textsFit = s.textsFit && s.label1X >= 0 && s.label2X >= 0
                && s.label1X + s.label1Width <= s.width && s.label2X + s.label2Width <= s.width;
            seen.push_back(s);
            if (!AnswerAsUser(box, ui->ContinueBtn, ui->CancelBitBtn))
                (confirm ? ui->ContinueBtn : ui->CancelBitBtn)->click();
        }
    }

    QTimer m_timer;
};

QStringList Items(const QAbstractItemView *list)
{
    return QvlTest::ShownLines(list);
}

// The run-log lines of a list without their "hh:mm:ss " stamps; lines
// without a stamp are left out.
QStringList Stamped(const QAbstractItemView *list)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d "));
    QStringList out;
    for (const QString &line : Items(list))
        if (stamp.match(line).hasMatch())
            out << line.mid(9);
    return out;
}

// The drive part of a tree as the delete confirmation names it: "/" for the
// root file system.
QString DriveText(const QvlTest::TempTree &tree)
{
    const std::string drive = DrivePart(tree.root());
    return drive.empty() ? QStringLiteral("/") : MainFormFixture::Q(drive);
}

// Calls `seen` with every event that reaches `watched`, before it is
// handled, while the watch lives.
class TEventWatch : public QObject
{
public:
    TEventWatch(QObject *watched, std::function<void(QEvent *)> seen) : m_seen(std::move(seen))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        m_seen(event);
        return false;
    }

private:
    std::function<void(QEvent *)> m_seen;
};

bool Exists(const std::string &path)
{
    return QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(path)));
}

} // namespace

class RunControlTest : public QObject
{
    Q_OBJECT

private:
    // Source with three matching files, in a Target copy.
    static void MakeMatchingTrees(const QvlTest::TempTree &tree)
    {
        for (const char *name : {"a.txt", "b.txt", "c.txt"}) {
            QVERIFY(tree.createFile(std::string("src/") + name, QByteArray(name) + " content"));
            QVERIFY(tree.createFile(std::string("dst/") + name, QByteArray(name) + " content"));
        }
    }

    static TRunControl &Run(MainFormFixture &f) { return *f.form->RunControl; }

    // Types both paths and presses Start.
    static bool Start(MainFormFixture &f, const std::string &source, const std::string &target)
    {
        return f.StartRun(source, target);
    }

    static bool WaitForEnd(MainFormFixture &f) { return f.WaitForRunEnd(); }

    static QString LastBoxText(const MainFormFixture &f)
    {
        return f.boxes.empty() ? QString() : f.boxes.back().text;
    }

    static void SetDeleteMode(MainFormFixture &f, DeleteMode mode)
    {
        QRadioButton *radio = mode == DeleteMode::Source   ? f.ui()->RadioDelSource
                              : mode == DeleteMode::Target ? f.ui()->RadioDelTarget
                                                           : f.ui()->RadioDelNone;
        radio->click();
        QCOMPARE(Run(f).CurrentDeleteMode(), mode);
    }

    // The verdict strip above the log says in words how the run ended; its
    // "verdict" property names the colour it is tinted with.
    static QString VerdictText(MainFormFixture &f)
    {
        return Run(f).VerdictStrip()->findChild<QLabel *>(QStringLiteral("VerdictText"))->text();
    }
    static QPushButton *ShowProblemsButton(MainFormFixture &f)
    {
        return Run(f).VerdictStrip()->findChild<QPushButton *>(QStringLiteral("ShowProblemsBtn"));
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
    }

    void runShowsTotalsCountsAndBothLogs()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("src/same.txt", "identical"));
        QVERIFY(tree.createFile("dst/same.txt", "identical"));
        QVERIFY(tree.createFile("src/sub/deep.txt", "deep one"));
        QVERIFY(tree.createFile("dst/sub/deep.txt", "deep one"));
        QVERIFY(tree.createFile("src/differ.txt", "abcdef"));
        QVERIFY(tree.createFile("dst/differ.txt", "abcxef"));
        QVERIFY(tree.createFile("src/length.txt", "1234"));
        QVERIFY(tree.createFile("dst/length.txt", "12345"));
        QVERIFY(tree.createFile("src/only.txt", "0123456789"));

        MainFormFixture f;
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 4;
        Run(f).Environment().WorkerWindow = &holder;
        f.ui()->SourceTreeView->SetSelection(tree.path("src/sub"));
        f.ui()->TargetTreeView->SetSelection(tree.path("dst"));
        QCOMPARE(f.ui()->SourceTreeView->Selection(), tree.path("src/sub"));
        // Relative paths: the run resolves them at Start, before the trees
        // make other folders current.
        QDir::setCurrent(MainFormFixture::Q(tree.root()));
        QVERIFY(Start(f, "src", "dst"));

        // Held before the last pair: the file total reads checked/gathered.
        QVERIFY(f.ui()->PanelVerify->isVisible());
        QVERIFY(!f.ui()->PanelMain->isVisible());
        QVERIFY(!f.ui()->MenuView->menuAction()->isVisible());
        QVERIFY(!f.ui()->MenuSettings->menuAction()->isVisible());
        QTRY_COMPARE(f.ui()->TotalFiles->text(), QStringLiteral("4/5"));
        QCOMPARE(f.ui()->TotalDir->text(), QStringLiteral("1"));
        QVERIFY(!f.ui()->ReturnBitBtn->isEnabled());
        QVERIFY(f.ui()->CancelBitBtn->isEnabled());
        const std::string driveRoot = DrivePart(tree.root()) + "/";
        QCOMPARE(IncludeTrailingSlash(f.ui()->SourceTreeView->Selection()), driveRoot);
        QCOMPARE(IncludeTrailingSlash(f.ui()->TargetTreeView->Selection()), driveRoot);
        Run(f).Worker()->Continue();
        QVERIFY(WaitForEnd(f));

        QCOMPARE(f.ui()->TotalFiles->text(), QStringLiteral("5"));
        QCOMPARE(f.ui()->TotalDir->text(), QStringLiteral("1"));
        QCOMPARE(f.ui()->TotalSize->text(), QStringLiteral("37"));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("2"));
        QCOMPARE(f.ui()->Different->text(), QStringLiteral("2"));
        QCOMPARE(f.ui()->Missing->text(), QStringLiteral("1"));
        QCOMPARE(f.ui()->SourcePath->text(), QString());

        const QString src = MainFormFixture::Q(tree.path("src"));
        const QString dst = MainFormFixture::Q(tree.path("dst"));
        const QStringList verifyLog = Items(f.ui()->ListBoxV);
        for (const QString &line : {"Files Match - " + dst + "/same.txt", "Files Match - " + dst + "/sub/deep.txt",
                                    "Files Differ - " + src + "/differ.txt",
                                    "Lengths Differ - " + src + "/length.txt",
                                    "Target Missing - " + dst + "/only.txt"})
            QVERIFY2(verifyLog.contains(line), qPrintable(line));

        const QStringList runLog = {
            "Begin verify - Source: \"" + src + "\" - Target: \"" + dst + "\"",
            QStringLiteral("Gathering file information."),
            QStringLiteral("Begin folder and file comparison."),
            QStringLiteral("Total number of files checked = 5"),
            QStringLiteral("Total number of matching files = 2"),
            QStringLiteral("Total number of missing files = 1"),
            QStringLiteral("Total number of different files = 2"),
        };
        const QAbstractItemView *lists[] = {f.ui()->ListBoxV, f.ui()->ListLog};
        for (const QAbstractItemView *list : lists) {
            const QStringList lines = Stamped(list);
            QCOMPARE(lines.mid(lines.indexOf(runLog.first()), runLog.size()), runLog);
            QVERIFY(QRegularExpression(QStringLiteral("^End file operations. Total elapsed time = "
                                                      "\\d\\d:\\d\\d:\\d\\d:\\d\\d\\d \\.$"))
                        .match(lines.last())
                        .hasMatch());
        }
        QVERIFY(!Items(f.ui()->ListLog).join('\n').contains(QStringLiteral("Files Match")));

        const QvlTest::RecordedBox &done = f.boxes.back();
        QCOMPARE(done.text, QStringLiteral("Operation Completed!   "));
        QCOMPARE(done.caption, f.form->windowTitle());
        QCOMPARE(done.icon, int(QMessageBox::Information));
        QVERIFY(f.ui()->ReturnBitBtn->isEnabled());
        QVERIFY(!f.ui()->CancelBitBtn->isEnabled());
        QCOMPARE(Run(f).ListBoxVTag(), 0);
    }

    void pathLabelsShortenedToTheirWidth()
    {
        QvlTest::TempTree tree;
        const std::string deep = "long-" + std::string(160, 'n') + "/end";
        for (const char *name : {"one.txt", "two.txt"}) {
            QVERIFY(tree.createFile("src/" + deep + "/" + name, "same"));
            QVERIFY(tree.createFile("dst/" + deep + "/" + name, "same"));
        }
        MainFormFixture f;
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 1;
        Run(f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QTRY_VERIFY(holder.held);
        QTRY_VERIFY(f.ui()->SourcePath->text().contains(QChar(0x2026)));

        // Held after the first pair: the labels show it, shortened in the
        // middle to the width of SourcePath.
        auto shortened = [&](QLabel *label, const std::string &side) {
            for (const char *name : {"one.txt", "two.txt"}) {
                const QString full = MainFormFixture::Q(tree.path(side + "/" + deep + "/" + name));
                if (label->text()
                    == label->fontMetrics().elidedText(full, Qt::ElideMiddle, f.ui()->SourcePath->width()))
                    return true;
            }
            return false;
        };
        QVERIFY(shortened(f.ui()->SourcePath, "src"));
        QVERIFY(shortened(f.ui()->TargetPath, "dst"));
        const QString narrow = f.ui()->SourcePath->text();
        f.form->resize(f.form->width() + 200, f.form->height());
        QTRY_VERIFY(f.ui()->SourcePath->text().size() > narrow.size());
        QVERIFY(shortened(f.ui()->SourcePath, "src"));

        Run(f).Worker()->Continue();
        QVERIFY(WaitForEnd(f));
        QCOMPARE(f.ui()->SourcePath->text(), QString());
        QCOMPARE(f.ui()->TargetPath->text(), QString());
    }

    void singleFileRun()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("one/file.bin", QByteArray(3000, 'q')));
        QVERIFY(tree.createFile("two/file.bin", QByteArray(3000, 'q')));
        MainFormFixture f;
        QVERIFY(Start(f, tree.path("one/file.bin"), tree.path("two/file.bin")));
        QVERIFY(WaitForEnd(f));
        const QStringList lines = Stamped(f.ui()->ListBoxV);
        QVERIFY(lines.contains(QStringLiteral("Begin file comparison.")));
        QVERIFY(!lines.contains(QStringLiteral("Begin folder and file comparison.")));
        QVERIFY(Items(f.ui()->ListBoxV).contains("Files Match - " + MainFormFixture::Q(tree.path("two/file.bin"))));
        QCOMPARE(f.ui()->TotalFiles->text(), QStringLiteral("1"));
        QCOMPARE(f.ui()->TotalSize->text(), QStringLiteral("3,000"));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("1"));
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Completed!   "));
        // The path selection is reset for the next run.
        QVERIFY(f.ui()->EditSource->text().isEmpty());
        QVERIFY(f.ui()->EditTarget->text().isEmpty());
        QVERIFY(!f.ui()->StartBtn->isEnabled());
    }

    // A short run on a busy machine can be over before Start has looked
    // whether its thread started. Made certain here: when Start enables
    // Cancel (right after starting the worker) the test waits until the
    // worker has ended. The run is still a run that ended: its whole log,
    // its counts and "Operation Completed!", never "Cannot create thread".
    void runOverBeforeStartHasLookedEndsAsRun()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("one/file.bin", QByteArray(3000, 'q')));
        QVERIFY(tree.createFile("two/file.bin", QByteArray(3000, 'q')));
        MainFormFixture f;
        f.ui()->CancelBitBtn->setEnabled(false); // as every run leaves it
        bool waited = false;
        TEventWatch watch(f.ui()->CancelBitBtn, [&](QEvent *event) {
            if (event->type() == QEvent::EnabledChange && f.ui()->CancelBitBtn->isEnabled() && Run(f).Worker())
                waited = Run(f).Worker()->wait(QDeadlineTimer(10000));
        });
        QVERIFY(Start(f, tree.path("one/file.bin"), tree.path("two/file.bin")));
        QVERIFY(waited);
        QVERIFY(WaitForEnd(f));
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Completed!   "));
        const QStringList lines = Stamped(f.ui()->ListBoxV);
        QVERIFY(lines.contains(QStringLiteral("Begin file comparison.")));
        QVERIFY(!lines.isEmpty() && lines.last().startsWith(QStringLiteral("End file operations.")));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("1"));
        QCOMPARE(Run(f).ReportRows().size(), std::size_t(1));
        QVERIFY(f.ui()->EditSource->text().isEmpty());
    }

    void verdictOfAnExactCopyInADarkPalette()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        QPalette dark = f.form->palette();
        dark.setColor(QPalette::Window, QColor(0x2a, 0x2a, 0x2a));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        f.form->setPalette(dark);
        QVERIFY(!Run(f).VerdictStrip()->isVisible());
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        QVERIFY(Run(f).VerdictStrip()->isVisible());
        QCOMPARE(VerdictText(f), QStringLiteral("All 3 files are identical (39 bytes)"));
        QCOMPARE(Run(f).VerdictStrip()->property("verdict").toString(), QStringLiteral("exact"));
        QVERIFY(!ShowProblemsButton(f)->isVisible());
        // Beside the completion box, which keeps its text.
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Completed!   "));
        // Tinted green, still dark; the palette's light text on it.
        const QPalette p = Run(f).VerdictStrip()->palette();
        const QColor back = p.color(QPalette::Window);
        QVERIFY(back.lightness() < 100);
        QVERIFY(back.green() > back.red() && back.green() > back.blue());
        QCOMPARE(p.color(QPalette::WindowText), dark.color(QPalette::WindowText));

        // The next run hides it until that run has ended.
        QTest::mouseClick(f.ui()->ReturnBitBtn, Qt::LeftButton);
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 1;
        Run(f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QTRY_VERIFY(holder.held);
        QVERIFY(!Run(f).VerdictStrip()->isVisible());
        Run(f).Worker()->Continue();
        QVERIFY(WaitForEnd(f));
        QVERIFY(Run(f).VerdictStrip()->isVisible());
    }

    void verdictOfADamagedCopyShowsItsProblems()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        QVERIFY(tree.createFile("src/d1.txt", "abcdef"));
        QVERIFY(tree.createFile("dst/d1.txt", "abcxef"));
        QVERIFY(tree.createFile("src/d2.txt", "1234"));
        QVERIFY(tree.createFile("dst/d2.txt", "12345"));
        QVERIFY(tree.createFile("src/gone.txt", "only here"));
        MainFormFixture f;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        QCOMPARE(VerdictText(f), QStringLiteral("Not an exact copy: 2 differ, 1 missing"));
        QCOMPARE(Run(f).VerdictStrip()->property("verdict").toString(), QStringLiteral("damaged"));
        const QColor back = Run(f).VerdictStrip()->palette().color(QPalette::Window);
        QVERIFY(back.red() > back.green() && back.red() > back.blue());
        QVERIFY(ShowProblemsButton(f)->isVisible());
        QVERIFY(!Run(f).ProblemsOnlyAction()->isChecked());
        QCOMPARE(Items(f.ui()->ListBoxV).filter(QStringLiteral("Files Match - ")).size(), 3);
        QTest::mouseClick(ShowProblemsButton(f), Qt::LeftButton);
        QVERIFY(Run(f).ProblemsOnlyAction()->isChecked());
        QVERIFY(Items(f.ui()->ListBoxV).filter(QStringLiteral("Files Match - ")).isEmpty());
        QVERIFY(!Items(f.ui()->ListBoxV).filter(QStringLiteral("Target Missing - ")).isEmpty());
    }

    void verdictTexts_data()
    {
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("unreadable");
        QTest::addColumn<int>("notDeleted");
        QTest::addColumn<bool>("permanent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("role");
        QTest::newRow("unreadable") << 4 << 1 << 0 << false
                                    << "Not proven: 1 file could not be read" << int(TVerdictRole::Unproven);
        QTest::newRow("nothing gathered") << 0 << 0 << 0 << false << "No files were compared"
                                          << int(TVerdictRole::Unproven);
        QTest::newRow("one file") << 1 << 0 << 0 << false << "The file is identical (2.0 kB)"
                                  << int(TVerdictRole::Exact);
        QTest::newRow("kept and permanent")
            << 1 << 0 << 2 << true
            << QStringLiteral("The file is identical (2.0 kB) \u2014 1 file deleted (some permanently: no Trash "
                              "there), 2 kept")
            << int(TVerdictRole::Exact);
    }

    void verdictTexts()
    {
        QFETCH(int, checked);
        QFETCH(int, unreadable);
        QFETCH(int, notDeleted);
        QFETCH(bool, permanent);
        TVerdictFigures figures;
        figures.files = checked;
        figures.checked = checked;
        figures.unreadable = unreadable;
        figures.matchedBytes = 2048;
        figures.notDeleted = notDeleted;
        figures.deleted = permanent ? 1 : 0;
        figures.permanent = permanent;
        const TRunVerdict v = RunVerdict(figures);
        QTEST(v.text, "text");
        QTEST(int(v.role), "role");
        QCOMPARE(v.problems, unreadable > 0);
    }

    // Ctrl+Return starts only when Start could be clicked; Ctrl+Q during a
    // run asks the cancel question, as File > Exit does, and after the run
    // closes the window.
    void keyboardStartsAndQuits()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        DialogAnswerer answerer;
        answerer.cancelAnswer = DialogAnswerer::Continue;
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 1;
        Run(f).Environment().WorkerWindow = &holder;
        f.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        f.ui()->EditSource->setText(MainFormFixture::Q(tree.path("src")));
        f.ui()->EditSource->setFocus();
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(!Run(f).Worker()); // Start is disabled: the Target is empty
        QVERIFY(f.ui()->PanelMain->isVisible());

        f.ui()->EditTarget->setText(MainFormFixture::Q(tree.path("dst")));
        QTest::keyClick(f.ui()->EditSource, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(f.ui()->PanelVerify->isVisible());
        QTRY_VERIFY(holder.held);

        QTest::keyClick(f.form.get(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Confirm Cancellation"));
        QVERIFY(f.form->isVisible());
        QVERIFY(WaitForEnd(f));
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Completed!   "));

        // The run's end goes on after its box is answered: until Return is
        // enabled, closing is a cancel request.
        QTRY_VERIFY(f.ui()->ReturnBitBtn->isEnabled());
        // The cancel dialog had the focus. A window counts as active while
        // a dialog of its own has it, even a hidden one, so wait for the
        // window itself: a shortcut of the window works only there.
        f.form->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(f.form.get()));
        QTest::keyClick(f.form.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!f.form->isVisible());
    }

    // After a run nothing is chosen; rebuilding the trees (F5, a mount
    // anywhere) must not choose what they show, the drive roots.
    void returnThenTreeResetLeavesTheBoxesEmpty_data()
    {
        QTest::addColumn<bool>("mount");
        QTest::newRow("F5") << false;
        QTest::newRow("a mount and an unmount") << true;
    }

    void returnThenTreeResetLeavesTheBoxesEmpty()
    {
        QFETCH(bool, mount);
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        QVERIFY(tree.createDir("mnt"));
        MainFormFixture f;
        f.ui()->SourceTreeView->SetSelection(tree.path("src"));
        f.ui()->TargetTreeView->SetSelection(tree.path("dst"));
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        QTest::mouseClick(f.ui()->ReturnBitBtn, Qt::LeftButton);
        QVERIFY(f.ui()->PanelMain->isVisible());
        QVERIFY(!f.ui()->SourceTreeView->Selection().empty()); // the drive root

        if (mount) {
            QvlTest::TmpfsMount tmpfs(tree.path("mnt"));
            if (!tmpfs.Mounted())
                QSKIP(tmpfs.Reason());
            for (int step = 0; step < 2; ++step) { // mounted, then unmounted
                if (step == 1)
                    QVERIFY(tmpfs.Unmount());
                QVERIFY(f.MountChangeHeard() && f.TreeResetDone());
                QVERIFY(f.ui()->EditSource->text().isEmpty());
                QVERIFY(f.ui()->EditTarget->text().isEmpty());
                QVERIFY(!f.ui()->StartBtn->isEnabled());
            }
        } else {
            f.form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
            QTest::keyClick(f.form.get(), Qt::Key_F5);
        }
        QVERIFY(f.ui()->EditSource->text().isEmpty());
        QVERIFY(f.ui()->EditTarget->text().isEmpty());
        QVERIFY(!f.ui()->StartBtn->isEnabled());
        QVERIFY(!f.ui()->SourceTreeView->Selection().empty()); // the trees kept theirs
        QCOMPARE(f.ui()->SourceFileListBox->Count(), 0);
    }

    // A run shorter than the trees' delay leaves their notification of the
    // drive roots pending; after the run nothing may come of it.
    void shortRunLeavesNoDelayedNotification()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        // The drive root the trees show during the run: a folder the test may
        // change.
        Run(f).Environment().DrivePartOf = [&tree](const std::string &) { return tree.root(); };
        f.ui()->SourceTreeView->SetSelection(tree.path("src"));
        f.ui()->TargetTreeView->SetSelection(tree.path("dst"));
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));
        for (TSystemTreeView *view : {f.ui()->SourceTreeView, f.ui()->TargetTreeView}) {
            QCOMPARE(view->Selection(), tree.root());
            QCOMPARE(view->TimerID(), 0); // nothing left to go out later
            QVERIFY(!view->WatchThread());
        }
        // A change in the folder the trees show reaches nobody.
        QVERIFY(tree.createDir("new"));
        QVERIFY(QDir(MainFormFixture::Q(tree.path("src"))).removeRecursively());
        QCoreApplication::processEvents();
        QVERIFY(f.ui()->EditSource->text().isEmpty());
        QVERIFY(f.ui()->EditTarget->text().isEmpty());
    }

    void identicalPathsAskFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("cancel") << int(QMessageBox::Cancel);
        QTest::newRow("ok") << int(QMessageBox::Ok);
    }

    void identicalPathsAskFirst()
    {
        QFETCH(int, answer);
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        f.answer = answer;
        QVERIFY(Start(f, tree.path("src"), tree.path("src")));
        QVERIFY(!f.boxes.empty());
        QCOMPARE(f.boxes.front().caption, f.form->windowTitle());
        QCOMPARE(f.boxes.front().text, QStringLiteral("The Source and Target are Identical!\nOk to continue?"));
        QCOMPARE(f.boxes.front().icon, int(QMessageBox::Question));
        QCOMPARE(f.boxes.front().buttons, int(QMessageBox::Ok | QMessageBox::Cancel));
        // The history is updated before the question.
        QCOMPARE(f.ui()->EditSourceHistory->count(), 1);
        QCOMPARE(f.ui()->EditSourceHistory->item(0)->text(), MainFormFixture::Q(tree.path("src")));
        if (answer == QMessageBox::Cancel) {
            QCOMPARE(f.boxes.size(), std::size_t(1));
            QVERIFY(f.ui()->PanelMain->isVisible());
            QVERIFY(!Run(f).Worker());
            return;
        }
        QVERIFY(WaitForEnd(f));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("3"));
    }

    void cancelDuringWalkEndsWithoutSummary()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        DialogAnswerer answerer;
        THoldingWindow holder(Run(f));
        holder.holdInWalk = true;
        Run(f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QTRY_VERIFY(holder.held && f.ui()->CancelBitBtn->isEnabled());
        QTest::mouseClick(f.ui()->CancelBitBtn, Qt::LeftButton);
        QVERIFY(WaitForEnd(f));

        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Confirm Cancellation"));
        QCOMPARE(answerer.seen[0].height, 97);
        QVERIFY(!answerer.seen[0].checkBoxVisible);
        QVERIFY(answerer.seen[0].textsFit);
        const QStringList lines = Items(f.ui()->ListBoxV);
        const QStringList log = Items(f.ui()->ListLog);
        for (const QString &text : {QStringLiteral(" Verify operation paused."), QStringLiteral(" Verify operation canceled.")}) {
            QCOMPARE(lines.filter(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d" + QRegularExpression::escape(text) + "$")).size(), 1);
            QCOMPARE(log.filter(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d" + QRegularExpression::escape(text) + "$")).size(), 1);
        }
        QVERIFY(lines.filter(QStringLiteral("Total number of")).isEmpty());
        QVERIFY(lines.filter(QStringLiteral("End file operations")).isEmpty());
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Canceled!   "));
        QVERIFY(Run(f).RunCanceled());
    }

    void cancelDuringComparison_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("finalText");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<QString>("verdict"); // the strip's text
        const QString canceled = QStringLiteral("Canceled after 2 of 3 files \u2014 nothing is proven for the rest");
        QTest::newRow("verify only") << int(DeleteMode::None) << int(DialogAnswerer::Cancel) << false << 97
                                     << "Operation Canceled!   " << 0 << canceled;
        QTest::newRow("delete mode, cancel") << int(DeleteMode::Target) << int(DialogAnswerer::Cancel) << false
                                             << 115 << "Operation Canceled!   " << 0 << canceled;
        QTest::newRow("delete so far, confirmed")
            << int(DeleteMode::Target) << int(DialogAnswerer::DeleteSoFar) << true << 115 << "Operation Completed!   "
            << 2 << canceled + QStringLiteral(" \u2014 2 files moved to the Trash");
        QTest::newRow("delete so far, refused") << int(DeleteMode::Target) << int(DialogAnswerer::DeleteSoFar)
                                                << false << 115 << "Operation Completed!   " << 0 << canceled;
        QTest::newRow("continue") << int(DeleteMode::None) << int(DialogAnswerer::Continue) << false << 97
                                  << "Operation Completed!   " << 0
                                  << QStringLiteral("All 3 files are identical (39 bytes)");
    }

    void cancelDuringComparison()
    {
        QFETCH(int, mode);
        QFETCH(int, answer);
        QFETCH(bool, confirm);
        QFETCH(int, height);
        QFETCH(QString, finalText);
        QFETCH(int, deleted);

        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        SetDeleteMode(f, DeleteMode(mode));
        int sounds = 0;
        Run(f).Environment().PlaySound = [&sounds] {
            ++sounds;
            return false;
        };
        Run(f).Environment().DriveTypeOf = [](const std::string &) { return dtFixed; };
        DialogAnswerer answerer;
        answerer.cancelAnswer = DialogAnswerer::TCancelAnswer(answer);
        answerer.confirm = confirm;
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 2;
        Run(f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QTRY_VERIFY(holder.held);
        QTRY_COMPARE(f.ui()->TotalFiles->text(), QStringLiteral("2/3"));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("2"));
        QTest::mouseClick(f.ui()->CancelBitBtn, Qt::LeftButton);
        QVERIFY(WaitForEnd(f));

        QVERIFY(!answerer.seen.empty());
        const SeenDialog &cancel = answerer.seen[0];
        QCOMPARE(cancel.height, height);
        QCOMPARE(cancel.checkBoxVisible, height == 115);
        QVERIFY(cancel.textsFit); // "Cancel and delete matching files so far" whole
        QCOMPARE(cancel.defaultButton, QStringLiteral("ContinueBtn"));
        QCOMPARE(cancel.focusButton, QStringLiteral("ContinueBtn"));
        const QStringList lines = Stamped(f.ui()->ListBoxV);
        if (answer == DialogAnswerer::Continue) {
            QCOMPARE(Items(f.ui()->ListBoxV).filter(QStringLiteral(" Verify operation continued.")).size(), 1);
            QVERIFY(lines.contains(QStringLiteral("Total number of files checked = 3")));
        } else {
            QVERIFY(lines.contains(QStringLiteral("Total number of files checked = 2")));
            QVERIFY(!lines.filter(QStringLiteral("End file operations.")).isEmpty());
        }
        if (answer == DialogAnswerer::DeleteSoFar) {
            QVERIFY(!cancel.continueEnabledWhenChecked);
            QCOMPARE(Items(f.ui()->ListBoxV)
                         .filter(QStringLiteral(" Verify operation canceled. Delete matching files so far selected."))
                         .size(),
                     1);
            // The delete confirmation for the two matches so far.
            QCOMPARE(answerer.seen.size(), std::size_t(2));
            const SeenDialog &del = answerer.seen[1];
            QCOMPARE(del.caption, QStringLiteral("Confirm Delete"));
            QCOMPARE(del.label1, QStringLiteral("Are you sure you want to Delete"));
            QCOMPARE(del.label2, "2 matching files from Target drive " + DriveText(tree) + "?");
            QCOMPARE(del.continueText, QStringLiteral("Ok Delete"));
            QCOMPARE(del.cancelText, QStringLiteral("No Cancel"));
            QCOMPARE(del.defaultButton, QStringLiteral("CancelBitBtn"));
            QCOMPARE(del.focusButton, QStringLiteral("CancelBitBtn"));
            QCOMPARE(sounds, 1);
        } else {
            QCOMPARE(answerer.seen.size(), std::size_t(1));
            QCOMPARE(sounds, 0);
        }
        QCOMPARE(LastBoxText(f), finalText);
        // A cancelled run proved nothing for the pairs it did not reach,
        // whatever became of the matches so far.
        QTEST(VerdictText(f), "verdict");
        QCOMPARE(Run(f).VerdictStrip()->property("verdict").toString(),
                 answer == DialogAnswerer::Continue ? QStringLiteral("exact") : QStringLiteral("unproven"));

        // Matches go to the test's own trash when the tree shares the home's
        // file system (on another one they go to that volume's trash).
        const bool homeVolume = DrivePart(tree.root()) == DrivePart(QDir::homePath().toStdString());
        int gone = 0;
        for (const char *name : {"a.txt", "b.txt", "c.txt"}) {
            if (!Exists(tree.path(std::string("dst/") + name))) {
                ++gone;
                QVERIFY(!homeVolume || Exists(HomeTrashDir() + "/files/" + name));
            }
            QVERIFY(Exists(tree.path(std::string("src/") + name)));
        }
        QCOMPARE(gone, deleted);
    }

    void heldWorkerAsksNothing()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        SetDeleteMode(f, DeleteMode::Target);
        Run(f).Environment().DriveTypeOf = [](const std::string &) { return dtFixed; };
        DialogAnswerer answerer;
        answerer.cancelAnswer = DialogAnswerer::Continue;
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 3; // the last pair: no polling point follows
        Run(f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QTRY_VERIFY(holder.held);
        QTest::mouseClick(f.ui()->CancelBitBtn, Qt::LeftButton);
        QVERIFY(WaitForEnd(f));
        // The delete confirmation waited for the cancel dialog's answer.
        QCOMPARE(answerer.seen.size(), std::size_t(2));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Confirm Cancellation"));
        QCOMPARE(answerer.seen[1].caption, QStringLiteral("Confirm Delete"));
        const QStringList lines = Items(f.ui()->ListBoxV);
        const qsizetype continued = lines.indexOf(QRegularExpression(".* Verify operation continued\\.$"));
        const qsizetype refused = lines.indexOf(QRegularExpression(".*Cancel without deleting matching files selected\\.$"));
        QVERIFY(continued >= 0 && refused > continued);
    }

    // A reused dialog opens on the same button every time, whichever one
    // the user pressed the time before.
    void cancelDialogOpensOnContinueEveryTime()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        SetDeleteMode(f, DeleteMode::Target);
        Run(f).Environment().DriveTypeOf = [](const std::string &) { return dtFixed; };
        DialogAnswerer answerer;
        // The first run: Cancel, clicked; no deletion after it.
        answerer.next = {DialogAnswerer::ClickCancel, DialogAnswerer::ClickCancel};
        for (int run = 0; run < 2; ++run) {
            THoldingWindow holder(Run(f));
            holder.holdAfterCount = 1;
            Run(f).Environment().WorkerWindow = &holder;
            QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
            QTRY_VERIFY(holder.held);
            QTest::mouseClick(f.ui()->CancelBitBtn, Qt::LeftButton);
            QVERIFY(WaitForEnd(f));
            Run(f).Environment().WorkerWindow = nullptr;
            f.ui()->ReturnBitBtn->click();
            // The second run: Enter.
            answerer.next = {DialogAnswerer::PressEnter, DialogAnswerer::ClickCancel};
        }
        std::vector<SeenDialog> cancels;
        std::copy_if(answerer.seen.begin(), answerer.seen.end(), std::back_inserter(cancels),
                     [](const SeenDialog &d) { return d.caption == QStringLiteral("Confirm Cancellation"); });
        QCOMPARE(cancels.size(), std::size_t(2));
        for (const SeenDialog &d : cancels) {
            QVERIFY(d.checkBoxVisible);
            QCOMPARE(d.focusButton, QStringLiteral("ContinueBtn"));
            QCOMPARE(d.defaultButton, QStringLiteral("ContinueBtn"));
        }
        // Enter went on with the run.
        QCOMPARE(Items(f.ui()->ListBoxV).filter(QStringLiteral(" Verify operation continued.")).size(), 1);
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("3"));
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Completed!   "));
    }

    // Enter in either confirmation is the safe answer, also right after the
    // same dialog was left with a click on its other button.
    void enterInTheConfirmationsCancels_data()
    {
        QTest::addColumn<bool>("driveCheck");
        QTest::newRow("Confirm Continue") << true;
        QTest::newRow("Confirm Delete after Continue was clicked") << false;
    }

    void enterInTheConfirmationsCancels()
    {
        QFETCH(bool, driveCheck);
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        SetDeleteMode(f, DeleteMode::Source);
        Run(f).Environment().DriveTypeOf = [](const std::string &) { return dtRemovable; };
        Run(f).Environment().PlaySound = [] { return true; };
        DialogAnswerer answerer;
        if (driveCheck)
            answerer.next = {DialogAnswerer::PressEnter};
        else
            answerer.next = {DialogAnswerer::ClickContinue, DialogAnswerer::PressEnter};
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        if (driveCheck) {
            QCOMPARE(LastBoxText(f), QStringLiteral("Verify Operation Canceled."));
            QVERIFY(!Run(f).Worker());
        } else {
            QVERIFY(WaitForEnd(f));
            QVERIFY(Stamped(f.ui()->ListBoxV).contains(QStringLiteral("Cancel without deleting matching files selected.")));
        }
        const SeenDialog &last = answerer.seen.back();
        QCOMPARE(last.caption, driveCheck ? QStringLiteral("Confirm Continue") : QStringLiteral("Confirm Delete"));
        QCOMPARE(last.defaultButton, QStringLiteral("CancelBitBtn"));
        QCOMPARE(last.focusButton, QStringLiteral("CancelBitBtn"));
        QVERIFY(Exists(tree.path("src/a.txt")) && Exists(tree.path("src/b.txt")) && Exists(tree.path("src/c.txt")));
    }

    // The platform's font, or a larger one, never cuts a text of a run
    // dialog, nor puts one over another; the designed sizes stay the least.
    void runDialogsMakeRoomForTheirTexts_data()
    {
        QTest::addColumn<bool>("deleteBox"); // else the cancel dialog
        QTest::addColumn<int>("pixels");     // 0: the platform's font
        QTest::addColumn<bool>("checkBox");
        for (const int pixels : {0, 20, 28, 40}) {
            const QString font = pixels ? QStringLiteral("%1 pixels").arg(pixels) : QStringLiteral("platform font");
            QTest::addRow("cancel, %s, check box", qPrintable(font)) << false << pixels << true;
            QTest::addRow("cancel, %s", qPrintable(font)) << false << pixels << false;
            QTest::addRow("confirmation, %s", qPrintable(font)) << true << pixels << false;
        }
    }

    void runDialogsMakeRoomForTheirTexts()
    {
        QFETCH(bool, deleteBox);
        QFETCH(int, pixels);
        QFETCH(bool, checkBox);
        TCancelForm cancelDialog;
        TDeleteBox confirmation;
        QDialog *dialog = deleteBox ? static_cast<QDialog *>(&confirmation) : &cancelDialog;
        if (pixels) {
            QFont font = dialog->font();
            font.setPixelSize(pixels);
            dialog->setFont(font);
        }
        QPushButton *ok = deleteBox ? confirmation.ui->ContinueBtn : cancelDialog.ui->ContinueBtn;
        QPushButton *cancel = deleteBox ? confirmation.ui->CancelBitBtn : cancelDialog.ui->CancelBitBtn;
        QList<QWidget *> texts;
        int height = 0;
        if (deleteBox) {
            confirmation.ui->Label2->setText(QStringLiteral("3 matching files from Source drive /?"));
            ok->setText(QStringLiteral("Ok Delete"));
            cancel->setText(QStringLiteral("No Cancel"));
            confirmation.FitClient();
            texts = {confirmation.ui->Label1, confirmation.ui->Label2};
            height = 115;
        } else {
            cancelDialog.ui->CheckBoxDeleteOnCancel->setVisible(checkBox);
            height = checkBox ? 115 : 97;
            cancelDialog.FitClient(height);
            texts = {cancelDialog.ui->Label1, cancelDialog.ui->CheckBoxDeleteOnCancel};
        }
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        SeenDialog seen;
        Look(dialog, ok, cancel, deleteBox ? QList<QWidget *>{} : texts, seen);
        QVERIFY(seen.textsFit);
        QVERIFY(dialog->height() >= height);
        if (!pixels) // the platform's font fits the designed height
            QCOMPARE(dialog->height(), height);
        if (!deleteBox)
            QVERIFY(dialog->width() >= 242);
        for (QWidget *text : texts) {
            QVERIFY(dialog->rect().contains(text->geometry()));
            for (const QPushButton *button : {ok, cancel})
                QVERIFY(text->isHidden() || !button->geometry().intersects(text->geometry()));
        }
        QVERIFY(texts[1]->isHidden() || !texts[0]->geometry().intersects(texts[1]->geometry()));
        QVERIFY(!ok->geometry().intersects(cancel->geometry()));
    }

    void deleteConfirmationAtTheEnd_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("ok delete") << true;
        QTest::newRow("no cancel") << false;
    }

    void deleteConfirmationAtTheEnd()
    {
        QFETCH(bool, confirm);
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        SetDeleteMode(f, DeleteMode::Source);
        int sounds = 0;
        Run(f).Environment().PlaySound = [&sounds] {
            ++sounds;
            return true;
        };
        Run(f).Environment().DriveTypeOf = [](const std::string &) { return dtFixed; };
        DialogAnswerer answerer;
        answerer.confirm = confirm;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QVERIFY(WaitForEnd(f));

        QCOMPARE(answerer.seen.size(), std::size_t(1));
        const SeenDialog &del = answerer.seen[0];
        const QString line2 = "3 matching files from Source drive " + DriveText(tree) + "?";
        QCOMPARE(del.label2, line2);
        // As wide as the wider line + 20, each line centred.
        TDeleteBox probe;
        const int w1 = probe.ui->Label1->fontMetrics().horizontalAdvance(del.label1);
        const int w2 = probe.ui->Label2->fontMetrics().horizontalAdvance(del.label2);
        QCOMPARE(del.width, std::max(w1, w2) + 20);
        QCOMPARE(del.label1Width, w1);
        QCOMPARE(del.label2Width, w2);
        QCOMPARE(del.label1X, (del.width - w1) / 2);
        QCOMPARE(del.label2X, (del.width - w2) / 2);
        QVERIFY(del.textsFit);
        QCOMPARE(del.defaultButton, QStringLiteral("CancelBitBtn"));
        QCOMPARE(del.focusButton, QStringLiteral("CancelBitBtn"));
        QCOMPARE(sounds, 1);

        const QStringList lines = Stamped(f.ui()->ListBoxV);
        QCOMPARE(lines.contains(QStringLiteral("Begin deleting files.")), confirm);
        QCOMPARE(lines.contains(QStringLiteral("Cancel without deleting matching files selected.")), !confirm);
        QCOMPARE(Exists(tree.path("src/a.txt")), !confirm);
        QCOMPARE(Exists(tree.path("dst/a.txt")), true);
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Completed!   "));
        // The verdict says where the deleted files went.
        QCOMPARE(VerdictText(f), confirm ? QStringLiteral("All 3 files are identical (39 bytes) \u2014 3 files moved "
                                                          "to the Trash")
                                         : QStringLiteral("All 3 files are identical (39 bytes)"));
    }

    void driveCheckFromMountTable_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<int>("modeAfter");
        const QString recycle = QStringLiteral("placed in Recycle Bin. Continue with Verify and permanently Delete?");
        QTest::newRow("fixed") << "/home/user/copy" << false << true << QString() << QString() << int(DeleteMode::Target);
        QTest::newRow("ram disk") << "/mnt/ram/x" << false << true << QString() << QString() << int(DeleteMode::Target);
        QTest::newRow("removable, continue")
            << "/mnt/stick/photos" << true << true
            << "Target drive '/mnt/stick/' is a removable drive. Files cannot be" << recycle << int(DeleteMode::Target);
        QTest::newRow("removable, cancel")
            << "/mnt/stick/photos" << false << false
            << "Target drive '/mnt/stick/' is a removable drive. Files cannot be" << recycle << int(DeleteMode::Target);
        QTest::newRow("network") << "/mnt/nas/2024" << false << false
                                 << "Target drive '/mnt/nas/' is a network drive. Files cannot be" << recycle
                                 << int(DeleteMode::Target);
        QTest::newRow("sshfs") << "/home/user/remote/a" << true << true
                               << "Target drive '/home/user/remote/' is a network drive. Files cannot be" << recycle
                               << int(DeleteMode::Target);
        QTest::newRow("cd-rom") << "/media/user/DVD_2024/x" << false << false
                                << "Target drive '/media/user/DVD_2024/' is a Read Only Drive. Files cannot"
                                << "be recycled. Continue with Verify Only?" << int(DeleteMode::None);
        QTest::newRow("read-only mount") << "/srv/archive/old" << true << true
                                         << "Target drive '/srv/archive/' is a Read Only Drive. Files cannot"
                                         << "be recycled. Continue with Verify Only?" << int(DeleteMode::None);
        QTest::newRow("unknown") << "/mnt/fuse-other/y" << false << false
                                 << "Target drive '/mnt/fuse-other/' is unknown." << "Continue with Verify only?"
                                 << int(DeleteMode::None);
    }

    void driveCheckFromMountTable()
    {
        QFETCH(QString, target);
        QFETCH(bool, answer);
        QFETCH(bool, result);
        QFETCH(QString, line1);
        QFETCH(QString, line2);
        QFETCH(int, modeAfter);

        std::ifstream in(QVL_SOURCE_DIR "/tests/fixtures/mountinfo-desktop.txt");
        std::stringstream text;
        text << in.rdbuf();
        const std::vector<MountEntry> mounts = ParseMountInfo(text.str());
        // The stick and the backup disk are on USB.
        const RemovableProbe usb = [](unsigned major, unsigned minor, const std::string &) {
            return major == 8 && (minor == 17 || minor == 33);
        };

        MainFormFixture f;
        Run(f).Environment().DrivePartOf = [mounts](const std::string &path) { return DrivePart(path, mounts); };
        Run(f).Environment().DriveTypeOf = [mounts, usb](const std::string &root) {
            const std::string point = root.size() > 1 ? root.substr(0, root.size() - 1) : root;
            for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
                if (it->mountPoint == point)
                    return ClassifyMount(*it, usb);
            return dtNoRootDir;
        };
        DialogAnswerer answerer;
        answerer.confirm = answer;
        SetDeleteMode(f, DeleteMode::Target);
        f.ui()->EditTarget->setText(target);
        QCOMPARE(Run(f).CheckDeleteDrive(), result);
        QCOMPARE(int(Run(f).CurrentDeleteMode()), modeAfter);
        if (line1.isEmpty()) {
            QVERIFY(answerer.seen.empty());
            return;
        }
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        const SeenDialog &box = answerer.seen[0];
        QCOMPARE(box.caption, QStringLiteral("Confirm Continue"));
        QCOMPARE(box.label1, line1);
        QCOMPARE(box.label2, line2);
        QCOMPARE(box.continueText, QStringLiteral("Continue"));
        QCOMPARE(box.cancelText, QStringLiteral("Cancel"));
        QCOMPARE(box.width, std::max(box.label1Width, box.label2Width) + 20);
        QVERIFY(box.textsFit);
        QCOMPARE(box.defaultButton, QStringLiteral("CancelBitBtn"));
        QCOMPARE(box.focusButton, QStringLiteral("CancelBitBtn"));
    }

    void verifyOnlyAsksNoDriveType()
    {
        MainFormFixture f;
        int asked = 0;
        Run(f).Environment().DriveTypeOf = [&asked](const std::string &) {
            ++asked;
            return dtUnknown;
        };
        f.ui()->EditTarget->setText(QStringLiteral("/anything"));
        QVERIFY(Run(f).CheckDeleteDrive());
        QCOMPARE(asked, 0);
    }

    void refusedDriveCheckCancelsTheStart()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        Run(f).Environment().DriveTypeOf = [](const std::string &) { return dtRemote; };
        SetDeleteMode(f, DeleteMode::Source);
        DialogAnswerer answerer;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(LastBoxText(f), QStringLiteral("Verify Operation Canceled."));
        QVERIFY(f.ui()->PanelMain->isVisible());
        QVERIFY(!Run(f).Worker());
    }

    void driveCheckOnTmpfsStartsWithoutDialog()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("src/a.txt", "on disk"));
        QVERIFY(tree.createDir("ram"));
        QvlTest::TmpfsMount ram(tree.path("ram"));
        if (!ram.Mounted())
            QSKIP(ram.Reason());
        QVERIFY(tree.createFile("ram/a.txt", "on disk"));
        MainFormFixture f;
        SetDeleteMode(f, DeleteMode::Target);
        DialogAnswerer answerer;
        QVERIFY(Start(f, tree.path("src"), tree.path("ram")));
        QVERIFY(WaitForEnd(f));
        // Only the delete confirmation at the end, refused.
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Confirm Delete"));
        QCOMPARE(answerer.seen[0].label2, "1 matching files from Target drive " + MainFormFixture::Q(tree.path("ram")) + "?");
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("1"));
    }

    // "Read From Disk, Not Cache" is off at start; checked, it reaches the
    // run: the engine then names the memory file system it cannot read a
    // disk from.
    void readFromDiskReachesTheRun()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("ram"));
        QvlTest::TmpfsMount ram(tree.path("ram"));
        if (!ram.Mounted())
            QSKIP(ram.Reason());
        QVERIFY(tree.createFile("ram/a.txt", "in memory"));
        QVERIFY(tree.createFile("dst/a.txt", "in memory"));
        MainFormFixture f;
        QAction *item = f.ui()->MenuFromDisk;
        QVERIFY(f.ui()->MenuSettings->actions().contains(item));
        QCOMPARE(item->text(), QStringLiteral("Read From Disk, Not Cache"));
        QVERIFY(item->isCheckable());
        QVERIFY(!item->isChecked());
        const QString line = "Read from memory, this file system has no disk - " + MainFormFixture::Q(tree.path("ram/a.txt"));
        for (bool checked : {false, true}) {
            item->setChecked(checked);
            f.boxes.clear();
            QVERIFY(Start(f, tree.path("ram"), tree.path("dst")));
            QVERIFY(WaitForEnd(f));
            QCOMPARE(Stamped(f.ui()->ListBoxV).contains(line), checked);
            QVERIFY(Items(f.ui()->ListBoxV).contains("Files Match - " + MainFormFixture::Q(tree.path("dst/a.txt"))));
            QTest::mouseClick(f.ui()->ReturnBitBtn, Qt::LeftButton);
        }
    }

    void readOnlyMountRunsVerifyOnly()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("src/a.txt", "kept"));
        QVERIFY(tree.createDir("ro"));
        QvlTest::TmpfsMount mount(tree.path("ro"));
        if (!mount.Mounted())
            QSKIP(mount.Reason());
        QVERIFY(tree.createFile("ro/a.txt", "kept"));
        if (::mount("quorvel-test", tree.path("ro").c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            QSKIP("cannot remount the tmpfs read-only");
        MainFormFixture f;
        SetDeleteMode(f, DeleteMode::Target);
        DialogAnswerer answerer;
        answerer.confirm = true;
        QVERIFY(Start(f, tree.path("src"), tree.path("ro")));
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(answerer.seen[0].label1,
                 "Target drive '" + MainFormFixture::Q(tree.path("ro")) + "/' is a Read Only Drive. Files cannot");
        QCOMPARE(Run(f).CurrentDeleteMode(), DeleteMode::None);
        QVERIFY(f.ui()->RadioDelTarget->isChecked());
        QVERIFY(WaitForEnd(f));
        // Verify only: no delete confirmation, and the option shows it again.
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(f.ui()->Same->text(), QStringLiteral("1"));
        QVERIFY(f.ui()->RadioDelNone->isChecked());
        QVERIFY(Exists(tree.path("ro/a.txt")));
    }

    void timerFigures_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<double>("done");
        QTest::addColumn<double>("total");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("estimate"); // empty: not known
        QTest::newRow("nothing yet") << qint64(0) << 0.0 << 5e6 << true << "0 Kb/s" << QString();
        QTest::newRow("1,000 Kb/s") << qint64(10) << 10240000.0 << 20480000.0 << true << "1,000 Kb/s" << "00:00:20";
        QTest::newRow("odd second") << qint64(3) << 30720.0 << 30720.0 << false << "10 Kb/s" << "00:00:03";
        QTest::newRow("days dropped") << qint64(10) << 10240.0 << 90061.0 * 1024 << true << "1 Kb/s" << "01:01:01";
        QTest::newRow("under 1 Kb/s") << qint64(4) << 4000.0 << 1e9 << true << "0 Kb/s" << QString();
    }

    void timerFigures()
    {
        QFETCH(qint64, seconds);
        QFETCH(double, done);
        QFETCH(double, total);
        QFETCH(bool, shown);
        QFETCH(QString, rate);
        QFETCH(QString, estimate);
        const TTimerFigures t = TimerFigures(seconds, done, total);
        QCOMPARE(t.rateAndEstimate, shown);
        QCOMPARE(RateText(t.rate), rate);
        QCOMPARE(t.estimateKnown, !estimate.isEmpty());
        if (t.estimateKnown)
            QCOMPARE(ClockText(t.estimate), estimate);
    }

    // The snapshot the window and the command line both show: the elapsed
    // time every tick, the rate and the estimate renewed on even seconds and
    // kept in between; an estimate stays until a rate gives a new one.
    void progressSnapshotKeepsItsFiguresBetweenEvenSeconds()
    {
        TProgressSnapshot p;
        p.totalBytes = 20480000.0;
        p.bytesDone = 10240000.0;
        p.Tick(10);
        QCOMPARE(p.elapsed, qint64(10));
        QCOMPARE(p.rate, 1000);
        QCOMPARE(p.estimate, qint64(20));
        p.bytesDone = 20480000.0;
        p.Tick(11);
        QCOMPARE(p.elapsed, qint64(11));
        QCOMPARE(p.rate, 1000);
        QCOMPARE(p.estimate, qint64(20));
        p.bytesDone = 0;
        p.Tick(12);
        QCOMPARE(p.rate, 0);
        QCOMPARE(p.estimate, qint64(20));
        p.RestartClock();
        QCOMPARE(p.elapsed, qint64(0));
        QCOMPARE(p.rate, 0);
        QCOMPARE(p.estimate, qint64(0));
        QCOMPARE(p.totalBytes, 20480000.0);
    }

    // The tests replace every piece of the environment; the program runs on
    // its defaults, so each one must be there (an empty save dialog would
    // end the program at Save Log As).
    void theProgramsEnvironmentHasEveryPiece()
    {
        const TRunEnvironment env;
        QVERIFY(env.Clock);
        QVERIFY(env.DrivePartOf);
        QVERIFY(env.DriveTypeOf);
        QVERIFY(env.PlaySound);
        QVERIFY(env.AskSaveFileName);
        QVERIFY(env.AskOpenFileName);
        QVERIFY(!env.WorkerWindow);
        QCOMPARE(env.DrivePartOf("/"), std::string());
    }

    void timerTicksOnTheWindowAndReturnResets()
    {
        MainFormFixture f;
        TRunControl &rc = Run(f);
        QTime now(9, 0, 0);
        rc.Environment().Clock = [&now] { return now; };
        f.form->ShowVerifyView(true);
        rc.StartProgressDisplay();
        QCOMPARE(f.ui()->LabelRate->text(), QStringLiteral("0 Kb/s"));
        QCOMPARE(f.ui()->LabelElapsed->text(), QStringLiteral("00:00:00 /"));
        QCOMPARE(f.ui()->LabelRemain->text(), QStringLiteral("00:00:00"));

        rc.Bridge().StartOverallBar(1000, 90061.0 * 1024);
        rc.Bridge().UpdateOverallBar(1, 10240);
        now = now.addSecs(10);
        rc.TimerVerifyTimer();
        QCOMPARE(f.ui()->LabelRate->text(), QStringLiteral("1 Kb/s"));
        QCOMPARE(f.ui()->LabelRemain->text(), QStringLiteral("01:01:01"));
        QCOMPARE(f.ui()->LabelElapsed->text(), QStringLiteral("00:00:10 /"));

        // An odd second moves only the elapsed time.
        rc.Bridge().UpdateOverallBar(2, 10240000);
        now = now.addSecs(1);
        rc.TimerVerifyTimer();
        QCOMPARE(f.ui()->LabelRate->text(), QStringLiteral("1 Kb/s"));
        QCOMPARE(f.ui()->LabelElapsed->text(), QStringLiteral("00:00:11 /"));
        now = now.addSecs(1);
        rc.TimerVerifyTimer();
        QCOMPARE(f.ui()->LabelRate->text(), QStringLiteral("833 Kb/s"));

        // The worker stops the timer at the end of its comparison.
        rc.Bridge().StopProgressTimer();
        rc.FlushDisplay();
        QVERIFY(!f.form->TimerVerify->isActive());

        rc.ReturnBitBtnClick();
        QCOMPARE(f.ui()->LabelRate->text(), QString());
        QCOMPARE(f.ui()->LabelElapsed->text(), QStringLiteral("00:00:00 /"));
        QCOMPARE(f.ui()->LabelRemain->text(), QStringLiteral("00:00:00"));
        QVERIFY(f.ui()->PanelMain->isVisible());
        QVERIFY(!f.ui()->PanelVerify->isVisible());
    }

    void followFlag_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("startFrom"); // 0: top, 1: a few lines above the end
        QTest::addColumn<int>("tag");
        QTest::newRow("line up") << int(QAbstractSlider::SliderSingleStepSub) << 1 << 1;
        QTest::newRow("page up") << int(QAbstractSlider::SliderPageStepSub) << 1 << 1;
        QTest::newRow("line down far from the end") << int(QAbstractSlider::SliderSingleStepAdd) << 0 << 1;
        QTest::newRow("page down far from the end") << int(QAbstractSlider::SliderPageStepAdd) << 0 << 1;
        QTest::newRow("line down near the end") << int(QAbstractSlider::SliderSingleStepAdd) << 1 << 0;
        QTest::newRow("drag near the end") << int(QAbstractSlider::SliderMove) << 1 << 0;
        QTest::newRow("drag far from the end") << int(QAbstractSlider::SliderMove) << 0 << 1;
    }

    void followFlag()
    {
        QFETCH(int, action);
        QFETCH(int, startFrom);
        QFETCH(int, tag);
        MainFormFixture f;
        TRunControl &rc = Run(f);
        f.form->ShowVerifyView(true);
        QListView *list = f.ui()->ListBoxV;
        for (int i = 0; i < 400; ++i)
            rc.Bridge().AppendResultLine(TReportResult::Match, "line " + std::to_string(i));
        rc.FlushDisplay();
        QScrollBar *bar = list->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(rc.ListBoxVTag(), 0);

        // Away first, then the row's scroll from where it starts.
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(rc.ListBoxVTag(), 1);
        bar->setValue(startFrom == 0 ? 0 : bar->maximum() - 3);
        if (action == QAbstractSlider::SliderMove) {
            bar->setSliderDown(true);
            bar->setSliderPosition(bar->value() + 1);
            bar->setSliderDown(false);
        } else {
            bar->triggerAction(QAbstractSlider::SliderAction(action));
        }
        QCOMPARE(rc.ListBoxVTag(), tag);
        // Released thumb and other codes leave the flag.
        rc.ListBoxVScroll(4);
        QCOMPARE(rc.ListBoxVTag(), tag);

        const int before = bar->value();
        rc.Bridge().AppendResultLine(TReportResult::Match, "one more");
        rc.FlushDisplay();
        if (tag == 0)
            QCOMPARE(bar->value(), bar->maximum());
        else
            QCOMPARE(bar->value(), before);
    }

    void verifyLogWidensToItsWidestLine()
    {
        MainFormFixture f;
        TRunControl &rc = Run(f);
        f.form->ShowVerifyView(true);
        QListView *list = f.ui()->ListBoxV;
        rc.Bridge().AppendResultLine(TReportResult::Match, "short");
        rc.FlushDisplay();
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
        const std::string wide = "Files Match - /" + std::string(300, 'w') + "/end";
        rc.Bridge().AppendResultLine(TReportResult::Match, wide);
        rc.Bridge().AppendResultLine(TReportResult::Match, "short again");
        rc.FlushDisplay();
        const int textWidth = list->fontMetrics().horizontalAdvance(QString::fromStdString(wide));
        QScrollBar *bar = list->horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QVERIFY(bar->maximum() + list->viewport()->width() >= textWidth + 10);
    }

    void windowDestroyedDuringRunStopsTheWorker()
    {
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        auto f = std::make_unique<MainFormFixture>();
        SetDeleteMode(*f, DeleteMode::Target);
        Run(*f).Environment().DriveTypeOf = [](const std::string &) { return dtFixed; };
        DialogAnswerer answerer;
        THoldingWindow holder(Run(*f));
        holder.holdAfterCount = 1;
        Run(*f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(*f, tree.path("src"), tree.path("dst")));
        QTRY_VERIFY(holder.held);
        // The stopped worker still asks whether to delete the match so far;
        // a window that is going away answers no, without a dialog.
        f.reset();
        QVERIFY(answerer.seen.empty());
        QVERIFY(Exists(tree.path("dst/a.txt")) && Exists(tree.path("dst/b.txt")) && Exists(tree.path("dst/c.txt")));
    }

    void closingDuringRunCancels_data()
    {
        QTest::addColumn<bool>("exitCommand");
        QTest::newRow("close box") << false;
        QTest::newRow("File Exit") << true;
    }

    void closingDuringRunCancels()
    {
        QFETCH(bool, exitCommand);
        QvlTest::TempTree tree;
        MakeMatchingTrees(tree);
        MainFormFixture f;
        DialogAnswerer answerer;
        THoldingWindow holder(Run(f));
        holder.holdAfterCount = 1;
        Run(f).Environment().WorkerWindow = &holder;
        QVERIFY(Start(f, tree.path("src"), tree.path("dst")));
        QTRY_VERIFY(holder.held && f.ui()->CancelBitBtn->isEnabled());
        if (exitCommand)
            f.ui()->FileExitItem->trigger();
        else
            QVERIFY(!f.form->close());
        QVERIFY(WaitForEnd(f));
        QCOMPARE(answerer.seen.size(), std::size_t(1));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Confirm Cancellation"));
        QCOMPARE(LastBoxText(f), QStringLiteral("Operation Canceled!   "));
        QVERIFY(f.form->isVisible());
        // After the run the close box closes the window.
        QVERIFY(f.form->close());
    }
};

QVL_TEST_MAIN(RunControlTest)
#include "RunControlTest.moc"
