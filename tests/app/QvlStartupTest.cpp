// Start-up: the windows in their order, the caption, title and version
// lines, the about box, the home page, and the last-resort error box.
#include "app/CancelMessageForm.h"
#include "app/DeleteMsgForm.h"
#include "app/QvlAbout.h"
#include "app/QvlApplication.h"
#include "app/QvlMain.h"
#include "app/QvlStartup.h"
#include "tests/common/QvlTestMain.h"
#include "platform/QvlVersion.h"
#include "platform/StopSignals.h"
#include "app/Quorvellogo.h"
#include "tests/common/TempTree.h"
#include "tests/app/MainWidgets.h"
#include "ui_CancelMessageForm.h"
#include "ui_QvlAbout.h"
#include "ui_Quorvellogo.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>

#include <csignal>
#include <stdexcept>

namespace {

// Answers the next modal box: records its caption and text and presses the
// button that `pick` finds (the first button when it finds none).
struct ModalAnswerer {
    QString caption;
    QString text;
    bool seen = false;
    // A timer still waiting for its box when the test ends goes with it.
    QPointer<QTimer> pending;

    ~ModalAnswerer() { delete pending; }

    void Arm(std::function<QAbstractButton *(QWidget *)> pick = {})
    {
        seen = false;
        auto *timer = new QTimer;
        pending = timer;
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, pick] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            seen = true;
            caption = modal->windowTitle();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                text = box->text();
            QAbstractButton *button = pick ? pick(modal) : nullptr;
            if (!button)
                button = modal->findChild<QAbstractButton *>();
            if (button)
                button->click();
            else
                modal->close();
            timer->deleteLater();
        });
        timer->start();
    }
};

class TThrowing : public QObject
{
public:
    std::function<void()> thrower;
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            thrower();
        return QObject::event(e);
    }
};

// The main window's widgets, found by name.
QvlTest::MainWidgets Widgets()
{
    return QvlTest::MainWidgets(*MainForm);
}

QStringList LogLines()
{
    const QListWidget *log = Widgets().ListLog;
    QStringList lines;
    for (int i = 0; i < log->count(); ++i)
        lines << log->item(i)->text();
    return lines;
}

} // namespace

class QvlStartupTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        DestroyForms();
        SetVersionProgramFile({});
        SetUrlOpener({});
    }

    void createsTheWindowsInOrderWithTheVersion()
    {
        TQvlApplication::SetTitle("Quorvel 2.1.3");
        CreateForms();
        QVERIFY(FrameQvlLogo && !FrameQvlLogo->parent() && !FrameQvlLogo->isVisible());
        QVERIFY(MainForm && AboutForm && CancelForm && DeleteBox);
        QCOMPARE(MainForm->windowTitle(), QString("Quorvel 2.1.4.21"));
        QCOMPARE(TQvlApplication::Title(), QString("Quorvel 2.1.4"));
        QCOMPARE(AboutForm->ui->LabelVersion->text(), QString("2.1.4.21"));
        QCOMPARE(LogLines(), (QStringList{
                                 "CompanyName = The Quorvel developers",
                                 "FileDescription = Verify files by doing a byte by byte compare.",
                                 "FileVersion = 2.1.4.21",
                                 "InternalName = Quorvel New",
                                 "LegalCopyright = Copyright \u00A9 The Quorvel developers",
                                 "LegalTradeMarks = Quorvel\u00AE",
                                 "OriginalFileName = Quorvel2",
                                 "ProductName = Quorvel",
                                 "ProductVersion = 2.1",
                                 "Comments = Questions and news: https://quorvel.org/",
                             }));
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        QScrollBar *bar = Widgets().ListLog->verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());

        QCOMPARE(CancelForm->windowTitle(), QString("Confirm Cancellation"));
        QVERIFY(CancelForm->ui->CheckBoxDeleteOnCancel->isHidden());
        QCOMPARE(DeleteBox->windowTitle(), QString("Confirm Delete"));
        QCOMPARE(AboutForm->windowTitle(), QString("About Quorvel"));
        QCOMPARE(AboutForm->size(), QSize(308, 173));
    }

    void aProgramWithoutVersionBlockSaysSoThreeTimes()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("plain", "no version here"));
        SetVersionProgramFile(tree.path("plain"));
        CreateForms();
        QCOMPARE(MainForm->windowTitle(), QString("Quorvel FileVersion"));
        QCOMPARE(TQvlApplication::Title(), QString());
        QCOMPARE(AboutForm->ui->LabelVersion->text(), QString("FileVersion"));
        const QStringList lines = LogLines();
        QCOMPARE(lines.size(), 3);
        for (const QString &line : lines)
            QCOMPARE(line, QString("Error GetFileVersionInfoSize -%1").arg(ENOEXEC));
    }

    void theAboutBoxIsTheAboutButtonsOnly()
    {
        CreateForms();
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        ModalAnswerer answer;
        answer.Arm([](QWidget *modal) { return modal == AboutForm ? AboutForm->ui->ButtonOk : nullptr; });
        Widgets().SpeedButtonAbout->trigger();
        QVERIFY(answer.seen);
        QCOMPARE(answer.caption, QString("About Quorvel"));
        QVERIFY(!AboutForm->isVisible());
        QCOMPARE(AboutForm->result(), int(QDialog::Accepted));
        QVERIFY(!Widgets().MenuHelp->menuAction()->isVisible());
        QVERIFY(!Widgets().HelpAboutItem->isVisible() || !Widgets().MenuHelp->menuAction()->isVisible());
    }

    void logoAndLinkOpenTheHomePage()
    {
        CreateForms();
        QList<QUrl> opened;
        SetUrlOpener([&opened](const QUrl &url) { opened << url; });
        QLabel *logo = Widgets().FrameQvlLogo1->ui->LogoImage;
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        QCOMPARE(logo->toolTip(), QString("Quorvel Online"));
        QCOMPARE(logo->statusTip(), QString("https://quorvel.org/"));
        QTest::mouseClick(logo, Qt::LeftButton);
        QTest::keyClick(Widgets().FrameQvlLogo1, Qt::Key_Space);
        AboutForm->LabelLinkClick();
        QCOMPARE(opened, QList<QUrl>(3, QUrl("https://quorvel.org/")));
        QCOMPARE(Widgets().FrameQvlLogo1->focusPolicy(), Qt::TabFocus);
        QCOMPARE(AboutForm->ui->LabelLink->text(), QString("https://quorvel.org/"));
    }

    void errorBoxFullStop_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a letter") << "Disk full" << "Disk full.";
        QTest::newRow("a digit") << "Error 42" << "Error 42.";
        QTest::newRow("a full stop") << "Done." << "Done.";
        QTest::newRow("an exclamation") << "Oops!" << "Oops!";
        QTest::newRow("a parenthesis") << "Failed (5)" << "Failed (5)";
        QTest::newRow("a comma") << "one," << "one,";
        QTest::newRow("empty") << "" << "";
    }

    void errorBoxFullStop()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorBoxText(message), shown);
    }

    void anEscapedErrorIsShownAndTheLoopGoesOn()
    {
        TQvlApplication::SetTitle("Quorvel 2.1.4");
        TThrowing target;
        target.thrower = [] { throw std::runtime_error("The handler broke"); };
        ModalAnswerer answer;
        answer.Arm();
        QEvent event(QEvent::User);
        QApplication::sendEvent(&target, &event); // returns: the loop goes on
        QVERIFY(answer.seen);
        QCOMPARE(answer.caption, QString("Quorvel 2.1.4"));
        QCOMPARE(answer.text, QString("The handler broke."));

        // A silent abort shows nothing.
        target.thrower = [] { throw EAbort(); };
        answer.Arm();
        QApplication::sendEvent(&target, &event);
        QVERIFY(!answer.seen);
        QApplication::processEvents(); // lets the idle answerer go
    }

    // A stop signal closes the window as its close button does; while a
    // question is open it does nothing, as a click on the close button
    // could not either.
    void stopSignalClosesTheWindowUnlessAQuestionIsOpen()
    {
        CreateForms();
        QSignalSpy stops(CatchStopSignalsForMainForm(), &TStopSignalNotifier::stopRequested);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));

        QMessageBox question(QMessageBox::Question, "A question", "Still there?", QMessageBox::Ok, MainForm);
        bool stillShown = false;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(question.isVisible());
            ::raise(SIGTERM);
            // The signal's notice is read by the event loop that runs the
            // question; once it has been handled, the window is still up.
            QTRY_COMPARE(stops.count(), 1);
            stillShown = MainForm->isVisible();
            question.accept();
        });
        question.exec();
        QVERIFY(stillShown);

        ::raise(SIGHUP);
        QTRY_COMPARE(stops.count(), 2);
        QVERIFY(!MainForm->isVisible());
    }
};

QVL_TEST_MAIN_IMPL(TQvlApplication, QvlStartupTest)
#include "QvlStartupTest.moc"
